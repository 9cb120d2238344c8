// Body velocities, damping, energy, forces, impulses, the fast-spin axis
// and the remaining per-body fields.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

// torque += (position - comPosition) x force
void addMoment(PxVector3 torque, const RbdBody *body, const PxVector3 force, const PxVector3 position)
{
    PxVector3 arm, moment;
    PxV3Sub(arm, position, RbdBodyComPosition(body));
    PxV3Cross(moment, arm, force);
    PxV3Add(torque, torque, moment);
}

bool checkFiniteVector(const PxVector3 v, const char *function)
{
    return RbdCheckFinite3(v[0], v[1], v[2], function);
}

void copyOrZero(PxVector3 out, const RbdBody *body, const PxReal *value, const char *function)
{
    if (RbdCheckBody(body, function))
        PxV3Copy(out, value);
    else
        PxV3Zero(out);
}

} // namespace

void RbdBodySetLinearVelocity(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (RbdCheckBody(body, "RbdBodySetLinearVelocity") && RbdCheckFinite3(x, y, z, "RbdBodySetLinearVelocity"))
        PxV3Set(body->lcs.linearVelocity, x, y, z);
}
void RbdBodyGetLinearVelocity(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.linearVelocity : nullptr, "RbdBodyGetLinearVelocity");
}
const PxReal *RbdBodyGetLinearVelocityPtr(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetLinearVelocityPtr") ? body->lcs.linearVelocity : nullptr;
}
void RbdBodySetAngularVelocity(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (RbdCheckBody(body, "RbdBodySetAngularVelocity") && RbdCheckFinite3(x, y, z, "RbdBodySetAngularVelocity"))
        PxV3Set(body->lcs.angularVelocity, x, y, z);
}
void RbdBodyGetAngularVelocity(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.angularVelocity : nullptr, "RbdBodyGetAngularVelocity");
}
const PxReal *RbdBodyGetAngularVelocityPtr(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetAngularVelocityPtr") ? body->lcs.angularVelocity : nullptr;
}
void RbdBodyGetLinearAcceleration(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.linearAcceleration : nullptr, "RbdBodyGetLinearAcceleration");
}
void RbdBodyGetAngularAcceleration(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.angularAcceleration : nullptr, "RbdBodyGetAngularAcceleration");
}

void RbdBodySetLinearVelocityDamping(RbdBodyID body, PxReal damping)
{
    if (RbdCheckBody(body, "RbdBodySetLinearVelocityDamping") &&
        RbdCheckFinite3(damping, 0.0, 0.0, "RbdBodySetLinearVelocityDamping"))
        body->linearVelocityDamping = damping;
}
PxReal RbdBodyGetLinearVelocityDamping(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetLinearVelocityDamping") ? body->linearVelocityDamping : 0.0;
}
void RbdBodySetAngularVelocityDamping(RbdBodyID body, PxReal damping)
{
    if (RbdCheckBody(body, "RbdBodySetAngularVelocityDamping") &&
        RbdCheckFinite3(damping, 0.0, 0.0, "RbdBodySetAngularVelocityDamping"))
        body->angularVelocityDamping = damping;
}
PxReal RbdBodyGetAngularVelocityDamping(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetAngularVelocityDamping") ? body->angularVelocityDamping : 0.0;
}

void RbdBodyGetVelocityAtPoint(RbdBodyID body, const PxVector3 point, PxVector3 out)
{
    if (!RbdCheckBody(body, "RbdBodyGetVelocityAtPoint")) {
        PxV3Zero(out);
        return;
    }
    PxVector3 arm, spin;
    PxV3Sub(arm, point, RbdBodyComPosition(body));
    PxV3Cross(spin, body->lcs.angularVelocity, arm);
    PxV3Add(out, body->lcs.linearVelocity, spin);
}

PxReal RbdBodyGetKineticEnergy(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyGetKineticEnergy")) return 0.0;
    if (body->frozen) RbdBodyUpdateWorldInertia(body); // not kept while frozen
    const RbdLcsBody *lcs = &body->lcs;
    PxVector3 angularMomentum;
    PxV3MulM3T(angularMomentum, lcs->angularVelocity, lcs->inertiaWorld); // I w
    return 0.5 *
           (lcs->mass * PxV3LengthSquared(lcs->linearVelocity) + PxV3Dot(lcs->angularVelocity, angularMomentum));
}

void RbdBodyAddForce(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckBody(body, "RbdBodyAddForce") || !RbdCheckFinite3(x, y, z, "RbdBodyAddForce")) return;
    PxVector3 force = {x, y, z};
    PxV3Add(body->lcs.force, body->lcs.force, force);
}

