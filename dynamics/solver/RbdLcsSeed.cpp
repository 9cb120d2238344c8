// A pivoting solve that starts with every row free begins with the
// unconstrained solution, where a hand squeezing an object is at its
// worst: with its motors free, each link is held by six rows of its own
// and by its contacts as well, rows that depend on each other, and the
// impulses run to tens of thousands of times the motors' bounds. From
// there the pivoting needs hundreds of iterations, and may not find its
// way at all. But from one step to the next a grip hardly changes: the
// motors at their bounds stay there, and so do the contacts that push
// nothing and the friction that slides. So those rows start held, and a
// resting grip is solved in one or two iterations.
//
// A contact's rows are rebuilt every step with new directions, so its
// last force (kept in its record) is read along them. A contact whose
// force along its new normal is not positive for the second step in a row
// starts held at zero: a contact that pushes nothing but starts free pulls
// its links together through the unconstrained solution, and every such
// contact cost a pair of pivots.
// One step without force is not enough: where a body rests on several
// coplanar corners (a stacked box) the normal forces are not unique, and
// a corner that carried nothing in one step is often needed in the next;
// held at zero, each such corner cost a pivot back. A new contact, which
// has no force yet, starts free for the same reason.
// Its friction rows start held at a bound their last force reaches to
// within kAtFrictionBound; friction proportional to the normal force has
// no bounds yet when the solve starts, and starts free.
// In an island with joints a contact without force is seeded from the
// step's right-hand side instead: it starts held at zero exactly when its
// row asks for no push (the contact does not close within the step). The
// closing hand's new and parting contacts started free and pulled at its
// links, and each cost its 72-row solve tens of pivots; a contact that
// rested without force for two steps and closes now started held and
// cost as many. An island of contacts alone keeps the count: its contacts
// that ask for no push are often pressed by their neighbours (a stack's
// corners), and seeded so the settling stack took four times the time.
// A box friction row's bound follows the normal force of the step before,
// which grows by a tenth a step while a hand closes on an object: the last
// force of a row that slid then falls short of the new bound, and the row
// started free; each such row cost the closing hand's solves tens of
// pivots. So the side a row was held at is kept in the record
// (keepFrictionSides), and the row starts held there while its last force
// along the new direction still points that way.
#include "solver/RbdLcsSeed.h"

#include <math.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

