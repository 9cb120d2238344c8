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

int landing(RbdLcsBody *const *bodies, int bodyCount, PxReal h)
{
    for (int b = 0; b < bodyCount; ++b) {
        const RbdLcsBody *body = bodies[b];
        const PxReal *v = body->linearVelocity;
        const PxReal speed = kLandingSteps * h * body->invMass * PxV3Length(body->force); // 5 g h under gravity
        if (speed > 0.0 && PxV3Dot(v, v) >= speed * speed) return 1;
    }
    return 0;
}

} // namespace

int markSweptSteps(RbdLcsBody *const *bodies, int bodyCount, PxReal h)
{
    if (!landing(bodies, bodyCount, h)) return 0;
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