void RbdBodyAddTorque(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckBody(body, "RbdBodyAddTorque") || !RbdCheckFinite3(x, y, z, "RbdBodyAddTorque")) return;
    PxVector3 torque = {x, y, z};
    PxV3Add(body->lcs.torque, body->lcs.torque, torque);
}

void RbdBodyAddForceAtPosition(RbdBodyID body, const PxVector3 force, const PxVector3 position)
{
    if (!RbdCheckBody(body, "RbdBodyAddForceAtPosition") || !checkFiniteVector(force, "RbdBodyAddForceAtPosition") ||
        !checkFiniteVector(position, "RbdBodyAddForceAtPosition"))
        return;
    PxV3Add(body->lcs.force, body->lcs.force, force);
    addMoment(body->lcs.torque, body, force, position);
}

void RbdBodyAddImpulse(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckBody(body, "RbdBodyAddImpulse") || !RbdCheckFinite3(x, y, z, "RbdBodyAddImpulse")) return;
    PxVector3 impulse = {x, y, z};
    PxV3Add(body->linearImpulse, body->linearImpulse, impulse);
    body->impulsePending = 1;
}

void RbdBodyAddImpulseAtPosition(RbdBodyID body, const PxVector3 impulse, const PxVector3 position)
{
    if (!RbdCheckBody(body, "RbdBodyAddImpulseAtPosition") ||
        !checkFiniteVector(impulse, "RbdBodyAddImpulseAtPosition") ||
        !checkFiniteVector(position, "RbdBodyAddImpulseAtPosition"))
        return;
    PxV3Add(body->linearImpulse, body->linearImpulse, impulse);
    addMoment(body->angularImpulse, body, impulse, position);
    body->impulsePending = 1;
}

void RbdBodyResetForces(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyResetForces")) return;
    PxV3Zero(body->lcs.force);
    PxV3Zero(body->lcs.torque);
}

void RbdBodyGetForce(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.force : nullptr, "RbdBodyGetForce");
}

void RbdBodyGetTorque(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.torque : nullptr, "RbdBodyGetTorque");
}

void RbdBodySetFastSpinAxis(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckBody(body, "RbdBodySetFastSpinAxis") || !RbdCheckFinite3(x, y, z, "RbdBodySetFastSpinAxis")) return;
    PxVector3 axis = {x, y, z};
    if (PxV3Normalize(axis) == 0.0) PxV3Set(axis, 1.0, 0.0, 0.0);
    PxV3Copy(body->lcs.fastSpinAxis, axis);
    body->lcs.flags |= RBD_LCS_BODY_FAST_SPIN;
}

void RbdBodySetNoFastSpinAxis(RbdBodyID body)
{
    if (RbdCheckBody(body, "RbdBodySetNoFastSpinAxis")) body->lcs.flags &= ~RBD_LCS_BODY_FAST_SPIN;
}

void RbdBodyGetFastSpinAxis(RbdBodyID body, PxVector3 out)
{
    copyOrZero(out, body, body ? body->lcs.fastSpinAxis : nullptr, "RbdBodyGetFastSpinAxis");
}

int RbdBodyHasFastSpinAxis(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyHasFastSpinAxis") && (body->lcs.flags & RBD_LCS_BODY_FAST_SPIN) != 0;
}

void RbdBodyForAllConstraints(RbdBodyID body, RbdConstraintFunction fn, void *arg)
{
    if (!RbdCheckBody(body, "RbdBodyForAllConstraints") || !fn) return;
    // The next node is read first so that fn may disable the constraint it is given.
    for (RbdConstraintNode *node = body->constraints, *next; node; node = next) {
        next = node->next;
        fn(node->constraint, arg);
    }
}

void RbdBodySetUserData(RbdBodyID body, void *data)
{
    if (RbdCheckBody(body, "RbdBodySetUserData")) body->userData = data;
}
void *RbdBodyGetUserData(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetUserData") ? body->userData : nullptr;
}
void RbdBodySetModel(RbdBodyID body, void *model)
{
    if (RbdCheckBody(body, "RbdBodySetModel")) body->model = model;
}
void *RbdBodyGetModel(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetModel") ? body->model : nullptr;
}
RbdWorldID RbdBodyGetWorld(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetWorld") ? body->world : nullptr;
}
int32_t RbdBodyGetPartition(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetPartition") ? body->partitionIndex : -1;
}
void RbdBodySetSafeTime(RbdBodyID body, PxReal safeTime)
{
    if (!RbdCheckBody(body, "RbdBodySetSafeTime")) return;
    if (!(safeTime >= 0.0)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBodySetSafeTime: %g is not >= 0; ignored.\n", safeTime);
        return;
    }
    body->safeTime = safeTime;
}
PxReal RbdBodyGetSafeTime(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetSafeTime") ? body->safeTime : 0.0;
}
