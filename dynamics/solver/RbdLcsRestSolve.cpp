#include "solver/RbdLcsRestSolve.h"

#include <math.h>
#include <string.h>
#include "solver/RbdLcsBkChol.h"
#include "solver/RbdLcsFrictionBounds.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsLayoutKey.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsSubproblem.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTolerance.h"
#include "solver/RbdLcsVbChol.h"

namespace lcs {

// The kept factor of the free rows, as its scheme stores it.

void LCPMatrix::saveHeldFactor(PxReal *out, int32_t *start) const
{
    memcpy(out, heldStorage_, sizeof(PxReal) * heldFactorReals());
    saveHeldPivots(out + heldFactorReals());
    // The envelope compactRows gave those rows: each index's first coupled
    // index is the first of the rows at or after its row's envelope start.
    const int count = heldFactoredCount_, padded = (count + 3) & ~3;
    for (int k = 0, first = 0; k < count; ++k) {
        int begin = rowStart_[heldFactored_[k]];
        while (first > 0 && heldFactored_[first - 1] >= begin) --first;
        while (heldFactored_[first] < begin) ++first;
        start[k] = first;
    }
    for (int k = count; k < padded; ++k) start[k] = k;
}

int LCPMatrix::holdWholeFactor(PxReal *storage)
{
    heldFactoredCount_ = -1;
    if (!wholeFactored_ || wholeDeferred_ || compact_ || corrected_ || diagonalShift_ != 0.0) return 0;
    heldRowsCost(nullptr, 0);
    // Every position free and the whole matrix's own: its factor is copied,
    // not formed again.
    if (free_.count != n_ || wholeReuse_ != n_ || !factorHeld(free_, storage, 0, n_)) return 0;
    memcpy(heldFactored_, free_.position, sizeof(int32_t) * static_cast<size_t>(n_));
    heldFactoredCount_ = n_;
    heldStorage_ = storage;
    return 1;
}

void BkChol::saveHeldPivots(PxReal *out) const
{
    memcpy(out, heldRsD_, sizeof(PxReal) * static_cast<size_t>(kT * H_.T));
}

// The factor and its pivots are read where they were saved; the next
// allocate points the scheme back at storage of its own. The envelope's
// tables depend on start alone: a copy lent step after step is shaped once.
void BkChol::lendHeldStorage(const int32_t *start, int padded, int32_t *first, size_t *offset, PxReal *saved,
                             bool shaped)
{
    H_.minTile = first;
    H_.offset = offset;
    if (shaped)
        H_.T = padded / kT;
    else
        H_.shape(start, padded);
    heldL_ = saved;
    heldRsD_ = saved + heldFactorReals();
}

void VbChol::saveHeldPivots(PxReal *out) const
{
    memcpy(out, heldDiag_, sizeof(PxReal) * static_cast<size_t>(H_.n));
}

void VbChol::lendHeldStorage(const int32_t *start, int padded, int32_t *first, size_t *offset, PxReal *saved,
                             bool shaped)
{
    H_.minCol = first;
    H_.offset = offset;
    if (shaped)
        H_.n = padded;
    else
        H_.shape(start, padded);
    heldL_ = saved;
    heldDiag_ = saved + heldFactorReals();
}

// Each row's bodies and softness, read by the products below: the
// layout's constraints unrolled once per keep into runs of rows on the same
// two bodies (padding rows: none, 1 on the diagonal as A has).
void RestSolve::keepRowBodies(const ConstraintLayout &layout, const PxReal *rowEpsilon)
{
    const size_t np = static_cast<size_t>(layout.paddedRowCount);
    rowBody_.assign(2 * np, -1);
    softness_.assign(np, 1.0);
    for (int c = 0; c < layout.constraintCount; ++c)
        for (int r = 0; r < layout.rows[c]; ++r) {
            size_t i = static_cast<size_t>(layout.firstRow[c] + r);
            for (int side = 0; side < 2; ++side) {
                int body = layout.bodies[2 * c + side];
                rowBody_[2 * i + side] = body < 0 ? -1 : 6 * body;
            }
            softness_[i] = epsilon_ + rowEpsilon[i] / h_;
        }
    runs_.clear();
    for (size_t i = 0; i < np; ++i) {
        const int32_t *bodies = &rowBody_[2 * i];
        if (!runs_.empty() && runs_.back().body[0] == bodies[0] && runs_.back().body[1] == bodies[1])
            ++runs_.back().count;
        else
            runs_.push_back(BodyRun{static_cast<int32_t>(i), 1, {bodies[0], bodies[1]}});
    }
}

namespace {

// u_b += (J^T x)_b over the rows first..end for the sides Side0 and Side1
// (those with a body), each body's six sums two at a time in registers and
// both sides in one pass over the rows. Every sum still adds its rows in
// row order, as one row at a time would.
template <bool Side0, bool Side1>
void scatterRows(int first, int end, const PxReal *J, const PxReal *x, PxReal *u0, PxReal *u1)
{
    Pair s[2][3];
    for (int k = 0; k < 3; ++k) {
        if (Side0) s[0][k] = load2(u0 + 2 * k);
        if (Side1) s[1][k] = load2(u1 + 2 * k);
    }
    for (int i = first; i < end; ++i) {
        const PxReal *a = J + tileIndex(i, 0); // columns 4 reals apart, side 1 from column 6
        const Pair xi = splat(x[i]);
        for (int k = 0; k < 3; ++k) {
            if (Side0) s[0][k] += Pair{a[8 * k], a[8 * k + 4]} * xi;
            if (Side1) s[1][k] += Pair{a[24 + 8 * k], a[28 + 8 * k]} * xi;
        }
    }
    for (int k = 0; k < 3; ++k) {
        if (Side0) store2(u0 + 2 * k, s[0][k]);
        if (Side1) store2(u1 + 2 * k, s[1][k]);
    }
}

} // namespace

void RestSolve::scatterRun(const BodyRun &run, const PxReal *J, const PxReal *x, PxReal *u) const
{
    const int end = run.first + run.count;
    PxReal *u0 = u + (run.body[0] < 0 ? 0 : run.body[0]), *u1 = u + (run.body[1] < 0 ? 0 : run.body[1]);
    if (run.body[0] >= 0 && run.body[1] >= 0)
        scatterRows<true, true>(run.first, end, J, x, u0, u1);
    else if (run.body[0] >= 0)
        scatterRows<true, false>(run.first, end, J, x, u0, u1);
    else if (run.body[1] >= 0)
        scatterRows<false, true>(run.first, end, J, x, u0, u1);
}

namespace {

// u = M^-1 u for one body's six sums (force, then torque).
void applyInverseMass(const BodyInverseMass &m, PxReal *u)
{
    for (int k = 0; k < 3; ++k) u[k] *= m.invMass;
    const PxReal t[3] = {u[3], u[4], u[5]};
    for (int k = 0; k < 3; ++k)
        u[3 + k] = m.invInertia[k][0] * t[0] + m.invInertia[k][1] * t[1] + m.invInertia[k][2] * t[2];
}

// v + J_i u_b for one side of a row (or two rows of a tile, lane by lane),
// the six terms in column order; ub holds u_b splatted.
template <class V> V addSide(V v, const PxReal *j, const Pair *ub);

template <> Pair addSide(Pair v, const PxReal *j, const Pair *ub)
{
    for (int k = 0; k < 6; ++k) v += load2(j + 4 * k) * ub[k];
    return v;
}

template <> PxReal addSide(PxReal v, const PxReal *j, const Pair *ub)
{
    for (int k = 0; k < 6; ++k) v += j[4 * k] * ub[k][0];
    return v;
}

// softness_i x_i + J_i u for row i, or rows i and i + 1 of a tile lane by
// lane, on the sides Side0 and Side1 (those with a body).
template <bool Side0, bool Side1, class V> V gatherAt(V v, int i, const PxReal *J, const Pair *u0, const Pair *u1)
{
    const PxReal *a = J + tileIndex(i, 0); // side 1 from column 6, 24 reals on
    if (Side0) v = addSide(v, a, u0);
    if (Side1) v = addSide(v, a + 24, u1);
    return v;
}

// out_i = start(i) + J_i u over the rows first..end of a run, two rows of
// a tile at a time where they pair up, a row left at either end alone.
template <bool Side0, bool Side1, class Start>
void gatherRows(int first, int end, const PxReal *J, Start start, const Pair *u0, const Pair *u1, PxReal *out)
{
    int i = first;
    if (i % 2 != 0 && i < end) {
        out[i] = gatherAt<Side0, Side1>(start(i), i, J, u0, u1);
        ++i;
    }
    for (; i + 1 < end; i += 2) store2(out + i, gatherAt<Side0, Side1>(Pair{start(i), start(i + 1)}, i, J, u0, u1));
    if (i < end) out[i] = gatherAt<Side0, Side1>(start(i), i, J, u0, u1);
}

// The same for the sides of the run with a body, ub[side] splatted.
template <class Start>
void gatherSides(const int32_t body[2], int first, int end, const PxReal *J, Start start, const Pair ub[2][6],
                 PxReal *out)
{
    if (body[0] >= 0 && body[1] >= 0)
        gatherRows<true, true>(first, end, J, start, ub[0], ub[1], out);
    else if (body[0] >= 0)
        gatherRows<true, false>(first, end, J, start, ub[0], ub[1], out);
    else if (body[1] >= 0)
        gatherRows<false, true>(first, end, J, start, ub[0], ub[1], out);
    else
        gatherRows<false, false>(first, end, J, start, ub[0], ub[1], out);
}

} // namespace

// out_i = softness_i x_i + J_i u over a run's rows. The run's bodies' u is
// read once, splatted into locals the stores to out cannot alias; each row
// sums as one row alone would.
void RestSolve::gatherRun(const BodyRun &run, const PxReal *J, const PxReal *x, const PxReal *u, PxReal *out) const
{
    Pair ub[2][6];
    for (int side = 0; side < 2; ++side)
        for (int k = 0; k < 6; ++k) ub[side][k] = splat(run.body[side] < 0 ? 0.0 : u[run.body[side] + k]);
    const PxReal *softness = softness_.data();
    const auto start = [softness, x](int i) { return softness[i] * x[i]; };
    gatherSides(run.body, run.first, run.first + run.count, J, start, ub, out);
}

// out = A x = J (M^-1 (J^T x)) + softness x over the padded rows. What
// LCPMatrix::multiply does through the Jacobian, with each row's bodies
// looked up once per keep rather than per product, and M^-1 taken per
// body rather than from J M^-1, which a served step does not build.
void RestSolve::multiply(const RestProducts &p, const PxReal *x, PxReal *out) const
{
    memset(p.u, 0, sizeof(PxReal) * 6 * static_cast<size_t>(p.bodyCount));
    for (const BodyRun &run : runs_) scatterRun(run, p.J, x, p.u);
    for (int b = 0; b < p.bodyCount; ++b) applyInverseMass(p.invM[b], p.u + 6 * b);
    for (const BodyRun &run : runs_) gatherRun(run, p.J, x, p.u, out);
}

// q_i = (c_i - correction_i) + J_i (-g) over each run, as the products
// gather (x - y is x + -y exactly).
void RestSolve::rightHandSide(const PartitionRows &rows, const PxReal *g, const RbdLcsParameters &parameters,
                              PxReal *q) const
{
    const int n = rows.layout.rowCount;
    const RowCorrection correction(parameters);
    const auto start = [&rows, &correction](int i) { return rows.c[i] - correction(rows, i); };
    for (const BodyRun &run : runs_) {
        Pair gb[2][6];
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < 6; ++k) gb[side][k] = splat(run.body[side] < 0 ? 0.0 : -g[run.body[side] + k]);
        const int end = run.first + run.count, rowsEnd = end < n ? end : n;
        gatherSides(run.body, run.first, rowsEnd, rows.J, start, gb, q);
        for (int i = rowsEnd > run.first ? rowsEnd : run.first; i < end; ++i) q[i] = 0.0; // padding
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

namespace {

// Calls f with the layout's parts of a key (LayoutKeyPart's initializer list).
template <typename F> auto withLayoutKey(const ConstraintLayout &layout, F f)
{
    const int32_t counts[3] = {layout.constraintCount, layout.rowCount, layout.paddedRowCount};
    const size_t constraints = static_cast<size_t>(layout.constraintCount);
    return f(
        {{counts, 3}, {layout.firstRow, constraints}, {layout.rows, constraints}, {layout.bodies, 2 * constraints}});
}

} // namespace

int RestSolve::matches(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h,
                       PxReal tolerance) const
{
    const ConstraintLayout &layout = rows.layout;
    if (!valid_ || stale_ || typeid(A) != *scheme_ || epsilon != epsilon_ || h != h_ || tolerance != tolerance_)
        return 0;
    const auto keyMatches = [&](std::initializer_list<LayoutKeyPart> parts) { return layoutKeyMatches(key_, parts); };
    if (!withLayoutKey(layout, keyMatches)) return 0;
    return memcmp(rows.rowEpsilon, rowEpsilon_.data(), sizeof(PxReal) * static_cast<size_t>(layout.rowCount)) == 0;
}

// z = (q - A x)_F over the free rows in the factor's order; returns the
// largest residual as a fraction of its row's velocity tolerance, or a NaN
// when a row's is (a row of q or of A x): no refinement then stops, and the
// island goes to the full route.
PxReal RestSolve::residual(int n, const PxReal *q, const PxReal *Ax, PxReal *z, const Tolerances &t) const
{
    const int count = static_cast<int>(freeRow_.size());
    PxReal worst = 0.0, sum = 0.0; // sum: a NaN if any ratio is (none is negative)
    for (int c = 0; c < count; ++c) {
        int row = freeRow_[static_cast<size_t>(c)];
        if (row >= n) { // a padding row: x stays 0
            z[c] = 0.0;
            continue;
        }
        z[c] = q[row] - Ax[row];
        PxReal ratio = fabs(z[c]) / velocityTolerance(t, row);
        if (ratio > worst) worst = ratio; // as fmax, which is a call here
        sum += ratio;
    }
    return sum == sum ? worst : sum;
}

// Whether each free row's correction z (in the factor's order) is under
// kRestCorrectionOfCarried of the tolerance the answer carries (a NaN
// never is).
int RestSolve::correctionWithin(const PxReal *z, int n, const Tolerances &t) const
{
    const int count = static_cast<int>(freeRow_.size());
    const PxReal stop = kRestCorrectionOfCarried * t.carried;
    int within = 1;
    for (int c = 0; c < count; ++c)
        if (freeRow_[static_cast<size_t>(c)] < n) within &= fabs(z[c]) <= stop;
    return within;
}

// x_F += F_old^-1 (q - A x)_F until every free row's residual is under
// kRestResidualOfTolerance of its velocity tolerance and its impulse is
// known within kRestCorrectionOfCarried of the carried tolerance; Ax then
// holds A x. The residual alone does not bound the impulses: A is
// J M^-1 J^T plus a small softness, and impulses along the rows that
// depend on each other (the split of a box's load among its corners) move
// no body, so an error there leaves a residual of only the softness times
// itself; a resting box's corners were served a split some hundreds of
// tolerances stale. The impulses are known when the correction the last
// residual asks for is that small (it is not added: x and Ax stand), or
// when the correction just added was, for each step contracts the error
// far more than by half and leaves less than the correction itself. So a
// step served from the last answer as it stands takes one substitution,
// and one that needed a correction takes none more unless that correction
// was large. Returns 0 when a residual above the stop does not fall at
// every step, or the stop is not reached after kRestRefinements steps.
// freeLargest follows the largest impulse on the free rows of x.
int RestSolve::refine(LCPMatrix &A, const RestProducts &products, const PxReal *q, int qCount, PxReal *x, PxReal *Ax,
                      PxReal *z, const Tolerances &t, PxReal &freeLargest) const
{
    const int count = static_cast<int>(freeRow_.size()), padded = (count + 3) & ~3;
    PxReal last = INFINITY;
    int within = 0; // the correction added last was within the stop
    for (int k = 0;; ++k) {
        multiply(products, x, Ax);
        PxReal worst = residual(qCount, q, Ax, z, t);
        const bool under = worst <= kRestResidualOfTolerance;
        if (under && (within || nullPartWithin(q, Ax, qCount, kRestNullPartOfCarried * t.carried))) return k + 1;
        if (!under && (k == kRestRefinements || !(worst < last))) return 0;
        last = worst;
        for (int c = count; c < padded; ++c) z[c] = 0.0;
        A.solveLentHeld(z);
        within = correctionWithin(z, qCount, t);
        if (under && within) return k + 1; // x and Ax stand
        if (k == kRestRefinements) return 0;
        PxReal free = 0.0; // padding rows stay 0 and change nothing
        for (int c = 0; c < count; ++c) {
            PxReal &xi = x[freeRow_[static_cast<size_t>(c)]];
            xi += z[c];
            takeLargestImpulse(free, xi);
        }
        freeLargest = free;
    }
}

// x (np): the held rows at their bounds, the fixed ones and the padding at
// 0, the free rows where the last two answers point on an island with
// joints, at the last answer on one of contacts alone. A held hand's
// impulses creep smoothly from step to step: started on the line, the
// first residual is under the stop in one resting step in five (one
// product, no substitution); from the last answer alone it almost never
// is. A resting stack's impulses only jitter by rounding, which the line
// doubles: on the ten-box stack 44 % of the resting steps needed a
// substitution from the line, 15 % from the last answer.
// In the same pass over the rows: the pivoting solve fixes at 0 the rows
// whose bounds both lie within their tolerance of 0, so the kept states
// must have fixed those and no other (returns 0 otherwise); and the
// largest impulse x carries, on the held rows (which the refinement leaves
// as they are) and on the free ones, for the tolerance it carries.
int RestSolve::startingPoint(const LcpRows &rows, const PxReal *impulseTolerance, PxReal *x, int np,
                             Largest &largest) const
{
    const bool line = trend_ && !contactsOnly_;
    const PxReal *last = x_.data(), *before = xLast_.data();
    const int32_t *states = state_.data();
    PxReal held = 0.0, free = 0.0; // in registers: x may alias largest
    for (int i = 0; i < rows.n; ++i) {
        const PxReal t = impulseTolerance[i], lo = rows.lo[i], hi = rows.hi[i];
        const int32_t state = states[i];
        int pinned = fabs(lo) <= t && fabs(hi) <= t;
        if (pinned != (state == kLcpDegenerate)) return 0;
        PxReal guess = line ? last[i] + (last[i] - before[i]) : last[i];
        if (state == kLcpFree) {
            x[i] = guess;
            takeLargestImpulse(free, guess);
        } else {
            x[i] = heldValue(state, lo, hi, guess);
            takeLargestImpulse(held, x[i]);
        }
    }
    for (int i = rows.n; i < np; ++i) x[i] = 0.0;
    largest.held = held;
    largest.free = free;
    return 1;
}

int RestSolve::solve(LCPMatrix &A, MemoryPool &pool, const RestProducts &products, const LcpRows &rows,
                     const PxReal *q, const RbdLcsLCPSolverParameters &params)
{
    if (!products.J || !products.invM || !products.u || (rows.frictionCount > 0 && !frictionBoundsOpen(rows)))
        return 0;
    const int n = rows.n, np = static_cast<int>(softness_.size());
    if (!pool.pushFrame()) return 0;
    PxReal *x = pool.array<PxReal>(static_cast<size_t>(np), "rest x");
    PxReal *Ax = pool.array<PxReal>(static_cast<size_t>(np), "rest Ax");
    PxReal *z = pool.array<PxReal>(static_cast<size_t>(np), "rest z");
    // The tolerances' scales from the kept matrix's diagonal, read where
    // it is kept: the refinement converges only where A moved far less.
    Tolerances t = {pool.array<PxReal>(static_cast<size_t>(n), "rest impulse tolerances"), diagonal_.data(), 0.0};
    Largest largest;
    int solved = x && Ax && z && t.impulse;
    if (solved) {
        tolerancesOfInverse(q, n, params.tolerance, inverseDiagonal_.data(), t);
        solved = startingPoint(rows, t.impulse, x, np, largest);
    }
    if (solved) {
        A.lendHeldFactor(factorStart_.data(), static_cast<int>(factorStart_.size()), lentFirst_.data(),
                         lentOffset_.data(), factor_.data(), lentShaped_);
        lentShaped_ = true;
        // The refinement's stop is judged with the tolerance the answer
        // carries; the one of the last step's impulses is close to it.
        t.carried = carriedOfLargest(params.tolerance, largest.all());
        int steps = refine(A, products, q, n, x, Ax, z, t, largest.free);
        t.carried = carriedOfLargest(params.tolerance, largest.all());
        solved = steps > 0 && conditionsHold(rows, q, x, Ax, t);
        stale_ = steps > kRestFreshSteps;
    }
    if (solved) {
        memcpy(rows.lambda, x, sizeof(PxReal) * static_cast<size_t>(n));
        x_.swap(xLast_);
        memcpy(x_.data(), x, sizeof(PxReal) * static_cast<size_t>(n));
        trend_ = true;
        memcpy(rows.state, state_.data(), sizeof(int32_t) * static_cast<size_t>(n));
    }
    pool.popFrame();
    return solved;
}

// Every row as the pivoting solve tests its answer: its state kept, with
// the tolerance x carries (t.carried), and the friction bounds holding for
// x's normal impulses. A free row stays free (newState) while x lies
// within its bounds widened by its tolerance, whatever its w; the fixed
// rows need not be tested. The rows of each kind are listed at keep.
int RestSolve::conditionsHold(const LcpRows &rows, const PxReal *q, const PxReal *x, const PxReal *Ax,
                              const Tolerances &t) const
{
    for (int32_t i : freeRow_) {
        if (i >= rows.n) continue; // padding
        const PxReal ti = impulseTolerance(t, i);
        if (x[i] < rows.lo[i] - ti || x[i] > rows.hi[i] + ti) return 0;
    }
    for (int32_t i : heldRow_) {
        const int32_t s = state_[static_cast<size_t>(i)];
        const PxReal ti = impulseTolerance(t, i);
        if (newState(s, x[i], Ax[i] - q[i], rows.lo[i], rows.hi[i], ti, ti * t.diagonal[i]) != s) return 0;
    }
    if (rows.frictionCount == 0) return 1;
    // The answer's states are the kept ones: rows.state holds the seeded
    // states still, which leave every friction row that follows a normal
    // row free, and would pass a sliding row held at last step's bound.
    LcpRows answer = rows;
    answer.lambda = const_cast<PxReal *>(x);
    answer.state = const_cast<int32_t *>(state_.data());
    return frictionBoundsHold(answer, t);
}

// The free rows of the states, matched against those of the factor that
// stands in A (rows past the layout's may be in either); fills
// freeRow_. Returns their count, -1 when the factor is of other rows.
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
    freeRow_.resize(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) freeRow_[static_cast<size_t>(c)] = A.rowAtPosition(positions[c]);
    return count;
}

// The whole factor stands for the free rows when the solve held and fixed
// none (all rows free: a resting stack's answer is A^-1 q); storage for its
// copy is taken from A's workspace, which the caller pushed a frame on.
int RestSolve::wholeFactorStands(LCPMatrix &A, const int32_t *state, int rowCount)
{
    for (int i = 0; i < rowCount; ++i)
        if (state[i] != kLcpFree) return 0;
    const size_t np = static_cast<size_t>(A.size());
    PxReal *storage = A.pool().array<PxReal>(np * np, "rest whole factor");
    return storage && A.holdWholeFactor(storage);
}

void RestSolve::keep(LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h, PxReal tolerance,
                     int contactsOnly)
{
    valid_ = false;
    const ConstraintLayout &layout = rows.layout;
    int n = layout.rowCount;
    if (n < kRestLeastRows || !(tolerance > 0.0)) return;
    if (freeRowsOf(A, rows.state, n) >= 0) {
        keepStanding(A, rows, epsilon, h, tolerance, contactsOnly);
        return;
    }
    MemoryPool &pool = A.pool();
    if (!contactsOnly || !pool.pushFrame()) return;
    if (wholeFactorStands(A, rows.state, n) && freeRowsOf(A, rows.state, n) >= 0)
        keepStanding(A, rows, epsilon, h, tolerance, contactsOnly);
    pool.popFrame();
}

namespace {

int rootOf(std::vector<int32_t> &parent, int node)
{
    while (parent[static_cast<size_t>(node)] != node) node = parent[static_cast<size_t>(node)];
    return node;
}

} // namespace

// The span of each run's columns of J, orthonormalised, when the island's
// impulses that move no body are each contact's own: its contacts join its
// bodies and the ground (one node) without a loop, so a body at a leaf
// takes the wrench of one contact alone, which must then vanish, and so on
// inwards. With every row free and equally soft (s), A = J M^-1 J^T + s I
// maps such an impulse n to s n, so the error of x along it is the
// residual's part there over s; the rest of the error is the residual's
// over the bodies' own stiffness, which the residual stop bounds.
void RestSolve::keepContactBases(const PxReal *J)
{
    treeShaped_ = false;
    const int n = static_cast<int>(state_.size());
    if (!contactsOnly_ || static_cast<int>(freeRow_.size()) < n) return;
    for (int i = 0; i < n; ++i)
        if (state_[static_cast<size_t>(i)] != kLcpFree || softness_[static_cast<size_t>(i)] != softness_[0]) return;
    int nodes = 1; // the ground is node 0
    for (const BodyRun &run : runs_)
        for (int side = 0; side < 2; ++side)
            if (run.body[side] / 6 + 2 > nodes) nodes = run.body[side] / 6 + 2;
    std::vector<int32_t> &parent = treeParent_; // kept: the step allocates once
    parent.resize(static_cast<size_t>(nodes));
    for (int k = 0; k < nodes; ++k) parent[static_cast<size_t>(k)] = k;
    basis_.clear();
    basisStart_.assign(runs_.size(), 0);
    rank_.assign(runs_.size(), 0);
    for (size_t r = 0; r < runs_.size(); ++r) {
        const BodyRun &run = runs_[r];
        const int count = run.first + run.count <= n ? run.count : n - run.first;
        if (count <= 0) continue; // padding
        int a = rootOf(parent, run.body[0] < 0 ? 0 : run.body[0] / 6 + 1);
        int b = rootOf(parent, run.body[1] < 0 ? 0 : run.body[1] / 6 + 1);
        if (a == b) return; // a loop, or a pair's rows in two runs
        parent[static_cast<size_t>(a)] = b;
        // Gram-Schmidt over the run's columns, each twice against the basis.
        if (count > kRestContactRows) return;
        basisStart_[r] = static_cast<int32_t>(basis_.size());
        PxReal largest = 0.0;
        for (int col = 0; col < 12; ++col)
            for (int i = 0; i < count; ++i) largest = fmax(largest, fabs(J[tileIndex(run.first + i, 0) + 4 * col]));
        for (int col = 0; col < 12; ++col) {
            PxReal v[kRestContactRows], norm = 0.0;
            for (int i = 0; i < count; ++i) v[i] = J[tileIndex(run.first + i, 0) + 4 * col];
            for (int pass = 0; pass < 2; ++pass)
                for (int k = 0; k < rank_[r]; ++k) {
                    const PxReal *e = &basis_[static_cast<size_t>(basisStart_[r] + k * count)];
                    PxReal dot = 0.0;
                    for (int i = 0; i < count; ++i) dot += e[i] * v[i];
                    for (int i = 0; i < count; ++i) v[i] -= dot * e[i];
                }
            for (int i = 0; i < count; ++i) norm += v[i] * v[i];
            norm = sqrt(norm);
            if (!(norm > 1e-9 * largest)) continue; // within the span already
            for (int i = 0; i < count; ++i) basis_.push_back(v[i] / norm);
            ++rank_[r];
        }
    }
    treeShaped_ = true;
}

// Whether the residual's part along the impulses that move no body (each
// run's rows less the span of its columns), over the softness, is under
// stop: the error of x there (keepContactBases). 0 when the island is not
// of that shape.
int RestSolve::nullPartWithin(const PxReal *q, const PxReal *Ax, int n, PxReal stop) const
{
    if (!treeShaped_) return 0;
    PxReal sum = 0.0;
    for (size_t r = 0; r < runs_.size(); ++r) {
        const BodyRun &run = runs_[r];
        const int count = run.first + run.count <= n ? run.count : n - run.first;
        if (count <= 0) continue;
        PxReal res[kRestContactRows]; // count <= kRestContactRows on such an island
        for (int i = 0; i < count; ++i) res[i] = q[run.first + i] - Ax[run.first + i];
        const auto dot = [&res, count](const PxReal *e) {
            Pair d = splat(0.0);
            for (int i = 0; i + 1 < count; i += 2) d += load2(e + i) * load2(res + i);
            return d[0] + d[1] + (count % 2 ? e[count - 1] * res[count - 1] : 0.0);
        };
        PxReal part = dot(res);
        for (int k = 0; k < rank_[static_cast<size_t>(r)]; ++k) {
            const PxReal d = dot(&basis_[static_cast<size_t>(basisStart_[r] + k * count)]);
            part -= d * d;
        }
        sum += part > 0.0 ? part : 0.0;
    }
    return sqrt(sum) <= stop * softness_[0]; // a NaN never is
}

// The bounds for an island of n rows, np padded to the tile: at most n
// constraints (each has a row) and n + 1 bodies (an island is connected),
// so the layout key is 3 counts and 4 entries a constraint; runs, free rows
// and the envelope's tables have an entry a padded row at most; a run's
// basis has at most min(12, count) vectors of count reals, 12 n in all; the
// saved factor is the lower triangle in 4 x 4 tiles (BkChol: at most
// T (T + 1) / 2 tiles of 16 reals, T = np / 4, which is np (np + 4) / 2)
// or its envelope (VbChol: at most np (np + 1) / 2), then np pivots.
void RestSolve::reserve(int rows)
{
    const size_t n = static_cast<size_t>(rows), np = (n + 3) & ~static_cast<size_t>(3);
    key_.reserve(3 + 4 * n);
    for (std::vector<PxReal> *v : {&rowEpsilon_, &x_, &xLast_, &diagonal_, &inverseDiagonal_}) v->reserve(n);
    for (std::vector<int32_t> *v : {&state_, &heldRow_}) v->reserve(n);
    for (std::vector<int32_t> *v : {&factorStart_, &lentFirst_, &freeRow_, &basisStart_, &rank_}) v->reserve(np);
    softness_.reserve(np);
    runs_.reserve(np);
    rowBody_.reserve(2 * np);
    lentOffset_.reserve(np + 1);
    factor_.reserve(np * (np + 4) / 2 + np);
    basis_.reserve(12 * n);
    treeParent_.reserve(n + 2); // the ground and the bodies
}

// Keeps A's standing factor of the free rows (freeRowsOf found them).
void RestSolve::keepStanding(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h,
                             PxReal tolerance, int contactsOnly)
{
    const ConstraintLayout &layout = rows.layout;
    int n = layout.rowCount;
    withLayoutKey(layout, [&](std::initializer_list<LayoutKeyPart> parts) { storeLayoutKey(key_, parts); });
    rowEpsilon_.assign(rows.rowEpsilon, rows.rowEpsilon + n);
    epsilon_ = epsilon;
    h_ = h;
    keepRowBodies(layout, rows.rowEpsilon);
    state_.assign(rows.state, rows.state + n);
    heldRow_.clear();
    for (int i = 0; i < n; ++i)
        if (state_[static_cast<size_t>(i)] != kLcpFree && !(state_[static_cast<size_t>(i)] & kLcpFixed))
            heldRow_.push_back(i);
    diagonal_.resize(static_cast<size_t>(n));
    A.getDiagonal(diagonal_.data(), n);
    inverseDiagonal_.resize(static_cast<size_t>(n));
    inverseOfDiagonal(diagonal_.data(), n, inverseDiagonal_.data());
    x_.assign(rows.lambda, rows.lambda + n);
    xLast_.resize(static_cast<size_t>(n));
    trend_ = false;
    contactsOnly_ = contactsOnly;
    keepContactBases(rows.J);
    factor_.resize(A.heldSavedReals());
    const size_t padded = (freeRow_.size() + 3) & ~static_cast<size_t>(3);
    factorStart_.resize(padded);
    lentFirst_.resize(padded);
    lentOffset_.resize(padded + 1);
    lentShaped_ = false;
    A.saveHeldFactor(factor_.data(), factorStart_.data());
    tolerance_ = tolerance;
    scheme_ = &typeid(A);
    valid_ = true;
    stale_ = false;
}

} // namespace lcs
