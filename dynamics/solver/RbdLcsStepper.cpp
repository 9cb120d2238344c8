#include "solver/RbdLcsStepper.h"

#include <math.h>
#include <string.h>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"
#include <kelmar/PxVector.h>
#include "solver/RbdBcl.h"
#include "solver/RbdLcsFrictionBounds.h"
#include "solver/RbdLcsIterative.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSeed.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsSweptHeaps.h"
#include "solver/RbdLcsTiles.h"
#include "world/RbdPrefetch.h"

namespace lcs {

namespace {

int roundUp4(int n)
{
    return (n + 3) & ~3;
}

// g_b = v_b + h M_b^-1 f_b, six a body: the velocity each body would have
// at the end of the step without its constraints.
void freeVelocities(int bodyCount, RbdLcsBody *const *bodies, const BodyInverseMass *invM, const BodyLoad *load,
                    PxReal h, PxReal *g)
{
    for (int b = 0; b < bodyCount; ++b) {
        const BodyInverseMass &m = invM[b];
        const PxReal *f = load[b].force, *t = load[b].torque;
        PxReal *gb = g + 6 * b;
        for (int k = 0; k < 3; ++k) {
            gb[k] = bodies[b]->linearVelocity[k] + h * (m.invMass * f[k]);
            PxReal it = m.invInertia[k][0] * t[0] + m.invInertia[k][1] * t[1] + m.invInertia[k][2] * t[2];
            gb[3 + k] = bodies[b]->angularVelocity[k] + h * it;
        }
    }
}

} // namespace

size_t stepperMemoryRequired(int rowCount, int bodyCount, const RbdLcsLCPSolverParameters &params)
{
    size_t bodies = static_cast<size_t>(bodyCount > 0 ? bodyCount : 0);
    size_t total = kPoolStartSlack + PoolAlignedCost(sizeof(RbdLcsBody *) * bodies) +
                   PoolAlignedCost(sizeof(BodyInverseMass) * bodies) + PoolAlignedCost(sizeof(BodyLoad) * bodies);
    if (rowCount <= 0) return total;
    size_t rows = static_cast<size_t>(rowCount);
    int np = roundUp4(rowCount);
    size_t padded = static_cast<size_t>(np);
    total += PoolAlignedCost(sizeof(int32_t) * rows)       // constraint first rows
             + PoolAlignedCost(sizeof(int32_t) * 2 * rows) // constraint bodies
             + PoolAlignedCost(sizeof(int32_t) * rows);    // friction references
    // A pivoting island also keeps room for the sweeps it falls back on.
    total += iterativeMemoryRequired(rowCount, bodyCount);
    if (islandIsLarge(rowCount, params)) return total;
    return total + PoolAlignedCost(sizeof(PxReal) * kTileColumns * padded) // jmvectorstore
           + PoolAlignedCost(sizeof(PxReal) * padded)                      // rhs
           + PoolAlignedCost(sizeof(PxReal) * 6 * bodies)                  // body products
           + RbdSparseMatrixMapMemoryRequired(bodyCount, rowCount) + matrixMemoryRequired(np) +
           lcpSystemMemoryRequired(np);
}

void WorldStepper::initialize()
{
    lcpResult_ = 0;
    fellBack_ = 0;
    sweptHeap_ = 0;
    forcesReady_ = 0;
    bodies_ = nullptr;
}

void WorldStepper::setup(int bodyCount, RbdLcsConstraints *constraints, const RbdLcsParameters &parameters,
                         RbdLcsBody *bodies, LCPSolverFunction lcpSolver, const Factorisations &factorisations,
                         const BaseFunctions *baseFunctions, MemoryPool *pool)
{
    bodyCount_ = bodyCount;
    constraints_ = constraints;
    parameters_ = parameters;
    firstBody_ = bodies;
    lcpSolver_ = lcpSolver;
    factorisations_ = factorisations;
    fn_ = baseFunctions;
    pool_ = pool;
    records_ = BodyRecords();
    bodies_ = nullptr;
    forcesReady_ = 0;
}

void WorldStepper::step()
{
    initialize();
    if (getForces()) integrate();
}

// The pointers are the caller's own type; each is copied out as bytes
// (all object pointers share one representation here).
void WorldStepper::collectListedBodies()
{
    const char *pointers = static_cast<const char *>(records_.pointers);
    for (int b = 0; b < bodyCount_; ++b) {
        char *record;
        memcpy(&record, pointers + sizeof(record) * static_cast<size_t>(b), sizeof(record));
        bodies_[b] = reinterpret_cast<RbdLcsBody *>(record + records_.offset);
    }
}

int WorldStepper::collectBodies()
{
    bodies_ = poolArray<RbdLcsBody *>(static_cast<size_t>(bodyCount_), "bodies");
    if (!bodies_ && bodyCount_ > 0) return 0;
    if (records_.pointers) {
        collectListedBodies();
        return 1;
    }
    RbdLcsBody *body = firstBody_;
    for (int b = 0; b < bodyCount_; ++b, body = body->next) {
        if (!body) {
            PxWarning(RBD_MESSAGE_LEVEL, "RbdLcsStep: the partition's body chain ends after %d of %d bodies\n", b,
                      bodyCount_);
            bodies_ = nullptr;
            return 0;
        }
        bodies_[b] = body;
    }
    return 1;
}

// The partition just ended in the row list, with its rows and constraints
// renumbered from 0.
int WorldStepper::packRows(PartitionRows &rows)
{
    RbdLcsConstraints *list = constraints_;
    int rowStart = list->partitionRowStart, n = list->partitionRowCount;
    int cStart = list->partitionConstraintStart, cCount = list->partitionConstraintCount;
    int np = roundUp4(n);
    if (rowStart % RBD_TILE_ROWS != 0 || rowStart < 0 || rowStart + np > list->maxRows || cStart < 0 || cCount < 0 ||
        cStart + cCount > list->maxConstraints || cCount > n) {
        PxWarning(RBD_MESSAGE_LEVEL,
                  "RbdLcsStep: the row list's partition (rows %d + %d, constraints %d + %d) does not fit its arrays "
                  "(%d rows, %d constraints)\n",
                  rowStart, n, cStart, cCount, list->maxRows, list->maxConstraints);
        return 0;
    }
    int32_t *firstRow = poolArray<int32_t>(static_cast<size_t>(n), "constraint first rows");
    int32_t *bodies = poolArray<int32_t>(2 * static_cast<size_t>(n), "constraint bodies");
    int32_t *frictionRef = poolArray<int32_t>(static_cast<size_t>(n), "friction references");
    if (!firstRow || !bodies || !frictionRef) return 0;
    for (int c = 0; c < cCount; ++c) {
        firstRow[c] = list->constraintFirstRow[cStart + c] - rowStart;
        bodies[2 * c] = list->constraintBody[0][cStart + c];
        bodies[2 * c + 1] = list->constraintBody[1][cStart + c];
    }
    rows.frictionCount = 0;
    for (int i = 0; i < n; ++i) {
        int ref = list->frictionIndex[rowStart + i];
        frictionRef[i] = ref < 0 ? -1 : ref - rowStart;
        if (ref < 0) continue;
        if (frictionRef[i] >= n) {
            PxWarning(RBD_MESSAGE_LEVEL, "RbdLcsStep: friction row %d follows row %d outside its partition\n", i,
                      ref);
            return 0;
        }
        ++rows.frictionCount;
    }
    rows.layout.constraintCount = cCount;
    rows.layout.rowCount = n;
    rows.layout.paddedRowCount = np;
    rows.layout.firstRow = firstRow;
    rows.layout.rows = list->constraintRowCount + cStart;
    rows.layout.bodies = bodies;
    rows.J = list->jacobian + static_cast<size_t>(rowStart / kTileRows) * kTileSize;
    rows.phi = list->phi + rowStart;
    rows.c = list->c + rowStart;
    rows.lo = list->lo + rowStart;
    rows.hi = list->hi + rowStart;
    rows.lambda = list->lambda + rowStart;
    rows.rowEpsilon = list->rowEpsilon + rowStart;
    rows.rowGamma = list->rowGamma + rowStart;
    rows.correction = list->correction + rowStart;
    rows.mu = list->mu + rowStart;
    rows.state = list->state + rowStart;
    rows.frictionRef = frictionRef;
    // Padding rows of the last tile carry a zero Jacobian.
    for (int i = n; i < np; ++i)
        for (int col = 0; col < kTileColumns; ++col) list->jacobian[tileIndex(rowStart + i, col)] = 0.0;
    return 1;
}

int WorldStepper::solveForces(const ForceModel &model)
{
    pool_->init(parameters_.workspace, parameters_.workspaceSize);
    forcesReady_ = 0;
    lcpResult_ = 0;
    fellBack_ = 0;
    sweptHeap_ = 0;
    if (!collectBodies()) return 0;
    size_t bodyCount = static_cast<size_t>(bodyCount_);
    BodyInverseMass *invM = poolArray<BodyInverseMass>(bodyCount, "inv M");
    BodyLoad *load = poolArray<BodyLoad>(bodyCount, "body loads");
    if (bodyCount_ > 0 && (!invM || !load)) return 0;
    // The world inertia is current: whatever turns a body keeps it in step
    // (the integration's updateRotation, the pose setters, the unfreeze).
    // Momentum, load and inverse mass in one visit of each body's record,
    // last body first: the rows were built up to the last bodies' constraints.
    const PxReal h2 = parameters_.stepsize * parameters_.stepsize;
    for (int b = bodyCount_ - 1; b >= 0; --b) {
        if (b >= kRbdPrefetchAhead) RbdPrefetchRange(bodies_[b - kRbdPrefetchAhead], 0, RbdLcsSolveBodyBytes);
        fn_->updateMomentum(bodies_[b]);
        PxV3Copy(load[b].force, bodies_[b]->force);
        PxV3Copy(load[b].torque, bodies_[b]->torque);
        if (model.stabilizedInertia)
            fn_->buildStabilizedInverseMass(bodies_[b], h2, 1.0, &invM[b]);
        else
            fn_->buildInverseMass(bodies_[b], &invM[b]);
    }

    int rowCount = constraints_ ? constraints_->partitionRowCount : 0;
    if (rowCount > 0) {
        PartitionRows rows;
        if (!packRows(rows)) return 0;
        RbdBaseConstraint *const *records = constraints_->constraints
                                                ? constraints_->constraints + constraints_->partitionConstraintStart
                                                : nullptr;
        // Heaps are swept only where large islands are: a world that pivots
        // every island asks for the exact solve throughout.
        const int heaps = parameters_.lcp.largeIslandSolver == RBD_LCP_LARGE_ISLAND_ITERATIVE;
        int swept = heaps && lcs::sweptHeap(bodies_, bodyCount_, parameters_.stepsize, rows, records);
        const int large = islandIsLarge(rowCount, parameters_.lcp);
        sweptHeap_ = swept && !large;
        int solved = large   ? solveIteratively(model, rows, invM, records, load)
                     : swept ? sweepLandedHeap(model, rows, invM, records, load)
                             : solvePivoting(model, rows, invM, records, load);
        if (!solved) return 0;
        fn_->calcJtConstraintForces(rows, records, parameters_.stepsize, model.lambdaIsForce, load);
    } else if (model.nonInertialFirst) {
        fn_->addNonInertialForces(bodyCount_, bodies_, 1.0, load);
    }
    if (model.stabilizationAfter) fn_->addStabilizationTerm(bodyCount_, bodies_, load);
    fn_->bodyUpdateForces(bodyCount_, bodies_, invM, load);
    forcesReady_ = 1;
    return 1;
}

// J M^-1, and A with its factor for the full route: an island of contacts
// reads the kept ones while they serve (kept), and keeps those it forms.
// Returns 0 when A has no factor.
// Inlined: a pile's many small islands pay for the call otherwise (S4).
inline __attribute__((always_inline)) int WorldStepper::prepareMatrix(int contacts, const PartitionRows &rows,
                                                                      const BodyInverseMass *invM, PxReal *JMinv,
                                                                      const SparseMatrixMap *map, PxReal *bodyScratch,
                                                                      int &kept, int &deferred)
{
    const PxReal epsilon = parameters_.epsilon, h = parameters_.stepsize, tolerance = parameters_.lcp.tolerance;
    fn_->multiplyJacobianAndInverseMatrix(rows, invM, JMinv);
    kept = contacts && keptFactor_.restore(*matrix_, rows, JMinv, epsilon, h, tolerance);
    if (!formMatrix(kept, contacts, rows, JMinv, map, bodyScratch, deferred)) return 0;
    if (contacts && !kept) keptFactor_.keep(*matrix_, rows, JMinv, epsilon, h, tolerance);
    return 1;
}

int WorldStepper::solvePivoting(const ForceModel &model, PartitionRows &rows, const BodyInverseMass *invM,
                                RbdBaseConstraint *const *records, BodyLoad *load)
{
    int rowCount = rows.layout.rowCount, np = rows.layout.paddedRowCount;
    int contacts = contactsOnly(rows, records);
    matrix_ = factorisations_.pick(rowCount, contacts);
    PxReal *JMinv = poolArray<PxReal>(static_cast<size_t>(kTileColumns) * np, "jmvectorstore");
    PxReal *rhs = poolArray<PxReal>(static_cast<size_t>(np), "rhs");
    PxReal *bodyScratch = poolArray<PxReal>(6 * static_cast<size_t>(bodyCount_), "body products");
    if (!JMinv || !rhs) return 0;
    // An island at rest may solve without A (RbdLcsRestSolve.h): A's
    // storage and order, J M^-1 and the seeded states are set up only if
    // that solve refuses.
    int resting = bodyScratch && rowCount >= kRestLeastRows &&
                  restSolve_.matches(*matrix_, rows, parameters_.epsilon, parameters_.stepsize,
                                     parameters_.lcp.tolerance);
    const SparseMatrixMap *map = resting ? nullptr : setUpMatrix(rows);
    if (!resting && !map) return 0;
    int kept = 0, deferred = 0;
    if (!resting && !prepareMatrix(contacts, rows, invM, JMinv, map, bodyScratch, kept, deferred))
        return waitUnfactored(rows);
    if (model.nonInertialFirst) fn_->addNonInertialForces(bodyCount_, bodies_, 1.0, load);
    if (resting) {
        freeVelocities(bodyCount_, bodies_, invM, load, parameters_.stepsize, bodyScratch);
        restSolve_.rightHandSide(rows, bodyScratch, parameters_, rhs);
    } else {
        fn_->computeRhs(rows, bodies_, JMinv, load, parameters_, rhs);
    }
    fn_->scaleBounds(rows, parameters_.stepsize);
    RbdLcsLCPSolverParameters lcpParameters = parameters_.lcp;
    // Seeded states make the solve warm-started, unless it is already.
    const int seeding = !lcpParameters.warmStart;
    int boxRows = 0;
    // Islands with joints seed their contacts without force from their
    // approach (RbdLcsSeed.cpp says why only those).
    const PxReal *approach = contacts ? nullptr : rhs;
    if (seeding && resting) countIdleSteps(rows, records, parameters_.stepsize);
    if (seeding && !resting && seedStates(rows, records, parameters_.stepsize, approach, false, &boxRows) > 0)
        lcpParameters.warmStart = 1;
    frictionBoundsFromLastStep(rows, records, parameters_.stepsize, contacts);
    LcpRows lcp = {rowCount,   rows.lo,          rows.hi, rows.lambda,
                   rows.state, rows.frictionRef, rows.mu, rows.frictionCount};
    const RestProducts products = {rows.J, invM, bodyScratch, bodyCount_};
    lcpResult_ = resting && restSolve_.solve(*matrix_, *pool_, products, lcp, rhs, lcpParameters);
    if (!lcpResult_) {
        // Refused: the full route's states, A, J M^-1 and right-hand side,
        // as a step that never tried would have them.
        if (resting) {
            if (!(map = setUpMatrix(rows))) return 0;
            if (!prepareMatrix(contacts, rows, invM, JMinv, map, bodyScratch, kept, deferred))
                return waitUnfactored(rows);
            fn_->computeRhs(rows, bodies_, JMinv, load, parameters_, rhs);
            if (seeding && seedStates(rows, records, parameters_.stepsize, approach, true, &boxRows) > 0)
                lcpParameters.warmStart = 1;
        }
        int failed = 0;
        lcpResult_ = solveLcpSystem(*matrix_, lcp, lcpParameters, rhs, lcpSolver_, &failed);
        // Kept after full solves only: a served rest solve answers with the
        // states of the full solve before it.
        if (boxRows > 0) keepFrictionSides(rows, records, lcpResult_ > 0);
        // A heap of contacts alone that fails while landing is swept next
        // (RbdLcsSweptHeaps.h).
        if (failed && contacts) markSweptSteps(bodies_, bodyCount_, parameters_.stepsize);
        if (matrix_->deferredFactorFailed()) return waitUnfactored(rows);
        if (deferred) deferPaid(!matrix_->deferredFactorFormed());
        // An island of contacts is kept once its kept factor served (it is
        // at rest); its answer is then mostly A^-1 q, through the whole
        // factor. It does not take the place of a held hand's factor that
        // still serves: the two would push each other out at every step.
        // An island with joints whose friction follows its normal forces is
        // not kept: only islands of contacts get their bounds from the last
        // step, so the rest solve would refuse it every step and keep a
        // resting stack out the while.
        const int keepable = contacts ? kept && !restSolve_.servesJoints() : rows.frictionCount == 0;
        if (lcpResult_ > 0 && keepable)
            restSolve_.keep(*matrix_, rows, parameters_.epsilon, parameters_.stepsize, parameters_.lcp.tolerance,
                            contacts);
    }
    // A recovery that shifted the diagonal wrote into the kept copy.
    if (kept && matrix_->formedWritten()) keptFactor_.forget();
    matrix_->destroy();
    // The bounds stay in impulses after a solve: only the fallback's sweeps,
    // which work in forces, read them again before the next step rebuilds them.
    if (lcpResult_ < 0) {
        fn_->scaleBounds(rows, 1.0 / parameters_.stepsize);
        fallBack(rows, invM, records, load);
    }
    return 1;
}

// The sparse map of the island's rows, its elimination order, and A's
// storage shaped by them; null when the workspace cannot hold them.
const SparseMatrixMap *WorldStepper::setUpMatrix(const PartitionRows &rows)
{
    SparseMatrixMap *map = RbdSparseMatrixMapCreate(*pool_, bodyCount_, &rows.layout);
    if (!map) return nullptr;
    RbdSparseMatrixMapLink(map);
    // A failed reordering leaves the packing order, which is just slower.
    RbdSparseMatrixMapReorderCached(map, order_);
    if (!matrix_->allocate(rows.layout.paddedRowCount, map)) return nullptr;
    matrix_->setSoftness(parameters_.epsilon, parameters_.stepsize);
    return map;
}

// Forms A (unless kept) and factors it, or defers its factor; keeps the
// Jacobian for products. Returns 0 when it has no factor.
int WorldStepper::formMatrix(int kept, int contacts, const PartitionRows &rows, const PxReal *JMinv,
                             const SparseMatrixMap *map, PxReal *bodyScratch, int &deferred)
{
    if (!kept) matrix_->calcJinvMJT(JMinv, rows.J, rows.rowEpsilon, map);
    if (bodyScratch) matrix_->keepJacobian(JMinv, rows.J, rows.rowEpsilon, map, bodyScratch);
    // Islands of contacts alone keep their whole factor for the next step;
    // the others form it when a solve first reads it, if no pivot can fall
    // under the dependent-row filter.
    deferred = !kept && !contacts && tryDeferFactor();
    return kept || deferred || matrix_->factorize();
}

// Deferred, unless waiting after a deferral that did not pay. The
// filter's threshold is markDegenerateRows'.
int WorldStepper::tryDeferFactor()
{
    if (deferWait_ > 0) {
        --deferWait_;
        return 0;
    }
    PxReal filter = sqrt(parameters_.epsilon) * parameters_.lcp.degeneracyFilter;
    int deferred = matrix_->deferFactor(filter);
    if (!deferred) deferPaid(0);
    return deferred;
}

// paid: the solve did without the deferred factor.
void WorldStepper::deferPaid(int paid)
{
    if (paid) {
        deferSkip_ = 0;
        return;
    }
    deferSkip_ = deferSkip_ == 0 ? 1 : deferSkip_ * 2 > kMaxDeferSkip ? kMaxDeferSkip : deferSkip_ * 2;
    deferWait_ = deferSkip_;
}

// Moving without the constraint forces would tear joints and let bodies
// fall through what holds them: an island whose matrix has no factor waits.
int WorldStepper::waitUnfactored(PartitionRows &rows)
{
    PxWarning(RBD_MESSAGE_LEVEL,
              "RbdLcsStep: the system matrix of a partition of %d bodies and %d rows is not positive "
              "definite (extreme masses, inertias or sizes?); the partition is not stepped\n",
              bodyCount_, rows.layout.rowCount);
    memset(rows.lambda, 0, sizeof(PxReal) * static_cast<size_t>(rows.layout.rowCount));
    matrix_->destroy();
    return 0;
}

// Sweeps of a fallback at least. Thirty (more than the large islands' default) leave
// a hand's chained links soft enough for a closing five-fingered hand to
// lose its object; two hundred hold it, and cost less than the pivoting
// that failed.
const int kFallbackSweeps = 200;

// The last iterate of a failed solve is no answer to step with: on an
// ill-conditioned island its free rows can carry impulses a hundred times
// the bounds of its motors, and the bodies leave at that speed. Sweeps
// from the last step's impulses keep every bounded row within its bounds
// and only lower the LCP's objective, so the step they give is at worst a
// little soft. The failure code stays in lcpResult_ for the caller to count.
void WorldStepper::fallBack(PartitionRows &rows, const BodyInverseMass *invM, RbdBaseConstraint *const *records,
                            const BodyLoad *load)
{
    IterativeInput input = {bodies_, invM, load, bodyCount_, &parameters_, records, 0, 0, nullptr, 0};
    RbdLcsLCPSolverParameters sweeps = parameters_.lcp;
    if (sweeps.iterations < kFallbackSweeps) sweeps.iterations = kFallbackSweeps;
    lcs::solveIteratively(*pool_, rows, input, sweeps);
    fellBack_ = 1;
}

int WorldStepper::solveIteratively(const ForceModel &model, PartitionRows &rows, const BodyInverseMass *invM,
                                   RbdBaseConstraint *const *records, BodyLoad *load)
{
    if (model.nonInertialFirst) fn_->addNonInertialForces(bodyCount_, bodies_, 1.0, load);
    IterativeInput input = {bodies_, invM, load, bodyCount_, &parameters_, records, 1, 0, &sweepOrder_, 1};
    lcpResult_ = lcs::solveIteratively(*pool_, rows, input, parameters_.lcp);
    return 1;
}

// A heap kept on the sweeps since it landed
// (RbdLcsSweptHeaps.h): the large islands' sweeps from the impulses the
// constraints carry, with their slow correction within the resting depth.
// Sweeps cut short leave a resting depth a little wrong whatever the
// island's size, and corrected fully, as the pivoting corrects it, that
// error turns into velocity every step: columns of turned boxes in a heap
// kept on the sweeps rocked and did not come to rest. The plan is the
// heap's own (the large island keeps its cached one).
int WorldStepper::sweepLandedHeap(const ForceModel &model, PartitionRows &rows, const BodyInverseMass *invM,
                                  RbdBaseConstraint *const *records, BodyLoad *load)
{
    if (model.nonInertialFirst) fn_->addNonInertialForces(bodyCount_, bodies_, 1.0, load);
    IterativeInput input = {bodies_, invM, load, bodyCount_, &parameters_, records, 1, 0, nullptr, 0};
    lcpResult_ = lcs::solveIteratively(*pool_, rows, input, parameters_.lcp);
    return 1;
}

int WorldStepper::ensureBodies()
{
    if (bodies_) return 1;
    // Integration on its own: the accelerations are those the bodies hold.
    pool_->init(parameters_.workspace, parameters_.workspaceSize);
    return collectBodies();
}

void WorldStepper::integrate()
{
    integrateBase();
}

void WorldStepper::integrateBase()
{
    if (!ensureBodies()) return;
    PxReal h = parameters_.stepsize;
    fn_->integrateBodies(bodyCount_, bodies_, h, 0.0, 2);
}

} // namespace lcs
