// The averaged accelerations the sleep test judges. A settled pile is not
// still under the solver: each step leaves every body a little velocity
// (mm/s) that the next step takes back, so the acceleration of a resting
// ball swings by tenths of m/s^2 from step to step; averaged over a window
// of steps this jitter cancels. A ball thrown upwards, which stops at the
// top of its flight, keeps g in both.
#include "step/RbdPartition.h"

#include <kelmar/PxVector.h>

namespace {

// average += (value - average) / window: an exponential average whose
// weights sum to 1 and reach back about `window` steps.
void fold(PxVector3 average, const PxVector3 value, PxReal weight)
{
    for (int i = 0; i < 3; ++i) average[i] += weight * (value[i] - average[i]);
}

// 2 E / m (m^2/s^2): |v|^2 + w.I.w / m.
PxReal twiceEnergyPerMass(const RbdLcsBody *lcs)
{
    const PxReal *w = lcs->angularVelocity;
    PxReal spin = 0.0; // w.I.w (kg m^2/s^2)
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) spin += w[i] * lcs->inertiaWorld[i][j] * w[j];
    return PxV3LengthSquared(lcs->linearVelocity) + spin * lcs->invMass;
}

} // namespace

bool RbdBodyIsSlow(const RbdBody *body, PxReal fraction)
{
    const RbdWorld *world = body->world;
    if (!world || fraction <= 0.0) return false;
    const PxReal slow = fraction * PxV3Length(world->gravity) * world->timeStep; // m/s
    return twiceEnergyPerMass(&body->lcs) < slow * slow;
}

void RbdBodyAverageMotion(RbdBody *body, int32_t window)
{
    // A body just enabled (created or woken) forgets how it moved before it
    // slept: its first step is its whole average.
    const PxReal weight = body->enabledTime <= 0 || window <= 1 ? 1.0 : 1.0 / window;
    fold(body->average.linearAcceleration, body->lcs.linearAcceleration, weight);
    fold(body->average.angularAcceleration, body->lcs.angularAcceleration, weight);
}
