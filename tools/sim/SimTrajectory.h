// The trajectory file: one CSV row per reported body and recorded step,
// with the pose (position and quaternion), the velocities and whether the
// body is awake. Units are metres, seconds and radians.
#ifndef KELMAR_TOOLS_SIMTRAJECTORY_H
#define KELMAR_TOOLS_SIMTRAJECTORY_H

#include <stdio.h>

#include <string>

#include "SimOutputFile.h"
#include "SimScene.h"

namespace ksim {

// The header line of the file, without its newline.
extern const char *const kTrajectoryHeader;

class Trajectory {
public:
    Trajectory() = default;
    ~Trajectory();
    Trajectory(const Trajectory &) = delete;
    Trajectory &operator=(const Trajectory &) = delete;

    // Creates the file (under a temporary name until close) and writes the
    // header; false (with errno) when the file cannot be made.
    bool open(const std::string &path);
    // One row per body of the scene at its current time.
    void record(const Scene &scene);
    // Closes the file and gives it its name; false when anything could not
    // be written. A trajectory never closed leaves no file behind.
    bool close();
    long rows() const { return rows_; }

private:
    OutputFile out_;
    long rows_ = 0;
};

} // namespace ksim

#endif
