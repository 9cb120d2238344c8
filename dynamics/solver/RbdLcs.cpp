// The solver's public entry points: parameter checks, then the chosen
// stepper with the chosen LCP solver and factorisation.
#include <kelmar/RbdLcs.h>

#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"
#include "solver/RbdBcl.h"
#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsStep.h"

namespace {

const lcs::BaseFunctions kBaseFunctions;

// Indices after checking; valid only when ok is set.
struct Choice {
    int ok;
    int stepper;
    int lcpSolver;
    int linearSolver;
};

// The checks of RbdLcsStep and of its two halves, in their order and with
// their messages. Parameters come from the caller, so a bad one is refused
// (an unknown stepper) or replaced by the default, never fatal.
Choice checkParameters(const RbdLcsParameters &p, const char *unknownLcpSolver, const char *unknownCpu)
{
    Choice choice = {0, p.stepperModel, p.lcp.solverFunction, p.linearSolver};
    if (p.stepperModel < 0 || p.stepperModel >= lcs::kStepperCount) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdLcsStep : no such model number parameters.stepper_model = : %d\n",
                  p.stepperModel);
        return choice;
    }
    if (p.lcp.solverFunction < 0 || p.lcp.solverFunction >= lcs::kLcpSolverCount) {
        PxWarning(RBD_MESSAGE_LEVEL, unknownLcpSolver, p.lcp.solverFunction);
        choice.lcpSolver = 1;
    }
    if (p.cpuResources != 0) PxWarning(RBD_MESSAGE_LEVEL, unknownCpu, p.cpuResources);
    if (p.linearSolver < 0 || p.linearSolver > lcs::kLinearSolverAutomatic) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdLcsStep: no such Linear Solver (see RbdLinearSolver enumeration): %d\n",
                  p.linearSolver);
        choice.linearSolver = 1;
    }
    choice.ok = 1;
    return choice;
}

Choice checkStepParameters(const RbdLcsParameters &p)
{
    return checkParameters(p, "RbdLcsStep: no such lcp solver : %d.  Reverting to default.\n",
                           "RbdLcsStep: no such CPU resource: will use default : %d\n");
}

Choice checkHalfParameters(const RbdLcsParameters &p)
{
    return checkParameters(p, "RbdLcsStep: no such lcp solver : %d\n", "RbdLcsStep: no such CPU resource : %d\n");
}

// Inputs that would make the step meaningless.
int checkInputs(const RbdLcsBody *bodies, int bodyCount, const RbdLcsParameters &p)
{
    if (bodyCount < 0 || (bodyCount > 0 && !bodies)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdLcsStep: no bodies to step (count %d)\n", bodyCount);
        return 0;
    }
    if (!(p.stepsize > 0.0)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdLcsStep: the step size must be positive: %g\n", p.stepsize);
        return 0;
    }
    return 1;
}

lcs::WorldStepper &prepare(lcs::Context &context, const Choice &choice, RbdLcsConstraints *constraints,
                           RbdLcsBody *bodies, int bodyCount, const RbdLcsParameters &parameters)
{
    lcs::WorldStepper &stepper = context.stepper(choice.stepper);
    stepper.initialize();
    stepper.setup(bodyCount, constraints, parameters, bodies, lcs::lcpSolver(choice.lcpSolver),
                  context.factorisations(choice.linearSolver), &kBaseFunctions, &context.pool());
    return stepper;
}

} // namespace

int lcs::step(Context &context, RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
              const RbdLcsParameters *parameters, StepOutcome *outcome, const BodyRecords *records)
{
    if (outcome) *outcome = StepOutcome{};
    if (!parameters) return 0;
    Choice choice = checkStepParameters(*parameters);
    if (!choice.ok || !checkInputs(bodies, bodyCount, *parameters)) return 0;
    lcs::WorldStepper &stepper = prepare(context, choice, constraints, bodies, bodyCount, *parameters);
    if (records) stepper.setBodyRecords(*records);
    stepper.step();
    if (outcome) *outcome = StepOutcome{stepper.fellBack(), stepper.sweptHeap()};
    return stepper.lcpResult();
}

extern "C" int RbdLcsStep(RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
                          const RbdLcsParameters *parameters)
{
    lcs::Context context;
    return lcs::step(context, constraints, bodies, bodyCount, parameters);
}

extern "C" int RbdLcsAddConstraintForces(RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
                                         const RbdLcsParameters *parameters)
{
    if (!parameters) return 0;
    Choice choice = checkHalfParameters(*parameters);
    if (!choice.ok || !checkInputs(bodies, bodyCount, *parameters)) return 0;
    lcs::Context context;
    lcs::WorldStepper &stepper = prepare(context, choice, constraints, bodies, bodyCount, *parameters);
    stepper.getForces();
    return stepper.lcpResult();
}

extern "C" void RbdLcsIntegrateSystem(RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
                                      const RbdLcsParameters *parameters)
{
    if (!parameters) return;
    Choice choice = checkHalfParameters(*parameters);
    if (!choice.ok || !checkInputs(bodies, bodyCount, *parameters)) return;
    lcs::Context context;
    prepare(context, choice, constraints, bodies, bodyCount, *parameters).integrate();
}

extern "C" size_t RbdLcsMemoryRequiredFor(int rowCount, int bodyCount, const RbdLcsParameters *parameters)
{
    RbdLcsParameters defaults;
    RbdLcsParametersReset(&defaults);
    return lcs::stepperMemoryRequired(rowCount, bodyCount, parameters ? parameters->lcp : defaults.lcp);
}

extern "C" size_t RbdLcsMemoryRequired(int rowCount, int bodyCount)
{
    return RbdLcsMemoryRequiredFor(rowCount, bodyCount, nullptr);
}

extern "C" const char *RbdLcsStepperName(int index)
{
    return index >= 0 && index < lcs::kStepperCount ? lcs::stepperName(index).name : nullptr;
}

extern "C" const char *RbdLcsStepperDescription(int index)
{
    return index >= 0 && index < lcs::kStepperCount ? lcs::stepperName(index).description : nullptr;
}

extern "C" const char *RbdLcsLinearSolverDescription(int index)
{
    return index >= 0 && index <= lcs::kLinearSolverAutomatic ? lcs::linearSolverDescription(index) : nullptr;
}
