// Hinge: spherical rows, two rows keeping the primary axes aligned, and the
// actuation row of its limit about the axis.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    RbdLimitReset(&c->data.hinge.limit);
    c->data.hinge.actuationRow = -1;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_HINGE, 6, 1, 5, RbdBclAddHinge, nullptr, nullptr, resetData};

// The hinge coordinate: the angle of body 0 about the axis relative to body
// 1, atan2(s0 . t1, s0 . s1). (The negated angle would run against the
// joint velocity a0 . (w0 - w1) and against the actuation row's J v.)
void measureAngle(RbdBaseConstraint *c, const RbdBclFrames *f, RbdLimit *limit)
{
    PxVector3 relative;
    RbdBclRelativeAngularVelocity(c, relative);
    limit->rawPosition = atan2(PxV3Dot(f->s[0], f->t[1]), PxV3Dot(f->s[0], f->s[1]));
    limit->velocity = PxV3Dot(f->a[0], relative);
    RbdBclCalculateLimitPositionAndOvershoot(limit, 1);
}

} // namespace

RbdConstraintID RbdHingeCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdHingeCreate");
}

RbdConstraintID RbdHingeCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdHingeCreateInPool") : nullptr;
}

void RbdHingeReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdHingeReset");
}

// Body 0's axis in the world against each body's own angular velocity, the
// products taken one at a time as a caller reading a0, w0 and w1 apart
// would; a missing body counts as still.
PxReal RbdHingeGetRate(RbdConstraintID c)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_HINGE, "RbdHingeGetRate")) return 0.0;
    PxVector3 axis;
    const PxReal(*com)[4] = c->comTransform[0];
    if (com)
        PxV3MulTMDir(axis, c->attachment[0][0], com);
    else
        PxV3Copy(axis, c->attachment[0][0]);
    const PxVector3 still = {0.0, 0.0, 0.0};
    const PxReal *w0 = c->body[0] ? c->body[0]->lcs.angularVelocity : still;
    const PxReal *w1 = c->body[1] ? c->body[1]->lcs.angularVelocity : still;
    return PxV3Dot(axis, w0) - PxV3Dot(axis, w1);
}

PxReal RbdHingeGetMotorTorque(RbdConstraintID c)
{
    if (!RbdConstraintCheckType(c, RBD_TYPE_HINGE, "RbdHingeGetMotorTorque")) return 0.0;
    int32_t row = c->data.hinge.actuationRow;
    return row >= 0 ? c->lambda[row] : 0.0;
}

void RbdBclAddHinge(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdBclFrames f;
    RbdBclFormHingeFrames(c, &f);
    RbdLimit *limit = &c->data.hinge.limit;
    if (limit->calculatePosition)
        measureAngle(c, &f, limit);
    else
        RbdBclClearLimitState(limit);

    RbdBclAddSphericalRowsWorld(list, row, c, &f);
    // Rows 3 and 4 keep a0 perpendicular to s1 and t1. Their errors are
    // +a0 . s1 and +a0 . t1: with the Jacobian a0 x s1 (resp. a0 x t1),
    // J v = d(a0 . s1)/dt, so the negated dot products would grow under the
    // solver instead of decaying.
    PxVector3 g;
    PxV3Cross(g, f.a[0], f.s[1]);
    RbdBclSetAngularRow(list, row + 3, c, g);
    list->phi[row + 3] = PxV3Dot(f.a[0], f.s[1]);
    PxV3Cross(g, f.a[0], f.t[1]);
    RbdBclSetAngularRow(list, row + 4, c, g);
    list->phi[row + 4] = PxV3Dot(f.a[0], f.t[1]);

    const PxVector3 zero = {0.0, 0.0, 0.0};
    PxVector3 minusAxis;
    PxV3Scale(minusAxis, f.a[0], -1.0);
    PxReal jacobian[RBD_JACOBIAN_COLUMNS];
    RbdBclMakeJacobian(c, zero, f.a[0], zero, minusAxis, jacobian);
    int added = RbdBclSetSingleAxisActuation(list, row + 5, limit, jacobian, parameters);
    c->data.hinge.actuationRow = added ? 5 : -1;
    RbdBclEndConstraint(list, c, added ? 6 : 5);
}
