// The world's getters and setters, one field each.
#include <math.h>
#include <utility>
#include <kelmar/RbdLcs.h>
#include "solver/RbdLcsSolver.h"
#include "world/RbdInternal.h"

namespace {

bool checkPositive(PxReal value, const char *function)
{
    if (isfinite(value) && value > 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %g is not a finite value > 0; ignored.\n", function, value);
    return false;
}

// An index into one of the solver's tables (count entries).
bool checkChoice(int32_t value, int32_t count, const char *function)
{
    if (value >= 0 && value < count) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %d is not from 0 to %d; ignored.\n", function, (int)value, (int)count - 1);
    return false;
}

bool checkCount(int32_t value, int32_t minimum, const char *function)
{
    if (value >= minimum) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %d is below %d; ignored.\n", function, (int)value, (int)minimum);
    return false;
}

} // namespace

int32_t RbdWorldGetMaxBodies(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->maxBodies : 0;
}
int32_t RbdWorldGetMaxConstraints(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->maxConstraints : 0;
}
int32_t RbdWorldGetTotalBodies(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->totalBodies : 0;
}
int32_t RbdWorldGetEnabledBodies(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->enabledBodies : 0;
}
int32_t RbdWorldGetTotalConstraints(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->totalConstraints : 0;
}
int32_t RbdWorldGetEnabledConstraints(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->enabledConstraints : 0;
}

void RbdWorldSetGravity(RbdWorldID world, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckWorld(world) || !RbdCheckFinite3(x, y, z, "RbdWorldSetGravity")) return;
    PxV3Set(world->gravity, x, y, z);
}

void RbdWorldGetGravity(RbdWorldID world, PxVector3 out)
{
    if (RbdCheckWorld(world))
        PxV3Copy(out, world->gravity);
    else
        PxV3Zero(out);
}

void RbdWorldSetEpsilon(RbdWorldID world, PxReal epsilon)
{
    if (RbdCheckWorld(world) && RbdCheckFiniteNonNegative(epsilon, "RbdWorldSetEpsilon")) world->epsilon = epsilon;
}
PxReal RbdWorldGetEpsilon(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->epsilon : 0.0;
}

void RbdWorldSetGamma(RbdWorldID world, PxReal gamma)
{
    if (RbdCheckWorld(world) && RbdCheckFiniteNonNegative(gamma, "RbdWorldSetGamma")) world->gamma = gamma;
}
PxReal RbdWorldGetGamma(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->gamma : 0.0;
}

void RbdWorldSetMaxCorrectingVelocity(RbdWorldID world, PxReal velocity)
{
    if (RbdCheckWorld(world) && checkPositive(velocity, "RbdWorldSetMaxCorrectingVelocity"))
        world->parameters.maxCorrectingVelocity = velocity;
}
PxReal RbdWorldGetMaxCorrectingVelocity(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.maxCorrectingVelocity : 0.0;
}
void RbdWorldSetMaxCorrectingRate(RbdWorldID world, PxReal rate)
{
    if (RbdCheckWorld(world) && checkPositive(rate, "RbdWorldSetMaxCorrectingRate"))
        world->parameters.maxCorrectingRate = rate;
}
PxReal RbdWorldGetMaxCorrectingRate(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.maxCorrectingRate : 0.0;
}

void RbdWorldSetGammaWithRefTimeStep(RbdWorldID world, PxReal gamma, PxReal refTimeStep, PxReal timeStep)
{
    if (!RbdCheckWorld(world) || !checkPositive(refTimeStep, "RbdWorldSetGammaWithRefTimeStep")) return;
    RbdWorldSetGamma(world, gamma * timeStep / refTimeStep);
}

void RbdWorldSetTimeStep(RbdWorldID world, PxReal timeStep)
{
    if (RbdCheckWorld(world) && checkPositive(timeStep, "RbdWorldSetTimeStep")) world->timeStep = timeStep;
}
PxReal RbdWorldGetTimeStep(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->timeStep : 0.0;
}

void RbdWorldSetAutoDisable(RbdWorldID world, int32_t mode)
{
    if (!RbdCheckWorld(world)) return;
    if (mode < 0 || mode > 2) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldSetAutoDisable: mode %d is not 0, 1 or 2; ignored.\n", (int)mode);
        return;
    }
    world->autoDisable = mode;
}
int32_t RbdWorldGetAutoDisable(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->autoDisable : 0;
}

