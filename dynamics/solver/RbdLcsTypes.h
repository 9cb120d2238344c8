// The solver's records: its view of a body and its parameters. Bodies embed
// an RbdLcsBody; the world keeps one RbdLcsParameters and hands a copy to
// each partition's solve.
#ifndef KELMAR_DYNAMICS_RBDLCSTYPES_H
#define KELMAR_DYNAMICS_RBDLCSTYPES_H

#include <stddef.h>
#include <kelmar/PxTypes.h>

// Message level of dynamics and solver problems.
enum { RBD_MESSAGE_LEVEL = 12 };

// Bits of RbdLcsBody::flags.
enum {
    RBD_LCS_BODY_FAST_SPIN = 0x01,   // fastSpinAxis is in use
    RBD_LCS_BODY_CONSTRAINED = 0x02, // the body has at least one attached constraint
    RBD_LCS_BODY_PRINCIPAL = 0x04,   // inertiaBody and invInertiaBody are diagonal
    RBD_LCS_BODY_FROZEN = 0x10,      // frozen: immovable for its constraints
    RBD_LCS_BODY_PROJECTED = 0x20,   // turned by the joint projection; world inertia not yet refreshed
    // Steps the body must still keep still before its islands of contacts,
    // swept since it landed, go back to the pivoting (RbdLcsSweptHeaps.h).
    RBD_LCS_BODY_SWEPT_STEPS = 0xff00
};
enum { RBD_LCS_BODY_SWEPT_STEPS_SHIFT = 8 };

// The solver reads inertiaWorld and invInertiaWorld as they are: every
// writer of the rotation in comTransform refreshes them (a frozen body's may
// lag until it is unfrozen, as the solver never sees it).
//
// In an RbdBody the record starts on a cache line (RbdBodyRecord.h), and
// its fields are ordered for the walks that read a few of them: the first
// line holds the chain and the velocities (the islands, the packing of a
// pile's rows), the second the loads and masses (the preparation, the force
// reset), the next three the inertias and momenta (with the first two, all
// the solve's body pass reads: RbdLcsSolveBodyBytes), the seventh the
// centre of mass (each contact's rows); the integration reads the rest.
struct RbdLcsBody {
    RbdLcsBody *next;              // next solver body of the partition
    int32_t flags;                 // RBD_LCS_BODY_* bits
    PxVector3 linearVelocity;      // of the centre of mass (m/s, world)
    PxVector3 angularVelocity;     // rad/s, world
    PxVector3 force;               // external force accumulated for this step (N, world)
    PxVector3 torque;              // external torque about the centre of mass (N m, world)
    PxReal invMass;                // 1 / mass (1/kg)
    PxReal mass;                   // kg
    PxMatrix3 invInertiaWorld;     // inverse of inertiaWorld
    PxMatrix3 inertiaWorld;        // inertia tensor about the centre of mass, world frame (kg m^2)
    PxVector3 linearMomentum;      // m v, filled by the solver
    PxVector3 angularMomentum;     // I w, filled by the solver
    PxMatrix4 comTransform;        // centre-of-mass frame in world coordinates; row 3 is comPosition
    PxQuaternion quaternion;       // orientation of comTransform (w, x, y, z)
    PxVector3 linearAcceleration;  // of the last step (m/s^2)
    PxVector3 angularAcceleration; // of the last step (rad/s^2)
    PxMatrix3 inertiaBody;         // inertia tensor in the centre-of-mass frame (kg m^2)
    PxMatrix3 invInertiaBody;
    PxVector3 fastSpinAxis; // unit axis, world
};
// The bytes of a solver record the solve's body pass reads and writes:
// velocities, loads, masses, inertias and momenta.
const size_t RbdLcsSolveBodyBytes = offsetof(RbdLcsBody, comTransform);
static_assert(RbdLcsSolveBodyBytes == 5 * 64, "the solve's body pass reads five lines");

struct RbdLcsLCPSolverParameters {
    int32_t solverFunction; // 0 and 1: the pivoting solver
    int32_t maxIterations;
    int32_t maxBlockIterations;
    int32_t maxCycleSize1; // carried, not read by the solver
    int32_t maxCycleSize2; // carried, not read by the solver
    PxReal tolerance;      // dimensionless: of the island's impulse scale (RbdLcsTolerance.h)
    PxReal degeneracyFilter;
    int32_t cycleDetection;
    int32_t warmStart;
    int32_t largeIslandSolver; // RbdLargeIslandSolver: what solves islands above largeIslandRows
    int32_t largeIslandRows;   // rows an island may have and still be solved by pivoting
    int32_t iterations;        // sweeps of the iterative solver at most
    int32_t boxIsland;         // few rows' bounds follow another row's impulse (PivotRule in RbdLcsSolver.cpp)
};

struct RbdLcsParameters {
    PxReal stepsize; // h (s)
    PxReal epsilon;  // world softness
    PxReal gamma;    // world stabilisation
    // Bounds of the correction of hard rows' errors, whose stabilisation
    // gamma phi / h grows without bound as h shrinks, and so would the
    // energy it adds: the largest speed (m/s, rad/s for angular rows) and,
    // for penetration, the largest rate (1/s: speed per depth).
    PxReal maxCorrectingVelocity;
    PxReal maxCorrectingRate;
    int32_t stepperModel; // 0 simple, 1 lcs, 2 stable
    int32_t stepperOptions;
    RbdLcsLCPSolverParameters lcp;
    void *workspace;      // memory for one solve
    size_t workspaceSize; // bytes
    int32_t cpuResources;
    int32_t linearSolver; // 0 block Cholesky, 1 variable-bandwidth Cholesky, 2 either by island
};

// The CPU resources the solver can use on this platform: always 0.
int32_t RbdLcsQueryCPUResources(void);
// The defaults of a new world: h 0.015, epsilon 1e-6, gamma 0.12, maximum
// correcting velocity and rate RBD_DEFAULT_MAX_CORRECTING_VELOCITY and
// RBD_DEFAULT_MAX_CORRECTING_RATE, stable
// stepper, LCP solver 1 with 35 / 20 iterations, cycle sizes 10 and 3,
// tolerance 0.001, degeneracy filter 1.01, block Cholesky; islands of more
// than RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS rows solved iteratively with at most
// RBD_LCP_DEFAULT_ITERATIONS sweeps.
void RbdLcsParametersReset(RbdLcsParameters *parameters);

#endif
