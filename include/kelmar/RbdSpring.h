/* Spring: a spring-damper between the two attachment points along the line
 * joining them (1 row), with a limit on its length (m). A new spring has
 * natural length 0 and neither stiffness nor damping: it exerts no force
 * until they are set. */
#ifndef KELMAR_RBDSPRING_H
#define KELMAR_RBDSPRING_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdSpringCreate(RbdWorldID world);
RbdConstraintID RbdSpringCreateInPool(PxPool *pool);
void RbdSpringReset(RbdConstraintID c);
void RbdSpringSetNaturalLength(RbdConstraintID c, PxReal length); /* m */
PxReal RbdSpringGetNaturalLength(RbdConstraintID c);
void RbdSpringSetStiffness(RbdConstraintID c, PxReal stiffness); /* N/m */
PxReal RbdSpringGetStiffness(RbdConstraintID c);
void RbdSpringSetDamping(RbdConstraintID c, PxReal damping); /* N s/m */
PxReal RbdSpringGetDamping(RbdConstraintID c);
/* Length measured by the last row build (m). */
PxReal RbdSpringGetLength(RbdConstraintID c);

PX_EXTERN_C_END

#endif
