/* Rigid bodies of a dynamics world. Positions are metres, masses kg,
 * velocities m/s and rad/s, all vectors in world coordinates unless named
 * otherwise. Dynamics works on the centre-of-mass frame; the reference frame
 * (transform) is what callers and collision models read. */
#ifndef KELMAR_RBDBODY_H
#define KELMAR_RBDBODY_H

#include "PxMemory.h"
#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

/* A new disabled body at the origin with the defaults of RbdBodyReset, or
 * null when the pool is exhausted. */
RbdBodyID RbdBodyCreate(RbdWorldID world);
/* The same from a caller's pool of sizeof-body records; not part of any world. */
RbdBodyID RbdBodyCreateInPool(PxPool *pool);
/* Not provided: reports a fatal error and returns null. */
RbdBodyID RbdBodyCopy(RbdBodyID body);
/* Mass 1, inertia 0.4 x identity, at rest at the origin, disabled, not frozen. */
void RbdBodyReset(RbdBodyID body);
/* Removes the body from its world; its constraints are not touched. */
void RbdBodyDestroy(RbdBodyID body);
void RbdBodyDestroyInPool(RbdBodyID body, PxPool *pool);
void RbdBodyDestroyConstraints(RbdBodyID body);
void RbdBodyDisableConstraints(RbdBodyID body);

void RbdBodyEnable(RbdBodyID body);
void RbdBodyDisable(RbdBodyID body);
int RbdBodyIsEnabled(RbdBodyID body);
int32_t RbdBodyGetEnabledTime(RbdBodyID body);
/* Frozen: disabled and immovable for its constraints until unfrozen. */
void RbdBodyFreeze(RbdBodyID body);
void RbdBodyUnFreeze(RbdBodyID body);
int RbdBodyIsFrozen(RbdBodyID body);
/* A hint for walks over many bodies' contacts: asks the cache for the
 * lines of the body's record that a contact response reads (its pose and
 * whether it is enabled, frozen or a car wheel), without reading them.
 * Changes nothing; null is ignored, and the handle is not checked. */
void RbdBodyPrefetch(RbdBodyID body);
/* A name for messages (copied; null forgets it); 0 when memory is short. */
int RbdBodySetName(RbdBodyID body, const char *name);
const char *RbdBodyGetName(RbdBodyID body);

/* Masses the solver holds stiff against the default softness (kg): a
 * heavier body sinks into what it rests on, a lighter one under a body of
 * ordinary mass is pushed through. */
#define RBD_MASS_MIN 1e-6
#define RBD_MASS_MAX 1e6
/* Principal moments of inertia accepted (kg m^2). */
#define RBD_INERTIA_MIN 1e-12
#define RBD_INERTIA_MAX 1e12

/* Mass (kg, RBD_MASS_MIN .. RBD_MASS_MAX; others are refused with a
 * warning). SetMass leaves the inertia tensor as it is. */
void RbdBodySetMass(RbdBodyID body, PxReal mass);
/* Scales the inertia tensor by mass / oldMass, then sets the mass. */
void RbdBodySetMassAndScaleInertiaTensor(RbdBodyID body, PxReal mass);
PxReal RbdBodyGetMass(RbdBodyID body);
/* Why a tensor cannot be a body's inertia, or null when it can: it must be
 * finite and symmetric, its principal moments within RBD_INERTIA_MIN ..
 * RBD_INERTIA_MAX, and none larger than the sum of the other two (the
 * triangle inequality every rigid body's moments obey). */
const char *RbdInertiaTensorProblem(const PxMatrix3 inertia);
/* Inertia tensor about the centre of mass in its own frame (kg m^2, 3 x 3);
 * a tensor with a problem is refused with a warning that names it. */
void RbdBodySetInertiaTensor(RbdBodyID body, const PxMatrix3 inertia);
void RbdBodySetSphericalInertiaTensor(RbdBodyID body, PxReal inertia);
void RbdBodyGetInertiaTensor(RbdBodyID body, PxMatrix3 out);
/* Solid sphere: 0.4 m r^2 on the diagonal. */
void RbdMakeInertiaTensorSphere(PxReal mass, PxReal radius, PxMatrix3 out);
/* Solid box with edge lengths x, y, z. */
void RbdMakeInertiaTensorBox(PxReal mass, PxReal x, PxReal y, PxReal z, PxMatrix3 out);

/* Pose of the reference frame. A quaternion (w, x, y, z) whose squared norm
 * is within 1e-7 of 0 or 1 is stored as given, otherwise normalised. */
