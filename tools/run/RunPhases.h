// A grasp sequence as phases: each phase lasts a time, lets the grasp
// controller run or rest, and drives some joints to targets that hold
// until a later phase changes them. Read from a text file of one phase a
// line:
//
//   # phase   seconds  hand   joint targets (rad, or cm for prismatic joints)
//   reach     1.5      open   arm.shoulder=0.44 arm.elbow=0.52
//   close     1.5      grasp
//
// '#' starts a comment; blank lines are skipped.
#ifndef KELMAR_TOOLS_RUNPHASES_H
#define KELMAR_TOOLS_RUNPHASES_H

#include <string>
#include <utility>
#include <vector>

#include <kelmar/kelmar.h>

#include "RunJoints.h"

namespace krun {

struct Phase {
    std::string name;
    double seconds = 0; // s, > 0
    bool grasp = false; // the grasp controller runs in this phase
    std::vector<std::pair<std::string, double>> targets;
};

// Fills phases from text; returns an empty text or "line N: what is wrong".
std::string parsePhases(const std::string &text, std::vector<Phase> &phases);
// The same from a file; the problem names the file.
std::string readPhases(const std::string &path, std::vector<Phase> &phases);

// The phases bound to a scene's joints and laid on the step count.
class Schedule {
public:
    // dt: the step (s); an unknown joint is named in problem.
    Schedule(kelmar::Scene &scene, const std::vector<Phase> &phases, double dt, std::string &problem);
    // Steps of all phases together.
    int steps() const { return ends_.empty() ? 0 : ends_.back(); }
    // The phase that step falls in (the last one past the end).
    int phaseAt(int step) const;
    const Phase &phase(int index) const { return phases_[static_cast<size_t>(index)]; }
    // Commands the joints of step's phase (call before each step).
    void drive(int step) const;
    bool grasping(int step) const { return phase(phaseAt(step)).grasp; }

private:
    std::vector<Phase> phases_;
    std::vector<int> ends_;                   // step at which each phase ends
    std::vector<std::vector<Target>> active_; // every target in force during each phase
};

} // namespace krun

#endif
