// Running a scene: the steps, timed, with observation, the trajectory and
// progress after each.
#ifndef KELMAR_TOOLS_SIMRUN_H
#define KELMAR_TOOLS_SIMRUN_H

#include "SimProgress.h"
#include "SimScene.h"
#include "SimTrajectory.h"

namespace ksim {

struct RunResult {
    int steps = 0;
    double seconds = 0.0; // spent inside the steps alone
};

// Runs `steps` steps of dt. With a trajectory, records the start and every
// `every` steps, and the last step whatever its number.
RunResult runScene(Scene &scene, int steps, PxReal dt, Trajectory *trajectory, int every, Progress *progress);

// Bodies of the world by state, and their kinetic energy.
struct WorldCounts {
    int bodies = 0, awake = 0, asleep = 0, frozen = 0;
    double kineticEnergy = 0.0; // J
};
WorldCounts countWorld(RbdWorldID world);

// Bodies whose state stopped being finite: those the world froze for it
// and reported bodies whose pose or velocity is not finite now. A run with
// any is not sound, whatever its figures say.
int countUnsound(const Scene &scene);

} // namespace ksim

#endif
