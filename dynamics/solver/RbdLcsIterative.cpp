// Projected Gauss-Seidel over the rows of a large island. Each row in turn
// takes the impulse that zeroes its residual
//   w_i = (A x - q)_i = J_i u + E_i x_i - q_i,   u = M^-1 J^T x,
// clipped to its bounds, and passes the change on to u, the velocity
// change of the bodies it touches. A row costs two products of length 12
// and two updates of length 6 whatever the island's size, and the rows are
// read in order from one array, so a sweep streams through memory once.
//
// Every row starts from its constraint's impulse of the last step (the
// bridge keeps contacts from step to step): a resting pile then needs only
// the few sweeps that account for what changed. A contact's start is its
// last force projected onto its new normal and friction directions, so a
// turned normal or new friction directions still start from the right
// impulse.
#include "solver/RbdLcsIterative.h"

#include <math.h>
#include <string.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/RbdTypes.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTolerance.h"

namespace lcs {

namespace {

// One row as the sweeps read it, its two bodies' halves side by side.
struct SweepRow {
    PxReal J[12];       // linear 0, angular 0, linear 1, angular 1
    PxReal MJ[12];      // M^-1 J^T, the same halves: the bodies' velocity change per unit impulse
    PxReal q;           // right-hand side
    PxReal softness;    // E_i = epsilon + rowEpsilon / h: (A x)_i = J_i u + E_i x_i
    PxReal invDiagonal; // 1 / A_ii
    PxReal lo, hi;      // bounds (impulse); friction rows take theirs from their normal row
    PxReal mu;          // friction coefficient of a row that follows a normal row
    int32_t body[2];    // velocity slot of each side; the last slot is the world's
    int32_t normal;     // the normal row a friction row follows, -1 for none
    int32_t pad;
    PxReal tolerance; // a change of the impulse this small counts as settled
};

PxReal clip(PxReal value, PxReal lo, PxReal hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}

// Row i's half of constraint c in the sweep layout.
void packRow(const PartitionRows &rows, const IterativeInput &in, int c, int i, SweepRow &r)
{
    const ConstraintLayout &layout = rows.layout;
    PxReal product = 0.0;
    for (int col = 0; col < kTileColumns; ++col) {
        r.J[col] = rows.J[tileIndex(i, col)];
        r.MJ[col] = in.JMinv[tileIndex(i, col)];
        product += r.J[col] * r.MJ[col];
    }
    for (int side = 0; side < 2; ++side) {
        int body = layout.bodies[2 * c + side];
        r.body[side] = body < 0 ? in.bodyCount : body;
    }
    r.q = in.rhs[i];
    r.softness = in.epsilon + rows.rowEpsilon[i] / in.h;
    PxReal diagonal = product + r.softness;
    r.invDiagonal = diagonal > 0.0 ? 1.0 / diagonal : 0.0;
    r.lo = rows.lo[i];
    r.hi = rows.hi[i];
    r.normal = rows.frictionRef[i];
    r.mu = rows.mu[i];
    r.pad = 0;
    r.tolerance = impulseOfRow(r.q, r.invDiagonal); // the row's own scale until the island's is known
}

// Each row's tolerance from its own scale and the island's largest.
void setTolerances(SweepRow *sweep, int n, PxReal tolerance)
{
    PxReal largest = 0.0;
    for (int i = 0; i < n; ++i)
        if (sweep[i].tolerance > largest) largest = sweep[i].tolerance;
    for (int i = 0; i < n; ++i) sweep[i].tolerance = rowTolerance(tolerance, sweep[i].tolerance, largest);
}

// The bounds row r has now: a friction row's follow its normal row's impulse.
void boundsOf(const SweepRow &r, const PxReal *x, PxReal &lo, PxReal &hi)
{
    if (r.normal < 0) {
        lo = r.lo;
        hi = r.hi;
        return;
    }
    PxReal bound = fabs(r.mu * x[r.normal]);
    lo = -bound;
    hi = bound;
}

// Impulse of row r of a contact from the contact's last force: the force on
// the side that has a body, along that side's linear Jacobian (the rows'
// directions are orthonormal, so each takes its own component).
PxReal contactStart(const SweepRow &r, const RbdBaseConstraint *record, PxReal h)
{
    int side = r.J[0] != 0.0 || r.J[1] != 0.0 || r.J[2] != 0.0 ? 0 : 1;
    return h * PxV3Dot(&r.J[6 * side], record->force[side]);
}

// Rows of other constraints start from their own last impulses, as far as
// the last step had them (its row count ended with the end marker).
void warmStartConstraint(const SweepRow *sweep, const ConstraintLayout &layout, int c,
                         const RbdBaseConstraint *record, PxReal h, PxReal *x)
{
    int first = layout.firstRow[c];
    bool contact = record->typeId == RBD_TYPE_CONTACT;
    for (int r = 0; r < layout.rows[c]; ++r) {
        if (contact) {
            x[first + r] = contactStart(sweep[first + r], record, h);
            continue;
        }
        if (r >= RBD_CONSTRAINT_LAMBDA_COUNT || record->lambda[r] == RBD_LAMBDA_END_MARKER) break;
        x[first + r] = h * record->lambda[r];
    }
}

void warmStart(const SweepRow *sweep, const ConstraintLayout &layout, const IterativeInput &in, PxReal *x)
{
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(layout.rowCount));
    if (!in.records) return;
    for (int c = 0; c < layout.constraintCount; ++c)
        if (in.records[c]) warmStartConstraint(sweep, layout, c, in.records[c], in.h, x);
}

// Starts within the bounds (normal rows first, which friction bounds follow),
// and u = M^-1 J^T x for that start.
void startVelocities(const SweepRow *sweep, int n, PxReal *x, PxReal (*u)[6], int slots)
{
    memset(u, 0, sizeof(PxReal) * 6 * static_cast<size_t>(slots));
    for (int i = 0; i < n; ++i)
        if (sweep[i].normal < 0) x[i] = clip(x[i], sweep[i].lo, sweep[i].hi);
    for (int i = 0; i < n; ++i) {
        const SweepRow &r = sweep[i];
        PxReal lo, hi;
        boundsOf(r, x, lo, hi);
        x[i] = clip(x[i], lo, hi);
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < 6; ++k) u[r.body[side]][k] += r.MJ[6 * side + k] * x[i];
    }
    for (int k = 0; k < 6; ++k) u[slots - 1][k] = 0.0;
}

