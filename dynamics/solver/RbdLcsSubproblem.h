// What the LCP solvers share: their temporaries, the subproblem of a held
// set of rows, the degenerate-row filter, and the recovery of a solve that
// did not converge.
#ifndef KELMAR_DYNAMICS_RBDLCSSUBPROBLEM_H
#define KELMAR_DYNAMICS_RBDLCSSUBPROBLEM_H

#include <stddef.h>
#include <stdint.h>
#include <kelmar/PxTypes.h>
#include "solver/RbdLcsHash.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSolver.h"

namespace lcs {

// The solvers' tolerance in each row's units (RbdLcsTolerance.h says why
// it is a fraction): impulseTolerance for row i's impulse and bounds,
// velocityTolerance (that times A_ii) for its residual w = A x - q.
struct Tolerances {
    PxReal *impulse;  // (n) from the row's own scale and the island's largest
    PxReal *diagonal; // (n) A_ii
    PxReal carried;   // every row's least: of the largest impulse the iterate carries
};

inline PxReal impulseTolerance(const Tolerances &t, int i)
{
    return t.impulse[i] > t.carried ? t.impulse[i] : t.carried;
}
inline PxReal velocityTolerance(const Tolerances &t, int i)
{
    return impulseTolerance(t, i) * t.diagonal[i];
}

// Temporaries of one solve, all taken from the workspace.
struct LcpWork {
    StateHashTable table;
    PxReal *x0;       // (n) unconstrained solution A^-1 q
    PxReal *xp;       // (n) the iterate, padded for the matrix
    PxReal *w;        // (n) A x, on the clamped rows only
    int32_t *clamped; // (n) rows whose state is not free
    PxReal *sub;      // (n x n) principal submatrix of A^-1, then its factor; or the
                      // factor of a subproblem solved directly, kept between iterations
    PxReal *wC;       // (n) w on the clamped rows
    Tolerances tolerances;
    int haveX0; // x0 is solved (for the q it was solved with)
};

// Takes the temporaries for padded size n and a cycle table of `keys` keys.
int allocateWork(MemoryPool &pool, LcpWork &work, int n, int keys);

// x (n) for the m rows listed in work.clamped held at their bounds (state
// kLcpAtLower: lo, kLcpAtUpper: hi) and the fixed rows at 0: the other rows
// take the values that make A x - q vanish on them. Returns 0 when a factor
// fails.
int solvePrincipalSubproblem(LCPMatrix &A, LcpWork &work, int m, const PxReal *q, const PxReal *lo, const PxReal *hi,
                             const int32_t *state, PxReal *x, int n);

// Takes the two arrays for n rows from the pool; 0 when they do not fit.
int allocateTolerances(MemoryPool &pool, int n, Tolerances &t);
// Workspace bytes of allocateTolerances.
size_t tolerancesMemoryRequired(int n);
// Each row's tolerances for the fraction `tolerance` and the right-hand side q.
void islandTolerances(const LCPMatrix &A, const PxReal *q, int n, PxReal tolerance, Tolerances &t);
// The same from the diagonal A_ii already in t.diagonal.
void tolerancesOfDiagonal(const PxReal *q, int n, PxReal tolerance, Tolerances &t);
// 1 / A_ii of each row as tolerancesOfDiagonal takes it (0 for a diagonal
// that is not positive), for a diagonal kept step after step.
void inverseOfDiagonal(const PxReal *diagonal, int n, PxReal *inverse);
// tolerancesOfDiagonal with inverseOfDiagonal's reciprocals of t.diagonal
// given: the same tolerances, bit for bit, without a division.
void tolerancesOfInverse(const PxReal *q, int n, PxReal tolerance, const PxReal *inverse, Tolerances &t);
// Sets the least tolerance of every row from the impulses of the iterate x
// (RbdLcsTolerance.h); the solvers call it before each test of an iterate.
void followIterate(const PxReal *x, int n, PxReal tolerance, Tolerances &t);

// Fixes at zero (kLcpDegenerate) the rows whose pivot is below
// sqrt(epsilon) x degeneracyFilter and those whose bounds are both within
// the impulse tolerance of 0.
void markDegenerateRows(const LCPMatrix &A, const PxReal *lo, const PxReal *hi, int32_t *state, int n,
                        PxReal degeneracyFilter, const Tolerances &tolerances);

// One solve of the rows with the given solver, from the states and the
// lambda the rows hold (lambda is the guess the recovery may start from).
// A solve that fails is recovered; the result is the solver's count, or
// the recovery's (negative when it did not converge either). guess:
// lcpGuessBytes(A.size()) of workspace. *failed (when given) is set when
// the solver's own solve failed, whatever the recovery then did.
int solveRecovered(LCPMatrix &A, LcpRows &rows, const RbdLcsLCPSolverParameters &params, const PxReal *q,
                   LCPSolverFunction solver, PxReal *guess, int *failed = nullptr);
size_t lcpGuessBytes(int n);
// Workspace bytes of a recovery for padded size n, beyond the guess.
size_t recoveryMemoryRequired(int n);

} // namespace lcs

#endif
