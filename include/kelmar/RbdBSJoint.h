/* Ball-and-socket joint: the two attachment points coincide (3 rows). */
#ifndef KELMAR_RBDBSJOINT_H
#define KELMAR_RBDBSJOINT_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdBSJointCreate(RbdWorldID world);
RbdConstraintID RbdBSJointCreateInPool(PxPool *pool);
void RbdBSJointReset(RbdConstraintID c);

PX_EXTERN_C_END

#endif
