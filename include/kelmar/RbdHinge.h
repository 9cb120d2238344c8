/* Hinge: a ball-and-socket joint that also keeps the two primary axes
 * aligned, leaving rotation about them free (5 rows, 6 with an active limit,
 * motor or lock). Its coordinate is the angle (rad) of body 0 about the axis
 * relative to body 1, growing with a0 . (w0 - w1). */
#ifndef KELMAR_RBDHINGE_H
#define KELMAR_RBDHINGE_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdHingeCreate(RbdWorldID world);
RbdConstraintID RbdHingeCreateInPool(PxPool *pool);
void RbdHingeReset(RbdConstraintID c);
/* The joint rate (rad/s) at the bodies' present velocities, a0 . (w0 - w1)
 * with body 0's axis in the world: what RbdConstraintBodyGetAxes and
 * RbdBodyGetAngularVelocity give, in one call. 0 for a non-hinge. */
PxReal RbdHingeGetRate(RbdConstraintID c);
/* Torque (N m) of the actuation row in the last step, 0 when it had none. */
PxReal RbdHingeGetMotorTorque(RbdConstraintID c);

PX_EXTERN_C_END

#endif