void RbdBodySetPosition(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodySetOrientation(RbdBodyID body, const PxMatrix3 rotation);
void RbdBodySetTransform(RbdBodyID body, const PxMatrix4 tm);
void RbdBodySetQuaternion(RbdBodyID body, PxReal w, PxReal x, PxReal y, PxReal z);
/* Moves the body while its enabled joints stay where they are in the world. */
void RbdBodySetTransformAndUpdateConstraintAttachments(RbdBodyID body, const PxMatrix4 tm);
void RbdBodyGetTransform(RbdBodyID body, PxMatrix4 out);
const PxReal (*RbdBodyGetTransformPtr(RbdBodyID body))[4];
void RbdBodyGetPosition(RbdBodyID body, PxVector3 out);
void RbdBodyGetOrientation(RbdBodyID body, PxMatrix3 out);
void RbdBodyGetQuaternion(RbdBodyID body, PxQuaternion out);
void RbdBodyGetCenterOfMassPosition(RbdBodyID body, PxVector3 out);
const PxReal (*RbdBodyGetCenterOfMassTransformPtr(RbdBodyID body))[4];
/* Centre-of-mass frame relative to the reference frame; joints stay in place. */
void RbdBodySetCenterOfMassRelativeTransform(RbdBodyID body, const PxMatrix4 tm);
void RbdBodyGetCenterOfMassRelativeTransform(RbdBodyID body, PxMatrix4 out);

/* Velocities of the centre of mass. */
void RbdBodySetLinearVelocity(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodyGetLinearVelocity(RbdBodyID body, PxVector3 out);
const PxReal *RbdBodyGetLinearVelocityPtr(RbdBodyID body);
void RbdBodySetAngularVelocity(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodyGetAngularVelocity(RbdBodyID body, PxVector3 out);
const PxReal *RbdBodyGetAngularVelocityPtr(RbdBodyID body);
void RbdBodyGetLinearAcceleration(RbdBodyID body, PxVector3 out);
void RbdBodyGetAngularAcceleration(RbdBodyID body, PxVector3 out);
/* Damping: force -linearDamping x v and torque -angularDamping x w each step. */
void RbdBodySetLinearVelocityDamping(RbdBodyID body, PxReal damping);
PxReal RbdBodyGetLinearVelocityDamping(RbdBodyID body);
void RbdBodySetAngularVelocityDamping(RbdBodyID body, PxReal damping);
PxReal RbdBodyGetAngularVelocityDamping(RbdBodyID body);
/* v + w x (point - comPosition); a null body gives zero. */
void RbdBodyGetVelocityAtPoint(RbdBodyID body, const PxVector3 point, PxVector3 out);
/* 0.5 (m |v|^2 + w^T I w), J. */
PxReal RbdBodyGetKineticEnergy(RbdBodyID body);

/* Forces and torques act for the next step only. */
void RbdBodyAddForce(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodyAddTorque(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodyAddForceAtPosition(RbdBodyID body, const PxVector3 force, const PxVector3 position);
/* Impulses (N s) are applied as impulse / h over the next step. */
void RbdBodyAddImpulse(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodyAddImpulseAtPosition(RbdBodyID body, const PxVector3 impulse, const PxVector3 position);
void RbdBodyResetForces(RbdBodyID body);
void RbdBodyGetForce(RbdBodyID body, PxVector3 out);
void RbdBodyGetTorque(RbdBodyID body, PxVector3 out);

/* A fast-spinning body turns about this world axis in a separate exact rotation. */
void RbdBodySetFastSpinAxis(RbdBodyID body, PxReal x, PxReal y, PxReal z);
void RbdBodySetNoFastSpinAxis(RbdBodyID body);
void RbdBodyGetFastSpinAxis(RbdBodyID body, PxVector3 out);
int RbdBodyHasFastSpinAxis(RbdBodyID body);

/* Calls fn(constraint, arg) for each enabled constraint attached to the body. */
void RbdBodyForAllConstraints(RbdBodyID body, RbdConstraintFunction fn, void *arg);
void RbdBodySetUserData(RbdBodyID body, void *data);
void *RbdBodyGetUserData(RbdBodyID body);
/* The collision model that follows the body (a CdxModelID), kept by the
 * simulation bridge's model-body link; null for a body without one. Reset
 * leaves it alone: the link belongs to the bridge. */
void RbdBodySetModel(RbdBodyID body, void *model);
void *RbdBodyGetModel(RbdBodyID body);
RbdWorldID RbdBodyGetWorld(RbdBodyID body);
int32_t RbdBodyGetPartition(RbdBodyID body);
/* Longest step (s) the body may take in the next safe-time step. */
void RbdBodySetSafeTime(RbdBodyID body, PxReal safeTime);
PxReal RbdBodyGetSafeTime(RbdBodyID body);

PX_EXTERN_C_END

#endif
