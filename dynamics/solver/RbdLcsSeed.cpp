// A pivoting solve that starts with every row free begins with the
// unconstrained solution, where a hand squeezing an object is at its
// worst: with its motors free, each link is held by six rows of its own
// and by its contacts as well, rows that depend on each other, and the
// impulses run to tens of thousands of times the motors' bounds. From
// there the pivoting needs hundreds of iterations, and may not find its
// way at all. But from one step to the next a grip hardly changes: the
// motors at their bounds stay there. So those rows start held, and a
// resting grip is solved in one or two iterations. Contacts start free:
// their rows are rebuilt with new directions, and a contact new this step
// has no last force to go by.
#include "solver/RbdLcsSeed.h"

#include <math.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsSolver.h"

namespace lcs {

namespace {

// Of a bound's size: an impulse this close to a bound sits at it.
const PxReal kAtBound = 1e-9;

int32_t stateAt(PxReal impulse, PxReal lo, PxReal hi)
{
    if (isfinite(lo) && lo > -RBD_REAL_MAX && fabs(impulse - lo) <= kAtBound * fabs(lo)) return kLcpAtLower;
    if (isfinite(hi) && hi < RBD_REAL_MAX && fabs(impulse - hi) <= kAtBound * fabs(hi)) return kLcpAtUpper;
    return kLcpFree;
}

int seedConstraint(PartitionRows &rows, int c, const RbdBaseConstraint *record, PxReal h)
{
    int first = rows.layout.firstRow[c], held = 0;
    for (int r = 0; r < rows.layout.rows[c] && r < RBD_CONSTRAINT_LAMBDA_COUNT; ++r) {
        if (record->lambda[r] == RBD_LAMBDA_END_MARKER) break;
        int i = first + r;
        if (rows.frictionRef[i] >= 0) continue;
        rows.state[i] = stateAt(h * record->lambda[r], rows.lo[i], rows.hi[i]);
        held += rows.state[i] != kLcpFree;
    }
    return held;
}

} // namespace

int seedStates(PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h)
{
    for (int i = 0; i < rows.layout.rowCount; ++i) rows.state[i] = kLcpFree;
    if (!records) return 0;
    int held = 0;
    for (int c = 0; c < rows.layout.constraintCount; ++c) {
        const RbdBaseConstraint *record = records[c];
        if (record && record->typeId != RBD_TYPE_CONTACT) held += seedConstraint(rows, c, record, h);
    }
    return held;
}

} // namespace lcs
