// Angular constraint: two rows keep body 0's primary axis along body 1's, a
// third locks the rotation about it unless rotation is enabled.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

void resetData(RbdBaseConstraint *c)
{
    c->data.angular3.rotationEnabled = 0;
    c->data.angular3.stiffness = RBD_REAL_MAX;
    c->data.angular3.damping = RBD_REAL_MAX;
}

const RbdConstraintTypeInfo TYPE = {RBD_TYPE_ANGULAR3, 3, 0, 3, RbdBclAddAngular3, nullptr, nullptr, resetData};

} // namespace

RbdConstraintID RbdAngular3Create(RbdWorldID world)
{
    return RbdConstraintCreateOfType(world, nullptr, &TYPE, "RbdAngular3Create");
}

RbdConstraintID RbdAngular3CreateInPool(PxPool *pool)
{
    return pool ? RbdConstraintCreateOfType(nullptr, pool, &TYPE, "RbdAngular3CreateInPool") : nullptr;
}

void RbdAngular3Reset(RbdConstraintID c)
{
    RbdConstraintResetOfType(c, &TYPE, "RbdAngular3Reset");
}

void RbdAngular3EnableRotation(RbdConstraintID c, int on)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_ANGULAR3, "RbdAngular3EnableRotation"))
        c->data.angular3.rotationEnabled = on ? 1 : 0;
}

int RbdAngular3IsRotationEnabled(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_ANGULAR3, "RbdAngular3IsRotationEnabled")
               ? c->data.angular3.rotationEnabled
               : 0;
}

void RbdAngular3SetStiffness(RbdConstraintID c, PxReal stiffness)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_ANGULAR3, "RbdAngular3SetStiffness") &&
        RbdCheckNonNegative(stiffness, "RbdAngular3SetStiffness"))
        c->data.angular3.stiffness = stiffness;
}

PxReal RbdAngular3GetStiffness(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_ANGULAR3, "RbdAngular3GetStiffness") ? c->data.angular3.stiffness : 0.0;
}

void RbdAngular3SetDamping(RbdConstraintID c, PxReal damping)
{
    if (RbdConstraintCheckType(c, RBD_TYPE_ANGULAR3, "RbdAngular3SetDamping") &&
        RbdCheckNonNegative(damping, "RbdAngular3SetDamping"))
        c->data.angular3.damping = damping;
}

PxReal RbdAngular3GetDamping(RbdConstraintID c)
{
    return RbdConstraintCheckType(c, RBD_TYPE_ANGULAR3, "RbdAngular3GetDamping") ? c->data.angular3.damping : 0.0;
}

void RbdBclAddAngular3(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters)
{
    int32_t row = RbdBclBeginConstraint(list, c->maxRows);
    if (row < 0) return;
    const RbdAngular3Data *angular = &c->data.angular3;
    RbdBclFrames f;
    RbdBclFormWorldFrames(c, &f);
    // a0 . s1 and a0 . t1 vanish when a0 lies along a1; each changes at
    // (w0 - w1) . (a0 x s1) (resp. t1), as in the hinge.
    PxVector3 g;
    PxV3Cross(g, f.a[0], f.s[1]);
    RbdBclSetAngularRow(list, row, c, g);
    list->phi[row] = PxV3Dot(f.a[0], f.s[1]);
    PxV3Cross(g, f.a[0], f.t[1]);
    RbdBclSetAngularRow(list, row + 1, c, g);
    list->phi[row + 1] = PxV3Dot(f.a[0], f.t[1]);
    int32_t rows = 2;
    if (!angular->rotationEnabled) {
        RbdBclSetOrientationRow(list, row + 2, c, f.s[0], f.t[0], f.s[1], f.t[1], g);
        rows = 3;
    }
    for (int32_t k = 0; k < rows; ++k)
        RbdBclSoftenRow(list, row + k, angular->stiffness, angular->damping, parameters);
    RbdBclEndConstraint(list, c, rows);
}
