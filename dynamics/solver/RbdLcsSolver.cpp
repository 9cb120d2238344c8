#include "solver/RbdLcsSolver.h"

#include <float.h>
#include <math.h>
#include <string.h>
#include "solver/RbdLcsFrictionBounds.h"
#include "solver/RbdLcsHash.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSubproblem.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTolerance.h"

namespace lcs {

namespace {

// |v| of both lanes, as fabs: the sign bits cleared.
Pair absolute(Pair v)
{
    typedef long long Bits __attribute__((vector_size(16)));
    const Bits magnitude = {0x7fffffffffffffffLL, 0x7fffffffffffffffLL};
    return reinterpret_cast<Pair>(reinterpret_cast<Bits>(v) & magnitude);
}

// x0 = A^-1 q with the fixed rows at 0, solved the first time it is needed:
// a subproblem solved directly never needs it, nor the factor it takes.
// Returns 0 when that factor fails.
int unconstrainedSolution(LCPMatrix &A, LcpWork &work, const PxReal *q, const int32_t *state, int n)
{
    if (work.haveX0) return 1;
    if (!A.ensureFactor()) return 0;
    memset(work.x0, 0, sizeof(PxReal) * static_cast<size_t>(A.size()));
    memcpy(work.x0, q, sizeof(PxReal) * static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        if (state[i] & kLcpFixed) work.x0[i] = 0.0;
    A.solve(work.x0, 1);
    work.haveX0 = 1;
    return 1;
}

// The bound a clamped (not fixed) row is held at.
PxReal clampedValue(int32_t state, PxReal lo, PxReal hi)
{
    return (state & kLcpAtLower) ? lo : hi;
}

// Principal submatrix of A^-1 on the m clamped rows, columns solved on demand.
void buildPrincipalSubmatrix(LCPMatrix &A, const int32_t *clamped, int m, PxReal *sub)
{
    for (int b = 0; b < m; ++b) {
        const PxReal *column = A.inverseColumn(clamped[b]);
        for (int a = 0; a < m; ++a) sub[static_cast<size_t>(a) * m + b] = column[clamped[a]];
    }
}

// Multiply-adds of the route through A^-1: the columns not yet at hand, the
// dense factor of the m x m submatrix and the update of x (n).
double columnRouteCost(const LCPMatrix &A, const int32_t *clamped, int m, int n)
{
    double dm = m;
    return A.inverseColumnsCost(clamped, m) + dm * dm * dm / 3.0 + dm * dm + dm * n;
}

// Whether the subproblem of the m clamped rows costs less solved directly.
// Both routes' costs are weighed only when the column route costs more than
// the direct one's least (its product with A): a contact or two held at
// zero on a kept factor reads its columns and never prepares the other.
int heldRouteIsCheaper(LCPMatrix &A, const int32_t *clamped, int m, int n)
{
    double columns = columnRouteCost(A, clamped, m, n);
    return columns > A.heldRowsLeastCost() && A.heldRowsCost(clamped, m) < columns;
}

} // namespace

int allocateWork(MemoryPool &pool, LcpWork &work, int n, int keys)
{
    size_t un = static_cast<size_t>(n);
    work.table.keys = static_cast<uint32_t *>(
        pool.allocAligned(PoolRound(sizeof(uint32_t) * static_cast<size_t>(keys)), kPoolAlignment, "hash keys"));
    work.table.count = 0;
    work.table.capacity = keys;
    work.x0 = static_cast<PxReal *>(pool.allocAligned(sizeof(PxReal) * un, kPoolAlignment, "lcp x0"));
    work.xp = static_cast<PxReal *>(pool.allocAligned(sizeof(PxReal) * un, kPoolAlignment, "lcp x"));
    work.w = static_cast<PxReal *>(pool.allocAligned(sizeof(PxReal) * un, kPoolAlignment, "lcp w"));
    work.clamped = static_cast<int32_t *>(
        pool.allocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "lcp clamped"));
    work.sub = static_cast<PxReal *>(pool.allocAligned(sizeof(PxReal) * un * un, kPoolAlignment, "lcp submatrix"));
    work.wC = static_cast<PxReal *>(pool.allocAligned(sizeof(PxReal) * un, kPoolAlignment, "lcp wC"));
    work.haveX0 = 0;
    int tolerances = allocateTolerances(pool, n, work.tolerances);
    return work.table.keys && work.x0 && work.xp && work.w && work.clamped && work.sub && work.wC && tolerances;
}

int allocateTolerances(MemoryPool &pool, int n, Tolerances &t)
{
    size_t bytes = PoolRound(sizeof(PxReal) * static_cast<size_t>(n));
    t.impulse = static_cast<PxReal *>(pool.allocAligned(bytes, kPoolAlignment, "lcp impulse tolerances"));
    t.diagonal = static_cast<PxReal *>(pool.allocAligned(bytes, kPoolAlignment, "lcp tolerance diagonal"));
    t.carried = 0.0;
    return t.impulse && t.diagonal;
}

size_t tolerancesMemoryRequired(int n)
{
    return 2 * PoolAlignedCost(sizeof(PxReal) * static_cast<size_t>(n));
}

void islandTolerances(const LCPMatrix &A, const PxReal *q, int n, PxReal tolerance, Tolerances &t)
{
    A.getDiagonal(t.diagonal, n);
    tolerancesOfDiagonal(q, n, tolerance, t);
}

namespace {

// The tolerances of tolerancesOfDiagonal, with 1 / A_ii for rows i and
// i + 1 from inverse2(i) and for row i alone from inverse1(i).
template <class Inverse2, class Inverse1>
void tolerancesWith(const PxReal *q, int n, PxReal tolerance, Tolerances &t, Inverse2 inverse2, Inverse1 inverse1)
{
    // Two rows at a time, as impulseOfRow and rowTolerance do one: the
    // scales are finite and not negative, so their largest is the same
    // whichever lane finds it.
    const int pairs = n / 2 * 2;
    const Pair zero = splat(0.0), most = splat(DBL_MAX);
    Pair largest2 = zero;
    for (int i = 0; i < pairs; i += 2) {
        const Pair product = absolute(load2(q + i)) * inverse2(i);
        const Pair impulse = (product <= most) ? product : zero;
        store2(t.impulse + i, impulse);
        largest2 = impulse > largest2 ? impulse : largest2;
    }
    PxReal largest = largest2[0] > largest2[1] ? largest2[0] : largest2[1];
    for (int i = pairs; i < n; ++i) {
        t.impulse[i] = impulseOfRow(q[i], inverse1(i));
        if (t.impulse[i] > largest) largest = t.impulse[i];
    }
    const Pair floor = splat(kRowScaleFloor * largest), factor = splat(tolerance);
    for (int i = 0; i < pairs; i += 2) {
        const Pair own = load2(t.impulse + i);
        store2(t.impulse + i, factor * (own > floor ? own : floor));
    }
    for (int i = pairs; i < n; ++i) t.impulse[i] = rowTolerance(tolerance, t.impulse[i], largest);
    t.carried = 0.0;
}

} // namespace

// A division by a zero diagonal is not kept.
void tolerancesOfDiagonal(const PxReal *q, int n, PxReal tolerance, Tolerances &t)
{
    const PxReal *d = t.diagonal;
    const auto inverse2 = [d](int i) {
        const Pair zero = splat(0.0), diagonal = load2(d + i);
        return diagonal > zero ? splat(1.0) / diagonal : zero;
    };
    const auto inverse1 = [d](int i) { return d[i] > 0.0 ? 1.0 / d[i] : 0.0; };
    tolerancesWith(q, n, tolerance, t, inverse2, inverse1);
}

void inverseOfDiagonal(const PxReal *diagonal, int n, PxReal *inverse)
{
    for (int i = 0; i < n; ++i) inverse[i] = diagonal[i] > 0.0 ? 1.0 / diagonal[i] : 0.0;
}

void tolerancesOfInverse(const PxReal *q, int n, PxReal tolerance, const PxReal *inverse, Tolerances &t)
{
    const auto inverse2 = [inverse](int i) { return load2(inverse + i); };
    const auto inverse1 = [inverse](int i) { return inverse[i]; };
    tolerancesWith(q, n, tolerance, t, inverse2, inverse1);
}

void followIterate(const PxReal *x, int n, PxReal tolerance, Tolerances &t)
{
    t.carried = carriedTolerance(tolerance, x, n);
}

// The clamped rows take their bounds and the free rows the values that make
// w = A x - q vanish on them. Two routes give this x; the cheaper is taken:
// - through A^-1: with x = A^-1 (q + w) and w = 0 on free rows, the clamped
//   rows' w solves (A^-1)_CC w_C = x_C - x0_C, and then x = x0 + (A^-1)_:C w_C
//   (columns of A^-1 are solved once and kept while the factor stands);
// - directly: A_FF x_F = q_F - A_FC x_C with a factor of A_FF of its own,
//   cheaper when many rows are clamped.
// Returns 0 when a factor fails.
int solvePrincipalSubproblem(LCPMatrix &A, LcpWork &work, int m, const PxReal *q, const PxReal *lo, const PxReal *hi,
                             const int32_t *state, PxReal *x, int n)
{
    int np = A.size();
    if (m == 0) {
        if (!unconstrainedSolution(A, work, q, state, n)) return 0;
        memcpy(x, work.x0, sizeof(PxReal) * static_cast<size_t>(np));
        return 1;
    }
    if (heldRouteIsCheaper(A, work.clamped, m, np)) {
        for (int a = 0; a < m; ++a) {
            int row = work.clamped[a];
            x[row] = clampedValue(state[row], lo[row], hi[row]);
        }
        return A.solveHeldRows(x, q, n, work.sub);
    }
    if (!unconstrainedSolution(A, work, q, state, n)) return 0;
    memcpy(x, work.x0, sizeof(PxReal) * static_cast<size_t>(np));
    A.forgetHeldFactor(); // its storage takes the dense submatrix now
    buildPrincipalSubmatrix(A, work.clamped, m, work.sub);
    if (!LCPMatrix::factorDense(work.sub, m)) return 0;
    for (int a = 0; a < m; ++a) {
        int row = work.clamped[a];
        work.wC[a] = clampedValue(state[row], lo[row], hi[row]) - work.x0[row];
    }
    LCPMatrix::solveDense(work.sub, work.wC, m);
    for (int b = 0; b < m; ++b) {
        const PxReal *column = A.inverseColumn(work.clamped[b]);
        PxReal wb = work.wC[b];
        for (int i = 0; i < np; ++i) x[i] += wb * column[i];
    }
    for (int a = 0; a < m; ++a) {
        int row = work.clamped[a];
        x[row] = clampedValue(state[row], lo[row], hi[row]);
    }
    return 1;
}

void markDegenerateRows(const LCPMatrix &A, const PxReal *lo, const PxReal *hi, int32_t *state, int n,
                        PxReal degeneracyFilter, const Tolerances &tolerances)
{
    PxReal threshold = sqrt(A.getEpsilon()) * degeneracyFilter;
    for (int i = 0; i < n; ++i) {
        int dependent = A.getDiagInv(i) < threshold;
        PxReal t = impulseTolerance(tolerances, i);
        int pinned = fabs(lo[i]) <= t && fabs(hi[i]) <= t;
        if (dependent || pinned) state[i] = kLcpDegenerate;
    }
}

size_t lcpSolverMemoryRequired(int n)
{
    size_t un = static_cast<size_t>(n);
    return PoolAlignedCost(sizeof(uint32_t) * kMaxCycleKeys) + 5 * PoolAlignedCost(sizeof(PxReal) * un) +
           PoolAlignedCost(sizeof(int32_t) * un) + PoolAlignedCost(sizeof(int32_t) * un) +
           PoolAlignedCost(sizeof(PxReal) * un * un) + PoolAlignedCost(sizeof(PxReal) * un) +
           PoolAlignedCost(PoolRound(sizeof(PxReal) * un)) + tolerancesMemoryRequired(n);
}

// Iterations of a pivoting solve: the world's maxIterations as a base and
// half of it again per row of a box island, one per row of another. A
// single pivot changes one row, and on a hand squeezing an object rows
// leave the held set and come back, so a solve needs more pivots the more
// rows it has. Once the block pivots have given up, the single pivots
// reach the answer in a finite number of steps (PivotRule), but the closing
// hand of the LcsGrip test takes up to twelve a row to get there: with the
// world's 35 (seventeen a row) it needs no recovery. A solve that still
// runs out is recovered.
int pivotingIterationLimit(const RbdLcsLCPSolverParameters &params, int n)
{
    int perRow = params.boxIsland ? params.maxIterations / 2 : 1;
    return params.maxIterations > 0 ? params.maxIterations + perRow * n : params.maxIterations;
}

namespace {

// Block pivots tried without a new least count of infeasible rows before a
// single pivot is taken.
const int kBlockRetries = 3;

// The rows whose state the iterate x (with w on the clamped rows) asks to
// change: their count, and in *first the one a single pivot changes.
int countInfeasible(const LCPMatrix &A, const LcpWork &work, const PxReal *q, const PxReal *lo, const PxReal *hi,
                    const int32_t *state, int n, int boxIsland, int *first)
{
    int count = 0;
    *first = -1;
    for (int i = 0; i < n; ++i) {
        if (state[i] & kLcpFixed) continue;
        PxReal w = state[i] == kLcpFree ? 0.0 : work.w[i] - q[i];
        int32_t s = newState(state[i], work.xp[i], w, lo[i], hi[i], impulseTolerance(work.tolerances, i),
                             velocityTolerance(work.tolerances, i));
        if (s == state[i]) continue;
        // Rows come in row order; on a box island the first to pivot is
        // the last in the elimination order (PivotRule).
        if (count++ == 0 || (boxIsland && A.positionOf(i) > A.positionOf(*first))) *first = i;
    }
    return count;
}

// Changes the state of every infeasible row, or of row `only` alone (>= 0).
void pivot(const LcpWork &work, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state, int n, int only)
{
    int from = only >= 0 ? only : 0, to = only >= 0 ? only + 1 : n;
    for (int i = from; i < to; ++i) {
        if (state[i] & kLcpFixed) continue;
        PxReal w = state[i] == kLcpFree ? 0.0 : work.w[i] - q[i];
        state[i] = newState(state[i], work.xp[i], w, lo[i], hi[i], impulseTolerance(work.tolerances, i),
                            velocityTolerance(work.tolerances, i));
    }
}

// On a box island the single pivots that follow the block pivots keep a
// point inside the bounds and walk it down 1/2 x'Ax - q'x: Murty's order
// alone reaches the answer but may take many times the rows in pivots
// (the closing hand: over six hundred for 75 rows, the rows first in the
// order turning back and forth like a counter's digits). From the point
// `from` (on the current face: held rows at their bounds) the face's
// minimiser x lies downhill; where a free row of x is past a bound (beyond
// its tolerance), the point stops at the first such bound on the way and
// that row is held there; where none is, the point moves to x and the
// held row that the single pivot names (every infeasible row is a held
// one then) is let go. *started is 0 until the first step, which starts
// from x clipped to the bounds.
__attribute__((noinline)) void descentPivot(const LcpWork &work, const PxReal *q, const PxReal *lo, const PxReal *hi,
                                            int32_t *state, int n, int first, PxReal *from, int *started)
{
    const PxReal *x = work.xp;
    if (!*started) {
        for (int i = 0; i < n; ++i) from[i] = state[i] == kLcpFree ? fmin(fmax(x[i], lo[i]), hi[i]) : x[i];
        *started = 1;
    }
    PxReal alpha = 1.0;
    int block = -1;
    for (int i = 0; i < n; ++i) {
        if (state[i] != kLcpFree) continue;
        const PxReal t = impulseTolerance(work.tolerances, i);
        PxReal bound;
        if (x[i] < lo[i] - t)
            bound = lo[i];
        else if (x[i] > hi[i] + t)
            bound = hi[i];
        else
            continue;
        // from lies inside the bound (or past it by less than the tolerance).
        PxReal reach = (bound - from[i]) / (x[i] - from[i]);
        if (!(reach > 0.0)) reach = 0.0;
        if (block < 0 || reach < alpha) {
            alpha = reach;
            block = i;
        }
    }
    if (block < 0) {
        memcpy(from, x, sizeof(PxReal) * static_cast<size_t>(n));
        pivot(work, q, lo, hi, state, n, first);
        return;
    }
    for (int i = 0; i < n; ++i)
        if (state[i] == kLcpFree) from[i] += alpha * (x[i] - from[i]);
    const int lower = x[block] < lo[block];
    state[block] = lower ? kLcpAtLower : kLcpAtUpper;
    from[block] = lower ? lo[block] : hi[block];
}

// Which pivot the next iteration takes. Block pivots change every
// infeasible row at once and usually finish in a few iterations, but on an
// ill-conditioned island (a hand squeezing an object with its motors at
// their bounds) they can wander from one active set to another without
// end. So, as Judice and Pires safeguard them, a block pivot is taken while
// the count of infeasible rows reaches a new least count, or within
// kBlockRetries iterations of the last one; otherwise one row changes
// until the count falls below its least again. Every least count is
// smaller than the last, so block pivots cannot go on without progress.
// After maxBlockIterations only single pivots are taken.
// A single pivot changes the first infeasible row in a fixed order of the
// rows: Murty's least-index rule, which for a positive definite A reaches
// the answer in finitely many pivots from any start (in exact arithmetic),
// so a state that comes back among single pivots alone is rounding's.
// On a box island (params.boxIsland: few or no rows whose bounds follow a
// normal row, as on a hand) the rows are taken backwards in the elimination
// order: the next subproblem then keeps the factor of the free rows up to
// the changed row (solveHeldRows), and the closing hand took fewer pivots,
// each a quarter cheaper, than in row order. There a single pivot back to a state
// the block pivots went through starts the single pivots alone instead of
// ending the solve, and these have room to finish (pivotingIterationLimit);
// once single pivots alone are taken, they are descent steps (descentPivot).
// They are taken alone as soon as the block pivots run out of retries:
// Murty's pivots between there and maxBlockIterations did not lower the
// count on the closing hand (10-15 infeasible rows for sixteen pivots,
// then the descent from the best states), and were a third of its pivots.
// Other islands keep row order (each contact's normal row before its
// friction rows), one pivot a row and the end of the solve at any state
// seen again: given room, the heap of boxes failed far fewer solves but
// came to rest later (end figures over a dozen samples) and took longer,
// so its failed solves are still recovered.
struct PivotRule {
    int least;    // the least count of infeasible rows so far
    int retries;  // block pivots left without a new least count
    int single;   // single pivots only from now on
    int progress; // the last count was a new least
    // Single pivots only from now on. With forget the states the block
    // pivots went through are forgotten: single pivots may pass them once.
    void singleFromNow(StateHashTable &table, int forget)
    {
        single = 1;
        if (forget) table.count = 0;
    }
    // Whether the block pivots are done: `count` infeasible rows is no new
    // least and no retries are left.
    int blockDone(int count) const { return count >= least && retries <= 0; }
    // Whether the iteration with `count` infeasible rows takes one row only.
    int singleFor(int count)
    {
        progress = count < least;
        if (progress) {
            least = count;
            retries = kBlockRetries;
        }
        if (single) return 1;
        if (progress) return 0;
        return retries-- > 0 ? 0 : 1;
    }
};

// The iterate with the fewest infeasible rows so far and the states it was
// solved with. A failed solve leaves this one: its last iterate may come
// from an active set whose free rows depend on each other, with impulses
// far beyond any bound.
struct BestIterate {
    PxReal *x;
    int32_t *state;
    int kept;
    int allocate(MemoryPool &pool, int n)
    {
        size_t un = static_cast<size_t>(n);
        x = static_cast<PxReal *>(pool.allocAligned(PoolRound(sizeof(PxReal) * un), kPoolAlignment, "lcp best x"));
        state = static_cast<int32_t *>(
            pool.allocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "lcp best states"));
        kept = 0;
        return x && state;
    }
    void keep(const PxReal *iterate, const int32_t *states, int n)
    {
        memcpy(x, iterate, sizeof(PxReal) * static_cast<size_t>(n));
        memcpy(state, states, sizeof(int32_t) * static_cast<size_t>(n));
        kept = 1;
    }
    void restore(PxReal *iterate, int32_t *states, int n) const
    {
        if (!kept) return;
        memcpy(iterate, x, sizeof(PxReal) * static_cast<size_t>(n));
        memcpy(states, state, sizeof(int32_t) * static_cast<size_t>(n));
    }
};

} // namespace

