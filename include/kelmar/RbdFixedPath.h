/* Fixed path: a ball-and-socket joint whose attachment points travel along
 * paths on their bodies (3 rows). With both path velocities zero it is a
 * ball-and-socket joint. */
#ifndef KELMAR_RBDFIXEDPATH_H
#define KELMAR_RBDFIXEDPATH_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdFixedPathCreate(RbdWorldID world);
RbdConstraintID RbdFixedPathCreateInPool(PxPool *pool);
void RbdFixedPathReset(RbdConstraintID c);
/* Velocity (m/s) of body bodyIndex's attachment point along its path, in the
 * body's centre-of-mass frame (world coordinates for the world). */
void RbdFixedPathSetVelocity(RbdConstraintID c, int32_t bodyIndex, PxReal x, PxReal y, PxReal z);
void RbdFixedPathGetVelocity(RbdConstraintID c, int32_t bodyIndex, PxVector3 out);

PX_EXTERN_C_END

#endif
