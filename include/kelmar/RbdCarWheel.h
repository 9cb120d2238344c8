/* Car wheel: body 0 the chassis, body 1 the wheel. The wheel turns freely
 * about its hinge axis (body 1's secondary axis), steers about the steering
 * axis (body 0's primary axis) and moves along it on a spring-damper
 * suspension (5 rows, 6 with a hinge motor). Angles are those of the wheel
 * relative to the chassis (rad); the suspension height is the displacement
 * of the wheel centre along the steering axis (m). */
#ifndef KELMAR_RBDCARWHEEL_H
#define KELMAR_RBDCARWHEEL_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

RbdConstraintID RbdCarWheelCreate(RbdWorldID world);
RbdConstraintID RbdCarWheelCreateInPool(PxPool *pool);
void RbdCarWheelReset(RbdConstraintID c);

/* Wheel centre (both attachments) and the two axes, world coordinates. */
void RbdCarWheelSetPosition(RbdConstraintID c, PxReal x, PxReal y, PxReal z);
void RbdCarWheelGetPosition(RbdConstraintID c, PxVector3 out);
void RbdCarWheelSetSteeringAxis(RbdConstraintID c, PxReal x, PxReal y, PxReal z);
void RbdCarWheelGetSteeringAxis(RbdConstraintID c, PxVector3 out);
void RbdCarWheelSetHingeAxis(RbdConstraintID c, PxReal x, PxReal y, PxReal z);
void RbdCarWheelGetHingeAxis(RbdConstraintID c, PxVector3 out);

/* Steering: a motor (rad/s, at most maxForce N m), or a lock at an angle. */
void RbdCarWheelSetSteeringLimitedForceMotor(RbdConstraintID c, PxReal velocity, PxReal maxForce);
PxReal RbdCarWheelGetSteeringMotorVelocity(RbdConstraintID c);
PxReal RbdCarWheelGetSteeringMotorMaxForce(RbdConstraintID c);
void RbdCarWheelSetSteeringLock(RbdConstraintID c, int on);
int RbdCarWheelGetSteeringLock(RbdConstraintID c);
/* Stores the desired angle (rad) and locks the steering there. */
void RbdCarWheelSetSteeringAngle(RbdConstraintID c, PxReal angle);
PxReal RbdCarWheelGetDesiredSteeringAngle(RbdConstraintID c);
void RbdCarWheelSetSteeringMaxForce(RbdConstraintID c, PxReal maxForce);
PxReal RbdCarWheelGetSteeringMaxForce(RbdConstraintID c);

/* Hinge motor (rad/s, N m); a maximum force up to 0.0001 switches it off. */
void RbdCarWheelSetHingeLimitedForceMotor(RbdConstraintID c, PxReal velocity, PxReal maxForce);
PxReal RbdCarWheelGetHingeMotorVelocity(RbdConstraintID c);
PxReal RbdCarWheelGetHingeMotorMaxForce(RbdConstraintID c);

/* Suspension: stiffness kp (N/m) and damping kd (N s/m) about the reference
 * height, stops at the low and high heights (m) with softness limitSoftness. */
void RbdCarWheelSetSuspension(RbdConstraintID c, PxReal kp, PxReal kd, PxReal limitSoftness, PxReal lowLimit,
                              PxReal highLimit, PxReal reference);
void RbdCarWheelGetSuspension(RbdConstraintID c, PxReal *kp, PxReal *kd, PxReal *limitSoftness, PxReal *lowLimit,
                              PxReal *highLimit, PxReal *reference);

/* Measured from the current poses and velocities. */
PxReal RbdCarWheelGetHingeAngle(RbdConstraintID c);
PxReal RbdCarWheelGetHingeAngleRate(RbdConstraintID c);
PxReal RbdCarWheelGetSteeringAngle(RbdConstraintID c);
PxReal RbdCarWheelGetSteeringAngleRate(RbdConstraintID c);
PxReal RbdCarWheelGetSuspensionHeight(RbdConstraintID c);
PxReal RbdCarWheelGetSuspensionRate(RbdConstraintID c);

/* For the wheel body of a car wheel: points the primary friction of each
 * contact of the chain along the rolling direction (normal x hinge axis). */
void RbdCarWheelUpdateWheelFrictionDirection(RbdBodyID wheelBody, RbdContactID firstContact);
/* Whether the body is the wheel (body 1) of an enabled car-wheel joint; it
 * answers without walking the body's constraints. */
int RbdBodyIsCarWheel(RbdBodyID body);

PX_EXTERN_C_END

#endif
