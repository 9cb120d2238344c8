/* Linear constraints. Linear-1 keeps attachment point 0 on the plane
 * through attachment point 1 perpendicular to body 0's primary axis (1 row);
 * linear-2 keeps it on the line through attachment point 1 along that axis
 * (2 rows). */
#ifndef KELMAR_RBDLINEAR_H
#define KELMAR_RBDLINEAR_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdLinear1Create(RbdWorldID world);
RbdConstraintID RbdLinear1CreateInPool(PxPool *pool);
void RbdLinear1Reset(RbdConstraintID c);
/* Anchor at the point; axis from body 1's position (or the origin) to it. */
void RbdLinear1SetPosition(RbdConstraintID c, PxReal x, PxReal y, PxReal z);

RbdConstraintID RbdLinear2Create(RbdWorldID world);
RbdConstraintID RbdLinear2CreateInPool(PxPool *pool);
void RbdLinear2Reset(RbdConstraintID c);

PX_EXTERN_C_END

#endif
