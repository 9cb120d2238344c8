/* Cone limit: keeps the angle between the two bodies' primary axes within
 * a half-angle (1 row while outside, none inside). */
#ifndef KELMAR_RBDCONELIMIT_H
#define KELMAR_RBDCONELIMIT_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdConeLimitCreate(RbdWorldID world);
RbdConstraintID RbdConeLimitCreateInPool(PxPool *pool);
void RbdConeLimitReset(RbdConstraintID c);
/* Primary axis of body bodyIndex (world). */
void RbdConeLimitSetAxis(RbdConstraintID c, int32_t bodyIndex, PxReal x, PxReal y, PxReal z);
void RbdConeLimitGetAxis(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);
void RbdConeLimitSetHalfAngle(RbdConstraintID c, PxReal halfAngle); /* rad, 0..pi */
PxReal RbdConeLimitGetHalfAngle(RbdConstraintID c);
void RbdConeLimitSetStiffness(RbdConstraintID c, PxReal stiffness); /* N m/rad */
PxReal RbdConeLimitGetStiffness(RbdConstraintID c);
void RbdConeLimitSetDamping(RbdConstraintID c, PxReal damping); /* N m s/rad */
PxReal RbdConeLimitGetDamping(RbdConstraintID c);

PX_EXTERN_C_END

#endif
