// The descent solver, and the recovery of pivoting solves that stop
// without converging.
//
// The LCP of a symmetric positive definite A is the optimality condition of
//   minimise f(x) = 1/2 x'Ax - q'x  over the box lo <= x <= hi,
// so its solution is unique, and any route that reaches it computes the
// same. The pivoting can stop short of it: with rows that depend on each
// other (four coplanar contacts of a face, eight friction rows for the three
// ways a face can slide) its subproblems give free rows that fight held ones
// through the small softness, their impulses many times the weights
// involved, and the active set wanders or cycles. Its last iterate is then
// no answer to step with: a box on such contacts leaves at hundreds of m/s.
// The descent cannot wander: its iterate stays in the box and f never rises.
#include <math.h>
#include <string.h>
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSubproblem.h"

namespace lcs {

namespace {

const PxReal kNearBound = 1e-9;      // of the tolerance: a row this close to a bound is at it
const PxReal kDescent = 1e-12;       // of |f|: a jump must lower f by more than this
const PxReal kProximal = 1e-2;       // rho, of the average diagonal of A
const int kRecoverySweeps = 200;     // projected Gauss-Seidel sweeps of a recovery at most
const int kSweepsBetweenChecks = 10; // sweeps between two tests of the tolerance
const int kRecoveryIterations = 4;   // descent steps of a recovery, in the pivoting's maxIterations

struct DescentWork {
    LcpWork lcp;
    PxReal *g;         // (np) gradient A x - q at the iterate
    PxReal *target;    // (np) minimiser on the current face
    PxReal *trial;     // (np) a trial point
    PxReal *gTrial;    // (np) the gradient there
    PxReal *qProximal; // (np) q + rho x
};

int allocateDescentWork(MemoryPool &pool, DescentWork &work, int np)
{
    size_t bytes = sizeof(PxReal) * static_cast<size_t>(np);
    if (!allocateWork(pool, work.lcp, np, 1)) return 0;
    work.g = static_cast<PxReal *>(pool.allocAlignedZeroed(bytes, kPoolAlignment, "descent g"));
    work.target = static_cast<PxReal *>(pool.allocAlignedZeroed(bytes, kPoolAlignment, "descent target"));
    work.trial = static_cast<PxReal *>(pool.allocAlignedZeroed(bytes, kPoolAlignment, "descent trial"));
    work.gTrial = static_cast<PxReal *>(pool.allocAlignedZeroed(bytes, kPoolAlignment, "descent trial g"));
    work.qProximal = static_cast<PxReal *>(pool.allocAlignedZeroed(bytes, kPoolAlignment, "descent proximal q"));
    return work.g && work.target && work.trial && work.gTrial && work.qProximal;
}

// The smallest of n values (0 for none).
PxReal smallest(const PxReal *values, int n)
{
    PxReal least = n > 0 ? values[0] : 0.0;
    for (int i = 1; i < n; ++i)
        if (values[i] < least) least = values[i];
    return least;
}

PxReal clipped(PxReal v, PxReal lo, PxReal hi)
{
    return v < lo ? lo : (v > hi ? hi : v);
}

// f(x), and g = A x - q, over the first n rows (x is zero beyond them).
PxReal objectiveAndGradient(const LCPMatrix &A, const PxReal *x, const PxReal *q, int n, PxReal *g)
{
    A.multiply(x, g);
    PxReal f = 0.0;
    for (int i = 0; i < n; ++i) {
        f += x[i] * (0.5 * g[i] - q[i]);
        g[i] -= q[i];
    }
    return f;
}

// A row is held at a bound it sits on (within near) when the gradient
// pushes it outwards; otherwise it is free.
int32_t outwardState(PxReal x, PxReal g, PxReal lo, PxReal hi, PxReal near)
{
    if (x <= lo + near && g > 0.0) return kLcpAtLower;
    if (x >= hi - near && g < 0.0) return kLcpAtUpper;
    return kLcpFree;
}

void holdOutwardRows(const PxReal *x, const PxReal *g, const PxReal *lo, const PxReal *hi, int32_t *state, int n,
                     PxReal near)
{
    for (int i = 0; i < n; ++i)
        if (!(state[i] & kLcpFixed)) state[i] = outwardState(x[i], g[i], lo[i], hi[i], near);
}

// The point solves the LCP within the tolerances: every row not fixed has
// |g| within the velocity tolerance, or sits at a bound (within the impulse
// tolerance) with g pushing outwards.
int solvedWithin(const PxReal *x, const PxReal *g, const PxReal *lo, const PxReal *hi, const int32_t *state, int n,
                 const Tolerances &t)
{
    for (int i = 0; i < n; ++i) {
        if ((state[i] & kLcpFixed) || fabs(g[i]) <= velocityTolerance(t, i)) continue;
        PxReal impulse = impulseTolerance(t, i);
        if (x[i] <= lo[i] + impulse && g[i] > 0.0) continue;
        if (x[i] >= hi[i] - impulse && g[i] < 0.0) continue;
        return 0;
    }
    return 1;
}

// How far (0..1) a free row can go from x towards target before it meets a
// bound the target lies beyond; 1 when it meets none.
PxReal reachOf(PxReal x, PxReal target, PxReal lo, PxReal hi)
{
    if (target < lo && target < x) return x <= lo ? 0.0 : (lo - x) / (target - x);
    if (target > hi && target > x) return x >= hi ? 0.0 : (hi - x) / (target - x);
    return 1.0;
}

PxReal firstReach(const PxReal *x, const PxReal *target, const PxReal *lo, const PxReal *hi, const int32_t *state,
                  int n)
{
    PxReal alpha = 1.0;
    for (int i = 0; i < n; ++i)
        if (state[i] == kLcpFree) alpha = fmin(alpha, reachOf(x[i], target[i], lo[i], hi[i]));
    return alpha;
}

// out = x with its free rows moved to P(x + alpha (target - x)), P the
// clipping to the box. With hold, the free rows that reach a bound on the
// way join the held set there.
void moveAlong(const PxReal *x, const PxReal *target, PxReal alpha, const PxReal *lo, const PxReal *hi,
               int32_t *state, int n, int hold, PxReal *out)
{
    for (int i = 0; i < n; ++i) {
        out[i] = x[i];
        if (state[i] != kLcpFree) continue;
        if (alpha < 1.0 && reachOf(x[i], target[i], lo[i], hi[i]) <= alpha) {
            out[i] = target[i] < lo[i] ? lo[i] : hi[i];
            if (hold) state[i] = target[i] < lo[i] ? kLcpAtLower : kLcpAtUpper;
            continue;
        }
        out[i] = clipped(x[i] + alpha * (target[i] - x[i]), lo[i], hi[i]);
    }
}

// The step along P(x + alpha (target - x)): f falls all the way to the
// first row that meets a bound (walk), since f is convex and no higher at
// the target than at x. Past it the path bends along the bounds; alpha
// doubles while f keeps falling.
PxReal stepAlongPath(const LCPMatrix &A, const PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi,
                     int32_t *state, int n, DescentWork &work, PxReal walk)
{
    PxReal alpha = walk;
    if (!(walk > 0.0 && walk < 1.0)) return alpha;
    moveAlong(x, work.target, walk, lo, hi, state, n, 0, work.trial);
    PxReal fBest = objectiveAndGradient(A, work.trial, q, n, work.gTrial);
    for (PxReal longer = 2.0 * walk; alpha < 1.0; longer *= 2.0) {
        longer = fmin(longer, 1.0);
        moveAlong(x, work.target, longer, lo, hi, state, n, 0, work.trial);
        PxReal fLonger = objectiveAndGradient(A, work.trial, q, n, work.gTrial);
        if (!(fLonger < fBest)) break;
        fBest = fLonger;
        alpha = longer;
    }
    return alpha;
}

// At the end of a walk: lets go the held rows whose gradient pulls them
// inwards, or only the one pulled hardest.
void releaseHeld(const PxReal *g, int32_t *state, int n, int onlyOne)
{
    int hardest = -1;
    PxReal hardestPull = 0.0;
    for (int i = 0; i < n; ++i) {
        PxReal pull = state[i] == kLcpAtLower ? -g[i] : (state[i] == kLcpAtUpper ? g[i] : 0.0);
        if (!(pull > 0.0)) continue;
        if (pull > hardestPull) {
            hardestPull = pull;
            hardest = i;
        }
        if (!onlyOne) state[i] = kLcpFree;
    }
    if (onlyOne && hardest >= 0) state[hardest] = kLcpFree;
}

// rho of the face solves: far above the softness, so that rows which depend
// on each other no longer make a face's minimiser wild, and far below the
// rest of A, so that the steps stay long.
PxReal proximalWeight(const LCPMatrix &A, const int32_t *state, int n)
{
    PxReal sum = 0.0;
    int rows = 0;
    for (int i = 0; i < n; ++i) {
        if (state[i] & kLcpFixed) continue;
        sum += A.getElement(i, i);
        ++rows;
    }
    return rows > 0 ? kProximal * sum / rows : 0.0;
}

// The descent's steps from x, with A's diagonal shifted by rho for the face
// solves. Returns the steps taken, negative when it stopped unsolved.
int descend(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state, int n,
            const RbdLcsLCPSolverParameters &params, Tolerances &tolerances, PxReal rho, DescentWork &work)
{
    PxReal near = kNearBound * smallest(tolerances.impulse, n);
    memcpy(work.trial, x, sizeof(PxReal) * static_cast<size_t>(n));
    PxReal f = objectiveAndGradient(A, work.trial, q, n, work.g);
    holdOutwardRows(x, work.g, lo, hi, state, n, near);
    int releaseOne = 0;
    for (int k = 0; k < params.maxIterations; ++k) {
        followIterate(x, n, params.tolerance, tolerances);
        if (solvedWithin(x, work.g, lo, hi, state, n, tolerances)) return k + 1;
        int m = 0;
        for (int i = 0; i < n; ++i)
            if (state[i] != kLcpFree && !(state[i] & kLcpFixed)) work.lcp.clamped[m++] = i;
        // The face's minimiser of f(y) + rho/2 |y - x|^2: (A + rho I) y = q + rho x.
        for (int i = 0; i < n; ++i) work.qProximal[i] = q[i] + rho * x[i];
        work.lcp.haveX0 = 0;
        if (!solvePrincipalSubproblem(A, work.lcp, m, work.qProximal, lo, hi, state, work.target, n)) return -(k + 1);
        // The jump: the minimiser clipped to the box, when it lowers f.
        for (int i = 0; i < n; ++i)
            work.trial[i] = (state[i] & kLcpFixed) ? 0.0 : clipped(work.target[i], lo[i], hi[i]);
        PxReal fJump = objectiveAndGradient(A, work.trial, q, n, work.gTrial);
        if (fJump < f - kDescent * fabs(f)) {
            memcpy(x, work.trial, sizeof(PxReal) * static_cast<size_t>(n));
            PxReal *swap = work.g;
            work.g = work.gTrial;
            work.gTrial = swap;
            f = fJump;
            holdOutwardRows(x, work.g, lo, hi, state, n, near);
            continue;
        }
        // Otherwise the walk: the rows that meet a bound on it are held there.
        PxReal walk = firstReach(x, work.target, lo, hi, state, n);
        PxReal alpha = stepAlongPath(A, x, q, lo, hi, state, n, work, walk);
        moveAlong(x, work.target, alpha, lo, hi, state, n, 1, work.trial);
        memcpy(x, work.trial, sizeof(PxReal) * static_cast<size_t>(n));
        PxReal fWalk = objectiveAndGradient(A, work.trial, q, n, work.g);
        // Letting several rows go at once can turn the next walk straight
        // back into a bound; after a walk that did not lower f, rows are let
        // go one at a time, which always leads downhill.
        releaseOne = !(fWalk < f);
        f = fWalk;
        if (walk >= 1.0) releaseHeld(work.g, state, n, releaseOne);
    }
    return -params.maxIterations;
}

} // namespace

int descentLcpSolver(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state,
                     int n, const RbdLcsLCPSolverParameters &params)
{
    if (!A.pool().pushFrame()) return -1;
    DescentWork work;
    if (!allocateDescentWork(A.pool(), work, A.size())) {
        A.pool().popFrame();
        return -1;
    }
    if (!params.warmStart)
        for (int i = 0; i < n; ++i) state[i] = kLcpFree;
    Tolerances &tolerances = work.lcp.tolerances;
    islandTolerances(A, q, n, params.tolerance, tolerances);
    markDegenerateRows(A, lo, hi, state, n, params.degeneracyFilter, tolerances);
    for (int i = 0; i < n; ++i) x[i] = (state[i] & kLcpFixed) ? 0.0 : clipped(x[i], lo[i], hi[i]);
    PxReal rho = proximalWeight(A, state, n);
    if (rho > 0.0) A.shiftDiagonal(rho, n);
    int result = -1;
    if (A.selectFixedRows(state, n)) {
        A.forgetHeldFactor();
        result = descend(A, x, q, lo, hi, state, n, params, tolerances, rho, work);
    }
    if (rho > 0.0) A.shiftDiagonal(-rho, n);
    A.pool().popFrame();
    return result;
}

size_t lcpGuessBytes(int n)
{
    return sizeof(PxReal) * static_cast<size_t>(n);
}

size_t recoveryMemoryRequired(int n)
{
    size_t vector = PoolAlignedCost(sizeof(PxReal) * static_cast<size_t>(n));
    return 3 * vector + tolerancesMemoryRequired(n) + lcpSolverMemoryRequired(n) + 5 * vector;
}

size_t lcpSystemMemoryRequired(int n)
{
    // The guess, the states the trials left (solveLcpSystem) and a recovery.
    size_t states = PoolAlignedCost(sizeof(int32_t) * static_cast<size_t>(n));
    return PoolAlignedCost(lcpGuessBytes(n)) + states + recoveryMemoryRequired(n);
}

// A failed solve is recovered from the better (lower f) of its last
// iterate and the guess it started from, both clipped to the box. First
// projected Gauss-Seidel: its sweeps cost a few multiply-adds a row and
// often meet the tolerance on their own; what they leave is a start close to
// the solution's active set, from which the descent needs fewer (dearer)
// steps.
int solveRecovered(LCPMatrix &A, LcpRows &rows, const RbdLcsLCPSolverParameters &params, const PxReal *q,
                   LCPSolverFunction solver, PxReal *guess, int *failed)
{
    size_t rowBytes = sizeof(PxReal) * static_cast<size_t>(rows.n);
    memcpy(guess, rows.lambda, rowBytes);
    int result = solver(A, rows.lambda, q, rows.lo, rows.hi, rows.state, rows.n, params);
    if (result < 0 && failed) *failed = 1;
    if (result >= 0 || !A.pool().pushFrame()) return result;
    // The products read whole padded vectors; lambda has the rows only.
    size_t bytes = sizeof(PxReal) * static_cast<size_t>(A.size());
    PxReal *g = static_cast<PxReal *>(A.pool().allocAlignedZeroed(bytes, kPoolAlignment, "recovery g"));
    PxReal *point = static_cast<PxReal *>(A.pool().allocAlignedZeroed(bytes, kPoolAlignment, "recovery point"));
    PxReal *sweepScratch = static_cast<PxReal *>(A.pool().allocAligned(bytes, kPoolAlignment, "sweep scratch"));
    Tolerances tolerances;
    if (!g || !point || !sweepScratch || !allocateTolerances(A.pool(), rows.n, tolerances)) {
        A.pool().popFrame();
        return result;
    }
    for (int i = 0; i < rows.n; ++i) {
        point[i] = clipped(rows.lambda[i], rows.lo[i], rows.hi[i]);
        guess[i] = clipped(guess[i], rows.lo[i], rows.hi[i]);
    }
    if (objectiveAndGradient(A, guess, q, rows.n, g) < objectiveAndGradient(A, point, q, rows.n, g))
        memcpy(point, guess, rowBytes);
    islandTolerances(A, q, rows.n, params.tolerance, tolerances);
    markDegenerateRows(A, rows.lo, rows.hi, rows.state, rows.n, params.degeneracyFilter, tolerances);
    for (int sweeps = kSweepsBetweenChecks; sweeps <= kRecoverySweeps; sweeps += kSweepsBetweenChecks) {
        projectedGaussSeidel(A, point, q, rows.lo, rows.hi, rows.state, rows.n, kSweepsBetweenChecks, sweepScratch);
        objectiveAndGradient(A, point, q, rows.n, g);
        followIterate(point, rows.n, params.tolerance, tolerances);
        if (!solvedWithin(point, g, rows.lo, rows.hi, rows.state, rows.n, tolerances)) continue;
        holdOutwardRows(point, g, rows.lo, rows.hi, rows.state, rows.n, smallest(tolerances.impulse, rows.n));
        memcpy(rows.lambda, point, rowBytes);
        A.pool().popFrame();
        return sweeps / kSweepsBetweenChecks;
    }
    memcpy(rows.lambda, point, rowBytes);
    RbdLcsLCPSolverParameters descent = params;
    descent.warmStart = 1;
    descent.maxIterations = params.maxIterations * kRecoveryIterations;
    result = descentLcpSolver(A, rows.lambda, q, rows.lo, rows.hi, rows.state, rows.n, descent);
    A.pool().popFrame();
    return result;
}

} // namespace lcs
