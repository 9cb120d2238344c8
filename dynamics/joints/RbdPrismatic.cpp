// Prismatic joint: two linear rows keep attachment point 0 on the line
// through attachment point 1 along body 0's axis, three rows hold the
// relative orientation, and the actuation row of its limit acts along the axis.
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    RbdLimitReset(&c->data.prismatic.limit);
    c->data.prismatic.actuationRow = -1;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_PRISMATIC, 6, 1, 5, RbdBclAddPrismatic, nullptr, nullptr, resetData};

// The Jacobian of the coordinate (p0 - p1) . a0, the displacement of
// attachment 0 from attachment 1 along the axis (a0 turns with body 0).
void axisJacobian(const RbdBaseConstraint *c, const RbdBclFrames *f, PxReal jacobian[RBD_JACOBIAN_COLUMNS])
{
    PxVector3 arm0, angular0, angular1, minusAxis;
    PxV3Sub(arm0, f->p[1], f->com[0]);
    PxV3Cross(angular0, arm0, f->a[0]);
    PxV3Cross(angular1, f->r[1], f->a[0]);
    PxV3Scale(angular1, angular1, -1.0);
    PxV3Scale(minusAxis, f->a[0], -1.0);
    RbdBclMakeJacobian(c, f->a[0], angular0, minusAxis, angular1, jacobian);
}

} // namespace

RbdConstraintID RbdPrismaticCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdPrismaticCreate");
}

RbdConstraintID RbdPrismaticCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdPrismaticCreateInPool") : nullptr;
}

void RbdPrismaticReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdPrismaticReset");
}

PxReal RbdPrismaticGetMotorForce(RbdConstraintID c)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_PRISMATIC, "RbdPrismaticGetMotorForce")) return 0.0;
    int32_t row = c->data.prismatic.actuationRow;
    return row >= 0 ? c->lambda[row] : 0.0;
}

void RbdBclAddPrismatic(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    PxReal jacobian[RBD_JACOBIAN_COLUMNS];
    axisJacobian(c, &f, jacobian);
    RbdLimit *limit = &c->data.prismatic.limit;
    if (limit->calculatePosition) {
        PxVector3 separation;
        PxV3Sub(separation, f.p[0], f.p[1]);
        limit->rawPosition = PxV3Dot(separation, f.a[0]);
        limit->velocity = RbdBclJacobianVelocity(c, jacobian);
        RbdBclCalculateLimitPositionAndOvershoot(limit, 0);
    } else {
        RbdBclClearLimitState(limit);
    }

    RbdBclSetLinearRow(list, row, c, &f, f.s[0]);
    RbdBclSetLinearRow(list, row + 1, c, &f, f.t[0]);
    // Rows 2-4: attachment frame 1 stays aligned with attachment frame 0,
    // one row about each axis.
    PxVector3 g;
    RbdBclSetOrientationRow(list, row + 2, c, f.s[0], f.t[0], f.s[1], f.t[1], g);
    RbdBclSetOrientationRow(list, row + 3, c, f.t[0], f.a[0], f.t[1], f.a[1], g);
    RbdBclSetOrientationRow(list, row + 4, c, f.a[0], f.s[0], f.a[1], f.s[1], g);

    int added = RbdBclSetSingleAxisActuation(list, row + 5, limit, jacobian, parameters);
    c->data.prismatic.actuationRow = added ? 5 : -1;
    RbdBclEndConstraint(list, c, added ? 6 : 5);
}
