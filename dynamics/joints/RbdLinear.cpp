// Linear-1 (a point on a plane) and linear-2 (a point on a line).
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *)
{
}

const RbdConstraintTypeInfo LINEAR1 = {RBD_TYPE_LINEAR1, 1, 0, 1, RbdBclAddLinear1, nullptr, nullptr, resetData};
const RbdConstraintTypeInfo LINEAR2 = {RBD_TYPE_LINEAR2, 2, 0, 2, RbdBclAddLinear2, nullptr, nullptr, resetData};

} // namespace

RbdConstraintID RbdLinear1Create(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &LINEAR1, "RbdLinear1Create");
}

RbdConstraintID RbdLinear1CreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &LINEAR1, "RbdLinear1CreateInPool") : nullptr;
}

void RbdLinear1Reset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &LINEAR1, "RbdLinear1Reset");
}

void RbdLinear1SetPosition(RbdConstraintID c, PxReal x, PxReal y, PxReal z)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_LINEAR1, "RbdLinear1SetPosition") ||
        !RbdCheckFinite3(x, y, z, "RbdLinear1SetPosition"))
        return;
    PxVector3 anchor = {x, y, z}, origin = {0.0, 0.0, 0.0}, axis;
    if (c->body[1]) PxV3Copy(origin, c->body[1]->transform[3]);
    PxV3Sub(axis, anchor, origin);
    RbdConstraintSetPosition(c, x, y, z);
    c->setAxis(c, axis[0], axis[1], axis[2]);
}

RbdConstraintID RbdLinear2Create(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &LINEAR2, "RbdLinear2Create");
}

RbdConstraintID RbdLinear2CreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &LINEAR2, "RbdLinear2CreateInPool") : nullptr;
}

void RbdLinear2Reset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &LINEAR2, "RbdLinear2Reset");
}

void RbdBclAddLinear1(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    RbdBclSetLinearRow(list, row, c, &f, f.a[0]);
    RbdBclEndConstraint(list, c, 1);
}

void RbdBclAddLinear2(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    RbdBclSetLinearRow(list, row, c, &f, f.s[0]);
    RbdBclSetLinearRow(list, row + 1, c, &f, f.t[0]);
    RbdBclEndConstraint(list, c, 2);
}
