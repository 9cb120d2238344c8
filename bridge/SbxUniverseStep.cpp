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

// Boxes at the current poses; every island takes the whole step.
void StepPlain(SbxUniverse *universe, PxReal h)
{
    PxProfileStartSectionFn("Collision", 0);
    CdxSpaceUpdateAll(universe->space);
    SbxBridgeUpdateContacts(universe->bridge, universe->space, universe->world);
    PxProfileEndSectionFn("Collision");

    PxProfileStartSectionFn("Dynamics", 0);
    RbdWorldSetSafeTimeMode(universe->world, 0);
    RbdWorldStep(universe->world, h);
    PxProfileEndSectionFn("Dynamics");
}

// Boxes swept over the step, so that pairs that will meet within it are
// found now; the bridge estimates their times of impact from the world's
// time step and the world shortens the islands concerned.
void StepPath(SbxUniverse *universe, PxReal h)
{
    PxProfileStartSectionFn("Collision", 0);
    CdxSpacePathUpdateAll(universe->space, h);
    RbdWorldSetSafeTimeMode(universe->world, 1);
    RbdWorldSetTimeStep(universe->world, h);
    SbxBridgeUpdateContacts(universe->bridge, universe->space, universe->world);
    PxProfileEndSectionFn("Collision");

    PxProfileStartSectionFn("Dynamics", 0);
    RbdWorldStep(universe->world, h);
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
    if (universe->stepMethod == SbxUniverseStepPath)
        StepPath(universe, h);
    else
        StepPlain(universe, h);
}

} // extern "C"
