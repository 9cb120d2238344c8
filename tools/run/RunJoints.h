// The joints kelmar-run reads and drives: those with a position of their
// own (hinges, prismatic joints, springs), by name.
#ifndef KELMAR_TOOLS_RUNJOINTS_H
#define KELMAR_TOOLS_RUNJOINTS_H

#include <string>
#include <utility>
#include <vector>

#include <kelmar/kelmar.h>

namespace krun {

struct MeasuredJoint {
    std::string name;
    kelmar::Joint *joint;
};

std::vector<MeasuredJoint> measuredJoints(kelmar::Scene &scene);
// The joint's position (rad or cm).
double positionOf(const MeasuredJoint &joint);

// The --set targets bound to their joints; an unknown or unmovable joint
// is named in problem.
struct Target {
    MeasuredJoint joint;
    double value;
};
// label: where the targets came from ("--set", a phase file).
std::vector<Target> bindTargets(kelmar::Scene &scene, const std::vector<std::pair<std::string, double>> &targets,
                                std::string &problem, const std::string &label = "--set");
// Commands every target once (called before each step).
void driveTargets(const std::vector<Target> &targets);

} // namespace krun

#endif
