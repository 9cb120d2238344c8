#include "solver/RbdLcsRestSolve.h"

#include <math.h>
#include <string.h>
#include "solver/RbdLcsBkChol.h"
#include "solver/RbdLcsFrictionBounds.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMatrixKey.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsSubproblem.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsVbChol.h"

namespace lcs {

// The kept factor of the free rows, as its scheme stores it.

void LCPMatrix::saveHeldFactor(PxReal *out) const
{
    memcpy(out, heldStorage_, sizeof(PxReal) * heldFactorReals());
    saveHeldPivots(out + heldFactorReals());
}

void LCPMatrix::lendHeldFactor(const int32_t *positions, int count, PxReal *saved)
{
    memcpy(activePosition_, positions, sizeof(int32_t) * static_cast<size_t>(count));
    free_ = compactRows(count);
    lendHeldStorage(free_, saved);
}

void BkChol::saveHeldPivots(PxReal *out) const
{
    memcpy(out, heldRsD_, sizeof(PxReal) * static_cast<size_t>(kT * H_.T));
}

void BkChol::lendHeldStorage(const ActiveRows &rows, PxReal *saved)
{
    H_.shape(rows.start, rows.padded);
    heldL_ = saved;
    memcpy(heldRsD_, saved + heldFactorReals(), sizeof(PxReal) * static_cast<size_t>(rows.padded));
}

void VbChol::saveHeldPivots(PxReal *out) const
{
    memcpy(out, heldDiag_, sizeof(PxReal) * static_cast<size_t>(H_.n));
}

void VbChol::lendHeldStorage(const ActiveRows &rows, PxReal *saved)
{
    H_.shape(rows.start, rows.padded);
    heldL_ = saved;
    memcpy(heldDiag_, saved + heldFactorReals(), sizeof(PxReal) * static_cast<size_t>(rows.padded));
}

namespace {

// Row i's 6 entries on side s of 4-row tiles (entry k at [4 k]).
const PxReal *sideOf(const PxReal *tiles, int i, int side)
{
    return tiles + tileIndex(i, 6 * side);
}

} // namespace

// Each row's bodies (6 x body index, -1 for none) and softness, read by
// the products below: the layout's constraints unrolled once per keep.
void RestSolve::keepRowBodies(const ConstraintLayout &layout, const PxReal *rowEpsilon)
{
    const size_t np = static_cast<size_t>(layout.paddedRowCount);
    rowBody_.assign(2 * np, -1);
    softness_.assign(np, 1.0); // padding rows: 1 on the diagonal, as A has
    for (int c = 0; c < layout.constraintCount; ++c)
        for (int r = 0; r < layout.rows[c]; ++r) {
            size_t i = static_cast<size_t>(layout.firstRow[c] + r);
            for (int side = 0; side < 2; ++side) {
                int body = layout.bodies[2 * c + side];
                rowBody_[2 * i + side] = body < 0 ? -1 : 6 * body;
            }
            softness_[i] = epsilon_ + rowEpsilon[i] / h_;
        }
}

// out = A x = J (M^-1 J^T x) + softness x over the padded rows; u: 6 x
// bodies of scratch. What LCPMatrix::multiply does through the Jacobian,
// with each row's bodies looked up once per keep rather than per product.
void RestSolve::multiply(const PxReal *JMinv, const PxReal *J, const PxReal *x, PxReal *out, PxReal *u,
                         int bodies) const
{
    const int np = static_cast<int>(softness_.size());
    memset(u, 0, sizeof(PxReal) * 6 * static_cast<size_t>(bodies));
    for (int i = 0; i < np; ++i)
        for (int side = 0; side < 2; ++side) {
            int b = rowBody_[2 * static_cast<size_t>(i) + side];
            if (b < 0) continue;
            const PxReal *a = sideOf(JMinv, i, side);
            for (int k = 0; k < 6; ++k) u[b + k] += a[4 * k] * x[i];
        }
    for (int i = 0; i < np; ++i) {
        PxReal v = softness_[static_cast<size_t>(i)] * x[i];
        for (int side = 0; side < 2; ++side) {
            int b = rowBody_[2 * static_cast<size_t>(i) + side];
            if (b < 0) continue;
            const PxReal *j = sideOf(J, i, side);
            for (int k = 0; k < 6; ++k) v += j[4 * k] * u[b + k];
        }
        out[i] = v;
    }
}

namespace {

PxReal heldValue(int32_t state, PxReal lo, PxReal hi, PxReal guess)
{
    if (state & kLcpFixed) return 0.0;
    if (state == kLcpAtLower) return lo;
    if (state == kLcpAtUpper) return hi;
    return guess;
}

} // namespace

int RestSolve::matches(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h,
                       PxReal tolerance) const
{
    const ConstraintLayout &layout = rows.layout;
    if (!valid_ || stale_ || typeid(A) != *scheme_ || epsilon != epsilon_ || h != h_ || tolerance != tolerance_)
        return 0;
    if (!matrixKeyMatches(key_, A, layout)) return 0;
    return memcmp(rows.rowEpsilon, rowEpsilon_.data(), sizeof(PxReal) * static_cast<size_t>(layout.rowCount)) == 0;
}

// The pivoting solve fixes at 0 the rows whose bounds both lie within
// their tolerance of 0: the kept states must have fixed those and no other.
int RestSolve::pinnedAsKept(const LcpRows &rows, const PxReal *impulseTolerance) const
{
    for (int i = 0; i < rows.n; ++i) {
        PxReal t = impulseTolerance[i];
        int pinned = fabs(rows.lo[i]) <= t && fabs(rows.hi[i]) <= t;
        if (pinned != (state_[static_cast<size_t>(i)] == kLcpDegenerate)) return 0;
    }
    return 1;
}

// x_F += F_old^-1 (q - A x)_F until every free row's residual is under
// kRestResidualOfTolerance of its velocity tolerance; Ax then holds A x.
// Returns 0 when the residual does not fall at every step or is still
// above that after kRestRefinements steps.
int RestSolve::refine(LCPMatrix &A, const PxReal *q, int qCount, PxReal *x, PxReal *Ax, PxReal *z,
                      const PxReal *velocityTolerance) const
{
    const LCPMatrix::KeptJacobian &kept = *A.keptJacobian();
    const int count = static_cast<int>(freeRow_.size()), padded = (count + 3) & ~3;
    PxReal last = INFINITY;
    for (int k = 0;; ++k) {
        multiply(kept.JMinv, kept.J, x, Ax, kept.bodyScratch, kept.map->bodyCount);
        PxReal worst = 0.0;
        for (int c = 0; c < count; ++c) {
            int row = freeRow_[static_cast<size_t>(c)];
            if (row >= qCount) { // a padding row: x stays 0
                z[c] = 0.0;
                continue;
            }
            z[c] = q[row] - Ax[row];
            worst = fmax(worst, fabs(z[c]) / velocityTolerance[row]);
        }
        if (worst <= kRestResidualOfTolerance) return k + 1;
        if (k == kRestRefinements || !(worst < last)) return 0;
        last = worst;
        for (int c = count; c < padded; ++c) z[c] = 0.0;
        A.solveLentHeld(z);
        for (int c = 0; c < count; ++c) x[freeRow_[static_cast<size_t>(c)]] += z[c];
    }
}

int RestSolve::solve(LCPMatrix &A, const LcpRows &rows, const PxReal *q, const RbdLcsLCPSolverParameters &params)
{
    const LCPMatrix::KeptJacobian *kept = A.keptJacobian();
    if (!kept || (rows.frictionCount > 0 && !frictionBoundsOpen(rows))) return 0;
    const int n = rows.n, np = A.size();
    MemoryPool &pool = A.pool();
    if (!pool.pushFrame()) return 0;
    Tolerances t;
    PxReal *x = pool.array<PxReal>(static_cast<size_t>(np), "rest x");
    PxReal *Ax = pool.array<PxReal>(static_cast<size_t>(np), "rest Ax");
    PxReal *z = pool.array<PxReal>(static_cast<size_t>(np), "rest z");
    PxReal *velocity = pool.array<PxReal>(static_cast<size_t>(n), "rest velocity tolerances");
    int solved = x && Ax && z && velocity && allocateTolerances(pool, n, t);
    if (solved) {
        // The tolerances' scales from the kept matrix's diagonal: the
        // refinement converges only where A moved far less than that.
        memcpy(t.diagonal, diagonal_.data(), sizeof(PxReal) * static_cast<size_t>(n));
        tolerancesOfDiagonal(q, n, params.tolerance, t);
        solved = pinnedAsKept(rows, t.impulse);
    }
    if (solved) {
        for (int i = 0; i < np; ++i)
            x[i] = i < n
                       ? heldValue(state_[static_cast<size_t>(i)], rows.lo[i], rows.hi[i], x_[static_cast<size_t>(i)])
                       : 0.0;
        A.lendHeldFactor(positions_.data(), static_cast<int>(positions_.size()), factor_.data());
        // The refinement's stop is judged with the tolerance the answer
        // carries; the one of the last step's impulses is close to it.
        followIterate(x, n, params.tolerance, t);
        for (int i = 0; i < n; ++i) velocity[i] = velocityTolerance(t, i);
        int steps = refine(A, q, n, x, Ax, z, velocity);
        solved = steps > 0 && conditionsHold(rows, q, x, Ax, params.tolerance, t);
        stale_ = steps > kRestFreshSteps;
    }
    if (solved) {
        memcpy(rows.lambda, x, sizeof(PxReal) * static_cast<size_t>(n));
        memcpy(x_.data(), x, sizeof(PxReal) * static_cast<size_t>(n));
        memcpy(rows.state, state_.data(), sizeof(int32_t) * static_cast<size_t>(n));
    }
    pool.popFrame();
    return solved;
}

// Every row as the pivoting solve tests its answer: its state kept, with
// the tolerance x carries, and the friction bounds holding for x's normal
// impulses.
int RestSolve::conditionsHold(const LcpRows &rows, const PxReal *q, const PxReal *x, const PxReal *Ax,
                              PxReal tolerance, Tolerances &t) const
{
    followIterate(x, rows.n, tolerance, t);
    for (int i = 0; i < rows.n; ++i) {
        int32_t s = state_[static_cast<size_t>(i)];
        if (s & kLcpFixed) continue;
        PxReal w = s == kLcpFree ? 0.0 : Ax[i] - q[i];
        if (newState(s, x[i], w, rows.lo[i], rows.hi[i], impulseTolerance(t, i), velocityTolerance(t, i)) != s)
            return 0;
    }
    if (rows.frictionCount == 0) return 1;
    LcpRows answer = rows;
    answer.lambda = const_cast<PxReal *>(x);
    return frictionBoundsHold(answer, t);
}

// The free rows of the states, matched against those of the factor that
// stands in A (rows past the layout's may be in either); fills positions_
// and freeRow_. Returns their count, -1 when the factor is of other rows.
int RestSolve::freeRowsOf(const LCPMatrix &A, const int32_t *state, int rowCount)
{
    const int32_t *positions;
    int count = A.heldFactorRows(&positions), k = 0;
    if (count < 0) return -1;
    for (int p = 0; p < A.size(); ++p) {
        int row = A.rowAtPosition(p), inFactor = k < count && positions[k] == p;
        k += inFactor;
        if (row < rowCount && inFactor != (state[row] == kLcpFree)) return -1;
    }
    if (k != count) return -1;
    positions_.assign(positions, positions + count);
    freeRow_.resize(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) freeRow_[static_cast<size_t>(c)] = A.rowAtPosition(positions[c]);
    return count;
}

void RestSolve::keep(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance)
{
    valid_ = false;
    const ConstraintLayout &layout = rows.layout;
    int n = layout.rowCount;
    if (n < kRestLeastRows || !(tolerance > 0.0) || freeRowsOf(A, rows.state, n) < 0) return;
    storeMatrixKey(key_, A, layout);
    rowEpsilon_.assign(rows.rowEpsilon, rows.rowEpsilon + n);
    epsilon_ = epsilon;
    h_ = h;
    keepRowBodies(layout, rows.rowEpsilon);
    state_.assign(rows.state, rows.state + n);
    diagonal_.resize(static_cast<size_t>(n));
    A.getDiagonal(diagonal_.data(), n);
    x_.assign(rows.lambda, rows.lambda + n);
    factor_.resize(A.heldSavedReals());
    A.saveHeldFactor(factor_.data());
    tolerance_ = tolerance;
    scheme_ = &typeid(A);
    valid_ = true;
    stale_ = false;
}

} // namespace lcs
