/* Prismatic joint: body 0 slides along its primary axis relative to
 * body 1 without turning (5 rows, 6 with an active limit, motor or lock). Its
 * coordinate is the displacement (m) of attachment 0 from attachment 1 along
 * the axis. */
#ifndef KELMAR_RBDPRISMATIC_H
#define KELMAR_RBDPRISMATIC_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdPrismaticCreate(RbdWorldID world);
RbdConstraintID RbdPrismaticCreateInPool(PxPool *pool);
void RbdPrismaticReset(RbdConstraintID c);
/* Force (N) of the actuation row in the last step, 0 when it had none. */
PxReal RbdPrismaticGetMotorForce(RbdConstraintID c);

PX_EXTERN_C_END

#endif
