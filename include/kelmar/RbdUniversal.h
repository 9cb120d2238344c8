/* Universal joint: a ball-and-socket joint that keeps body 0's primary axis
 * at a fixed angle to body 1's secondary axis (4 rows). */
#ifndef KELMAR_RBDUNIVERSAL_H
#define KELMAR_RBDUNIVERSAL_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdUniversalCreate(RbdWorldID world);
RbdConstraintID RbdUniversalCreateInPool(PxPool *pool);
void RbdUniversalReset(RbdConstraintID c);
/* Index 0: body 0's primary axis, index 1: body 1's secondary axis (world);
 * the current angle between them is the one held. */
void RbdUniversalSetAxis(RbdConstraintID c, int32_t index, PxReal x, PxReal y, PxReal z);
void RbdUniversalGetAxis(RbdConstraintID c, int32_t index, PxVector3 out);

PX_EXTERN_C_END

#endif
