/* Relative position and orientation joint: holds attachment point 1 on
 * attachment point 0 and attachment frame 1 at a relative orientation to
 * attachment frame 0, each row with a force bound (6 rows). */
#ifndef KELMAR_RBDRPROJOINT_H
#define KELMAR_RBDRPROJOINT_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdRPROJointCreate(RbdWorldID world);
RbdConstraintID RbdRPROJointCreateInPool(PxPool *pool);
void RbdRPROJointReset(RbdConstraintID c);
/* Orientation of body bodyIndex's attachment frame relative to the body's reference frame. */
void RbdRPROJointSetAttachmentQuaternion(RbdConstraintID c, const PxQuaternion q, int32_t bodyIndex);
void RbdRPROJointGetAttachmentQuaternion(RbdConstraintID c, int32_t bodyIndex, PxQuaternion out);
int RbdRPROJointIsAttachmentQuaternionSet(RbdConstraintID c, int32_t bodyIndex);
/* Target orientation of attachment frame 1 within attachment frame 0. */
void RbdRPROJointSetRelativeQuaternion(RbdConstraintID c, const PxQuaternion q);
void RbdRPROJointGetRelativeQuaternion(RbdConstraintID c, PxQuaternion out);
/* Target velocities of attachment 1 relative to attachment 0 (m/s, rad/s),
 * in attachment frame 0. They feed the rows; the caller moves the targets. */
void RbdRPROJointSetRelativeLinearVelocity(RbdConstraintID c, const PxVector3 v);
void RbdRPROJointGetRelativeLinearVelocity(RbdConstraintID c, PxVector3 out);
void RbdRPROJointSetRelativeAngularVelocity(RbdConstraintID c, const PxVector3 w);
void RbdRPROJointGetRelativeAngularVelocity(RbdConstraintID c, PxVector3 out);
/* Force (N) and torque (N m) bounds of the three linear and three angular
 * rows; 0 switches a row off. */
void RbdRPROJointSetLinearStrength(RbdConstraintID c, const PxVector3 strength);
void RbdRPROJointGetLinearStrength(RbdConstraintID c, PxVector3 out);
void RbdRPROJointSetAngularStrength(RbdConstraintID c, const PxVector3 strength);
void RbdRPROJointGetAngularStrength(RbdConstraintID c, PxVector3 out);

PX_EXTERN_C_END

#endif
