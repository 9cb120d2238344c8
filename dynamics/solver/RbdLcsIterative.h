// The iterative solver of large islands: projected Gauss-Seidel on the same
// rows, bounds, softness and stabilisation as the pivoting solver, without
// ever forming J M^-1 J^T. Its memory and each sweep's work are linear in
// the rows, where the pivoting path's matrix and factor grow with their
// square; the pivoting path keeps the islands small enough to solve exactly.
#ifndef KELMAR_DYNAMICS_RBDLCSITERATIVE_H
#define KELMAR_DYNAMICS_RBDLCSITERATIVE_H

#include <stddef.h>
#include <vector>
#include <kelmar/PxTypes.h>
#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSweepBatches.h"
#include "solver/RbdLcsTypes.h"

struct RbdBaseConstraint;

namespace lcs {

// The sweep plan of the last large island, kept from step to step while
// the island's constraints are the same ones in the same list order: a
// resting pile keeps its contacts for hundreds of steps, and a plan costs
// about as much as a sweep (1.4 % of a step of a heap of boxes, which plans
// most steps). Its arrays grow to the largest island seen and are reused
// after.
struct SweepOrderCache {
    std::vector<int32_t> key;          // counts, rows, bodies and friction references
    std::vector<int32_t> items, lanes; // planColouredSweeps' plan for that layout
};

// Room in cache for the plan of any island of up to rows rows: a layout
// has no more constraints than rows, a plan no more items than
// constraints, nor more batches.
void reserveSweepOrder(SweepOrderCache &cache, int rows);

// What one iterative solve reads besides the rows.
struct IterativeInput {
    RbdLcsBody *const *bodies;   // (bodyCount) the island's bodies
    const BodyInverseMass *invM; // (bodyCount)
    const BodyLoad *load;        // (bodyCount) forces and torques of the step
    int bodyCount;
    // Step (s), world softness and stabilisation, and the bounds of error
    // correction, as the pivoting path has them.
    const RbdLcsParameters *parameters;
    // The island's constraint records, in row-list order (null: no warm
    // start): each row starts from its constraint's impulse of the last step.
    RbdBaseConstraint *const *records;
    // Whether resting depths are corrected slowly (a large island's sweeps,
    // and a landing heap's swept in place of the pivoting) or fully, as the
    // pivoting corrects them (the fallback of one failed pivoting solve,
    // which stands in for an exact one).
    int slowResting;
    // Whether the sweeps visit the rows one at a time in list order rather
    // than as planSweeps plans (the same results; slower).
    int listOrder;
    // The plan of the last island, coloured (planColouredSweeps; null: the
    // plan is made anew in list order by planSweeps).
    SweepOrderCache *orderCache;
    // Whether a settled contact is held at the depth it settled at, rather
    // than pushed out to zero depth (slowResting only): the large island,
    // which stays on the sweeps. A landed heap goes back to the pivoting,
    // which corrects every depth at the full rate: handed held depths, its
    // solves failed and were recovered step after step.
    int holdSettled;
};

// Solves the island's box LCP into rows.lambda (impulses), with the rows'
// right-hand sides and bounds formed as the pivoting path forms them.
// Friction rows that follow a normal row are held within +-mu times that row's impulse as it stands. Sweeps until no impulse
// changes by more than its row's tolerance (RbdLcsTolerance.h, as for the
// pivoting solver, and a floor: no row's tolerance is below a ten-thousandth
// of the fraction times the largest impulse the sweeps carry) or
// params.iterations sweeps are done.
// Returns the sweeps taken, negative when the tolerance was not reached,
// 0 when the workspace was short or the island has 2^24 rows or bodies or
// more, beyond what the sweep rows can number (lambda then 0).
int solveIteratively(MemoryPool &pool, PartitionRows &rows, const IterativeInput &input,
                     const RbdLcsLCPSolverParameters &params);

// planColouredSweeps (RbdLcsSweepBatches.h) through cache: the cached plan when the
// island is the one it was made for (plan then points into the cache), else
// a new one, which the cache then keeps.
void planSweepsCached(const ConstraintLayout &layout, const int32_t *frictionRef, int bodyCount,
                      SweepOrderCache &cache, SweepPlan &plan, int32_t *scratch);

// Workspace bytes of solveIteratively for rowCount rows and bodyCount bodies.
size_t iterativeMemoryRequired(int rowCount, int bodyCount);

// Whether an island of rowCount rows is solved iteratively under params.
int islandIsLarge(int rowCount, const RbdLcsLCPSolverParameters &params);

} // namespace lcs

#endif
