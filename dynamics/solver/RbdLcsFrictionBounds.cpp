// Friction proportional to the normal force is bounded by mu lambda_n, and
// lambda_n is what the solve finds. Solving first with the friction rows
// fixed at zero to learn lambda_n, then again with the bounds it gives,
// costs two solves every step.
//
// From one step to the next a contact's normal force hardly changes, so
// in an island of contacts alone its friction rows start with the bounds
// of the last step's force. The solution is kept when it also solves the
// problem with bounds from its own normal impulses (frictionBoundsHold).
// When it does not (a contact starts or stops pushing, or slides under a
// normal force that changed by more than the tolerance), one more solve
// takes the bounds of its normal impulses; when that does not hold either,
// or a solve needs more than a few pivots, the frictionless solve and the
// one with its bounds follow, as without bounds from the last step. A new contact has no force yet
// and keeps [0, 0]. A ten-box stack at rest is solved once a step.
#include "solver/RbdLcsFrictionBounds.h"

#include <math.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsSubproblem.h"

namespace lcs {

namespace {

// A contact's first row is its normal row; its last force is kept in the
// record's first lambda.
int openContactBounds(PartitionRows &rows, int c, const RbdBaseConstraint *record, PxReal h)
{
    int first = rows.layout.firstRow[c], opened = 0;
    PxReal normal = record->lambda[0];
    if (!(normal > 0.0) || normal == RBD_LAMBDA_END_MARKER) return 0;
    for (int r = 1; r < rows.layout.rows[c]; ++r) {
        int i = first + r;
        if (rows.frictionRef[i] != first) continue;
        PxReal bound = fabs(rows.mu[i] * h * normal);
        rows.lo[i] = -bound;
        rows.hi[i] = bound;
        opened += bound > 0.0;
    }
    return opened;
}

} // namespace

// On a hand squeezing an object the squeeze is set by motors at their
// bounds, and a solve that starts with the friction rows open among them
// fails in most steps (the LcsGrip hand: its grip then slips); the
// frictionless solve first finds its way. So islands with joints keep the
// two solves.
int contactsOnly(const PartitionRows &rows, RbdBaseConstraint *const *records)
{
    if (!records) return 0;
    for (int c = 0; c < rows.layout.constraintCount; ++c)
        if (!records[c] || records[c]->typeId != RBD_TYPE_CONTACT) return 0;
    return 1;
}

int frictionBoundsFromLastStep(PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h, int contacts)
{
    if (!records || rows.frictionCount == 0 || !contacts) return 0;
    int opened = 0;
    for (int c = 0; c < rows.layout.constraintCount; ++c) {
        const RbdBaseConstraint *record = records[c];
        if (record && record->typeId == RBD_TYPE_CONTACT) opened += openContactBounds(rows, c, record, h);
    }
    return opened;
}

int frictionBoundsHold(const LcpRows &rows, const Tolerances &tolerances)
{
    for (int i = 0; i < rows.n; ++i) {
        int normal = rows.frictionRef[i];
        if (normal < 0) continue;
        PxReal bound = fabs(rows.mu[i] * rows.lambda[normal]);
        // The normal impulse is known to within its own tolerance, and
        // the bound to within mu times that.
        PxReal t = impulseTolerance(tolerances, i) + fabs(rows.mu[i]) * impulseTolerance(tolerances, normal);
        if (rows.state[i] == kLcpFree ? fabs(rows.lambda[i]) > bound + t : fabs(rows.hi[i] - bound) > t) return 0;
    }
    return 1;
}

int frictionBoundsOpen(const LcpRows &rows)
{
    for (int i = 0; i < rows.n; ++i)
        if (rows.frictionRef[i] >= 0 && (rows.lo[i] != 0.0 || rows.hi[i] != 0.0)) return 1;
    return 0;
}

void closeFrictionBounds(LcpRows &rows)
{
    for (int i = 0; i < rows.n; ++i) {
        if (rows.frictionRef[i] < 0) continue;
        rows.lo[i] = rows.hi[i] = 0.0;
        rows.state[i] = kLcpFree;
    }
}

} // namespace lcs