void RbdWorldSetAutoDisableVelocityThreshold(RbdWorldID world, PxReal threshold)
{
    if (RbdCheckWorld(world) && RbdCheckFiniteNonNegative(threshold, "RbdWorldSetAutoDisableVelocityThreshold"))
        world->thresholds.velocity = threshold;
}
PxReal RbdWorldGetAutoDisableVelocityThreshold(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->thresholds.velocity : 0.0;
}
void RbdWorldSetAutoDisableAngularVelocityThreshold(RbdWorldID world, PxReal threshold)
{
    if (RbdCheckWorld(world) &&
        RbdCheckFiniteNonNegative(threshold, "RbdWorldSetAutoDisableAngularVelocityThreshold"))
        world->thresholds.angularVelocity = threshold;
}
PxReal RbdWorldGetAutoDisableAngularVelocityThreshold(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->thresholds.angularVelocity : 0.0;
}
void RbdWorldSetAutoDisableAccelerationThreshold(RbdWorldID world, PxReal threshold)
{
    if (RbdCheckWorld(world) && RbdCheckFiniteNonNegative(threshold, "RbdWorldSetAutoDisableAccelerationThreshold"))
        world->thresholds.acceleration = threshold;
}
PxReal RbdWorldGetAutoDisableAccelerationThreshold(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->thresholds.acceleration : 0.0;
}
void RbdWorldSetAutoDisableAngularAccelerationThreshold(RbdWorldID world, PxReal threshold)
{
    if (RbdCheckWorld(world) &&
        RbdCheckFiniteNonNegative(threshold, "RbdWorldSetAutoDisableAngularAccelerationThreshold"))
        world->thresholds.angularAcceleration = threshold;
}
PxReal RbdWorldGetAutoDisableAngularAccelerationThreshold(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->thresholds.angularAcceleration : 0.0;
}
void RbdWorldSetAutoDisableAliveWindow(RbdWorldID world, int32_t steps)
{
    if (RbdCheckWorld(world) && checkCount(steps, 0, "RbdWorldSetAutoDisableAliveWindow"))
        world->thresholds.aliveWindow = steps;
}
int32_t RbdWorldGetAutoDisableAliveWindow(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->thresholds.aliveWindow : 0;
}

void RbdWorldSetSafeTimeMode(RbdWorldID world, int32_t on)
{
    if (RbdCheckWorld(world)) world->safeTimeMode = on ? 1 : 0;
}
int32_t RbdWorldGetSafeTimeMode(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->safeTimeMode : 0;
}

int32_t RbdWorldSetIntegrationModel(RbdWorldID world, int32_t model)
{
    if (!RbdCheckWorld(world)) return 0;
    if (!checkChoice(model, RBD_LCS_STEPPER_COUNT, "RbdWorldSetIntegrationModel"))
        return world->parameters.stepperModel;
    return std::exchange(world->parameters.stepperModel, model);
}
int32_t RbdWorldGetIntegrationModel(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.stepperModel : 0;
}
int32_t RbdWorldSetLinearSolver(RbdWorldID world, int32_t solver)
{
    if (!RbdCheckWorld(world)) return 0;
    if (!checkChoice(solver, RBD_LINEAR_SOLVER_COUNT, "RbdWorldSetLinearSolver"))
        return world->parameters.linearSolver;
    return std::exchange(world->parameters.linearSolver, solver);
}
int32_t RbdWorldGetLinearSolver(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.linearSolver : 0;
}
int32_t RbdWorldSetStepperOptions(RbdWorldID world, int32_t options)
{
    return RbdCheckWorld(world) ? std::exchange(world->parameters.stepperOptions, options) : 0;
}
int32_t RbdWorldGetStepperOptions(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.stepperOptions : 0;
}

void RbdWorldLCPSetSolverFunction(RbdWorldID world, int32_t function)
{
    if (RbdCheckWorld(world) && checkChoice(function, lcs::kLcpSolverCount, "RbdWorldLCPSetSolverFunction"))
        world->parameters.lcp.solverFunction = function;
}
int32_t RbdWorldLCPGetSolverFunction(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.solverFunction : 0;
}
void RbdWorldLCPSetMaxIterations(RbdWorldID world, int32_t iterations)
{
    if (RbdCheckWorld(world) && checkCount(iterations, 1, "RbdWorldLCPSetMaxIterations"))
        world->parameters.lcp.maxIterations = iterations;
}
int32_t RbdWorldLCPGetMaxIterations(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.maxIterations : 0;
}
void RbdWorldLCPSetMaxBlockIterations(RbdWorldID world, int32_t iterations)
{
    if (RbdCheckWorld(world) && checkCount(iterations, 0, "RbdWorldLCPSetMaxBlockIterations"))
        world->parameters.lcp.maxBlockIterations = iterations;
}
int32_t RbdWorldLCPGetMaxBlockIterations(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.maxBlockIterations : 0;
}
void RbdWorldLCPSetMaxCycleSize1(RbdWorldID world, int32_t size)
{
    if (RbdCheckWorld(world) && checkCount(size, 0, "RbdWorldLCPSetMaxCycleSize1"))
        world->parameters.lcp.maxCycleSize1 = size;
}
int32_t RbdWorldLCPGetMaxCycleSize1(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.maxCycleSize1 : 0;
}
void RbdWorldLCPSetMaxCycleSize2(RbdWorldID world, int32_t size)
{
    if (RbdCheckWorld(world) && checkCount(size, 0, "RbdWorldLCPSetMaxCycleSize2"))
        world->parameters.lcp.maxCycleSize2 = size;
}
int32_t RbdWorldLCPGetMaxCycleSize2(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.maxCycleSize2 : 0;
}
void RbdWorldLCPSetTolerance(RbdWorldID world, PxReal tolerance)
{
    if (RbdCheckWorld(world) && RbdCheckFiniteNonNegative(tolerance, "RbdWorldLCPSetTolerance"))
        world->parameters.lcp.tolerance = tolerance;
}
PxReal RbdWorldLCPGetTolerance(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.tolerance : 0.0;
}
void RbdWorldLCPSetDegeneracyFilter(RbdWorldID world, PxReal filter)
{
    if (RbdCheckWorld(world) && RbdCheckFiniteNonNegative(filter, "RbdWorldLCPSetDegeneracyFilter"))
        world->parameters.lcp.degeneracyFilter = filter;
}
PxReal RbdWorldLCPGetDegeneracyFilter(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.degeneracyFilter : 0.0;
}

