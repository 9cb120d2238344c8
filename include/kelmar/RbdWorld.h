/* The dynamics world: bodies, constraints, global parameters and the
 * storage one step needs. */
#ifndef KELMAR_RBDWORLD_H
#define KELMAR_RBDWORLD_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

/* Null when the record cannot be allocated or a capacity is negative. */
RbdWorldID RbdWorldCreate(int32_t maxBodies, int32_t maxConstraints);
/* Restores epsilon, auto-disable, solver parameters and gravity; gamma
 * becomes 8 x timeStep. Bodies and constraints stay. */
void RbdWorldReset(RbdWorldID world);
/* Frees everything the world owns; calls no callbacks. */
void RbdWorldDestroy(RbdWorldID world);

int32_t RbdWorldGetMaxBodies(RbdWorldID world);
int32_t RbdWorldGetMaxConstraints(RbdWorldID world);
int32_t RbdWorldGetTotalBodies(RbdWorldID world);
int32_t RbdWorldGetEnabledBodies(RbdWorldID world);
int32_t RbdWorldGetTotalConstraints(RbdWorldID world);
int32_t RbdWorldGetEnabledConstraints(RbdWorldID world);

void RbdWorldSetGravity(RbdWorldID world, PxReal x, PxReal y, PxReal z); /* m/s^2 */
void RbdWorldGetGravity(RbdWorldID world, PxVector3 out);
void RbdWorldSetEpsilon(RbdWorldID world, PxReal epsilon); /* >= 0 */
PxReal RbdWorldGetEpsilon(RbdWorldID world);
void RbdWorldSetGamma(RbdWorldID world, PxReal gamma); /* >= 0 */
PxReal RbdWorldGetGamma(RbdWorldID world);
/* Steps the world has taken. */
long RbdWorldGetStepCount(RbdWorldID world);
/* Bodies whose pose or velocity stopped being finite in a step: each is
 * reported once (name, step) and frozen at its last finite pose. */
int32_t RbdWorldGetNonFiniteBodyCount(RbdWorldID world);
/* Island solves whose pivoting LCP solve failed (it ran out of iterations or
 * cycled on rounding): projected Gauss-Seidel sweeps from the last step's
 * impulses gave that island's impulses instead. The first is reported once
 * per world; the rest are only counted here. */
int32_t RbdWorldGetFailedSolveCount(RbdWorldID world);
/* Bounds of the solver's error correction (> 0; RbdWorldReset restores the
 * defaults). A hard row's error phi (penetration, joint separation and
 * misalignment) is corrected at the speed gamma phi / h, which would grow
 * without bound as the step h shrinks, and with it the energy it adds.
 * It is corrected at no more than the maximum correcting velocity (m/s,
 * rad/s for angular rows), and a penetration at no more than the maximum
 * correcting rate (1/s) times its depth: stacked contacts add their
 * corrections up, so that ten boxes resting 1 mm into each other would
 * launch the top one at ten times the speed of one. The default rate is
 * that of the default gamma at the default step, 0.12 / 0.015 s. Soft rows
 * and the rows of stops, motors and locks are bounded by neither. */
#define RBD_DEFAULT_MAX_CORRECTING_VELOCITY 1.0
#define RBD_DEFAULT_MAX_CORRECTING_RATE 8.0
void RbdWorldSetMaxCorrectingVelocity(RbdWorldID world, PxReal velocity);
PxReal RbdWorldGetMaxCorrectingVelocity(RbdWorldID world);
void RbdWorldSetMaxCorrectingRate(RbdWorldID world, PxReal rate);
PxReal RbdWorldGetMaxCorrectingRate(RbdWorldID world);
/* Joint position projection: after each island's velocity solve and
 * position update, up to JointPositionPasses (>= 0, 0 off; default
 * RBD_DEFAULT_JOINT_POSITION_PASSES) Gauss-Seidel passes move the bodies of
 * ball-and-socket, hinge and universal joints with hard point rows so that
 * each joint's anchor gap is again the one the velocity solve meant. A
 * fast-turning link carries its anchor along a circle while the step moves
 * it along the tangent, and the gap that opens each step (about
 * |w|^2 r h^2 / 2) outgrows what gamma closes: a whipped chain opens its
 * joints. Velocities are left as the solve made them: the projection adds
 * no kinetic energy and keeps the centre of mass. Only free linkages are
 * projected: islands of such joints alone, with no contact, motor, stop
 * or spring, which a correction blind to them would undo. Two passes hold
 * the 50-link chain's hinges within about 3 cm; a third narrows that to
 * 2 cm at a little more cost. */
