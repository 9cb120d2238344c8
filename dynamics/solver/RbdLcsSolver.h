// The mixed linear complementarity problem of one partition and its
// pivoting solver. Find x (n) with lo <= x <= hi and w = A x - q such that
// a free row (lo < x < hi) has w = 0, a row at lo has w >= 0 and a row at
// hi has w <= 0 (all within the tolerance).
#ifndef KELMAR_DYNAMICS_RBDLCSSOLVER_H
#define KELMAR_DYNAMICS_RBDLCSSOLVER_H

#include <stddef.h>
#include <stdint.h>
#include <kelmar/PxTypes.h>
#include "solver/RbdLcsTypes.h"

namespace lcs {

class LCPMatrix;

// Bits of a row's LCP state word.
enum {
    kLcpFree = 0x00,
    kLcpAtLower = 0x02,
    kLcpAtUpper = 0x04,
    kLcpFixed = 0x10,  // never changes again in this solve
    kLcpAtZero = 0x20, // held at 0
    kLcpDegenerate = kLcpFixed | kLcpAtZero
};

// The state a pivoting iterate gives a row: held at a bound it lies beyond
// by more than its impulse tolerance t, kept held while its velocity w
// still pushes against that bound (velocity tolerance tw), free otherwise.
// A resting solve's answer passes only if every row keeps its state so.
inline int32_t newState(int32_t old, PxReal x, PxReal w, PxReal lo, PxReal hi, PxReal t, PxReal tw)
{
    if (x < lo - t) return kLcpAtLower;
    if (x > hi + t) return kLcpAtUpper;
    if (old == kLcpAtLower && w > -tw) return kLcpAtLower;
    if (old == kLcpAtUpper && w < tw) return kLcpAtUpper;
    return kLcpFree;
}

// A solver of the LCP on the first n rows of the factored matrix A. x (n)
// receives the solution, state (n) the final state words. Returns the
// iteration count, negative when it stopped without converging (x then holds
// the last iterate). Needs lcpSolverMemoryRequired(A.size(), ...) of
// workspace, which it releases before returning.
typedef int (*LCPSolverFunction)(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi,
                                 int32_t *state, int n, const RbdLcsLCPSolverParameters &params);

// Block principal pivoting, safeguarded by single pivots (see PivotRule in
// the source) and by cycle detection. It takes at most
// pivotingIterationLimit(params, n) iterations, and single pivots only
// after params.maxBlockIterations (on a box island, params.boxIsland, once
// the block pivots run out of retries). Single pivots alone reach the answer of
// a positive definite A; one back to an active set they went through is a
// cycle that only rounding can cause: the solve fails.
int cycleDetectLcpSolver(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state,
                         int n, const RbdLcsLCPSolverParameters &params);

// A primal active-set descent on the same LCP, for a symmetric positive
// definite A: starts from x (clipped to the bounds), keeps every iterate
// inside them and never raises 1/2 x'Ax - q'x, so it cannot cycle the way
// the pivoting can. Returns the steps taken (at most maxIterations),
// negative when it stopped unsolved; x then holds its last point, inside
// the bounds. Its face solves run on A + rho I with a small rho (taken off
// again before it returns): each step minimises f + rho/2 |y - x|^2 on its
// face, which keeps rows that depend on each other from making the step
// wild, while the answer is still the minimiser of f.
int descentLcpSolver(LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi, int32_t *state,
                     int n, const RbdLcsLCPSolverParameters &params);

// Iterations of a pivoting solve of n rows: the world's maxIterations as a
// base and half of it again per row (maxIterations itself when it is not
// positive). A single pivot changes one row, so an island that needs single
// pivots needs more of them the more rows it has; a fixed limit that serves
// a stack of boxes (35) left a hand of seventy rows unconverged step after step.
int pivotingIterationLimit(const RbdLcsLCPSolverParameters &params, int n);

// The table of LCP solvers, selected by the solver-function parameter.
enum { kLcpSolverCount = 2 };
LCPSolverFunction lcpSolver(int index);

// The most states the cycle table remembers since it was last emptied
// (the table has maxIterations + 1 keys, up to this many).
enum { kMaxCycleKeys = 4096 };

// Workspace bytes any of the LCP solvers needs for padded size n.
size_t lcpSolverMemoryRequired(int n);

// The rows of a partition as solveLcpSystem reads and writes them.
struct LcpRows {
    int n;                      // rows in use
    PxReal *lo, *hi;            // (n) bounds of the unknowns (impulses)
    PxReal *lambda;             // (n) the solution
    int32_t *state;             // (n) LCP state words
    const int32_t *frictionRef; // (n) normal row bounding this row, -1 for none
    const PxReal *mu;           // (n) friction coefficient of such rows
    int frictionCount;          // rows whose bounds follow a normal row
};

// Bounds of every friction row: +-|mu lambda_n| from its normal row's
// solution; [0, 0] when that is zero or mu is 0. The rows become free.
void scaleBoxLcpData(LcpRows &rows);

// Projected Gauss-Seidel sweeps on the box LCP of the rows i < count of
// the formed matrix A: each row not fixed (no kLcpFixed bit in state) in
// turn takes the value that zeroes its (A x - q)_i, clipped to
// [lo_i, hi_i]. Every update lowers 1/2 x'Ax - q'x, so x stays in the box
// and only improves. scratch: A.size() reals.
void projectedGaussSeidel(const LCPMatrix &A, PxReal *x, const PxReal *q, const PxReal *lo, const PxReal *hi,
                          const int32_t *state, int count, int sweeps, PxReal *scratch);

// Workspace bytes solveLcpSystem needs for padded size n: the solver's,
// and the vectors of a recovery from a failed solve.
size_t lcpSystemMemoryRequired(int n);

// Solves once with the rows' bounds; when some friction rows follow normal
// rows, rescales their bounds and solves again from the first solve's
// states. When their bounds are open (taken from the last step,
// RbdLcsFrictionBounds.h), pivoting solves of a few iterations come first:
// one with those bounds and, if they do not hold for its own normal
// impulses, one with the bounds these give. The first whose bounds hold is
// the answer; if none does, the two solves above follow with the friction
// bounds closed, from the states the trials found (the friction rows of the
// second from the sides the trials held them at).
// A solve that fails is recovered: projected Gauss-Seidel sweeps, then the
// descent solver, from the better of the solve's last iterate and its
// starting guess. Returns the (last) result: negative when even the
// recovery did not converge (lambda then holds a point inside the bounds
// that is no worse than the guess). *failed (when given) is set when a
// solve needed the recovery.
int solveLcpSystem(LCPMatrix &A, LcpRows &rows, RbdLcsLCPSolverParameters params, const PxReal *rhs,
                   LCPSolverFunction solver, int *failed = nullptr);

} // namespace lcs

#endif
