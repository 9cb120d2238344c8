// Per-constraint results and per-row settings: forces of the last step,
// degrees of freedom, row results and additions, and the joint limit.
#include "RbdInternal.h"

namespace {

bool checkRow(int32_t row, int32_t count, const char *function)
{
    if (row >= 0 && row < count) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: row %d is outside 0..%d.\n", function, (int)row, (int)(count - 1));
    return false;
}

RbdLimit *limitOf(RbdBaseConstraint *c)
{
    switch (c->typeId) {
    case RBD_TYPE_HINGE: return &c->data.hinge.limit;
    case RBD_TYPE_PRISMATIC: return &c->data.prismatic.limit;
    case RBD_TYPE_SPRING: return &c->data.spring.limit;
    default: return nullptr;
    }
}

} // namespace

void RbdConstraintGetForce(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (RbdCheckConstraint(c, "RbdConstraintGetForce") && RbdCheckBodyIndex(bodyIndex, "RbdConstraintGetForce"))
        PxV3Copy(out, c->force[bodyIndex]);
}

void RbdConstraintGetTorque(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (RbdCheckConstraint(c, "RbdConstraintGetTorque") && RbdCheckBodyIndex(bodyIndex, "RbdConstraintGetTorque"))
        PxV3Copy(out, c->torque[bodyIndex]);
}

int32_t RbdConstraintDOFGetCount(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintDOFGetCount") ? 6 : 0;
}

int32_t RbdConstraintDOFGetLimitableCount(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintDOFGetLimitableCount") ? c->limitableDofCount : 0;
}

int32_t RbdConstraintDOFGetFreeCount(RbdConstraintID c)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDOFGetFreeCount")) return 0;
    return 6 - c->limitableDofCount - c->constrainedDofCount;
}

RbdLimit *RbdConstraintDOFGetLimit(RbdConstraintID c, int32_t dof)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDOFGetLimit")) return nullptr;
    // Degrees of freedom count from 1: the constrained ones first, then the limitable ones.
    int32_t limitIndex = dof - c->constrainedDofCount - 1;
    if (limitIndex < 0 || limitIndex >= c->limitableDofCount) return nullptr;
    return limitOf(c);
}

PxReal RbdConstraintDOFGetLambda(RbdConstraintID c, int32_t row)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDOFGetLambda") ||
        !checkRow(row, RBD_CONSTRAINT_LAMBDA_COUNT, "RbdConstraintDOFGetLambda"))
        return 0.0;
    return c->lambda[row];
}

PxReal RbdConstraintDOFGetPhi(RbdConstraintID c, int32_t row)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDOFGetPhi") ||
        !checkRow(row, RBD_CONSTRAINT_LAMBDA_COUNT, "RbdConstraintDOFGetPhi"))
        return 0.0;
    return c->phi[row];
}

void RbdConstraintDOFSetEpsilon(RbdConstraintID c, int32_t row, PxReal epsilon)
{
    if (RbdCheckConstraint(c, "RbdConstraintDOFSetEpsilon") &&
        checkRow(row, RBD_CONSTRAINT_MAX_ROWS, "RbdConstraintDOFSetEpsilon"))
        c->rowEpsilon[row] = epsilon;
}

PxReal RbdConstraintDOFGetEpsilon(RbdConstraintID c, int32_t row)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDOFGetEpsilon") ||
        !checkRow(row, RBD_CONSTRAINT_MAX_ROWS, "RbdConstraintDOFGetEpsilon"))
        return 0.0;
    return c->rowEpsilon[row];
}

void RbdConstraintDOFSetGamma(RbdConstraintID c, int32_t row, PxReal gamma)
{
    if (RbdCheckConstraint(c, "RbdConstraintDOFSetGamma") &&
        checkRow(row, RBD_CONSTRAINT_MAX_ROWS, "RbdConstraintDOFSetGamma"))
        c->rowGamma[row] = gamma;
}

PxReal RbdConstraintDOFGetGamma(RbdConstraintID c, int32_t row)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDOFGetGamma") ||
        !checkRow(row, RBD_CONSTRAINT_MAX_ROWS, "RbdConstraintDOFGetGamma"))
        return 0.0;
    return c->rowGamma[row];
}

RbdLimit *RbdConstraintGetLimit(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintGetLimit") ? limitOf(c) : nullptr;
}

void RbdConstraintSetLimit(RbdConstraintID c, const RbdLimit *limit)
{
    if (!RbdCheckConstraint(c, "RbdConstraintSetLimit") || !limit) return;
    RbdLimit *own = limitOf(c);
    if (!own) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdConstraintSetLimit: a %s has no limit.\n", RbdBclJointNames[c->typeId]);
        return;
    }
    own->lower = limit->lower;
    own->upper = limit->upper;
    own->active = limit->active;
    own->motorDesiredVelocity = limit->motorDesiredVelocity;
    own->motorMaxForce = limit->motorMaxForce;
    own->motorized = limit->motorized;
    own->calculatePosition = own->calculatePosition || own->active || own->motorized || own->locked;
}