#define RBD_DEFAULT_JOINT_POSITION_PASSES 2
void RbdWorldSetJointPositionPasses(RbdWorldID world, int32_t passes);
int32_t RbdWorldGetJointPositionPasses(RbdWorldID world);
/* gamma x timeStep / refTimeStep: a gamma tuned for refTimeStep used at timeStep. */
void RbdWorldSetGammaWithRefTimeStep(RbdWorldID world, PxReal gamma, PxReal refTimeStep, PxReal timeStep);
void RbdWorldSetTimeStep(RbdWorldID world, PxReal timeStep); /* s, > 0 */
PxReal RbdWorldGetTimeStep(RbdWorldID world);

/* 0 off, 1 on, 2 single-island mode. */
void RbdWorldSetAutoDisable(RbdWorldID world, int32_t mode);
int32_t RbdWorldGetAutoDisable(RbdWorldID world);
/* Thresholds are compared with squared magnitudes. */
void RbdWorldSetAutoDisableVelocityThreshold(RbdWorldID world, PxReal threshold);
PxReal RbdWorldGetAutoDisableVelocityThreshold(RbdWorldID world);
void RbdWorldSetAutoDisableAngularVelocityThreshold(RbdWorldID world, PxReal threshold);
PxReal RbdWorldGetAutoDisableAngularVelocityThreshold(RbdWorldID world);
void RbdWorldSetAutoDisableAccelerationThreshold(RbdWorldID world, PxReal threshold);
PxReal RbdWorldGetAutoDisableAccelerationThreshold(RbdWorldID world);
void RbdWorldSetAutoDisableAngularAccelerationThreshold(RbdWorldID world, PxReal threshold);
PxReal RbdWorldGetAutoDisableAngularAccelerationThreshold(RbdWorldID world);
void RbdWorldSetAutoDisableAliveWindow(RbdWorldID world, int32_t steps);
int32_t RbdWorldGetAutoDisableAliveWindow(RbdWorldID world);
// Steps (at least 1) over which a body's accelerations are averaged: a body
// counts as accelerating when both this step's acceleration and the
// average exceed the threshold, so that neither the solver's back-and-forth
// jitter of a resting body nor a jolt that has ended keeps it awake; a body
// slower than the rest speed in an island the sweeps solve must also
// accelerate steadily (the squared average at least half the averaged
// square). 1 judges each step alone.
void RbdWorldSetAutoDisableAveragingWindow(RbdWorldID world, int32_t steps);
int32_t RbdWorldGetAutoDisableAveragingWindow(RbdWorldID world);
// A body whose motion in the last step carries less kinetic energy than it
// would moving at this fraction (dimensionless, at least 0) of g h, the speed
// gravity adds in one step, passes the velocity and angular velocity tests
// whatever their thresholds; 0 leaves them alone. Meaning the same in every
// unit system, it lets a body at rest but for a slow spin about its contact
// normal (which no friction resists) sleep. Bodies accelerating still wake.
void RbdWorldSetAutoDisableRestSpeed(RbdWorldID world, PxReal fraction);
PxReal RbdWorldGetAutoDisableRestSpeed(RbdWorldID world);

/* Safe-time mode: each island's step is limited by its bodies' safe times. */
void RbdWorldSetSafeTimeMode(RbdWorldID world, int32_t on);
int32_t RbdWorldGetSafeTimeMode(RbdWorldID world);

/* Solver selection; the setters return the previous value. The solver
 * reports indices it does not know when it runs. */
int32_t RbdWorldSetIntegrationModel(RbdWorldID world, int32_t model);
int32_t RbdWorldGetIntegrationModel(RbdWorldID world);
int32_t RbdWorldSetLinearSolver(RbdWorldID world, int32_t solver);
int32_t RbdWorldGetLinearSolver(RbdWorldID world);
int32_t RbdWorldSetStepperOptions(RbdWorldID world, int32_t options);
int32_t RbdWorldGetStepperOptions(RbdWorldID world);