// One sweep; returns whether every impulse changed by no more than its tolerance.
int sweepOnce(const SweepRow *sweep, int n, PxReal *x, PxReal (*u)[6])
{
    int settled = 1;
    for (int i = 0; i < n; ++i) {
        const SweepRow &r = sweep[i];
        PxReal *u0 = u[r.body[0]], *u1 = u[r.body[1]];
        PxReal Ju = 0.0;
        for (int k = 0; k < 6; ++k) Ju += r.J[k] * u0[k] + r.J[6 + k] * u1[k];
        PxReal lo, hi;
        boundsOf(r, x, lo, hi);
        PxReal old = x[i];
        PxReal next = clip(old + (r.q - Ju - r.softness * old) * r.invDiagonal, lo, hi);
        PxReal change = next - old;
        if (change == 0.0) continue;
        x[i] = next;
        for (int k = 0; k < 6; ++k) {
            u0[k] += r.MJ[k] * change;
            u1[k] += r.MJ[6 + k] * change;
        }
        PxReal size = change < 0.0 ? -change : change;
        if (size > r.tolerance) settled = 0;
    }
    return settled;
}

} // namespace

int islandIsLarge(int rowCount, const RbdLcsLCPSolverParameters &params)
{
    return params.largeIslandSolver == RBD_LCP_LARGE_ISLAND_ITERATIVE && rowCount > params.largeIslandRows;
}

size_t iterativeMemoryRequired(int rowCount, int bodyCount)
{
    size_t rows = static_cast<size_t>(rowCount > 0 ? rowCount : 0);
    size_t slots = static_cast<size_t>(bodyCount > 0 ? bodyCount : 0) + 1;
    return PoolAlignedCost(sizeof(SweepRow) * rows) + PoolAlignedCost(sizeof(PxReal) * 6 * slots);
}

int solveIteratively(MemoryPool &pool, PartitionRows &rows, const IterativeInput &in,
                     const RbdLcsLCPSolverParameters &params)
{
    const ConstraintLayout &layout = rows.layout;
    int n = layout.rowCount, slots = in.bodyCount + 1;
    SweepRow *sweep = pool.array<SweepRow>(static_cast<size_t>(n), "sweep rows");
    PxReal(*u)[6] = static_cast<PxReal(*)[6]>(
        pool.allocAligned(PoolRound(sizeof(PxReal) * 6 * static_cast<size_t>(slots)), kPoolAlignment, "sweep u"));
    if (!sweep || !u) {
        memset(rows.lambda, 0, sizeof(PxReal) * static_cast<size_t>(n));
        return 0;
    }
    for (int c = 0; c < layout.constraintCount; ++c)
        for (int r = 0; r < layout.rows[c]; ++r)
            packRow(rows, in, c, layout.firstRow[c] + r, sweep[layout.firstRow[c] + r]);
    setTolerances(sweep, n, params.tolerance);
    warmStart(sweep, layout, in, rows.lambda);
    startVelocities(sweep, n, rows.lambda, u, slots);
    for (int k = 0; k < params.iterations; ++k)
        if (sweepOnce(sweep, n, rows.lambda, u)) return k + 1;
    return -params.iterations;
}

} // namespace lcs
