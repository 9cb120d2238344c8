#include "solver/RbdLcsSweptHeaps.h"

#include <kelmar/PxVector.h>
#include "solver/RbdLcsFrictionBounds.h"

namespace lcs {

namespace {

int sweptSteps(const RbdLcsBody *body)
{
    return (body->flags & RBD_LCS_BODY_SWEPT_STEPS) >> RBD_LCS_BODY_SWEPT_STEPS_SHIFT;
}

void setSweptSteps(RbdLcsBody *body, int steps)
{
    body->flags = (body->flags & ~RBD_LCS_BODY_SWEPT_STEPS) | (steps << RBD_LCS_BODY_SWEPT_STEPS_SHIFT);
}

// Whether the body moves at least as fast as its load would make it in
// `steps` steps of h (steps g h under gravity alone).
int fasterThan(const RbdLcsBody *body, PxReal steps, PxReal h)
{
    const PxReal *v = body->linearVelocity;
    const PxReal speed = steps * h * body->invMass * PxV3Length(body->force);
    return speed > 0.0 && PxV3Dot(v, v) >= speed * speed;
}

int landing(RbdLcsBody *const *bodies, int bodyCount, PxReal h)
{
    for (int b = 0; b < bodyCount; ++b)
        if (fasterThan(bodies[b], kLandingSteps, h)) return 1;
    return 0;
}

void markAll(RbdLcsBody *const *bodies, int bodyCount)
{
    for (int b = 0; b < bodyCount; ++b) setSweptSteps(bodies[b], kStillStepsBeforePivoting);
}

void clearAll(RbdLcsBody *const *bodies, int bodyCount)
{
    for (int b = 0; b < bodyCount; ++b) setSweptSteps(bodies[b], 0);
}

int anyMarked(RbdLcsBody *const *bodies, int bodyCount)
{
    for (int b = 0; b < bodyCount; ++b)
        if (sweptSteps(bodies[b]) > 0) return 1;
    return 0;
}

} // namespace

int markSweptSteps(RbdLcsBody *const *bodies, int bodyCount, PxReal h)
{
    if (!landing(bodies, bodyCount, h)) return 0;
    markAll(bodies, bodyCount);
    return 1;
}

int sweptHeap(RbdLcsBody *const *bodies, int bodyCount, PxReal h, const PartitionRows &rows,
              RbdBaseConstraint *const *records)
{
    const int lands = rows.layout.rowCount >= kLandingHeapRows && landing(bodies, bodyCount, h);
    if (!lands && !anyMarked(bodies, bodyCount)) return 0;
    if (!contactsOnly(rows, records)) {
        clearAll(bodies, bodyCount);
        return 0;
    }
    if (lands) {
        markAll(bodies, bodyCount);
        return 1;
    }
    for (int b = 0; b < bodyCount; ++b) {
        const int steps = sweptSteps(bodies[b]);
        if (fasterThan(bodies[b], kStillSteps, h))
            setSweptSteps(bodies[b], kStillStepsBeforePivoting);
        else if (steps > 0)
            setSweptSteps(bodies[b], steps - 1);
    }
    return 1;
}

} // namespace lcs
