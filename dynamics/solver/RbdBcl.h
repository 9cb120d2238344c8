// The row list: the packed Jacobian rows of a partition, filled by the
// constraints' row builders and read by the solver.
//
// Protocol, per partition:
//   RbdBclInitConstraintRowList(list);   // once, empties the list
//   RbdBclStartPartition(list);
//   for each constraint: constraint->rowBuilder(list, constraint, &parameters);
//   RbdBclEndPartition(list);            // pads to whole 4-row tiles
// A row builder takes its rows with RbdBclBeginConstraint (which sets them to
// empty bilateral rows), fills them, and always ends with
// RbdBclEndConstraint(list, constraint, rowCount), rowCount possibly 0.
//
// Every row is driven by the solver towards J v = c - (gamma / h) phi, so a
// row's Jacobian is the time derivative of its error: J v = d(phi)/dt.
#ifndef KELMAR_DYNAMICS_RBDBCL_H
#define KELMAR_DYNAMICS_RBDBCL_H

#include <kelmar/RbdTypes.h>
#include "joints/RbdConstraintRecord.h"

enum {
    RBD_TILE_ROWS = 4,         // rows per Jacobian tile
    RBD_JACOBIAN_COLUMNS = 12, // body 0 linear, body 0 angular, body 1 linear, body 1 angular
    RBD_TILE_SIZE = RBD_TILE_ROWS * RBD_JACOBIAN_COLUMNS,
    RBD_ROWS_PER_CONSTRAINT = 10 // row capacity per constraint of a world
};

// What bounds the speed at which a hard row's error is corrected: the
// world's maximum joint-correcting velocity (the default), its maximum
// penetration-correcting velocity (contact normals), or only the row's
// force bounds (rows that drive towards a position the program chose:
// stops, motors, locks, a locked steering).
enum RbdBclCorrection { RBD_CORRECTION_JOINT = 0, RBD_CORRECTION_PENETRATION = 1, RBD_CORRECTION_DRIVEN = 2 };

// Jacobian column groups.
enum { RBD_J_LINEAR0 = 0, RBD_J_ANGULAR0 = 3, RBD_J_LINEAR1 = 6, RBD_J_ANGULAR1 = 9 };

// What a row builder needs from the world: step size (s), softness and stabilisation.
struct RbdBclParameters {
    PxReal stepSize;
    PxReal epsilon;
    PxReal gamma;
};

struct RbdLcsConstraints {
    void *storage;           // one 64-byte aligned block behind all arrays
    int32_t maxRows;         // rows the row arrays hold (multiple of 12)
    int32_t maxConstraints;  // entries of the constraint arrays
    int32_t rowCount;        // rows stored; ended partitions padded to whole tiles
    int32_t constraintCount; // constraints recorded
    int32_t partitionCount;  // partitions ended since the list was emptied
    // The current partition (after RbdBclEndPartition: the partition just ended).
    int32_t partitionRowStart;       // its first row, a multiple of 4
    int32_t partitionRowCount;       // rows its constraints added
    int32_t partitionPaddedRowCount; // partitionRowCount rounded up to 4, set when it ends
    int32_t partitionConstraintStart;
    int32_t partitionConstraintCount;
    int32_t partitionIsland; // the world's island number of the current partition; -1: not an island's
    // Row arrays (maxRows entries, 64-byte aligned). Jacobian entry
    // (row, col) lives at jacobian[(row / 4) * 48 + col * 4 + row % 4].
    PxReal *jacobian;       // (maxRows / 4) tiles of 4 x 12
    PxReal *phi;            // position error
    PxReal *c;              // target of J v
    PxReal *lo;             // lower bound of the row force (-RBD_REAL_MAX: none)
    PxReal *hi;             // upper bound (RBD_REAL_MAX: none)
    PxReal *lambda;         // solution (impulse)
    PxReal *rowEpsilon;     // softness addition to the world epsilon
    PxReal *rowGamma;       // stabilisation addition to the world gamma
    PxReal *mu;             // friction coefficient of a proportional friction row
    int32_t *state;         // LCP state word
    int32_t *frictionIndex; // row index (in this list) of the normal row bounding this row, -1 for none
    int32_t *correction;    // RbdBclCorrection: how fast the row's error may be corrected
    // Constraint arrays (maxConstraints entries).
    RbdBaseConstraint **constraints;
    int32_t *constraintRowCount;
    int32_t *constraintFirstRow;
    int32_t *constraintBody[2]; // body index in the partition, -1 for the world or a frozen body
};