namespace {

// given: the rows' tolerances for A and q when the caller has them (null:
// computed here). carried (when given) receives the least tolerance the
// answer x carries (followIterate), that of the last iterate when it is x.
int pivotingSolve(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state, int n,
                  const RbdLcsLCPSolverParameters &params, const int limit, const Tolerances *given = nullptr,
                  PxReal *carried = nullptr)
{
    int np = A.size();
    if (!A.pool().pushFrame()) return -1;
    int keys = limit + 1;
    if (keys > kMaxCycleKeys) keys = kMaxCycleKeys;
    if (keys < 1) keys = 1;
    LcpWork work;
    BestIterate best;
    PxReal *from = nullptr; // the descent's point, taken when the descent starts
    int descending = 0;
    if (!allocateWork(A.pool(), work, np, keys) || !best.allocate(A.pool(), n)) {
        A.pool().popFrame();
        return -1;
    }
    if (!params.warmStart)
        for (int i = 0; i < n; ++i) state[i] = kLcpFree;
    if (given) {
        work.tolerances = *given;
        work.tolerances.carried = 0.0;
    } else {
        islandTolerances(A, q, n, params.tolerance, work.tolerances);
    }
    markDegenerateRows(A, lo, hi, state, n, params.degeneracyFilter, work.tolerances);
    // Fixed rows are decoupled from the factor, so every solve below holds
    // them at 0 and they never enter the clamped subproblem. The factor
    // without them is formed when a solve first needs it; a failure then
    // ends the solve like a failed subproblem.
    if (!A.selectFixedRows(state, n)) {
        A.pool().popFrame();
        return -1;
    }
    A.forgetHeldFactor(); // the storage it lived in is this solve's own
    // A pivot that changes a few rows (a single pivot one) leaves the free
    // rows' factor of an earlier subproblem serving the next ones with a
    // border of the changed rows, while their pivots clear the
    // dependent-row filter; heldRowsCost weighs that against refactoring
    // from the first changed row. Both the closing hand's single pivots and
    // the settling stack's block pivots of a few of its 120 rows refactored
    // most of the free rows at each pivot without it.
    PxReal filter = sqrt(A.getEpsilon()) * params.degeneracyFilter;
    A.allowHeldBorder(filter * filter);
    if (limit <= 0) {
        // No iteration: the answer is the unconstrained solution.
        if (unconstrainedSolution(A, work, q, state, n))
            memcpy(work.xp, work.x0, sizeof(PxReal) * static_cast<size_t>(np));
        else
            memset(work.xp, 0, sizeof(PxReal) * static_cast<size_t>(np));
    }
    // The starting states need no key: the first iteration always reaches a
    // new least count of infeasible rows, which empties the table.
    int result = -limit;
    PivotRule rule = {n + 1, kBlockRetries, 0, 0};
    for (int k = 0; k < limit; ++k) {
        int m = 0;
        for (int i = 0; i < n; ++i)
            if (state[i] != kLcpFree && !(state[i] & kLcpFixed)) work.clamped[m++] = i;
        if (!solvePrincipalSubproblem(A, work, m, q, lo, hi, state, work.xp, n)) {
            result = -(k + 1);
            break;
        }
        // w = A x - q is read on the clamped rows only: a free row's new
        // state depends on its x alone.
        A.multiplyRows(work.xp, work.clamped, m, work.w);
        followIterate(work.xp, n, params.tolerance, work.tolerances);
        int first;
        int count = countInfeasible(A, work, q, lo, hi, state, n, params.boxIsland, &first);
        if (count == 0) {
            result = k + 1;
            break;
        }
        const int blockDone = k > params.maxBlockIterations || (params.boxIsland && rule.blockDone(count));
        if (!rule.single && blockDone) {
            rule.singleFromNow(work.table, params.boxIsland);
            // Where the block pivots stopped can be far from the answer; on
            // a box island the single pivots start from the states with
            // fewer infeasible rows when there were such (the closing hand:
            // 11 % fewer instructions in all), at the cost of their
            // subproblem again.
            if (params.boxIsland && best.kept && count > rule.least) {
                best.restore(work.xp, state, n);
                continue;
            }
        }
        int single = rule.singleFor(count);
        if (rule.progress) best.keep(work.xp, state, n);
        if (params.boxIsland && rule.single) {
            if (!from && !(from = A.pool().array<PxReal>(static_cast<size_t>(n), "lcp descent point"))) {
                result = -(k + 1);
                break;
            }
            descentPivot(work, q, lo, hi, state, n, first, from, &descending);
        } else
            pivot(work, q, lo, hi, state, n, single ? first : -1);
        // Only states since the last new least count can come back in a cycle.
        if (rule.progress) work.table.count = 0;
        if (params.cycleDetection && hashTableSeenOrInsert(&work.table, hashStates(state, n))) {
            if (single && (rule.single || !params.boxIsland)) {
                result = -(k + 1);
                break;
            }
            // A single pivot back to a state the block pivots went through
            // ends them; a block pivot back to one makes the next pivot
            // without progress a single one.
            if (single)
                rule.singleFromNow(work.table, 1);
            else
                rule.retries = 0;
            work.table.count = 0;
            hashTableSeenOrInsert(&work.table, hashStates(state, n));
        }
    }
    if (result < 0) best.restore(work.xp, state, n);
    memcpy(x, work.xp, sizeof(PxReal) * static_cast<size_t>(n));
    if (carried) *carried = result > 0 ? work.tolerances.carried : carriedTolerance(params.tolerance, x, n);
    A.allowHeldBorder(0.0);
    A.pool().popFrame();
    return result;
}

} // namespace

