// One universe step: collision first, then dynamics, so that the contacts
// solved in a step are those of the poses at its start.
#include "SbxUniverseRecord.h"

#include <math.h>

#include <kelmar/CdxSpace.h>
#include <kelmar/PxMessage.h>
#include <kelmar/PxMisc.h>
#include <kelmar/RbdStep.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/SbxBridge.h>

namespace {

// Collision then dynamics for one step, both halves reading the same step
// record. The plain step takes the boxes at the current poses and every
// island takes the whole step; the path step sweeps the boxes over the
// step, so that pairs that will meet within it are found now, the bridge
// estimates their times of impact within it, and the world shortens the
// islands concerned.
void StepWith(SbxUniverse *universe, const RbdStepInfo &step)
{
    PxProfileStartSectionFn("Collision", 0);
    if (step.safeTimeMode)
        CdxSpacePathUpdateAll(universe->space, step.h);
    else
        CdxSpaceUpdateAll(universe->space);
    SbxBridgeUpdateContactsForStep(universe->bridge, universe->space, universe->world, &step);
    PxProfileEndSectionFn("Collision");

    PxProfileStartSectionFn("Dynamics", 0);
    RbdWorldStepWith(universe->world, &step);
    PxProfileEndSectionFn("Dynamics");
}

} // namespace

extern "C" {

void SbxUniverseStep(SbxUniverseID universe, PxReal h)
{
    if (!SbxCheckUniverse(universe, "SbxUniverseStep")) return;
    if (!(h > 0.0) || !isfinite(h)) {
        PxWarning(SBX_UNIVERSE_MESSAGE_LEVEL, "SbxUniverseStep: the step %g must be > 0; not stepped.\n", h);
        return;
    }
    const RbdStepInfo step = {h, universe->stepMethod == SbxUniverseStepPath ? 1 : 0};
    StepWith(universe, step);
}

} // extern "C"