namespace {

// Of a bound's size: an impulse this close to a bound sits at it.
const PxReal kAtBound = 1e-9;

// The same for friction rows: their bounds follow the normal force, which
// changes a little from step to step, and their directions turn with the
// normal. A row seeded at a bound it should leave costs one pivot.
const PxReal kAtFrictionBound = 1e-3;

// The count of a contact's steps without force stops here.
const int32_t kIdleStepsKept = 1 << 20;

int32_t stateAt(PxReal impulse, PxReal lo, PxReal hi)
{
    if (isfinite(lo) && lo > -RBD_REAL_MAX && fabs(impulse - lo) <= kAtBound * fabs(lo)) return kLcpAtLower;
    if (isfinite(hi) && hi < RBD_REAL_MAX && fabs(impulse - hi) <= kAtBound * fabs(hi)) return kLcpAtUpper;
    return kLcpFree;
}

// A friction row's: at a bound its impulse reaches, or passes when the
// normal force (and with it the bound) fell since.
int32_t frictionStateAt(PxReal impulse, PxReal lo, PxReal hi)
{
    if (hi > 0.0 && impulse >= hi * (1.0 - kAtFrictionBound)) return kLcpAtUpper;
    if (lo < 0.0 && impulse <= lo * (1.0 - kAtFrictionBound)) return kLcpAtLower;
    return kLcpFree;
}

// The two state bits a contact's row r keeps in its record's frictionSides.
int sideShift(int r)
{
    return 2 * r;
}

const int32_t kSideBits = kLcpAtLower | kLcpAtUpper;

// Inlined into both seeding loops (below): called instead, it made a long
// chain's seeding 4 % dearer.
inline __attribute__((always_inline)) int seedConstraint(PartitionRows &rows, int c, const RbdBaseConstraint *record,
                                                         PxReal h)
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

// Impulse of a contact's row i from the contact's last force: the force on
// the side that has a body, along that side's linear Jacobian.
PxReal contactImpulse(const PartitionRows &rows, int i, const RbdBaseConstraint *record, PxReal h)
{
    int side = record->solverBody[0] ? 0 : 1;
    PxReal along = 0.0;
    for (int k = 0; k < 3; ++k) along += rows.J[tileIndex(i, 6 * side + k)] * record->force[side][k];
    return h * along;
}

// Whether a contact pushed nothing along its normal row (its first) in the
// last step, and its count of such steps in a row moved on to this one.
bool countIdleStep(const PartitionRows &rows, int c, RbdBaseConstraint *record, PxReal h)
{
    int32_t &idleSteps = record->data.contact.idleSteps;
    bool idle = contactImpulse(rows, rows.layout.firstRow[c], record, h) <= 0.0;
    idleSteps = idle ? (idleSteps < kIdleStepsKept ? idleSteps + 1 : idleSteps) : 0;
    return idle;
}

// The others are its friction rows. The normal row of a contact without
// force is held when its right-hand side (rhs, when given) is not
// positive, or else when the contact was idle the step before as well: its
// count, moved on, is 2 or more (it stops at kIdleStepsKept, which is more).
template <bool IdleCounted>
int seedContact(PartitionRows &rows, int c, RbdBaseConstraint *record, PxReal h, const PxReal *rhs, int &boxRows)
{
    int first = rows.layout.firstRow[c], held = 0;
    for (int r = 0; r < rows.layout.rows[c]; ++r) {
        int i = first + r;
        if (rows.frictionRef[i] >= 0) continue;
        if (r == 0) {
            bool idle = IdleCounted ? contactImpulse(rows, i, record, h) <= 0.0 : countIdleStep(rows, c, record, h);
            bool idleBefore = record->data.contact.idleSteps > 1;
            bool atZero = idle && (rhs ? rhs[i] <= 0.0 : idleBefore);
            rows.state[i] = atZero && rows.lo[i] == 0.0 ? kLcpAtLower : kLcpFree;
        } else {
            ++boxRows;
            const PxReal impulse = contactImpulse(rows, i, record, h);
            const int32_t kept = (record->data.contact.frictionSides >> sideShift(r)) & kSideBits;
            const int32_t side = kept == kLcpAtUpper && impulse > 0.0   ? kLcpAtUpper
                                 : kept == kLcpAtLower && impulse < 0.0 ? kLcpAtLower
                                                                        : kLcpFree;
            rows.state[i] = side != kLcpFree ? side : frictionStateAt(impulse, rows.lo[i], rows.hi[i]);
        }
        held += rows.state[i] != kLcpFree;
    }
    return held;
}

template <bool IdleCounted>
int seedRows(PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h, const PxReal *rhs, int &boxRows)
{
    for (int i = 0; i < rows.layout.rowCount; ++i) rows.state[i] = kLcpFree;
    if (!records) return 0;
    int held = 0;
    for (int c = 0; c < rows.layout.constraintCount; ++c) {
        RbdBaseConstraint *record = records[c];
        if (!record) continue;
        held += record->typeId == RBD_TYPE_CONTACT ? seedContact<IdleCounted>(rows, c, record, h, rhs, boxRows)
                                                   : seedConstraint(rows, c, record, h);
    }
    return held;
}

} // namespace

int seedStates(PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h, const PxReal *rhs, bool idleCounted,
               int *boxRows)
{
    int counted = 0;
    int held = idleCounted ? seedRows<true>(rows, records, h, rhs, counted)
                           : seedRows<false>(rows, records, h, rhs, counted);
    if (boxRows) *boxRows = counted;
    return held;
}

void keepFrictionSides(const PartitionRows &rows, RbdBaseConstraint *const *records, int solved)
{
    if (!records) return;
    for (int c = 0; c < rows.layout.constraintCount; ++c) {
        RbdBaseConstraint *record = records[c];
        if (!record || record->typeId != RBD_TYPE_CONTACT) continue;
        int first = rows.layout.firstRow[c];
        int32_t sides = 0;
        for (int r = 1; solved && r < rows.layout.rows[c]; ++r)
            if (rows.frictionRef[first + r] < 0) sides |= (rows.state[first + r] & kSideBits) << sideShift(r);
        record->data.contact.frictionSides = sides;
    }
}

void countIdleSteps(const PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h)
{
    if (!records) return;
    for (int c = 0; c < rows.layout.constraintCount; ++c) {
        RbdBaseConstraint *record = records[c];
        if (record && record->typeId == RBD_TYPE_CONTACT && rows.frictionRef[rows.layout.firstRow[c]] < 0)
            countIdleStep(rows, c, record, h);
    }
}

} // namespace lcs
