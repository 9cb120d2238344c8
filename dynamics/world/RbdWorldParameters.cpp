// The world's getters and setters, one field each.
#include <math.h>
#include <utility>
#include <kelmar/RbdLcs.h>
#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsSolver.h"
#include "world/RbdInternal.h"

namespace {

// The checks a setting takes: each says whether a value is accepted and, when it is not, warns naming the setter.
bool positive(PxReal value, const char *function)
{
    if (isfinite(value) && value > 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %g is not a finite value > 0; ignored.\n", function, value);
    return false;
}

bool nonNegative(PxReal value, const char *function)
{
    return RbdCheckFiniteNonNegative(value, function);
}

// An index into one of the solver's tables (count entries).
template <int32_t count> bool oneOf(int32_t value, const char *function)
{
    if (value >= 0 && value < count) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %d is not from 0 to %d; ignored.\n", function, (int)value, (int)count - 1);
    return false;
}

template <int32_t minimum> bool atLeast(int32_t value, const char *function)
{
    if (value >= minimum) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %d is below %d; ignored.\n", function, (int)value, (int)minimum);
    return false;
}

} // namespace

// One setting of the world: the setter stores a value its check accepts and otherwise keeps the previous one;
// the getter reads it back, or zero for an invalid world.
#define RBD_WORLD_SETTING(Type, Set, Get, field, check)                                                              \
    void Set(RbdWorldID world, Type value)                                                                           \
    {                                                                                                                \
        if (RbdCheckWorld(world) && check(value, #Set)) world->field = value;                                        \
    }                                                                                                                \
    Type Get(RbdWorldID world)                                                                                       \
    {                                                                                                                \
        return RbdCheckWorld(world) ? world->field : Type(0);                                                        \
    }

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

RBD_WORLD_SETTING(PxReal, RbdWorldSetEpsilon, RbdWorldGetEpsilon, epsilon, nonNegative)

RBD_WORLD_SETTING(PxReal, RbdWorldSetGamma, RbdWorldGetGamma, gamma, nonNegative)

RBD_WORLD_SETTING(PxReal, RbdWorldSetMaxCorrectingVelocity, RbdWorldGetMaxCorrectingVelocity,
                  parameters.maxCorrectingVelocity, positive)
RBD_WORLD_SETTING(PxReal, RbdWorldSetMaxCorrectingRate, RbdWorldGetMaxCorrectingRate, parameters.maxCorrectingRate,
                  positive)

void RbdWorldSetGammaWithRefTimeStep(RbdWorldID world, PxReal gamma, PxReal refTimeStep, PxReal timeStep)
{
    if (!RbdCheckWorld(world) || !positive(refTimeStep, "RbdWorldSetGammaWithRefTimeStep")) return;
    RbdWorldSetGamma(world, gamma * timeStep / refTimeStep);
}

RBD_WORLD_SETTING(PxReal, RbdWorldSetTimeStep, RbdWorldGetTimeStep, timeStep, positive)

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

RBD_WORLD_SETTING(PxReal, RbdWorldSetAutoDisableVelocityThreshold, RbdWorldGetAutoDisableVelocityThreshold,
                  thresholds.velocity, nonNegative)
RBD_WORLD_SETTING(PxReal, RbdWorldSetAutoDisableAngularVelocityThreshold,
                  RbdWorldGetAutoDisableAngularVelocityThreshold, thresholds.angularVelocity, nonNegative)
RBD_WORLD_SETTING(PxReal, RbdWorldSetAutoDisableAccelerationThreshold, RbdWorldGetAutoDisableAccelerationThreshold,
                  thresholds.acceleration, nonNegative)
RBD_WORLD_SETTING(PxReal, RbdWorldSetAutoDisableAngularAccelerationThreshold,
                  RbdWorldGetAutoDisableAngularAccelerationThreshold, thresholds.angularAcceleration, nonNegative)
RBD_WORLD_SETTING(int32_t, RbdWorldSetAutoDisableAliveWindow, RbdWorldGetAutoDisableAliveWindow,
                  thresholds.aliveWindow, atLeast<0>)
RBD_WORLD_SETTING(int32_t, RbdWorldSetAutoDisableAveragingWindow, RbdWorldGetAutoDisableAveragingWindow,
                  thresholds.averagingWindow, atLeast<1>)
RBD_WORLD_SETTING(PxReal, RbdWorldSetAutoDisableRestSpeed, RbdWorldGetAutoDisableRestSpeed, thresholds.restSpeed,
                  nonNegative)

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
    if (!oneOf<RBD_LCS_STEPPER_COUNT>(model, "RbdWorldSetIntegrationModel")) return world->parameters.stepperModel;
    const int32_t old = std::exchange(world->parameters.stepperModel, model);
    RbdWorldReserveSolver(world);
    return old;
}
int32_t RbdWorldGetIntegrationModel(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.stepperModel : 0;
}
int32_t RbdWorldSetLinearSolver(RbdWorldID world, int32_t solver)
{
    if (!RbdCheckWorld(world)) return 0;
    if (!oneOf<RBD_LINEAR_SOLVER_COUNT>(solver, "RbdWorldSetLinearSolver")) return world->parameters.linearSolver;
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

RBD_WORLD_SETTING(int32_t, RbdWorldLCPSetSolverFunction, RbdWorldLCPGetSolverFunction, parameters.lcp.solverFunction,
                  oneOf<lcs::kLcpSolverCount>)
RBD_WORLD_SETTING(int32_t, RbdWorldLCPSetMaxIterations, RbdWorldLCPGetMaxIterations, parameters.lcp.maxIterations,
                  atLeast<1>)
RBD_WORLD_SETTING(int32_t, RbdWorldLCPSetMaxBlockIterations, RbdWorldLCPGetMaxBlockIterations,
                  parameters.lcp.maxBlockIterations, atLeast<0>)
RBD_WORLD_SETTING(int32_t, RbdWorldLCPSetMaxCycleSize1, RbdWorldLCPGetMaxCycleSize1, parameters.lcp.maxCycleSize1,
                  atLeast<0>)
RBD_WORLD_SETTING(int32_t, RbdWorldLCPSetMaxCycleSize2, RbdWorldLCPGetMaxCycleSize2, parameters.lcp.maxCycleSize2,
                  atLeast<0>)
RBD_WORLD_SETTING(PxReal, RbdWorldLCPSetTolerance, RbdWorldLCPGetTolerance, parameters.lcp.tolerance, nonNegative)
RBD_WORLD_SETTING(PxReal, RbdWorldLCPSetDegeneracyFilter, RbdWorldLCPGetDegeneracyFilter,
                  parameters.lcp.degeneracyFilter, nonNegative)

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
    RbdWorldReserveSolver(world);
}
int32_t RbdWorldLCPGetLargeIslandSolver(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.largeIslandSolver : 0;
}
void RbdWorldLCPSetLargeIslandRows(RbdWorldID world, int32_t rows)
{
    if (!RbdCheckWorld(world) || !atLeast<0>(rows, "RbdWorldLCPSetLargeIslandRows")) return;
    world->parameters.lcp.largeIslandRows = rows;
    RbdWorldReserveSolver(world);
}
int32_t RbdWorldLCPGetLargeIslandRows(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->parameters.lcp.largeIslandRows : 0;
}
RBD_WORLD_SETTING(int32_t, RbdWorldLCPSetIterations, RbdWorldLCPGetIterations, parameters.lcp.iterations, atLeast<1>)

RBD_WORLD_SETTING(int32_t, RbdWorldSetJointPositionPasses, RbdWorldGetJointPositionPasses, jointPositionPasses,
                  atLeast<0>)

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