/* The LCP solver's parameters. */
void RbdWorldLCPSetSolverFunction(RbdWorldID world, int32_t function);
int32_t RbdWorldLCPGetSolverFunction(RbdWorldID world);
void RbdWorldLCPSetMaxIterations(RbdWorldID world, int32_t iterations);
int32_t RbdWorldLCPGetMaxIterations(RbdWorldID world);
void RbdWorldLCPSetMaxBlockIterations(RbdWorldID world, int32_t iterations);
int32_t RbdWorldLCPGetMaxBlockIterations(RbdWorldID world);
void RbdWorldLCPSetMaxCycleSize1(RbdWorldID world, int32_t size);
int32_t RbdWorldLCPGetMaxCycleSize1(RbdWorldID world);
void RbdWorldLCPSetMaxCycleSize2(RbdWorldID world, int32_t size);
int32_t RbdWorldLCPGetMaxCycleSize2(RbdWorldID world);
/* The tolerance is a fraction (default 0.001): each row's impulse may be
 * off by it times the row's own impulse scale, the impulse the row would
 * take on its own (at least a thousandth of the island's largest), so it
 * means the same in every unit system and for light and heavy bodies
 * alike. */
void RbdWorldLCPSetTolerance(RbdWorldID world, PxReal tolerance);
PxReal RbdWorldLCPGetTolerance(RbdWorldID world);
void RbdWorldLCPSetDegeneracyFilter(RbdWorldID world, PxReal filter);
PxReal RbdWorldLCPGetDegeneracyFilter(RbdWorldID world);
/* Large islands: an island of more rows than LargeIslandRows (default 600,
 * >= 0) is solved by the LargeIslandSolver (an RbdLargeIslandSolver, default
 * iterative, which also sweeps heaps of contacts alone while they land and
 * until their bodies keep still); the iterative solver sweeps at most Iterations times (default
 * 25, >= 1), fewer when the impulses settle within the tolerance. What
 * the pivoting path keeps of an island from step to step is sized for
 * LargeIslandRows rows whenever the world is made or these are set (about
 * 4.7 MB of address space at 600 rows, written only as far as an island
 * needs), so that no step allocates for it; with large islands pivoted
 * too, or past 2048 rows, it grows when an island needs more. */
void RbdWorldLCPSetLargeIslandSolver(RbdWorldID world, int32_t solver);
int32_t RbdWorldLCPGetLargeIslandSolver(RbdWorldID world);
void RbdWorldLCPSetLargeIslandRows(RbdWorldID world, int32_t rows);
int32_t RbdWorldLCPGetLargeIslandRows(RbdWorldID world);
void RbdWorldLCPSetIterations(RbdWorldID world, int32_t sweeps);
int32_t RbdWorldLCPGetIterations(RbdWorldID world);

/* Callbacks run after a body joins or leaves the enabled list (null: none). */
void RbdWorldSetBodyEnabledCallback(RbdWorldID world, RbdBodyCallback callback);
RbdBodyCallback RbdWorldGetBodyEnabledCallback(RbdWorldID world);
void RbdWorldSetBodyDisabledCallback(RbdWorldID world, RbdBodyCallback callback);
RbdBodyCallback RbdWorldGetBodyDisabledCallback(RbdWorldID world);

/* Calls fn(constraint, arg) for each enabled constraint, in list order. */
void RbdWorldForAllConstraints(RbdWorldID world, RbdConstraintFunction fn, void *arg);

/* The solver workspace: caller memory (64-byte aligned use) instead of a
 * self-growing chunk, its overflow callback, and its largest use so far. */
void RbdWorldSetMemoryPool(RbdWorldID world, void *memory, size_t size);
void RbdWorldSetMemoryPoolOverflowCB(RbdWorldID world, PxChunkOverflowCB callback);
PxChunkOverflowCB RbdWorldGetMemoryPoolOverflowCB(RbdWorldID world);
size_t RbdWorldGetMaxMemoryPoolUsed(RbdWorldID world);

/* The toolkit version the world was made with. */
const char *RbdWorldGetVersionString(RbdWorldID world);

/* The body list, newest first. */
RbdBodyID RbdBodyGetFirst(RbdWorldID world);
RbdBodyID RbdBodyGetNext(RbdBodyID body);

PX_EXTERN_C_END

#endif
