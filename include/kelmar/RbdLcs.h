/* The constraint solver: advances one partition (island) of bodies and
 * packed constraint rows by one step. The records are the dynamics
 * library's: the row list (RbdLcsConstraints), the solver view of a body
 * (RbdLcsBody, embedded in every body) and the solver parameters
 * (RbdLcsParameters, kept by the world). */
#ifndef KELMAR_RBDLCS_H
#define KELMAR_RBDLCS_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

struct RbdLcsConstraints;
struct RbdLcsBody;
struct RbdLcsParameters;

/* Integration models (the stepperModel parameter). */
enum RbdLcsStepperModel {
    RBD_LCS_SIMPLE_STEPPER = 0,
    RBD_LCS_VINTAGE_STEPPER = 1,
    RBD_LCS_STABLE_STEPPER = 2,
    RBD_LCS_STEPPER_COUNT = 3
};

/* Factorisations of the system matrix (the linearSolver parameter): one of
 * the two for every island (the block Cholesky by default), or one chosen
 * per island: the variable-bandwidth Cholesky for an island of contacts
 * alone of 48 rows or more, such as a stack, the block Cholesky for the rest. */
enum RbdLinearSolver {
    RBD_LINEAR_SOLVER_BLOCK_CHOLESKY = 0,
    RBD_LINEAR_SOLVER_VARIABLE_BANDWIDTH_CHOLESKY = 1,
    RBD_LINEAR_SOLVER_AUTOMATIC = 2,
    RBD_LINEAR_SOLVER_COUNT = 3
};

/* What solves an island with more rows than the world's large-island
 * threshold (RbdWorldLCPSetLargeIslandRows): the pivoting solver, exact but
 * with memory and time that grow with the square of the rows and more, or
 * projected Gauss-Seidel sweeps, whose memory and time per sweep grow
 * linearly. Islands up to the threshold are always solved by pivoting. */
enum RbdLargeIslandSolver { RBD_LCP_LARGE_ISLAND_PIVOTING = 0, RBD_LCP_LARGE_ISLAND_ITERATIVE = 1 };
/* The defaults of a world: islands of more rows than this are large, and
 * the iterative solver sweeps at most this many times. A tall stack is the
 * slowest case for the sweeps: with 25 a stack of ten 1 m cubes stands
 * within 1 cm over 10 s, with 20 it walks 1.5 cm. A pile of 1000 balls and
 * a heap of 500 turned boxes end no less calm with 15 than with 30. */
enum { RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS = 600, RBD_LCP_DEFAULT_ITERATIONS = 25 };

/* One step of the partition that the row list ended last: its rows
 * (partitionRowStart .. + partitionRowCount) and constraints, and bodyCount
 * solver bodies chained from `bodies` through their `next` links (the
 * partition's body indices). Solves for the row impulses, stores each row's
 * result in the list's lambda and each constraint's force and torque on its
 * bodies in the constraint record, then integrates the bodies over
 * parameters->stepsize. parameters->workspace must hold
 * RbdLcsMemoryRequiredFor(rows, bodies, parameters) bytes. Returns the LCP solver's
 * iteration count, negative when it stopped without converging (the step
 * then proceeds with its last iterate), 0 without rows. */
int RbdLcsStep(struct RbdLcsConstraints *constraints, struct RbdLcsBody *bodies, int bodyCount,
               const struct RbdLcsParameters *parameters);
/* The first half of RbdLcsStep: constraint forces and body accelerations only. */
int RbdLcsAddConstraintForces(struct RbdLcsConstraints *constraints, struct RbdLcsBody *bodies, int bodyCount,
                              const struct RbdLcsParameters *parameters);
/* The second half: integrates velocities, positions and orientations with
 * the accelerations the bodies hold. */
void RbdLcsIntegrateSystem(struct RbdLcsConstraints *constraints, struct RbdLcsBody *bodies, int bodyCount,
                           const struct RbdLcsParameters *parameters);

/* Workspace bytes one call with `parameters` needs for a partition of
 * rowCount rows (padding excluded) whose bodies are among bodyCount; always
 * enough for any partition no larger than that. An island solved
 * iteratively needs memory linear in its rows; one solved by pivoting needs
 * memory that grows with the square of its rows, which the large-island
 * threshold bounds. RbdLcsMemoryRequired takes a new world's parameters. */
size_t RbdLcsMemoryRequiredFor(int rowCount, int bodyCount, const struct RbdLcsParameters *parameters);
size_t RbdLcsMemoryRequired(int rowCount, int bodyCount);

/* Name and description of stepper model `index`, of linear solver `index`;
 * null outside the tables. */
const char *RbdLcsStepperName(int index);
const char *RbdLcsStepperDescription(int index);
const char *RbdLcsLinearSolverDescription(int index);

PX_EXTERN_C_END

#endif