// Storage. A list for maxConstraints holds 10 rows per constraint, rounded up
// to a multiple of 12. Returns 0 (list empty, warning) when memory is short.
int RbdBclCreateConstraintRowList(RbdLcsConstraints *list, int32_t maxConstraints);
void RbdBclDestroyConstraintRowList(RbdLcsConstraints *list);
// Row capacity for a constraint capacity.
int32_t RbdBclRowCapacity(int32_t maxConstraints);

void RbdBclInitConstraintRowList(RbdLcsConstraints *list);
void RbdBclStartPartition(RbdLcsConstraints *list);
void RbdBclEndPartition(RbdLcsConstraints *list);

// First row index for up to maxRows rows of a constraint; those rows are set
// to zero Jacobian, phi = c = 0, unbounded, no additions. -1 (with a warning)
// when the list is full.
int32_t RbdBclBeginConstraint(RbdLcsConstraints *list, int32_t maxRows);
// Adds the constraint's per-row additions, copies the row errors into the
// constraint, records it and advances the counters. rowCount 0 records nothing.
void RbdBclEndConstraint(RbdLcsConstraints *list, RbdBaseConstraint *constraint, int32_t rowCount);
// Sets a row to the empty bilateral row.
void RbdBclClearRow(RbdLcsConstraints *list, int32_t row);

// A builder that writes every field of each of its rows (its Jacobian and
// RbdBclWriteRowValues) takes them with RbdBclTakeRows, which does not clear
// them first, and ends with RbdBclEndConstraint as usual. -1 (with a warning) when the list is full.
int32_t RbdBclTakeRows(RbdLcsConstraints *list, int32_t maxRows);
// The fields of a row besides its Jacobian that a builder may set; the
// defaults are those of the empty bilateral row.
struct RbdBclRowValues {
    PxReal phi = 0.0;
    PxReal c = 0.0;
    PxReal lo = -RBD_REAL_MAX;
    PxReal hi = RBD_REAL_MAX;
    PxReal rowEpsilon = 0.0;
    PxReal mu = 0.0;
    int32_t frictionIndex = -1;
    int32_t correction = RBD_CORRECTION_JOINT;
};
// Writes every field of a row but its Jacobian: the values, and no
// impulse, state or stabilisation addition.
inline void RbdBclWriteRowValues(RbdLcsConstraints *list, int32_t row, const RbdBclRowValues &values)
{
    list->phi[row] = values.phi;
    list->c[row] = values.c;
    list->lo[row] = values.lo;
    list->hi[row] = values.hi;
    list->lambda[row] = 0.0;
    list->rowEpsilon[row] = values.rowEpsilon;
    list->rowGamma[row] = 0.0;
    list->mu[row] = values.mu;
    list->state[row] = 0;
    list->frictionIndex[row] = values.frictionIndex;
    list->correction[row] = values.correction;
}

// Column 0 of a row's Jacobian; column col lies RBD_TILE_ROWS x col reals
// further. Rows are never negative: unsigned arithmetic lets the division
// and remainder become a shift and a mask (row building runs for every
// contact of every step).
inline PxReal *RbdBclJacobianRow(PxReal *jacobian, int32_t row)
{
    uint32_t r = static_cast<uint32_t>(row);
    return jacobian + (r / RBD_TILE_ROWS) * RBD_TILE_SIZE + r % RBD_TILE_ROWS;
}
inline PxReal *RbdBclJacobianEntry(RbdLcsConstraints *list, int32_t row, int32_t col)
{
    return RbdBclJacobianRow(list->jacobian, row) + col * RBD_TILE_ROWS;
}
inline PxReal RbdBclGetJacobianEntry(const RbdLcsConstraints *list, int32_t row, int32_t col)
{
    return RbdBclJacobianRow(list->jacobian, row)[col * RBD_TILE_ROWS];
}
// Writes a three-column group (RBD_J_*) of a row.
inline void RbdBclSetJacobian3(RbdLcsConstraints *list, int32_t row, int32_t group, const PxVector3 v)
{
    PxReal *entry = RbdBclJacobianEntry(list, row, group);
    entry[0] = v[0];
    entry[RBD_TILE_ROWS] = v[1];
    entry[2 * RBD_TILE_ROWS] = v[2];
}
// Reads all 12 columns of a row.
void RbdBclGetJacobian(const RbdLcsConstraints *list, int32_t row, PxReal out[RBD_JACOBIAN_COLUMNS]);

// Row-building helpers shared by the joint types.

