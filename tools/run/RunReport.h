// What kelmar-run prints and writes: the summary at the end of a run, the
// joint positions over time (CSV) and the final status.
#ifndef KELMAR_TOOLS_RUNREPORT_H
#define KELMAR_TOOLS_RUNREPORT_H

#include <cstdio>
#include <vector>

#include <kelmar/kelmar.h>

#include "RunJoints.h"

namespace krun {

struct RunFigures {
    int steps = 0;
    double simulated = 0; // s
    double wall = 0;      // s of stepping
    double filming = -1;  // s of taking frames (--images), apart from the stepping; < 0: none taken
    double load = 0;      // s of loading
};

int countAwakeBodies(const kelmar::Universe &universe);
void printSummary(FILE *out, const char *sceneFile, kelmar::Universe &universe, kelmar::Scene &scene,
                  const std::vector<MeasuredJoint> &joints, const RunFigures &figures);
void writeCsvHeader(FILE *out, const std::vector<MeasuredJoint> &joints);
void writeCsvRow(FILE *out, double time, const std::vector<MeasuredJoint> &joints);
// UNIVERSE then SCENE, as Universe::loadStatus and Scene::loadStatus read them back.
void writeStatus(FILE *out, const kelmar::Universe &universe, const kelmar::Scene &scene);

} // namespace krun

#endif
