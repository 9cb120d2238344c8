// Universal joint: spherical rows and one row holding the angle between
// body 0's primary axis and body 1's secondary axis.
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    c->data.universal.axisDot = 0.0;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_UNIVERSAL, 4, 0, 4, RbdBclAddUniversal, nullptr, nullptr, resetData};

void storeAxisDot(RbdBaseConstraint *c)
{
    PxVector3 a0, s0, a1, s1;
    RbdConstraintBodyGetAxes(c, 0, a0, s0);
    RbdConstraintBodyGetAxes(c, 1, a1, s1);
    c->data.universal.axisDot = PxV3Dot(a0, s1);
}

} // namespace

RbdConstraintID RbdUniversalCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdUniversalCreate");
}

RbdConstraintID RbdUniversalCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdUniversalCreateInPool") : nullptr;
}

void RbdUniversalReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdUniversalReset");
}

void RbdUniversalSetAxis(RbdConstraintID c, int32_t index, PxReal x, PxReal y, PxReal z)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_UNIVERSAL, "RbdUniversalSetAxis") ||
        !RbdCheckBodyIndex(index, "RbdUniversalSetAxis") || !RbdCheckFinite3(x, y, z, "RbdUniversalSetAxis"))
        return;
    PxVector3 axis = {x, y, z}, primary, secondary;
    RbdConstraintBodyGetAxes(c, index, primary, secondary);
    if (index == 0) {
        RbdConstraintBodySetAxes(c, 0, axis, secondary);
    } else {
        // Body 1's secondary axis: keep its primary axis, made perpendicular to the new one.
        PxMatrix4 frame;
        RbdMakeFrame(axis, primary, frame); // rows: the axis, the old primary made perpendicular
        RbdConstraintBodySetAxes(c, 1, frame[1], frame[0]);
    }
    storeAxisDot(c);
}

void RbdUniversalGetAxis(RbdConstraintID c, int32_t index, PxVector3 out)
{
    PxVector3 primary, secondary;
    PxV3Zero(out);
    if (!RbdConstraintCheckType(c, RBD_TYPE_UNIVERSAL, "RbdUniversalGetAxis") ||
        !RbdCheckBodyIndex(index, "RbdUniversalGetAxis"))
        return;
    RbdConstraintBodyGetAxes(c, index, primary, secondary);
    PxV3Copy(out, index == 0 ? primary : secondary);
}

void RbdBclAddUniversal(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    RbdBclAddSphericalRowsWorld(list, row, c, &f);
    // d(a0 . s1)/dt = (w0 - w1) . (a0 x s1).
    PxVector3 g;
    PxV3Cross(g, f.a[0], f.s[1]);
    RbdBclSetAngularRow(list, row + 3, c, g);
    list->phi[row + 3] = PxV3Dot(f.a[0], f.s[1]) - c->data.universal.axisDot;
    RbdBclEndConstraint(list, c, 4);
}
