// Integration models ("steppers"): each advances one partition by one step.
// step() = initialize(), get_forces(), integrate(). One instance of each
// exists for the program; they are selected by the stepper-model parameter.
#ifndef KELMAR_DYNAMICS_RBDLCSSTEPPER_H
#define KELMAR_DYNAMICS_RBDLCSSTEPPER_H

#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsTypes.h"

struct RbdLcsConstraints;

namespace lcs {

class LCPMatrix;

class WorldStepper {
public:
    virtual ~WorldStepper() {}
    // Clears what the previous call left.
    virtual void initialize();
    // Everything one call works on. bodies is the first solver body of the
    // partition; the rest follow through RbdLcsBody::next.
    virtual void setup(int bodyCount, RbdLcsConstraints *constraints, const RbdLcsParameters &parameters,
                       RbdLcsBody *bodies, LCPSolverFunction lcpSolver, LCPMatrix *matrix,
                       const BaseFunctions *baseFunctions);
    virtual void check_collisions() {}
    // Constraint forces and the bodies' accelerations. Returns 0 when the
    // step could not be prepared (bad input, workspace too small).
    virtual int get_forces() = 0;
    // Velocities, positions, orientations and world inertia.
    virtual void integrate();
    virtual void step();

    // Result of the last LCP solve: its iteration count, negative when it
    // did not converge; 0 when the partition had no rows or no solve ran.
    int lcpResult() const { return lcpResult_; }

protected:
    // What sets the models apart while forces are formed.
    struct ForceModel {
        int stabilizedInertia;  // inverse inertia of I - h^2 [L]x I^-1 [L]x
        int nonInertialFirst;   // gyroscopic torque before the solve
        int stabilizationAfter; // L x w after the solve
        int lambdaIsForce;      // rows report forces instead of impulses
    };
    int solveForces(const ForceModel &model);
    void integrateBase();
    // The body index exists (after get_forces, or collected now). 0 on failure.
    int ensureBodies();

    int bodyCount_ = 0;
    RbdLcsConstraints *constraints_ = nullptr;
    RbdLcsParameters parameters_ = {};
    RbdLcsBody *firstBody_ = nullptr;
    LCPSolverFunction lcpSolver_ = nullptr;
    LCPMatrix *matrix_ = nullptr;
    const BaseFunctions *fn_ = nullptr;
    RbdLcsBody **bodies_ = nullptr; // (bodyCount) the partition's bodies by index
    int lcpResult_ = 0;
    int forcesReady_ = 0; // get_forces completed: accelerations are valid

private:
    int collectBodies();
    int packRows(PartitionRows &rows);
};

class SimpleStepper : public WorldStepper {
public:
    int get_forces() override;
    void integrate() override;
};

class lcs_model : public WorldStepper {
public:
    int get_forces() override;
};

class StableStepper : public WorldStepper {
public:
    int get_forces() override;
    void integrate() override;
};

enum { kStepperCount = 3 };
struct StepperEntry {
    WorldStepper *stepper;
    const char *name;
    const char *description;
};
const StepperEntry &stepperEntry(int index);

// Workspace bytes one call needs for rowCount rows and bodyCount bodies.
size_t stepperMemoryRequired(int rowCount, int bodyCount);

} // namespace lcs

#endif
