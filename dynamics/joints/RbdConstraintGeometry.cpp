// Attachment frames of constraints: world-coordinate setters and getters,
// body-frame variants, and conversions between body frames.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

bool checkVector(const PxVector3 v, const char *function)
{
    return RbdCheckFinite3(v[0], v[1], v[2], function);
}

bool isContact(const RbdBaseConstraint *c)
{
    return c->typeId == RBD_TYPE_CONTACT;
}

// A direction or point given in a body's reference frame, in world coordinates.
void bodyDirectionToWorld(const RbdBody *body, const PxVector3 v, PxVector3 out)
{
    if (body)
        PxV3MulTMDir(out, v, body->transform);
    else
        PxV3Copy(out, v);
}

// Axis k of attachment i in world coordinates, as
// RbdConstraintAttachmentToWorld gives it.
void attachmentAxisToWorld(const RbdBaseConstraint *c, int i, int k, PxVector3 out)
{
    const PxReal(*com)[4] = c->comTransform[i];
    if (com)
        PxV3MulTMDir(out, c->attachment[i][k], com);
    else
        PxV3Copy(out, c->attachment[i][k]);
}

void setBodyAxesWorld(RbdBaseConstraint *c, int i, const PxVector3 primary, const PxVector3 secondary)
{
    PxMatrix4 world;
    RbdConstraintAttachmentToWorld(c, i, world);
    PxMatrix4 frame;
    RbdMakeFrame(primary, secondary, frame);
    for (int axis = 0; axis < 3; ++axis) PxV3Copy(world[axis], frame[axis]);
    RbdConstraintAttachmentFromWorld(c, i, world);
}

void setBodyPositionWorld(RbdBaseConstraint *c, int i, const PxVector3 position)
{
    if (c->comTransform[i])
        PxV3MulTMInverse(c->attachment[i][3], position, c->comTransform[i]);
    else
        PxV3Copy(c->attachment[i][3], position);
}

} // namespace

void RbdNormalizeAxis(PxVector3 axis)
{
    PxReal lengthSquared = PxV3LengthSquared(axis);
    if (fabs(lengthSquared - 1.0) < 1e-7) return;
    if (lengthSquared == 0.0)
        PxV3Set(axis, 1.0, 0.0, 0.0);
    else
        PxV3Scale(axis, axis, 1.0 / sqrt(lengthSquared));
}

void RbdMakeFrame(const PxVector3 primary, const PxVector3 secondary, PxMatrix4 frame)
{
    // The axes made in locals, then stored: frame may alias primary or
    // secondary as far as the compiler knows, and would be reloaded.
    PxVector3 a, s, c;
    PxV3Copy(a, primary);
    RbdNormalizeAxis(a);
    bool made = false;
    if (secondary) {
        PxV3AddScaled(s, secondary, a, -PxV3Dot(secondary, a));
        made = PxV3Normalize(s) > 1e-9 * (1.0 + PxV3Length(secondary));
    }
    if (!made) RbdStandardPerpendicular(a, s);
    PxV3Cross(c, a, s);
    const PxReal *axes[3] = {a, s, c};
    for (int row = 0; row < 3; ++row) {
        PxV3Copy(frame[row], axes[row]);
        frame[row][3] = 0.0;
    }
    PxV3Zero(frame[3]);
    frame[3][3] = 1.0;
}

void RbdConstraintAttachmentToWorld(const RbdBaseConstraint *c, int i, PxMatrix4 world)
{
    const PxReal(*com)[4] = c->comTransform[i];
    if (!com) {
        PxM4Copy(world, c->attachment[i]);
        return;
    }
    // Through a local copy: world may not alias the constraint's frames, and
    // the compiler need not reload them after every store.
    PxMatrix4 out;
    for (int axis = 0; axis < 3; ++axis) {
        PxV3MulTMDir(out[axis], c->attachment[i][axis], com);
        out[axis][3] = 0.0;
    }
    PxV3MulTM(out[3], c->attachment[i][3], com);
    out[3][3] = 1.0;
    PxM4Copy(world, out);
}

void RbdConstraintAttachmentFromWorld(RbdBaseConstraint *c, int i, const PxMatrix4 world)
{
    const PxReal(*com)[4] = c->comTransform[i];
    if (!com) {
        PxM4Copy(c->attachment[i], world);
        return;
    }
    // Through a local copy, as RbdConstraintAttachmentToWorld: the compiler
    // need not reload the body's frame after every store to the attachment.
    PxReal out[4][3];
    for (int axis = 0; axis < 3; ++axis) PxV3MulTMDirInverse(out[axis], world[axis], com);
    PxV3MulTMInverse(out[3], world[3], com);
    for (int row = 0; row < 4; ++row) PxV3Copy(c->attachment[i][row], out[row]);
}

