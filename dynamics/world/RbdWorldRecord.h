// The world record behind an RbdWorldID and the per-step storage it owns.
#ifndef KELMAR_DYNAMICS_RBDWORLDRECORD_H
#define KELMAR_DYNAMICS_RBDWORLDRECORD_H

#include <kelmar/PxMemory.h>
#include <kelmar/RbdTypes.h>
#include "solver/RbdLcsTypes.h"
#include "solver/RbdBcl.h"

struct RbdBody;
struct RbdBaseConstraint;
namespace lcs {
class Context;
}

// Auto-disable thresholds; the four reals are compared with squared magnitudes.
struct RbdAutoDisableThresholds {
    PxReal velocity;            // (m/s)^2
    PxReal angularVelocity;     // (rad/s)^2
    PxReal acceleration;        // (m/s^2)^2
    PxReal angularAcceleration; // (rad/s^2)^2
    int32_t aliveWindow;        // steps a newly enabled body stays awake
    int32_t averagingWindow;    // steps over which the accelerations are averaged; 1: none
    PxReal restSpeed;           // fraction of g h (dimensionless), see RbdBodyIsSlow
};

// A sleeping body that the islands' walk met through contacts pressing it
// too gently to wake it, with the impulses (N s) such touches pressed on it
// since it fell asleep, this step's included.
struct RbdPressedSleeper {
    RbdBody *sleeper;
    PxReal pressed;
};

// The islands of one step, rebuilt every step. Sized by the capacities:
// at most maxBodies islands, each with at least one body.
struct RbdPartitionOutput {
    RbdBody **bodies;                // (maxBodies) island after island
    int32_t *bodyStart;              // (maxBodies) first entry of island p in bodies
    int32_t *bodyCount;              // (maxBodies)
    RbdBaseConstraint **constraints; // (maxConstraints) island after island
    int32_t *constraintStart;        // (maxBodies)
    int32_t *constraintCount;        // (maxBodies)
    int32_t partitionCount;
    int32_t totalBodies;
    int32_t totalConstraints;
    // Whether these islands may serve the next step unchanged: they were
    // walked without auto-disable, and serve while the world's islandEdits
    // still equals editsWalked, its count when the walk began.
    int32_t reusable;
    uint32_t editsWalked;
    // The sleepers the last walk under auto-disable left asleep though
    // touches pressed them, for the step to count once (RbdKeepPresses).
    // A walk meets each contact at most once from each side.
    RbdPressedSleeper *pressed; // (2 maxConstraints)
    int32_t pressedCount;
};

struct RbdWorld {
    int32_t maxBodies; // capacities; grown by the step
    int32_t maxConstraints;
    PxPool bodyPool;       // RbdBody records
    PxPool constraintPool; // "world constraintPool": RbdBaseConstraint records
    PxPool nodePool;       // "world cNodePool": 2 x maxConstraints RbdConstraintNode
    PxChunk chunk;         // the solver's workspace
    lcs::Context *solver;  // the solver's allocator, models and factorisations
    RbdBody *firstBody;    // body list, newest first
    int32_t totalBodies;
    RbdBody *firstEnabledBody; // enabled list, most recently enabled first
    int32_t enabledBodies;
    RbdBaseConstraint *firstEnabledConstraint; // most recently enabled first
    int32_t totalConstraints;
    int32_t enabledConstraints;
    int32_t changeCount; // insertions since the last step
    // Counts every edit that can change the islands: a body enabled,
    // disabled, frozen, unfrozen, reset or destroyed, a constraint enabled
    // or disabled (which links and unlinks it in its bodies' lists). Equal
    // counts before two steps mean the same islands in the same order.
    uint32_t islandEdits;
    PxReal timeStep; // s, of the last step (RbdWorldStepOne repeats it)
    PxReal epsilon;
    PxReal gamma;
    PxVector3 gravity;   // m/s^2
    int32_t autoDisable; // 0 off, 1 on, 2 single island
    int32_t safeTimeMode;
    int32_t jointPositionPasses; // passes of the joint position projection after each solve, 0: none
    RbdAutoDisableThresholds thresholds;
    RbdLcsParameters parameters;
    RbdBodyCallback bodyEnabled;
    RbdBodyCallback bodyDisabled;
    RbdPartitionOutput partitions; // per-step island storage
    RbdLcsConstraints rows;        // per-step row storage
    const char *version;           // toolkit version, for the file writer
    long stepCount;                // steps taken
    int32_t nonFiniteBodies;       // bodies frozen because their state stopped being finite
    int32_t failedSolves;          // island solves whose pivoting failed (sweeps stood in)
};

// Raises the capacities to the current counts when bodies or constraints
// were inserted since the last call and reallocates the per-step storage if
// either grew; clears the change counter. Returns 0 (capacities unchanged,
// warning) when memory is short. Called at the start of every step.
int RbdWorldUpdateCapacities(RbdWorld *world);
// Reallocates the per-step storage for the current capacities.
int RbdWorldResize(RbdWorld *world);
// Sizes the solver's workspace and what it keeps from step to step for the
// largest island the capacities and the solver settings allow
// (lcs::reserveKept, lcs::workspaceBound), so that a step that meets a
// larger island than any before allocates nothing. Called when the
// capacities grow and when those settings change.
void RbdWorldReserveSolver(RbdWorld *world);

#endif