// Attachment frames of a constraint in world coordinates.
struct RbdBclFrames {
    PxVector3 p[2];   // attachment positions
    PxVector3 a[2];   // primary axes
    PxVector3 s[2];   // secondary axes
    PxVector3 t[2];   // third axes
    PxVector3 r[2];   // p[i] - comPosition(body i); zero for the world
    PxVector3 com[2]; // centre-of-mass positions; origin for the world
};
void RbdBclFormWorldFrames(const RbdBaseConstraint *constraint, RbdBclFrames *frames);
// The hinge's frames: all but the axes its rows never read, t[0] and a[1]
// (left unset). Nine hinges of a hand form theirs every step.
void RbdBclFormHingeFrames(const RbdBaseConstraint *constraint, RbdBclFrames *frames);
// Velocities of body i seen by the rows (zero for the world or a frozen body).
void RbdBclBodyVelocity(const RbdBaseConstraint *constraint, int i, PxVector3 linear, PxVector3 angular);
// w0 - w1, with the same zeros for the world or a frozen body.
void RbdBclRelativeAngularVelocity(const RbdBaseConstraint *constraint, PxVector3 relative);

// The three spherical rows at rows row..row+2: phi = p0 - p1 per world axis.
void RbdBclAddSphericalRowsWorld(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *constraint,
                                 const RbdBclFrames *frames);
// A linear row measuring (p0 - p1) . d for a direction d fixed in body 0:
// body 0 (d, (p1 - com0) x d), body 1 -(d, r1 x d). Returns the error.
PxReal RbdBclSetLinearRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *constraint,
                          const RbdBclFrames *frames, const PxVector3 d);
// An angular row with body 0 angular column g and body 1 angular column -g.
void RbdBclSetAngularRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *constraint,
                         const PxVector3 g);
// Row softening of a spring-damper with stiffness k and damping d: additions
// 1 / (h k + d) - h epsilon and h k / (h k + d) - gamma. A stiffness of
// RBD_REAL_MAX is rigid and adds nothing; with k = d = 0 the row is
// bounded to [0, 0] and exerts no force.
void RbdBclSoftenRow(RbdLcsConstraints *list, int32_t row, PxReal k, PxReal d, const RbdBclParameters *parameters);
// An orientation row for axes u0, w0 fixed in body 0 and u1, w1 fixed in
// body 1: phi = (u0 . w1 - w0 . u1) / 2, angular column
// g = (u0 x w1 - w0 x u1) / 2 (returned in g). Three such rows about the
// axes of two frames hold them aligned; near alignment phi is the rotation
// angle of frame 1 from frame 0 about the third axis, negated.
void RbdBclSetOrientationRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c, const PxVector3 u0,
                             const PxVector3 w0, const PxVector3 u1, const PxVector3 w1, PxVector3 g);
// A 12-column Jacobian from the parts of each body; the columns of the world
// or a frozen body stay zero.
void RbdBclMakeJacobian(const RbdBaseConstraint *c, const PxVector3 linear0, const PxVector3 angular0,
                        const PxVector3 linear1, const PxVector3 angular1, PxReal jacobian[RBD_JACOBIAN_COLUMNS]);
// J v of a 12-column Jacobian for the bodies' current velocities.
PxReal RbdBclJacobianVelocity(const RbdBaseConstraint *c, const PxReal jacobian[RBD_JACOBIAN_COLUMNS]);
// J v of a row for the bodies' current velocities.
PxReal RbdBclRowVelocity(const RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *constraint);

// Limits: measure the coordinate and add the actuation row. The joint sets
// limit->rawPosition and limit->velocity (d(position)/dt) first.
void RbdBclCalculateLimitPositionAndOvershoot(RbdLimit *limit, int rotational);
// Fills row `row` from the limit when it needs one, with the joint's Jacobian
// (12 columns, body 1 already negated). Returns 1 when the row was added.
// The row must be clear, as RbdBclBeginConstraint leaves its rows.
int RbdBclSetSingleAxisActuation(RbdLcsConstraints *list, int32_t row, RbdLimit *limit,
                                 const PxReal jacobian[RBD_JACOBIAN_COLUMNS], const RbdBclParameters *parameters);
// Clears the per-step overshoot state of a limit whose coordinate is not measured.
void RbdBclClearLimitState(RbdLimit *limit);

// The row builders of the creatable types.
void RbdBclAddBSJoint(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddHinge(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddPrismatic(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddCarWheel(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddFixedPath(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddRPROJoint(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddUniversal(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddLinear1(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddLinear2(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddAngular3(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddSpring(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);
void RbdBclAddConeLimit(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);

#endif
