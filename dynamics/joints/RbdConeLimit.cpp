// Cone limit: one angular row while the angle between the primary axes
// exceeds the half-angle, none inside the cone.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    RbdConeLimitData *cone = &c->data.coneLimit;
    cone->halfAngle = RBD_PI;
    cone->cosHalfAngle = -1.0;
    cone->stiffness = RBD_REAL_MAX;
    cone->damping = RBD_REAL_MAX;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_CONELIMIT, 1, 0, 0, RbdBclAddConeLimit, nullptr, nullptr, resetData};

} // namespace

RbdConstraintID RbdConeLimitCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdConeLimitCreate");
}

RbdConstraintID RbdConeLimitCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdConeLimitCreateInPool") : nullptr;
}

void RbdConeLimitReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdConeLimitReset");
}

void RbdConeLimitSetAxis(RbdConstraintID c, int32_t bodyIndex, PxReal x, PxReal y, PxReal z)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitSetAxis") ||
        !RbdCheckBodyIndex(bodyIndex, "RbdConeLimitSetAxis") || !RbdCheckFinite3(x, y, z, "RbdConeLimitSetAxis"))
        return;
    PxVector3 axis = {x, y, z}, secondary, unused;
    RbdConstraintBodyGetAxes(c, bodyIndex, unused, secondary);
    RbdConstraintBodySetAxes(c, bodyIndex, axis, secondary);
}

void RbdConeLimitGetAxis(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxVector3 secondary;
    RbdConstraintBodyGetAxes(c, bodyIndex, out, secondary);
}

void RbdConeLimitSetHalfAngle(RbdConstraintID c, PxReal halfAngle)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitSetHalfAngle")) return;
    if (!(halfAngle >= 0.0 && halfAngle <= RBD_PI)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdConeLimitSetHalfAngle: %g is outside [0, pi]; ignored.\n", halfAngle);
        return;
    }
    c->data.coneLimit.halfAngle = halfAngle;
    c->data.coneLimit.cosHalfAngle = cos(halfAngle);
}

PxReal RbdConeLimitGetHalfAngle(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitGetHalfAngle") ? c->data.coneLimit.halfAngle
                                                                                     : 0.0;
}

void RbdConeLimitSetStiffness(RbdConstraintID c, PxReal stiffness)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitSetStiffness") &&
        RbdCheckNonNegative(stiffness, "RbdConeLimitSetStiffness"))
        c->data.coneLimit.stiffness = stiffness;
}

PxReal RbdConeLimitGetStiffness(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitGetStiffness") ? c->data.coneLimit.stiffness
                                                                                     : 0.0;
}

void RbdConeLimitSetDamping(RbdConstraintID c, PxReal damping)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitSetDamping") &&
        RbdCheckNonNegative(damping, "RbdConeLimitSetDamping"))
        c->data.coneLimit.damping = damping;
}

PxReal RbdConeLimitGetDamping(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_CONELIMIT, "RbdConeLimitGetDamping") ? c->data.coneLimit.damping : 0.0;
}

void RbdBclAddConeLimit(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    const RbdConeLimitData *cone = &c->data.coneLimit;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    PxReal cosAngle = PxV3Dot(f.a[0], f.a[1]);
    if (cosAngle >= cone->cosHalfAngle) {
        RbdBclEndConstraint(list, c, 0);
        return;
    }
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    PxReal angle = acos(cosAngle < -1.0 ? -1.0 : cosAngle);
    // With u = (a0 x a1) / |a0 x a1| the angle changes at -(w0 - w1) . u, so
    // phi = halfAngle - angle changes at J v with J = u for body 0.
    PxVector3 u;
    PxV3Cross(u, f.a[0], f.a[1]);
    if (PxV3Normalize(u) < 1e-12) PxV3Copy(u, f.s[0]); // opposite axes: every perpendicular opens the cone
    RbdBclSetAngularRow(list, row, c, u);
    list->phi[row] = cone->halfAngle - angle;
    list->lo[row] = 0.0;
    list->hi[row] = RBD_REAL_MAX;
    RbdBclSoftenRow(list, row, cone->stiffness, cone->damping, parameters);
    RbdBclEndConstraint(list, c, 1);
}