void BaseConstraintSetAxis(RbdBaseConstraint *c, PxReal x, PxReal y, PxReal z)
{
    PxVector3 axis = {x, y, z};
    for (int i = 0; i < 2; ++i) setBodyAxesWorld(c, i, axis, nullptr);
}

void RbdConstraintSetPosition(RbdConstraintID c, PxReal x, PxReal y, PxReal z)
{
    if (!RbdCheckConstraint(c, "RbdConstraintSetPosition") || !RbdCheckFinite3(x, y, z, "RbdConstraintSetPosition"))
        return;
    PxVector3 position = {x, y, z};
    if (isContact(c)) {
        PxV3Copy(c->data.contact.position, position);
        return;
    }
    for (int i = 0; i < 2; ++i) setBodyPositionWorld(c, i, position);
}

void RbdConstraintGetPosition(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (!RbdCheckConstraint(c, "RbdConstraintGetPosition")) return;
    if (isContact(c))
        PxV3Copy(out, c->data.contact.position);
    else
        RbdConstraintBodyGetPosition(c, 1, out);
}

void RbdConstraintSetAxis(RbdConstraintID c, PxReal x, PxReal y, PxReal z)
{
    if (RbdCheckConstraint(c, "RbdConstraintSetAxis") && RbdCheckFinite3(x, y, z, "RbdConstraintSetAxis"))
        c->setAxis(c, x, y, z);
}

void RbdConstraintGetAxis(RbdConstraintID c, PxVector3 out)
{
    PxV3Zero(out);
    if (!RbdCheckConstraint(c, "RbdConstraintGetAxis")) return;
    if (isContact(c)) {
        PxV3Copy(out, c->data.contact.normal);
        return;
    }
    PxVector3 secondary;
    RbdConstraintBodyGetAxes(c, 1, out, secondary);
}

void RbdConstraintSetAxes(RbdConstraintID c, const PxVector3 primary, const PxVector3 secondary)
{
    if (!RbdCheckConstraint(c, "RbdConstraintSetAxes") || !checkVector(primary, "RbdConstraintSetAxes") ||
        !checkVector(secondary, "RbdConstraintSetAxes"))
        return;
    for (int i = 0; i < 2; ++i) setBodyAxesWorld(c, i, primary, secondary);
}

void RbdConstraintGetAxes(RbdConstraintID c, PxVector3 primary, PxVector3 secondary)
{
    RbdConstraintBodyGetAxes(c, 1, primary, secondary);
}

void RbdConstraintBodySetAxes(RbdConstraintID c, int32_t bodyIndex, const PxVector3 primary,
                              const PxVector3 secondary)
{
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodySetAxes") ||
        !checkVector(primary, "RbdConstraintBodySetAxes") || !checkVector(secondary, "RbdConstraintBodySetAxes"))
        return;
    setBodyAxesWorld(c, bodyIndex, primary, secondary);
}

void RbdConstraintBodyGetAxes(RbdConstraintID c, int32_t bodyIndex, PxVector3 primary, PxVector3 secondary)
{
    PxV3Zero(primary);
    PxV3Zero(secondary);
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodyGetAxes")) return;
    // Only the two axes of the world frame: a controlled joint reads them
    // every step.
    attachmentAxisToWorld(c, bodyIndex, 0, primary);
    attachmentAxisToWorld(c, bodyIndex, 1, secondary);
}

// One check and one change of frame for callers that want position and
// axes together.
void RbdConstraintBodyGetFrame(RbdConstraintID c, int32_t bodyIndex, PxMatrix4 out)
{
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodyGetFrame")) {
        PxM4Identity(out);
        return;
    }
    RbdConstraintAttachmentToWorld(c, bodyIndex, out);
}

void RbdConstraintSetFrame(RbdConstraintID c, const PxVector3 position, const PxVector3 primary,
                           const PxVector3 secondary)
{
    const char *function = "RbdConstraintSetFrame";
    if (!RbdCheckConstraint(c, function) || !checkVector(position, function) || !checkVector(primary, function) ||
        !checkVector(secondary, function))
        return;
    PxMatrix4 frame;
    RbdMakeFrame(primary, secondary, frame);
    PxV3Copy(frame[3], position);
    // As setBodyAxesWorld then setBodyPositionWorld: the position's own
    // change of frame replaces the one the axes' round trip gave it.
    for (int i = 0; i < 2; ++i) RbdConstraintAttachmentFromWorld(c, i, frame);
}