int cycleDetectLcpSolver(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state,
                         int n, const RbdLcsLCPSolverParameters &params)
{
    return pivotingSolve(A, x, q, lo, hi, state, n, params, pivotingIterationLimit(params, n));
}

LCPSolverFunction lcpSolver(int index)
{
    // Both indices name the pivoting solver; new solvers go beside it here.
    static const LCPSolverFunction table[kLcpSolverCount] = {cycleDetectLcpSolver, cycleDetectLcpSolver};
    return table[index];
}

void scaleBoxLcpData(LcpRows &rows)
{
    for (int i = 0; i < rows.n; ++i) {
        int normal = rows.frictionRef[i];
        if (normal < 0) continue;
        PxReal bound = fabs(rows.mu[i] * rows.lambda[normal]);
        rows.lo[i] = -bound;
        rows.hi[i] = bound;
        rows.state[i] = kLcpFree;
    }
}

namespace {

// Whether the friction bounds the solve used still hold for the normal
// impulses it found (RbdLcsFrictionBounds.h), by the solver's own
// tolerances of each row (those of A and the right-hand side).
// carried: what the solve's answer carries (pivotingSolve).
int boundsHoldAfter(const LcpRows &rows, PxReal carried, Tolerances tolerances)
{
    tolerances.carried = carried;
    return frictionBoundsHold(rows, tolerances);
}

// Iterations a solve under friction bounds from the last step may take.
// Where they hold, a few pivots settle it (one on a resting stack; up to
// nine while the S1 stack settles); one that takes more is dearer than
// the two solves that replace it, and is given up without recovery.
const int kTrialIterations = 12;

// A pivoting solve of rows that gives up after kTrialIterations.
int trialSolve(LCPMatrix &A, LcpRows &rows, const RbdLcsLCPSolverParameters &params, const PxReal *rhs,
               const Tolerances &tolerances, PxReal &carried)
{
    int limit = pivotingIterationLimit(params, rows.n);
    if (limit > kTrialIterations) limit = kTrialIterations;
    return pivotingSolve(A, rows.lambda, rhs, rows.lo, rows.hi, rows.state, rows.n, params, limit, &tolerances,
                         &carried);
}

// Whether a solve under the last step's friction bounds (result) ends
// with bounds that hold for its own normal impulses. One that does not is
// mostly near one that does (a resting stack's corners trade their load
// from step to step), so one more solve with the bounds of those impulses,
// from the states found, is tried first.
// Returns the iterations of the solve that settled it, 0 when none did.
int settleOnOwnBounds(LCPMatrix &A, LcpRows &rows, RbdLcsLCPSolverParameters params, const PxReal *rhs,
                      const Tolerances &tolerances)
{
    PxReal carried = 0.0;
    int result = trialSolve(A, rows, params, rhs, tolerances, carried);
    if (result < 0) return 0;
    if (boundsHoldAfter(rows, carried, tolerances)) return result;
    params.warmStart = 1;
    scaleBoxLcpData(rows);
    result = trialSolve(A, rows, params, rhs, tolerances, carried);
    return result >= 0 && boundsHoldAfter(rows, carried, tolerances) ? result : 0;
}

// The rows' tolerances depend on A's diagonal and the right-hand side
// only, so both solves and both tests share them (their workspace is given
// back before a recovery takes its own).
int settledOnOwnBounds(LCPMatrix &A, LcpRows &rows, const RbdLcsLCPSolverParameters &params, const PxReal *rhs)
{
    if (!A.pool().pushFrame()) return 0;
    Tolerances tolerances;
    int result = 0;
    if (allocateTolerances(A.pool(), rows.n, tolerances)) {
        islandTolerances(A, rhs, rows.n, params.tolerance, tolerances);
        result = settleOnOwnBounds(A, rows, params, rhs, tolerances);
    }
    A.pool().popFrame();
    return result;
}

} // namespace

