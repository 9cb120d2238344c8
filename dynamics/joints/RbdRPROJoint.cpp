// Relative position and orientation joint: three linear rows hold
// attachment point 1 on attachment point 0, three angular rows hold
// attachment frame 1 at the relative orientation within attachment frame 0;
// each row's force is bounded by its strength.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

void setIdentity(PxQuaternion q)
{
    q[0] = 1.0;
    q[1] = q[2] = q[3] = 0.0;
}

void resetData(RbdBaseConstraint *c)
{
    RbdRPROJointData *rpro = &c->data.rpro;
    for (int i = 0; i < 2; ++i) {
        setIdentity(rpro->attachmentQuaternion[i]);
        rpro->attachmentQuaternionSet[i] = 0;
    }
    setIdentity(rpro->relativeQuaternion);
    PxV3Zero(rpro->relativeLinearVelocity);
    PxV3Zero(rpro->relativeAngularVelocity);
    PxV3Set(rpro->linearStrength, RBD_REAL_MAX, RBD_REAL_MAX, RBD_REAL_MAX);
    PxV3Set(rpro->angularStrength, RBD_REAL_MAX, RBD_REAL_MAX, RBD_REAL_MAX);
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_RPROJOINT, 6, 0, 6, RbdBclAddRPROJoint, nullptr, nullptr, resetData};

bool isRPRO(const RbdBaseConstraint *c, const char *function)
{
    return RbdConstraintCheckType(c, RBD_TYPE_RPROJOINT, function) != 0;
}

bool checkQuaternion(const PxQuaternion q, const char *function)
{
    PxReal normSquared = q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3];
    if (isfinite(normSquared) && normSquared > 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the quaternion is zero or not finite; ignored.\n", function);
    return false;
}

void normalizedCopy(PxQuaternion out, const PxQuaternion q)
{
    PxReal norm = sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (int i = 0; i < 4; ++i) out[i] = q[i] / norm;
}

bool checkStrength(const PxVector3 strength, const char *function)
{
    if (strength[0] >= 0.0 && strength[1] >= 0.0 && strength[2] >= 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: strengths must be >= 0; ignored.\n", function);
    return false;
}

// Rows: the axes of attachment frame i in world coordinates. The
// attachment orientation is relative to the body's reference frame.
void attachmentAxes(const RbdBaseConstraint *c, int i, PxMatrix3 axes)
{
    PxMatrix3 local;
    PxQuaternionToMatrix3(local, c->data.rpro.attachmentQuaternion[i]);
    const RbdBody *body = c->body[i];
    for (int k = 0; k < 3; ++k) {
        if (body)
            PxV3MulTMDir(axes[k], local[k], body->transform);
        else
            PxV3Copy(axes[k], local[k]);
    }
}

// A vector given in attachment frame 0, in world coordinates.
void fromFrame0(const PxMatrix3 axes0, const PxVector3 v, PxVector3 out)
{
    PxV3MulM3(out, v, axes0);
}

void applyStrength(RbdLcsConstraints *list, int32_t row, PxReal strength)
{
    if (strength == 0.0) {
        // A row of strength 0 is switched off.
        RbdBclClearRow(list, row);
        list->lo[row] = list->hi[row] = 0.0;
        return;
    }
    list->lo[row] = -strength;
    list->hi[row] = strength;
}

} // namespace

RbdConstraintID RbdRPROJointCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdRPROJointCreate");
}

RbdConstraintID RbdRPROJointCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdRPROJointCreateInPool") : nullptr;
}

void RbdRPROJointReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdRPROJointReset");
}

void RbdRPROJointSetAttachmentQuaternion(RbdConstraintID c, const PxQuaternion q, int32_t bodyIndex)
{
    if (!isRPRO(c, "RbdRPROJointSetAttachmentQuaternion") ||
        !RbdCheckBodyIndex(bodyIndex, "RbdRPROJointSetAttachmentQuaternion") ||
        !checkQuaternion(q, "RbdRPROJointSetAttachmentQuaternion"))
        return;
    normalizedCopy(c->data.rpro.attachmentQuaternion[bodyIndex], q);
    c->data.rpro.attachmentQuaternionSet[bodyIndex] = 1;
}

void RbdRPROJointGetAttachmentQuaternion(RbdConstraintID c, int32_t bodyIndex, PxQuaternion out)
{
    setIdentity(out);
    if (!isRPRO(c, "RbdRPROJointGetAttachmentQuaternion") ||
        !RbdCheckBodyIndex(bodyIndex, "RbdRPROJointGetAttachmentQuaternion"))
        return;
    for (int k = 0; k < 4; ++k) out[k] = c->data.rpro.attachmentQuaternion[bodyIndex][k];
}

int RbdRPROJointIsAttachmentQuaternionSet(RbdConstraintID c, int32_t bodyIndex)
{
    if (!isRPRO(c, "RbdRPROJointIsAttachmentQuaternionSet") ||
        !RbdCheckBodyIndex(bodyIndex, "RbdRPROJointIsAttachmentQuaternionSet"))
        return 0;
    return c->data.rpro.attachmentQuaternionSet[bodyIndex];
}