void RbdWorldLCPSetLargeIslandSolver(RbdWorldID world, int32_t solver)
{
    if (!RbdCheckWorld(world)) return;
    if (solver != RBD_LCP_LARGE_ISLAND_PIVOTING && solver != RBD_LCP_LARGE_ISLAND_ITERATIVE) {
        PxWarning(RBD_MESSAGE_LEVEL,
                  "RbdWorldLCPSetLargeIslandSolver: %d is not 0 (pivoting) or 1 (iterative); ignored.\n",
                  (int)solver);
        return;
    }
    world->parameters.lcp.largeIslandSolver = solver;
}
int32_t RbdWorldLCPGetLargeIslandSolver(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.largeIslandSolver : 0;
}
void RbdWorldLCPSetLargeIslandRows(RbdWorldID world, int32_t rows)
{
    if (RbdCheckWorld(world) && checkCount(rows, 0, "RbdWorldLCPSetLargeIslandRows"))
        world->parameters.lcp.largeIslandRows = rows;
}
int32_t RbdWorldLCPGetLargeIslandRows(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.largeIslandRows : 0;
}
void RbdWorldLCPSetIterations(RbdWorldID world, int32_t sweeps)
{
    if (RbdCheckWorld(world) && checkCount(sweeps, 1, "RbdWorldLCPSetIterations"))
        world->parameters.lcp.iterations = sweeps;
}
int32_t RbdWorldLCPGetIterations(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.iterations : 0;
}

void RbdWorldSetBodyEnabledCallback(RbdWorldID world, RbdBodyCallback callback)
{
    if (RbdCheckWorld(world)) world->bodyEnabled = callback;
}
RbdBodyCallback RbdWorldGetBodyEnabledCallback(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->bodyEnabled : nullptr;
}
void RbdWorldSetBodyDisabledCallback(RbdWorldID world, RbdBodyCallback callback)
{
    if (RbdCheckWorld(world)) world->bodyDisabled = callback;
}
RbdBodyCallback RbdWorldGetBodyDisabledCallback(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->bodyDisabled : nullptr;
}

void RbdWorldForAllConstraints(RbdWorldID world, RbdConstraintFunction fn, void *arg)
{
    if (!RbdCheckWorld(world) || !fn) return;
    // The next link is read first so that fn may disable the constraint it is given.
    for (RbdBaseConstraint *c = world->firstEnabledConstraint, *next; c; c = next) {
        next = c->next;
        fn(c, arg);
    }
}

void RbdWorldSetMemoryPool(RbdWorldID world, void *memory, size_t size)
{
    if (!RbdCheckWorld(world)) return;
    if (!memory) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldSetMemoryPool: null memory; ignored.\n");
        return;
    }
    PxChunkSetUser(&world->chunk, memory, size, 64);
}
void RbdWorldSetMemoryPoolOverflowCB(RbdWorldID world, PxChunkOverflowCB callback)
{
    if (RbdCheckWorld(world)) PxChunkSetOverflowCB(&world->chunk, callback);
}
PxChunkOverflowCB RbdWorldGetMemoryPoolOverflowCB(RbdWorldID world)
{
    return RbdCheckWorld(world) ? PxChunkGetOverflowCB(&world->chunk) : nullptr;
}
size_t RbdWorldGetMaxMemoryPoolUsed(RbdWorldID world)
{
    return RbdCheckWorld(world) ? PxChunkGetMaxUsed(&world->chunk) : 0;
}

long RbdWorldGetStepCount(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->stepCount : 0;
}
int32_t RbdWorldGetNonFiniteBodyCount(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->nonFiniteBodies : 0;
}

int32_t RbdWorldGetFailedSolveCount(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->failedSolves : 0;
}

const char *RbdWorldGetVersionString(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->version : nullptr;
}

RbdBodyID RbdBodyGetFirst(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->firstBody : nullptr;
}

RbdBodyID RbdBodyGetNext(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetNext") ? body->next : nullptr;
}
