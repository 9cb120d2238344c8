// Per-constraint results and per-row settings: forces of the last step,
// degrees of freedom, row results and additions, and the joint limit.
#include "world/RbdInternal.h"

namespace {

bool checkRow(int32_t row, int32_t count, const char *function)
{
    if (row >= 0 && row < count) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: row %d is outside 0..%d.\n", function, (int)row, (int)(count - 1));
    return false;
}

// The row's entry of one of the constraint's per-row arrays; null (reported)
// for a bad handle or a row outside the array.
template <size_t N>
PxReal *rowEntry(RbdConstraintID c, PxReal (RbdBaseConstraint::*array)[N], int32_t row, const char *function)
{
    if (!RbdCheckConstraint(c, function) || !checkRow(row, (int32_t)N, function)) return nullptr;
    return &(c->*array)[row];
}

template <size_t N>
PxReal rowValue(RbdConstraintID c, PxReal (RbdBaseConstraint::*array)[N], int32_t row, const char *function)
{
    const PxReal *entry = rowEntry(c, array, row, function);
    return entry ? *entry : 0.0;
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
    if (RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintGetForce")) PxV3Copy(out, c->force[bodyIndex]);
}

void RbdConstraintGetTorque(RbdConstraintID c, int32_t bodyIndex, PxVector3 out)
{
    PxV3Zero(out);
    if (RbdCheckConstraintBody(c, bodyIndex, "RbdConstraintGetTorque")) PxV3Copy(out, c->torque[bodyIndex]);
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
    return rowValue(c, &RbdBaseConstraint::lambda, row, "RbdConstraintDOFGetLambda");
}

PxReal RbdConstraintDOFGetPhi(RbdConstraintID c, int32_t row)
{
    return rowValue(c, &RbdBaseConstraint::phi, row, "RbdConstraintDOFGetPhi");
}

void RbdConstraintDOFSetEpsilon(RbdConstraintID c, int32_t row, PxReal epsilon)
{
    PxReal *entry = rowEntry(c, &RbdBaseConstraint::rowEpsilon, row, "RbdConstraintDOFSetEpsilon");
    if (!entry) return;
    *entry = epsilon;
    c->rowAdditions = 1;
}

PxReal RbdConstraintDOFGetEpsilon(RbdConstraintID c, int32_t row)
{
    return rowValue(c, &RbdBaseConstraint::rowEpsilon, row, "RbdConstraintDOFGetEpsilon");
}

void RbdConstraintDOFSetGamma(RbdConstraintID c, int32_t row, PxReal gamma)
{
    PxReal *entry = rowEntry(c, &RbdBaseConstraint::rowGamma, row, "RbdConstraintDOFSetGamma");
    if (!entry) return;
    *entry = gamma;
    c->rowAdditions = 1;
}

PxReal RbdConstraintDOFGetGamma(RbdConstraintID c, int32_t row)
{
    return rowValue(c, &RbdBaseConstraint::rowGamma, row, "RbdConstraintDOFGetGamma");
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
