// Integration models ("steppers"): each advances one partition by one step.
// step() = initialize(), getForces(), integrate(). Each solver context holds
// one of each; the stepper-model parameter selects one.
#ifndef KELMAR_DYNAMICS_RBDLCSSTEPPER_H
#define KELMAR_DYNAMICS_RBDLCSSTEPPER_H

#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsIterative.h"
#include "solver/RbdLcsKeptFactor.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsRestSolve.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsStep.h"
#include "solver/RbdLcsTypes.h"

struct RbdLcsConstraints;
struct RbdBaseConstraint;

namespace lcs {

class WorldStepper {
public:
    virtual ~WorldStepper() {}
    // Clears what the previous call left.
    virtual void initialize();
    // Everything one call works on. bodies is the first solver body of the
    // partition; the rest follow through RbdLcsBody::next. Temporaries come
    // from pool, over the parameters' workspace.
    virtual void setup(int bodyCount, RbdLcsConstraints *constraints, const RbdLcsParameters &parameters,
                       RbdLcsBody *bodies, LCPSolverFunction lcpSolver, const Factorisations &factorisations,
                       const BaseFunctions *baseFunctions, MemoryPool *pool);
    // After setup: the chain's bodies listed in an array (RbdLcsStep.h).
    void setBodyRecords(const BodyRecords &records) { records_ = records; }
    // Constraint forces and the bodies' accelerations. Returns 0 when the
    // step could not be prepared (bad input, workspace too small).
    virtual int getForces() = 0;
    // Velocities, positions, orientations and world inertia.
    virtual void integrate();
    virtual void step();

    // Result of the last LCP solve: its iteration count, negative when it
    // did not converge; 0 when the partition had no rows or no solve ran.
    int lcpResult() const { return lcpResult_; }
    // The last pivoting solve failed and sweeps gave the impulses instead.
    int fellBack() const { return fellBack_; }
    // The last island was a heap swept in place of the pivoting
    // (RbdLcsSweptHeaps.h), not a large island.
    int sweptHeap() const { return sweptHeap_; }
    // Room in what is kept from one step to the next (the order, the
    // formed matrix, the rest solve's factor) for any island of up to rows
    // rows: keeping one then allocates nothing.
    void reserveKept(int rows)
    {
        order_.reserve(rows);
        keptFactor_.reserve(rows);
        restSolve_.reserve(rows);
    }
    // Room in the sweep order kept from one step to the next for any large
    // island of up to rows rows.
    void reserveSweeps(int rows) { reserveSweepOrder(sweepOrder_, rows); }

protected:
    // What sets the models apart while forces are formed.
    struct ForceModel {
        int stabilizedInertia;  // inverse inertia of I - h^2 [L]x I^-1 [L]x
        int nonInertialFirst;   // gyroscopic torque before the solve
        int stabilizationAfter; // L x w after the solve
        int lambdaIsForce;      // rows report forces instead of impulses
    };
    int solveForces(const ForceModel &model);
    // The rows' impulses, by pivoting on the formed matrix or by sweeps over
    // the rows (a large island); 0 when the workspace is short.
    int solvePivoting(const ForceModel &model, PartitionRows &rows, const BodyInverseMass *invM,
                      RbdBaseConstraint *const *records, BodyLoad *load);
    // Warns that the island's matrix has no factor and leaves it unstepped
    // (returns 0).
    int waitUnfactored(PartitionRows &rows);
    // After a failed pivoting solve: projected Gauss-Seidel sweeps on the
    // same rows from the last step's impulses (RbdLcsIterative.h).
    void fallBack(PartitionRows &rows, const BodyInverseMass *invM, RbdBaseConstraint *const *records,
                  const BodyLoad *load);
    int solveIteratively(const ForceModel &model, PartitionRows &rows, const BodyInverseMass *invM,
                         RbdBaseConstraint *const *records, BodyLoad *load);
    // The sweeps of a heap whose pivoting failed while landing.
    int sweepLandedHeap(const ForceModel &model, PartitionRows &rows, const BodyInverseMass *invM,
                        RbdBaseConstraint *const *records, BodyLoad *load);
    void integrateBase();
    // The body index exists (after getForces, or collected now). 0 on failure.
    int ensureBodies();

    int bodyCount_ = 0;
    RbdLcsConstraints *constraints_ = nullptr;
    RbdLcsParameters parameters_ = {};
    RbdLcsBody *firstBody_ = nullptr;
    BodyRecords records_; // none: the bodies are found through the chain
    LCPSolverFunction lcpSolver_ = nullptr;
    Factorisations factorisations_;
    LCPMatrix *matrix_ = nullptr; // the factorisation of the island being solved
    const BaseFunctions *fn_ = nullptr;
    MemoryPool *pool_ = nullptr;
    RbdLcsBody **bodies_ = nullptr; // (bodyCount) the partition's bodies by index
    int lcpResult_ = 0;
    int fellBack_ = 0;
    int sweptHeap_ = 0;
    int forcesReady_ = 0;        // getForces completed: accelerations are valid
    OrderCache order_;           // the elimination order of the last pivoting island
    SweepOrderCache sweepOrder_; // the sweep order of the last large island

    // The matrix and factor of the last island of contacts formed.
    KeptFactor keptFactor_;
    // A deferred factor pays for its bound only when the solve does without
    // it. After one that did not (the bound fell short, or the solve read
    // the factor), the next deferWait_ islands are factored at once;
    // deferSkip_ doubles the wait each time again, up to kMaxDeferSkip.
    enum { kMaxDeferSkip = 64 };
    int deferSkip_ = 0;
    int deferWait_ = 0;
    int tryDeferFactor();
    // The free rows' factor of the last resting island solved in full.
    RestSolve restSolve_;
    const SparseMatrixMap *setUpMatrix(const PartitionRows &rows);
    int prepareMatrix(int contacts, const PartitionRows &rows, const BodyInverseMass *invM, PxReal *JMinv,
                      const SparseMatrixMap *map, PxReal *bodyScratch, int &kept, int &deferred);
    int formMatrix(int kept, int contacts, const PartitionRows &rows, const PxReal *JMinv, const SparseMatrixMap *map,
                   PxReal *bodyScratch, int &deferred);
    void deferPaid(int paid);

private:
    template <typename T> T *poolArray(size_t count, const char *name) { return pool_->array<T>(count, name); }
    int collectBodies();
    void collectListedBodies();
    int packRows(PartitionRows &rows);
};

class SimpleStepper final : public WorldStepper {
public:
    int getForces() override;
    void integrate() override;
};

class VintageStepper final : public WorldStepper {
public:
    int getForces() override;
};

class StableStepper final : public WorldStepper {
public:
    int getForces() override;
    void integrate() override;
};

// The models by stepper-model index: 0 SimpleStepper, 1 VintageStepper
// (named "lcs_model"), 2 StableStepper.
enum { kStepperCount = 3 };
struct StepperName {
    const char *name;
    const char *description;
};
const StepperName &stepperName(int index);

// Workspace bytes one call needs for rowCount rows and bodyCount bodies:
// linear in the rows for an island solved iteratively under params.
size_t stepperMemoryRequired(int rowCount, int bodyCount, const RbdLcsLCPSolverParameters &params);

} // namespace lcs

#endif