void RbdConstraintBodySetAxesRel(RbdConstraintID c, int32_t bodyIndex, const PxVector3 primary,
                                 const PxVector3 secondary)
{
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodySetAxesRel") ||
        !checkVector(primary, "RbdConstraintBodySetAxesRel") ||
        !checkVector(secondary, "RbdConstraintBodySetAxesRel"))
        return;
    PxVector3 primaryWorld, secondaryWorld;
    bodyDirectionToWorld(c->body[bodyIndex], primary, primaryWorld);
    bodyDirectionToWorld(c->body[bodyIndex], secondary, secondaryWorld);
    setBodyAxesWorld(c, bodyIndex, primaryWorld, secondaryWorld);
}

void RbdConstraintBodyGetAxesRel(RbdConstraintID c, int32_t bodyIndex, PxVector3 primary, PxVector3 secondary)
{
    PxV3Zero(primary);
    PxV3Zero(secondary);
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodyGetAxesRel")) return;
    RbdConstraintBodyGetAxes(c, bodyIndex, primary, secondary);
    if (const RbdBody *body = c->body[bodyIndex]) {
        PxV3MulTMDirInverse(primary, primary, body->transform);
        PxV3MulTMDirInverse(secondary, secondary, body->transform);
    }
}

void RbdConstraintBodySetPosition(RbdConstraintID c, int32_t bodyIndex, const PxVector3 position)
{
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodySetPosition") ||
        !checkVector(position, "RbdConstraintBodySetPosition"))
        return;
    setBodyPositionWorld(c, bodyIndex, position);
}

void RbdConstraintBodyGetPosition(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodyGetPosition")) return;
    if (c->comTransform[bodyIndex])
        PxV3MulTM(out, c->attachment[bodyIndex][3], c->comTransform[bodyIndex]);
    else
        PxV3Copy(out, c->attachment[bodyIndex][3]);
}

void RbdConstraintBodySetPositionRel(RbdConstraintID c, int32_t bodyIndex, const PxVector3 position)
{
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodySetPositionRel") ||
        !checkVector(position, "RbdConstraintBodySetPositionRel"))
        return;
    PxVector3 world;
    const RbdBody *body = c->body[bodyIndex];
    if (body)
        PxV3MulTM(world, position, body->transform);
    else
        PxV3Copy(world, position);
    setBodyPositionWorld(c, bodyIndex, world);
}

void RbdConstraintBodyGetPositionRel(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (!RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodyGetPositionRel")) return;
    RbdConstraintBodyGetPosition(c, bodyIndex, out);
    if (const RbdBody *body = c->body[bodyIndex]) PxV3MulTMInverse(out, out, body->transform);
}

void RbdConstraintBodyCOMGetPositionRel(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintBodyCOMGetPositionRel"))
        PxV3Copy(out, c->attachment[bodyIndex][3]);
}

namespace {

// frame(body): the body's reference or centre-of-mass frame, null for the world.
const PxReal (*bodyFrame(const RbdBody *body, bool com))[4]
{
    if (!body || !RbdCheckBody(body, "RbdConvert")) return nullptr;
    return com ? body->lcs.comTransform : body->transform;
}

void convert(const RbdBody *from, const PxVector3 v, const RbdBody *to, PxVector3 out, bool com, bool point)
{
    const PxReal(*fromFrame)[4] = bodyFrame(from, com);
    const PxReal(*toFrame)[4] = bodyFrame(to, com);
    PxVector3 world;
    if (!fromFrame)
        PxV3Copy(world, v);
    else if (point)
        PxV3MulTM(world, v, fromFrame);
    else
        PxV3MulTMDir(world, v, fromFrame);
    if (!toFrame)
        PxV3Copy(out, world);
    else if (point)
        PxV3MulTMInverse(out, world, toFrame);
    else
        PxV3MulTMDirInverse(out, world, toFrame);
}

} // namespace

void RbdConvertVector(RbdBodyID fromBody, const PxVector3 v, RbdBodyID toBody, PxVector3 out)
{
    convert(fromBody, v, toBody, out, false, false);
}

void RbdConvertPositionVector(RbdBodyID fromBody, const PxVector3 p, RbdBodyID toBody, PxVector3 out)
{
    convert(fromBody, p, toBody, out, false, true);
}

void RbdConvertCOMVector(RbdBodyID fromBody, const PxVector3 v, RbdBodyID toBody, PxVector3 out)
{
    convert(fromBody, v, toBody, out, true, false);
}

void RbdConvertCOMPositionVector(RbdBodyID fromBody, const PxVector3 p, RbdBodyID toBody, PxVector3 out)
{
    convert(fromBody, p, toBody, out, true, true);
}
