// Fixed path: spherical rows whose attachment points travel along paths on
// their bodies at given velocities.
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    PxV3Zero(c->data.fixedPath.velocity[0]);
    PxV3Zero(c->data.fixedPath.velocity[1]);
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_FIXEDPATH, 3, 0, 3, RbdBclAddFixedPath, nullptr, nullptr, resetData};

// Path velocity of attachment i in world coordinates.
void pathVelocityWorld(const RbdBaseConstraint *c, int i, PxVector3 out)
{
    if (c->comTransform[i])
        PxV3MulTMDir(out, c->data.fixedPath.velocity[i], c->comTransform[i]);
    else
        PxV3Copy(out, c->data.fixedPath.velocity[i]);
}

} // namespace

RbdConstraintID RbdFixedPathCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdFixedPathCreate");
}

RbdConstraintID RbdFixedPathCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdFixedPathCreateInPool") : nullptr;
}

void RbdFixedPathReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdFixedPathReset");
}

void RbdFixedPathSetVelocity(RbdConstraintID c, int32_t bodyIndex, PxReal x, PxReal y, PxReal z)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_FIXEDPATH, "RbdFixedPathSetVelocity") &&
        RbdCheckBodyIndex(bodyIndex, "RbdFixedPathSetVelocity") &&
        RbdCheckFinite3(x, y, z, "RbdFixedPathSetVelocity"))
        PxV3Set(c->data.fixedPath.velocity[bodyIndex], x, y, z);
}

void RbdFixedPathGetVelocity(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (RbdConstraintCheckType(c, RBD_TYPE_FIXEDPATH, "RbdFixedPathGetVelocity") &&
        RbdCheckBodyIndex(bodyIndex, "RbdFixedPathGetVelocity"))
        PxV3Copy(out, c->data.fixedPath.velocity[bodyIndex]);
}

void RbdBclAddFixedPath(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    RbdBclAddSphericalRowsWorld(list, row, c, &f);
    // The attachment points move along their paths at u0 and u1 (world), so
    // d(p0 - p1)/dt = J v + u0 - u1. The points stay together when
    // J v = u1 - u0: the target is body 1's path velocity minus body 0's
    // (the reverse difference would push the points apart at twice the rate).
    PxVector3 u0, u1;
    pathVelocityWorld(c, 0, u0);
    pathVelocityWorld(c, 1, u1);
    for (int k = 0; k < 3; ++k) list->c[row + k] = u1[k] - u0[k];
    // Advance the attachment points along their paths over this step.
    const PxReal h = parameters->stepSize;
    for (int i = 0; i < 2; ++i)
        PxV3AddScaled(c->attachment[i][3], c->attachment[i][3], c->data.fixedPath.velocity[i], h);
    RbdBclEndConstraint(list, c, 3);
}
