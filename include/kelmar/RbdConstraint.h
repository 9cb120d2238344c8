/* The operations every constraint type shares: life, bodies, attachment
 * frames, per-row results and the type table. Positions and axes are in
 * world coordinates unless the name ends in Rel (the body's reference
 * frame) or COM...Rel (the body's centre-of-mass frame). */
#ifndef KELMAR_RBDCONSTRAINT_H
#define KELMAR_RBDCONSTRAINT_H

#include "PxMemory.h"
#include "RbdTypes.h"
#include "RbdLimit.h"

PX_EXTERN_C_BEGIN

/* Row-builder names of the type table, indexed by type number. */
extern const char *const RbdBclJointNames[RBD_TYPE_COUNT];
/* The name of a type number, or null outside the table. */
const char *RbdBclJointName(int32_t typeId);

/* body1 may be null (the world). Re-links an enabled constraint. */
void RbdConstraintSetBodies(RbdConstraintID c, RbdBodyID body0, RbdBodyID body1);
RbdBodyID RbdConstraintGetBody(RbdConstraintID c, int32_t index);
/* Enabling needs at least one body; an enabled constraint is in the world's
 * enabled list and in the constraint list of each of its bodies. */
void RbdConstraintEnable(RbdConstraintID c);
void RbdConstraintDisable(RbdConstraintID c);
int RbdConstraintIsEnabled(RbdConstraintID c);
/* Enables each of the constraint's bodies that is disabled (what a driven
 * joint does every step: one call instead of a reading per body). */
void RbdConstraintEnableBodies(RbdConstraintID c);
void RbdConstraintDestroy(RbdConstraintID c);
void RbdConstraintDestroyInPool(RbdConstraintID c, PxPool *pool);

/* The enabled constraints of a world, most recently enabled first. */
RbdConstraintID RbdConstraintGetFirst(RbdWorldID world);
RbdConstraintID RbdConstraintGetNext(RbdConstraintID c);
RbdWorldID RbdConstraintGetWorld(RbdConstraintID c);
void RbdConstraintSetUserData(RbdConstraintID c, void *data);
void *RbdConstraintGetUserData(RbdConstraintID c);
int32_t RbdConstraintGetTypeId(RbdConstraintID c);

/* Force (N) and torque (N m) the constraint applied to body 0 or 1 in the last step. */
void RbdConstraintGetForce(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);
void RbdConstraintGetTorque(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);

/* Degrees of freedom: 6 in all; limitable ones carry an RbdLimit. */
int32_t RbdConstraintDOFGetCount(RbdConstraintID c);
int32_t RbdConstraintDOFGetLimitableCount(RbdConstraintID c);
int32_t RbdConstraintDOFGetFreeCount(RbdConstraintID c);
/* Limit number dof - constrained - 1, or null. */
RbdLimit *RbdConstraintDOFGetLimit(RbdConstraintID c, int32_t dof);
/* Row results of the last step (row 0..6) and per-row additions (row 0..5). */
PxReal RbdConstraintDOFGetLambda(RbdConstraintID c, int32_t row);
PxReal RbdConstraintDOFGetPhi(RbdConstraintID c, int32_t row);
void RbdConstraintDOFSetEpsilon(RbdConstraintID c, int32_t row, PxReal epsilon);
PxReal RbdConstraintDOFGetEpsilon(RbdConstraintID c, int32_t row);
void RbdConstraintDOFSetGamma(RbdConstraintID c, int32_t row, PxReal gamma);
PxReal RbdConstraintDOFGetGamma(RbdConstraintID c, int32_t row);

/* The limit of a hinge, prismatic joint or spring; null for other types. */
RbdLimit *RbdConstraintGetLimit(RbdConstraintID c);
/* Copies stops, activation, motor velocity, maximum force and motor state. */
void RbdConstraintSetLimit(RbdConstraintID c, const RbdLimit *limit);

/* Attachment geometry. SetPosition and SetAxis act on both bodies. */
void RbdConstraintSetPosition(RbdConstraintID c, PxReal x, PxReal y, PxReal z);
void RbdConstraintGetPosition(RbdConstraintID c, PxVector3 out); /* body 1's attachment */
void RbdConstraintSetAxis(RbdConstraintID c, PxReal x, PxReal y, PxReal z);
void RbdConstraintGetAxis(RbdConstraintID c, PxVector3 out); /* body 1's primary axis */
void RbdConstraintSetAxes(RbdConstraintID c, const PxVector3 primary, const PxVector3 secondary);
void RbdConstraintGetAxes(RbdConstraintID c, PxVector3 primary, PxVector3 secondary);
void RbdConstraintBodySetAxes(RbdConstraintID c, int32_t bodyIndex, const PxVector3 primary,
                              const PxVector3 secondary);
void RbdConstraintBodyGetAxes(RbdConstraintID c, int32_t bodyIndex, PxVector3 primary, PxVector3 secondary);
/* The body's whole attachment frame in world coordinates (rows: primary,
   secondary, third axis, position in cm); the identity on bad input. */
void RbdConstraintBodyGetFrame(RbdConstraintID c, int32_t bodyIndex, PxMatrix4 out);
/* Both bodies' attachment frames from one frame in world coordinates:
   the same as RbdConstraintSetAxes followed by RbdConstraintBodySetPosition
   for each body, with one check and the frame made once. */
void RbdConstraintSetFrame(RbdConstraintID c, const PxVector3 position, const PxVector3 primary,
                           const PxVector3 secondary);
void RbdConstraintBodySetAxesRel(RbdConstraintID c, int32_t bodyIndex, const PxVector3 primary,
                                 const PxVector3 secondary);
void RbdConstraintBodyGetAxesRel(RbdConstraintID c, int32_t bodyIndex, PxVector3 primary, PxVector3 secondary);
void RbdConstraintBodySetPosition(RbdConstraintID c, int32_t bodyIndex, const PxVector3 position);
void RbdConstraintBodyGetPosition(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);
void RbdConstraintBodySetPositionRel(RbdConstraintID c, int32_t bodyIndex, const PxVector3 position);
void RbdConstraintBodyGetPositionRel(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);
void RbdConstraintBodyCOMGetPositionRel(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);

/* Directions and points from one body's frame to another's (null: the
 * world); the COM versions use the centre-of-mass frames. */
void RbdConvertVector(RbdBodyID fromBody, const PxVector3 v, RbdBodyID toBody, PxVector3 out);
void RbdConvertPositionVector(RbdBodyID fromBody, const PxVector3 p, RbdBodyID toBody, PxVector3 out);
void RbdConvertCOMVector(RbdBodyID fromBody, const PxVector3 v, RbdBodyID toBody, PxVector3 out);
void RbdConvertCOMPositionVector(RbdBodyID fromBody, const PxVector3 p, RbdBodyID toBody, PxVector3 out);

PX_EXTERN_C_END

#endif