void RbdRPROJointSetRelativeQuaternion(RbdConstraintID c, const PxQuaternion q)
{
    if (isRPRO(c, "RbdRPROJointSetRelativeQuaternion") && checkQuaternion(q, "RbdRPROJointSetRelativeQuaternion"))
        normalizedCopy(c->data.rpro.relativeQuaternion, q);
}

void RbdRPROJointGetRelativeQuaternion(RbdConstraintID c, PxQuaternion out)
{
    setIdentity(out);
    if (isRPRO(c, "RbdRPROJointGetRelativeQuaternion"))
        for (int k = 0; k < 4; ++k) out[k] = c->data.rpro.relativeQuaternion[k];
}

void RbdRPROJointSetRelativeLinearVelocity(RbdConstraintID c, const PxVector3 v)
{
    if (isRPRO(c, "RbdRPROJointSetRelativeLinearVelocity") &&
        RbdCheckFinite3(v[0], v[1], v[2], "RbdRPROJointSetRelativeLinearVelocity"))
        PxV3Copy(c->data.rpro.relativeLinearVelocity, v);
}

void RbdRPROJointGetRelativeLinearVelocity(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (isRPRO(c, "RbdRPROJointGetRelativeLinearVelocity")) PxV3Copy(out, c->data.rpro.relativeLinearVelocity);
}

void RbdRPROJointSetRelativeAngularVelocity(RbdConstraintID c, const PxVector3 w)
{
    if (isRPRO(c, "RbdRPROJointSetRelativeAngularVelocity") &&
        RbdCheckFinite3(w[0], w[1], w[2], "RbdRPROJointSetRelativeAngularVelocity"))
        PxV3Copy(c->data.rpro.relativeAngularVelocity, w);
}

void RbdRPROJointGetRelativeAngularVelocity(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (isRPRO(c, "RbdRPROJointGetRelativeAngularVelocity")) PxV3Copy(out, c->data.rpro.relativeAngularVelocity);
}

void RbdRPROJointSetLinearStrength(RbdConstraintID c, const PxVector3 strength)
{
    if (isRPRO(c, "RbdRPROJointSetLinearStrength") && checkStrength(strength, "RbdRPROJointSetLinearStrength"))
        PxV3Copy(c->data.rpro.linearStrength, strength);
}

void RbdRPROJointGetLinearStrength(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (isRPRO(c, "RbdRPROJointGetLinearStrength")) PxV3Copy(out, c->data.rpro.linearStrength);
}

void RbdRPROJointSetAngularStrength(RbdConstraintID c, const PxVector3 strength)
{
    if (isRPRO(c, "RbdRPROJointSetAngularStrength") && checkStrength(strength, "RbdRPROJointSetAngularStrength"))
        PxV3Copy(c->data.rpro.angularStrength, strength);
}

void RbdRPROJointGetAngularStrength(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (isRPRO(c, "RbdRPROJointGetAngularStrength")) PxV3Copy(out, c->data.rpro.angularStrength);
}

void RbdBclAddRPROJoint(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    const RbdRPROJointData *rpro = &c->data.rpro;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    PxMatrix3 axes0, axes1, relative, target;
    attachmentAxes(c, 0, axes0);
    attachmentAxes(c, 1, axes1);
    // Target axes of frame 1: the relative orientation's axes expressed through frame 0.
    PxQuaternionToMatrix3(relative, rpro->relativeQuaternion);
    PxM3Mul(target, relative, axes0);

    // Rows 0-2: phi = p0 - p1 changes at J v; the target relative velocity
    // of point 1 from point 0, v_rel, asks for d(p1 - p0)/dt = v_rel, so J v = -v_rel.
    RbdBclAddSphericalRowsWorld(list, row, c, &f);
    PxVector3 linearTarget, angularTarget;
    fromFrame0(axes0, rpro->relativeLinearVelocity, linearTarget);
    fromFrame0(axes0, rpro->relativeAngularVelocity, angularTarget);
    for (int k = 0; k < 3; ++k) list->c[row + k] = -linearTarget[k];

    // Rows 3-5: frame 1 aligned with the target frame about each axis; the
    // row J v = g . (w0 - w1), so w1 - w0 = w_rel asks for J v = -g . w_rel.
    const int next[3] = {1, 2, 0};
    for (int k = 0; k < 3; ++k) {
        int u = next[k], w = next[next[k]];
        PxVector3 g;
        RbdBclSetOrientationRow(list, row + 3 + k, c, target[u], target[w], axes1[u], axes1[w], g);
        list->c[row + 3 + k] = -PxV3Dot(g, angularTarget);
    }
    for (int k = 0; k < 3; ++k) {
        applyStrength(list, row + k, rpro->linearStrength[k]);
        applyStrength(list, row + 3 + k, rpro->angularStrength[k]);
    }
    // The joint drives towards the relative pose the program set, bounded by
    // its strengths, not by the correction bound of joint errors.
    for (int k = 0; k < 6; ++k) list->correction[row + k] = RBD_CORRECTION_DRIVEN;
    RbdBclEndConstraint(list, c, 6);
}
