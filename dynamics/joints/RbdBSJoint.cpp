// Ball-and-socket joint: three spherical rows.
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *)
{
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_BSJOINT, 3, 0, 3, RbdBclAddBSJoint, nullptr, nullptr, resetData};

} // namespace

RbdConstraintID RbdBSJointCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdBSJointCreate");
}

RbdConstraintID RbdBSJointCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdBSJointCreateInPool") : nullptr;
}

void RbdBSJointReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdBSJointReset");
}

void RbdBclAddBSJoint(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames frames;
    RbdBclFormWorldFrames(c, &frames);
    RbdBclAddSphericalRowsWorld(list, row, c, &frames);
    RbdBclEndConstraint(list, c, 3);
}
