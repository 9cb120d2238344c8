// Body pose: the reference and centre-of-mass frames, pose setters and
// getters, and keeping attached joints in place when a body is moved.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

// Tolerance for accepting a caller's rotation matrix as orthonormal.
const PxReal ROTATION_TOLERANCE = 1e-4;

// An infinite or NaN element makes some row product NaN or infinite, which
// the orientation test rejects, so finiteness needs no pass of its own.
bool checkRotation(const PxReal rotation[3][3], const char *function)
{
    if (PxMatrix3IsValidOrientationMatrix(rotation, ROTATION_TOLERANCE)) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the matrix is not a rotation; ignored.\n", function);
    return false;
}

bool checkTransform(const PxMatrix4 tm, const char *function)
{
    PxMatrix3 rotation;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rotation[i][j] = tm[i][j];
    if (!checkRotation(rotation, function)) return false;
    return RbdCheckFinite3(tm[3][0], tm[3][1], tm[3][2], function);
}

void setRotation(PxMatrix4 tm, const PxReal rotation[3][3])
{
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) tm[i][j] = rotation[i][j];
        tm[i][3] = 0.0;
    }
}

// Attachment frame i of c, expressed in world coordinates through the
// centre-of-mass frame com.
void attachmentToWorld(const RbdBaseConstraint *c, int i, const PxReal com[4][4], PxMatrix4 world)
{
    PxM4Identity(world);
    for (int axis = 0; axis < 3; ++axis) PxV3MulTMDir(world[axis], c->attachment[i][axis], com);
    PxV3MulTM(world[3], c->attachment[i][3], com);
}

void attachmentFromWorld(RbdBaseConstraint *c, int i, const PxReal com[4][4], const PxMatrix4 world)
{
    for (int axis = 0; axis < 3; ++axis) PxV3MulTMDirInverse(c->attachment[i][axis], world[axis], com);
    PxV3MulTMInverse(c->attachment[i][3], world[3], com);
}

// Re-expresses, in the body's new centre-of-mass frame, the attachment of
// every enabled non-contact constraint so that it stays where it was in the
// world while the body frame was oldCom.
void keepAttachmentsInWorld(RbdBody *body, const PxMatrix4 oldCom)
{
    for (RbdConstraintNode *node = body->constraints; node; node = node->next) {
        RbdBaseConstraint *c = node->constraint;
        if (c->typeId == RBD_TYPE_CONTACT) continue;
        int i = c->body[0] == body ? 0 : 1;
        PxMatrix4 world;
        attachmentToWorld(c, i, oldCom, world);
        attachmentFromWorld(c, i, body->lcs.comTransform, world);
    }
}

} // namespace

void RbdBodyUpdateWorldInertia(RbdBody *body)
{
    // Body-frame vectors become world vectors as x R (rows of R are the body
    // axes), so the world tensor is R^T I R.
    RbdLcsBody *lcs = &body->lcs;
    PxMatrix3 rotation, rotationT, product;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rotation[i][j] = lcs->comTransform[i][j];
    PxM3Transpose(rotationT, rotation);
    PxM3Mul(product, rotationT, lcs->inertiaBody);
    PxM3Mul(lcs->inertiaWorld, product, rotation);
    PxM3Mul(product, rotationT, lcs->invInertiaBody);
    PxM3Mul(lcs->invInertiaWorld, product, rotation);
}

void RbdBodyUpdateComFromTransform(RbdBody *body)
{
    if (body->useComOffset)
        PxMatrix4TMCompound(body->lcs.comTransform, body->transform, body->comRelativeTransform);
    else
        PxM4Copy(body->lcs.comTransform, body->transform);
    PxQuaternionFromTM(body->lcs.quaternion, body->lcs.comTransform);
    // A frozen body never reaches the solver, so its world tensors wait for
    // the unfreeze; a hand placed link by link then pays for them once.
    if (!body->frozen) RbdBodyUpdateWorldInertia(body);
}

void RbdBodyUpdateTransformFromCom(RbdBody *body)
{
    if (body->useComOffset)
        PxMatrix4TMCompound(body->transform, body->lcs.comTransform, body->comRelativeInverse);
    else
        PxM4Copy(body->transform, body->lcs.comTransform);
}

void RbdBodySetPosition(RbdBodyID body, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckBody(body, "RbdBodySetPosition") || !RbdCheckFinite3(x, y, z, "RbdBodySetPosition")) return;
    PxV3Set(body->transform[3], x, y, z);
    RbdBodyUpdateComFromTransform(body);
}

void RbdBodySetOrientation(RbdBodyID body, const PxMatrix3 rotation)
{
    if (!RbdCheckBody(body, "RbdBodySetOrientation") || !checkRotation(rotation, "RbdBodySetOrientation")) return;
    setRotation(body->transform, rotation);
    RbdBodyUpdateComFromTransform(body);
}

void RbdBodySetTransform(RbdBodyID body, const PxMatrix4 tm)
{
    if (!RbdCheckBody(body, "RbdBodySetTransform") || !checkTransform(tm, "RbdBodySetTransform")) return;
    PxM4Copy(body->transform, tm);
    body->transform[0][3] = body->transform[1][3] = body->transform[2][3] = 0.0;
    body->transform[3][3] = 1.0;
    RbdBodyUpdateComFromTransform(body);
}

