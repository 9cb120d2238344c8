/* Angular constraint: keeps body 0's primary axis along body 1's and,
 * unless rotation is enabled, locks the rotation about it (2 or 3 rows),
 * optionally as a spring-damper. */
#ifndef KELMAR_RBDANGULAR3_H
#define KELMAR_RBDANGULAR3_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdAngular3Create(RbdWorldID world);
RbdConstraintID RbdAngular3CreateInPool(PxPool *pool);
void RbdAngular3Reset(RbdConstraintID c);
void RbdAngular3EnableRotation(RbdConstraintID c, int on);
int RbdAngular3IsRotationEnabled(RbdConstraintID c);
/* N m/rad and N m s/rad; RBD_REAL_MAX stiffness is rigid. */
void RbdAngular3SetStiffness(RbdConstraintID c, PxReal stiffness);
PxReal RbdAngular3GetStiffness(RbdConstraintID c);
void RbdAngular3SetDamping(RbdConstraintID c, PxReal damping);
PxReal RbdAngular3GetDamping(RbdConstraintID c);

PX_EXTERN_C_END

#endif
