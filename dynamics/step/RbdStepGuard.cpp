// The guard after each island's solve: a body whose new state is not
// finite (an overflowing force, a degenerate island) would spread NaN into
// its contacts, its collision model and everything it touches. It goes back
// to the pose it had before the step, at rest, and is frozen there.
#include <math.h>
#include "step/RbdPartition.h"

namespace {

bool allFinite(const PxReal *values, int count)
{
    for (int i = 0; i < count; ++i)
        if (!isfinite(values[i])) return false;
    return true;
}

bool stateIsFinite(const RbdLcsBody &lcs)
{
    return allFinite(lcs.linearVelocity, 3) && allFinite(lcs.angularVelocity, 3) && allFinite(lcs.quaternion, 4) &&
           allFinite(&lcs.comTransform[0][0], 16);
}

// The centre-of-mass frame again from the reference frame the step has not
// yet overwritten; velocities, accelerations and forces zero.
void restoreAtRest(RbdBody *body)
{
    RbdBodyUpdateComFromTransform(body);
    RbdLcsBody &lcs = body->lcs;
    PxV3Zero(lcs.linearVelocity);
    PxV3Zero(lcs.angularVelocity);
    PxV3Zero(lcs.linearAcceleration);
    PxV3Zero(lcs.angularAcceleration);
    PxV3Zero(lcs.force);
    PxV3Zero(lcs.torque);
}

void freezeNonFinite(RbdWorld *world, RbdBody *body)
{
    restoreAtRest(body);
    ++world->nonFiniteBodies;
    if (body->name)
        PxWarning(RBD_MESSAGE_LEVEL,
                  "RbdWorldStep: step %ld: the pose or velocity of body '%s' is not finite; the body is frozen at "
                  "its last finite pose.\n",
                  world->stepCount + 1, body->name);
    else
        PxWarning(RBD_MESSAGE_LEVEL,
                  "RbdWorldStep: step %ld: the pose or velocity of an unnamed body (%p) is not finite; the body is "
                  "frozen at its last finite pose.\n",
                  world->stepCount + 1, (void *)body);
    RbdBodyFreeze(body);
}

} // namespace

void RbdGuardBody(RbdWorld *world, RbdBody *body)
{
    if (!stateIsFinite(body->lcs)) freezeNonFinite(world, body);
}