void RbdBodySetQuaternion(RbdBodyID body, PxReal w, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckBody(body, "RbdBodySetQuaternion")) return;
    if (!isfinite(w) || !RbdCheckFinite3(x, y, z, "RbdBodySetQuaternion")) return;
    PxQuaternion q = {w, x, y, z};
    PxReal normSquared = w * w + x * x + y * y + z * z;
    // Near-zero and near-unit quaternions are kept exactly as given.
    if (fabs(normSquared) >= 1e-7 && fabs(normSquared - 1.0) >= 1e-7) {
        PxReal norm = sqrt(normSquared);
        for (int i = 0; i < 4; ++i) q[i] /= norm;
    }
    PxMatrix3 rotation;
    PxQuaternionToMatrix3(rotation, q);
    setRotation(body->transform, rotation);
    RbdBodyUpdateComFromTransform(body);
    if (!body->useComOffset)
        for (int i = 0; i < 4; ++i) body->lcs.quaternion[i] = q[i];
}

void RbdBodySetTransformAndUpdateConstraintAttachments(RbdBodyID body, const PxMatrix4 tm)
{
    if (!RbdCheckBody(body, "RbdBodySetTransformAndUpdateConstraintAttachments")) return;
    if (!checkTransform(tm, "RbdBodySetTransformAndUpdateConstraintAttachments")) return;
    PxMatrix4 oldCom;
    PxM4Copy(oldCom, body->lcs.comTransform);
    RbdBodySetTransform(body, tm);
    keepAttachmentsInWorld(body, oldCom);
}

void RbdBodyGetTransform(RbdBodyID body, PxMatrix4 out)
{
    if (RbdCheckBody(body, "RbdBodyGetTransform"))
        PxM4Copy(out, body->transform);
    else
        PxM4Identity(out);
}

const PxReal (*RbdBodyGetTransformPtr(RbdBodyID body))[4]
{
    return RbdCheckBody(body, "RbdBodyGetTransformPtr") ? body->transform : nullptr;
}

void RbdBodyGetPosition(RbdBodyID body, PxVector3 out)
{
    if (RbdCheckBody(body, "RbdBodyGetPosition"))
        PxV3Copy(out, body->transform[3]);
    else
        PxV3Zero(out);
}

void RbdBodyGetOrientation(RbdBodyID body, PxMatrix3 out)
{
    PxM3Identity(out);
    if (!RbdCheckBody(body, "RbdBodyGetOrientation")) return;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = body->transform[i][j];
}

void RbdBodyGetQuaternion(RbdBodyID body, PxQuaternion out)
{
    if (!RbdCheckBody(body, "RbdBodyGetQuaternion")) {
        out[0] = 1.0;
        out[1] = out[2] = out[3] = 0.0;
        return;
    }
    // Without a centre-of-mass offset the solver's quaternion is the
    // reference frame's, exactly as it was set or integrated.
    if (body->useComOffset)
        PxQuaternionFromTM(out, body->transform);
    else
        for (int i = 0; i < 4; ++i) out[i] = body->lcs.quaternion[i];
}

void RbdBodyGetCenterOfMassPosition(RbdBodyID body, PxVector3 out)
{
    if (RbdCheckBody(body, "RbdBodyGetCenterOfMassPosition"))
        PxV3Copy(out, RbdBodyComPosition(body));
    else
        PxV3Zero(out);
}

const PxReal (*RbdBodyGetCenterOfMassTransformPtr(RbdBodyID body))[4]
{
    return RbdCheckBody(body, "RbdBodyGetCenterOfMassTransformPtr") ? body->lcs.comTransform : nullptr;
}

void RbdBodySetCenterOfMassRelativeTransform(RbdBodyID body, const PxMatrix4 tm)
{
    if (!RbdCheckBody(body, "RbdBodySetCenterOfMassRelativeTransform")) return;
    if (!checkTransform(tm, "RbdBodySetCenterOfMassRelativeTransform")) return;
    PxMatrix4 oldCom;
    PxM4Copy(oldCom, body->lcs.comTransform);
    PxM4Copy(body->comRelativeTransform, tm);
    body->comRelativeTransform[0][3] = body->comRelativeTransform[1][3] = body->comRelativeTransform[2][3] = 0.0;
    body->comRelativeTransform[3][3] = 1.0;
    PxM4Copy(body->comRelativeInverse, body->comRelativeTransform);
    PxMatrix4TMInvert(body->comRelativeInverse);
    body->useComOffset = 1;
    RbdBodyUpdateComFromTransform(body);
    keepAttachmentsInWorld(body, oldCom);
}

void RbdBodyGetCenterOfMassRelativeTransform(RbdBodyID body, PxMatrix4 out)
{
    if (RbdCheckBody(body, "RbdBodyGetCenterOfMassRelativeTransform"))
        PxM4Copy(out, body->comRelativeTransform);
    else
        PxM4Identity(out);
}
