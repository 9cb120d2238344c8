#include "solver/RbdLcsSweptHeaps.h"

#include <kelmar/PxVector.h>
#include "joints/RbdConstraintRecord.h"
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

// Square of the body's load per unit mass (g^2 under gravity alone).
PxReal loadSquared(const RbdLcsBody *body)
{
    return body->invMass * body->invMass * PxV3Dot(body->force, body->force);
}

// Whether the body moves at least as fast as its load would make it in
// `steps` steps of h (steps g h under gravity alone).
int fasterThan(const RbdLcsBody *body, PxReal steps, PxReal h)
{
    const PxReal *v = body->linearVelocity;
    const PxReal speed = steps * h * body->invMass * PxV3Length(body->force);
    return speed > 0.0 && PxV3Dot(v, v) >= speed * speed;
}

// Whether the body lands: kLandingSteps, and no slower than a fall by
// kLandingDrop of its radius of gyration (r^2 = trace I / 2m).
int lands(const RbdLcsBody *body, PxReal h)
{
    if (!fasterThan(body, kLandingSteps, h)) return 0;
    const PxMatrix3 &I = body->inertiaBody;
    const PxReal r2 = 0.5 * body->invMass * (I[0][0] + I[1][1] + I[2][2]);
    const PxReal *v = body->linearVelocity;
    return PxV3Dot(v, v) * PxV3Dot(v, v) >= 4.0 * kLandingDrop * kLandingDrop * loadSquared(body) * r2;
}

int landing(RbdLcsBody *const *bodies, int bodyCount, PxReal h)
{
    for (int b = 0; b < bodyCount; ++b)
        if (lands(bodies[b], h)) return 1;
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

// Whether two bodies touch at several points (a box on a face or an edge
// of another): the contacts of a pair come one after the other. A pair's
// several contacts are the dependent rows the pivoting fails on while a
// heap turns over; balls touch a neighbour at one point, and a heap of
// them pivots as cheaply while it lands. Contacts with the world are left
// out: a ball in a corner touches the floor and a wall, both the world.
int touchesAtSeveralPoints(RbdBaseConstraint *const *records, int count)
{
    for (int c = 1; c < count; ++c) {
        const RbdBaseConstraint *a = records[c - 1], *b = records[c];
        if (b->body[0] && b->body[1] && b->body[0] == a->body[0] && b->body[1] == a->body[1]) return 1;
    }
    return 0;
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
    const int marked = anyMarked(bodies, bodyCount);
    if (!lands && !marked) return 0;
    if (!contactsOnly(rows, records)) {
        clearAll(bodies, bodyCount);
        return 0;
    }
    if (lands && !marked && !touchesAtSeveralPoints(records, rows.layout.constraintCount)) return 0;
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
