#include "solver/RbdLcsSweptHeaps.h"

#include <kelmar/PxVector.h>

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

int landing(RbdLcsBody *const *bodies, int bodyCount)
{
    for (int b = 0; b < bodyCount; ++b) {
        const PxReal *v = bodies[b]->linearVelocity;
        if (PxV3Dot(v, v) >= kLandingSpeed * kLandingSpeed) return 1;
    }
    return 0;
}

} // namespace

int markSweptSteps(RbdLcsBody *const *bodies, int bodyCount)
{
    if (!landing(bodies, bodyCount)) return 0;
    for (int b = 0; b < bodyCount; ++b) setSweptSteps(bodies[b], kSweptStepsAfterFailure);
    return 1;
}

int takeSweptStep(RbdLcsBody *const *bodies, int bodyCount)
{
    int swept = 0;
    for (int b = 0; b < bodyCount; ++b) {
        int steps = sweptSteps(bodies[b]);
        if (steps == 0) continue;
        setSweptSteps(bodies[b], steps - 1);
        swept = 1;
    }
    return swept;
}

} // namespace lcs