namespace {

// An island is a box island (PivotRule) while fewer than one row in
// kBoxShare has bounds that follow a normal row: a hand on its joints with
// a contact or two on a support, not a heap of boxes on their contacts.
const int kBoxShare = 4;

// The friction rows' bounds of the last solve below come from the
// frictionless normal impulses, which the trials' normal impulses were
// near, so the friction rows the trials held at a bound start held at
// that side of the new bound: mostly the corners of a face squeezed along
// the rows that depend on each other. Started free, the first iterate
// carries that squeeze as q's part along those rows over the softness,
// many times any bound, and the pivots that bring the rows back wander:
// on the settling ten-box stack one such solve ran out of pivots and was
// recovered, an eighth of the 1000 steps' instructions in that one step.
// A is positive definite, so the answer does not depend on the start.
// sides: the states the trials left.
void startFrictionAtTrialSides(LcpRows &rows, const int32_t *sides)
{
    for (int i = 0; i < rows.n; ++i) {
        if (rows.frictionRef[i] < 0 || (sides[i] & kLcpFixed)) continue;
        rows.state[i] = sides[i] & (kLcpAtLower | kLcpAtUpper);
    }
}

} // namespace

int solveLcpSystem(LCPMatrix &A, LcpRows &rows, RbdLcsLCPSolverParameters params, const PxReal *rhs,
                   LCPSolverFunction solver, int *failed)
{
    if (!A.pool().pushFrame()) return -1;
    PxReal *guess = static_cast<PxReal *>(
        A.pool().allocAlignedZeroed(lcpGuessBytes(A.size()), kPoolAlignment, "lcp guess"));
    params.boxIsland = kBoxShare * rows.frictionCount < rows.n; // PivotRule says why
    int open = rows.frictionCount > 0 && frictionBoundsOpen(rows);
    int result = open ? settledOnOwnBounds(A, rows, params, rhs) : 0;
    if (result == 0 && !guess) result = -1;
    int32_t *sides = result == 0 && open ? A.pool().array<int32_t>(static_cast<size_t>(rows.n), "trial sides")
                                         : nullptr;
    if (sides) memcpy(sides, rows.state, sizeof(int32_t) * static_cast<size_t>(rows.n));
    if (result == 0) {
        // Normal impulses found under the last step's friction bounds can
        // be far from those of the step's own bounds (a sliding block tips
        // under friction it no longer has): the bounds come from a
        // frictionless solve, as without them, started from the states the
        // trials found (the frictionless solution does not depend on its
        // start; from the seeded states the settling S1 stack took more
        // pivots and failed solves).
        if (open) {
            closeFrictionBounds(rows);
            params.warmStart = 1;
        }
        result = solveRecovered(A, rows, params, rhs, solver, guess, failed);
        if (rows.frictionCount > 0) {
            params.warmStart = 1;
            scaleBoxLcpData(rows);
            if (sides) startFrictionAtTrialSides(rows, sides);
            result = solveRecovered(A, rows, params, rhs, solver, guess, failed);
        }
    }
    A.pool().popFrame();
    return result;
}

} // namespace lcs
