// The three integration models and their table.
#include "solver/RbdLcsStepper.h"

namespace lcs {

// Gyroscopic torque before the solve, plain inverse inertia, and after the
// velocity update a further half step of the gyroscopic term: cheap, and it
// adds energy to fast tumbling bodies.
int SimpleStepper::getForces()
{
    return solveForces(ForceModel{0, 1, 0, 0});
}

void SimpleStepper::integrate()
{
    if (!ensureBodies()) return;
    PxReal h = parameters_.stepsize;
    fn_->integrateBodies(bodyCount_, bodies_, h, 0.5 * h, 2);
}

// The constraint solve sees no gyroscopic torque; L x w joins the body's
// torque only when its acceleration is formed. Its rows report forces.
int VintageStepper::getForces()
{
    return solveForces(ForceModel{0, 0, 1, 1});
}

// Gyroscopic torque before the solve through the stabilised inverse inertia.
int StableStepper::getForces()
{
    return solveForces(ForceModel{1, 1, 0, 0});
}

void StableStepper::integrate()
{
    integrateBase();
}

const StepperName &stepperName(int index)
{
    static const StepperName names[kStepperCount] = {
        {"SimpleStepper", "simple model: not so stable with non-inertial forces"},
        {"lcs_model", "vintage lcs model: very stable but without non-inertial forces"},
        {"StableStepper", "stable rotational model: very stable with non-inertial forces"},
    };
    return names[index];
}

} // namespace lcs
