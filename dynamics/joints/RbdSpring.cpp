// Spring: one spring-damper row along the line joining the attachment
// points; the actuation row of its length limit replaces it when needed.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    RbdSpringData *spring = &c->data.spring;
    RbdLimitReset(&spring->limit);
    spring->actuationRow = -1;
    spring->naturalLength = 0.0;
    spring->stiffness = 0.0;
    spring->damping = 0.0;
    spring->length = 0.0;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_SPRING, 1, 1, 0, RbdBclAddSpring, nullptr, nullptr, resetData};

} // namespace

RbdConstraintID RbdSpringCreate(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdSpringCreate");
}

RbdConstraintID RbdSpringCreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdSpringCreateInPool") : nullptr;
}

void RbdSpringReset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdSpringReset");
}

void RbdSpringSetNaturalLength(RbdConstraintID c, PxReal length)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringSetNaturalLength") &&
        RbdCheckFiniteNonNegative(length, "RbdSpringSetNaturalLength"))
        c->data.spring.naturalLength = length;
}

PxReal RbdSpringGetNaturalLength(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringGetNaturalLength") ? c->data.spring.naturalLength
                                                                                   : 0.0;
}

void RbdSpringSetStiffness(RbdConstraintID c, PxReal stiffness)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringSetStiffness") &&
        RbdCheckFiniteNonNegative(stiffness, "RbdSpringSetStiffness"))
        c->data.spring.stiffness = stiffness;
}

PxReal RbdSpringGetStiffness(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringGetStiffness") ? c->data.spring.stiffness : 0.0;
}

void RbdSpringSetDamping(RbdConstraintID c, PxReal damping)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringSetDamping") &&
        RbdCheckFiniteNonNegative(damping, "RbdSpringSetDamping"))
        c->data.spring.damping = damping;
}

PxReal RbdSpringGetDamping(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringGetDamping") ? c->data.spring.damping : 0.0;
}

PxReal RbdSpringGetLength(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_SPRING, "RbdSpringGetLength") ? c->data.spring.length : 0.0;
}

void RbdBclAddSpring(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    RbdSpringData *spring = &c->data.spring;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    // u: unit vector from p1 to p0; the length L = |p0 - p1| changes at
    // u . (v0 + w0 x r0 - v1 - w1 x r1).
    PxVector3 u;
    PxV3Sub(u, f.p[0], f.p[1]);
    spring->length = PxV3Normalize(u);
    if (spring->length == 0.0) PxV3Copy(u, f.a[0]); // coincident points: any direction measures the length
    PxVector3 angular0, angular1, minusU;
    PxV3Cross(angular0, f.r[0], u);
    PxV3Cross(angular1, f.r[1], u);
    PxV3Scale(angular1, angular1, -1.0);
    PxV3Scale(minusU, u, -1.0);
    PxReal jacobian[RBD_JACOBIAN_COLUMNS];
    RbdBclMakeJacobian(c, u, angular0, minusU, angular1, jacobian);

    RbdLimit *limit = &spring->limit;
    if (limit->calculatePosition) {
        limit->rawPosition = spring->length;
        limit->velocity = RbdBclJacobianVelocity(c, jacobian);
        RbdBclCalculateLimitPositionAndOvershoot(limit, 0);
    } else {
        RbdBclClearLimitState(limit);
    }
    if (RbdBclSetSingleAxisActuation(list, row, limit, jacobian, parameters)) {
        spring->actuationRow = 0;
    } else {
        spring->actuationRow = -1;
        for (int32_t col = 0; col < RBD_JACOBIAN_COLUMNS; ++col) *RbdBclJacobianEntry(list, row, col) = jacobian[col];
        list->phi[row] = spring->length - spring->naturalLength;
        RbdBclSoftenRow(list, row, spring->stiffness, spring->damping, parameters);
    }
    RbdBclEndConstraint(list, c, 1);
}
