// The averaged accelerations the sleep test judges. A settled pile is not
// still under the solver: each step leaves every body a little velocity
// (mm/s) that the next step takes back, so the acceleration of a resting
// ball swings by tenths of m/s^2 from step to step; averaged over a window
// of steps this jitter cancels, while the average of its square does not.
// A ball thrown upwards, which stops at the top of its flight, keeps g in
// all three.
#include "step/RbdPartition.h"

#include <kelmar/PxVector.h>

namespace {

// average += (value - average) / window: an exponential average whose
// weights sum to 1 and reach back about `window` steps.
void fold(PxVector3 average, const PxVector3 value, PxReal weight)
{
    for (int i = 0; i < 3; ++i) average[i] += weight * (value[i] - average[i]);
}

void foldSquare(PxReal *average, const PxVector3 value, PxReal weight)
{
    *average += weight * (PxV3LengthSquared(value) - *average);
}

// The share of a body's mean squared acceleration that its squared mean
// acceleration must make up for the acceleration to count as steady
// (dimensionless). A constant acceleration makes up all of it, one growing
// as a tipping box's does nearly all; random jitter about 1 / (2 window - 1)
// of it, jitter that changes sign every step 1 / (2 window - 1)^2.
const PxReal kSteadyShare = 0.5;

// Whether an acceleration counts: above the threshold ((units/s^2)^2)
// both in this step and averaged, and for a slow body steady over the
// window. Resting
// boxes in a large pile are pushed back and forth by the sweeps at tenths
// of m/s^2 (more than a thousand times a threshold of 0.002 (m/s^2)^2),
// yet their velocities stay below the rest speed; a body starting to tip
// or roll accelerates one way.
bool accelerates(const PxVector3 now, const PxVector3 average, PxReal meanSquare, PxReal threshold, bool slow)
{
    const PxReal a = PxV3LengthSquared(now), b = PxV3LengthSquared(average);
    return a > threshold && b > threshold && (!slow || b > kSteadyShare * meanSquare);
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
    RbdBodyMotionAverage *average = &body->average;
    fold(average->linearAcceleration, body->lcs.linearAcceleration, weight);
    fold(average->angularAcceleration, body->lcs.angularAcceleration, weight);
    foldSquare(&average->linearAccelerationSquared, body->lcs.linearAcceleration, weight);
    foldSquare(&average->angularAccelerationSquared, body->lcs.angularAcceleration, weight);
}

int RbdBodyIsAccelerating(const RbdBody *body, const RbdAutoDisableThresholds *thresholds, bool swept)
{
    // Only the sweeps leave jitter, and only a body slower than the rest
    // speed can be jittering in place; a faster one (a box still sliding)
    // and every body the pivoting solves exactly (a stack settling, a link
    // closing on its servo's target) keep every acceleration above its
    // threshold, steady or not.
    const bool slow = swept && RbdBodyIsSlow(body, thresholds->restSpeed);
    const RbdBodyMotionAverage *average = &body->average;
    return accelerates(body->lcs.linearAcceleration, average->linearAcceleration, average->linearAccelerationSquared,
                       thresholds->acceleration, slow) ||
           accelerates(body->lcs.angularAcceleration, average->angularAcceleration,
                       average->angularAccelerationSquared, thresholds->angularAcceleration, slow);
}
