// kelmar-run's pictures: the graphics library installed before the scene
// is read (so that its cameras are made), and with --images a film of the
// run: a frame every --every steps and a contact sheet at the end.
#ifndef KELMAR_TOOLS_RUNIMAGES_H
#define KELMAR_TOOLS_RUNIMAGES_H

#include <memory>
#include <string>

#include <kelmar/kelmar.h>

#include "RunOptions.h"

namespace krun {

// Installs the graphics library when kelmar-run was built with it.
void installGraphics();

class Film {
public:
    Film();
    ~Film();
    // Nothing to film without --images; false and the problem when the
    // folder or the camera is missing or pictures cannot be had.
    bool open(kelmar::Universe &universe, const Options &options, std::string &problem);
    bool shoot(int step, std::string &problem);
    bool finish(std::string &problem);
    // "N frames of CAMERA in DIR, contact sheet FILE", or empty.
    std::string summary() const;

private:
    struct Camera;
    std::unique_ptr<Camera> camera_;
};

} // namespace krun

#endif
