// Row-building helpers shared by the joint types: attachment frames in
// world coordinates and the common kinds of rows.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

// Body i's attachment position, centre of mass and lever in world
// coordinates, and those of its attachment axes (primary, secondary,
// third) that are wanted. As RbdConstraintAttachmentToWorld, written
// straight into the frames: every joint's rows start here, every step.
template <bool Primary, bool Secondary, bool Third>
inline __attribute__((always_inline)) void FormBodyFrame(const RbdBaseConstraint *c, int i, RbdBclFrames *frames)
{
    const PxReal(*attachment)[4] = c->attachment[i];
    const PxReal(*com)[4] = c->comTransform[i];
    PxReal *axes[3] = {frames->a[i], frames->s[i], frames->t[i]};
    const bool wanted[3] = {Primary, Secondary, Third};
    if (com) {
        for (int axis = 0; axis < 3; ++axis)
            if (wanted[axis]) PxV3MulTMDir(axes[axis], attachment[axis], com);
        PxV3MulTM(frames->p[i], attachment[3], com);
        PxV3Copy(frames->com[i], com[3]);
    } else {
        for (int axis = 0; axis < 3; ++axis)
            if (wanted[axis]) PxV3Copy(axes[axis], attachment[axis]);
        PxV3Copy(frames->p[i], attachment[3]);
        PxV3Zero(frames->com[i]);
    }
    PxV3Sub(frames->r[i], frames->p[i], frames->com[i]);
}

} // namespace

void RbdBclFormWorldFrames(const RbdBaseConstraint *c, RbdBclFrames *frames)
{
    FormBodyFrame<true, true, true>(c, 0, frames);
    FormBodyFrame<true, true, true>(c, 1, frames);
}

void RbdBclFormHingeFrames(const RbdBaseConstraint *c, RbdBclFrames *frames)
{
    FormBodyFrame<true, true, false>(c, 0, frames);
    FormBodyFrame<false, true, true>(c, 1, frames);
}

void RbdBclBodyVelocity(const RbdBaseConstraint *c, int i, PxVector3 linear, PxVector3 angular)
{
    if (c->solverBody[i]) {
        PxV3Copy(linear, c->solverBody[i]->linearVelocity);
        PxV3Copy(angular, c->solverBody[i]->angularVelocity);
    } else {
        PxV3Zero(linear);
        PxV3Zero(angular);
    }
}

void RbdBclRelativeAngularVelocity(const RbdBaseConstraint *c, PxVector3 relative)
{
    const PxVector3 zero = {0.0, 0.0, 0.0};
    const PxReal *angular0 = c->solverBody[0] ? c->solverBody[0]->angularVelocity : zero;
    const PxReal *angular1 = c->solverBody[1] ? c->solverBody[1]->angularVelocity : zero;
    PxV3Sub(relative, angular0, angular1);
}

void RbdBclAddSphericalRowsWorld(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c,
                                 const RbdBclFrames *frames)
{
    const PxReal *r0 = frames->r[0], *r1 = frames->r[1];
    // Row k of -[r0]x and of [r1]x, where [r]x w = r x w: the attachment
    // point of body i moves at v_i + w_i x r_i.
    const PxReal minusCross0[3][3] = {{0.0, r0[2], -r0[1]}, {-r0[2], 0.0, r0[0]}, {r0[1], -r0[0], 0.0}};
    const PxReal cross1[3][3] = {{0.0, -r1[2], r1[1]}, {r1[2], 0.0, -r1[0]}, {-r1[1], r1[0], 0.0}};
    for (int k = 0; k < 3; ++k) {
        PxVector3 unit = {0.0, 0.0, 0.0}, minusUnit = {0.0, 0.0, 0.0};
        unit[k] = 1.0;
        minusUnit[k] = -1.0;
        if (c->solverBody[0]) {
            RbdBclSetJacobian3(list, row + k, RBD_J_LINEAR0, unit);
            RbdBclSetJacobian3(list, row + k, RBD_J_ANGULAR0, minusCross0[k]);
        }
        if (c->solverBody[1]) {
            RbdBclSetJacobian3(list, row + k, RBD_J_LINEAR1, minusUnit);
            RbdBclSetJacobian3(list, row + k, RBD_J_ANGULAR1, cross1[k]);
        }
        list->phi[row + k] = frames->p[0][k] - frames->p[1][k];
    }
}

PxReal RbdBclSetLinearRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c,
                          const RbdBclFrames *frames, const PxVector3 d)
{
    // phi = (p0 - p1) . d with d turning with body 0:
    // d(phi)/dt = (v0 + w0 x r0 - v1 - w1 x r1) . d + (p0 - p1) . (w0 x d)
    //           = v0 . d + w0 . ((p1 - com0) x d) - v1 . d - w1 . (r1 x d).
    PxVector3 separation;
    PxV3Sub(separation, frames->p[0], frames->p[1]);
    if (c->solverBody[0]) {
        PxVector3 arm, angular;
        PxV3Sub(arm, frames->p[1], frames->com[0]);
        PxV3Cross(angular, arm, d);
        RbdBclSetJacobian3(list, row, RBD_J_LINEAR0, d);
        RbdBclSetJacobian3(list, row, RBD_J_ANGULAR0, angular);
    }
    if (c->solverBody[1]) {
        PxVector3 linear, angular;
        PxV3Scale(linear, d, -1.0);
        PxV3Cross(angular, frames->r[1], d);
        PxV3Scale(angular, angular, -1.0);
        RbdBclSetJacobian3(list, row, RBD_J_LINEAR1, linear);
        RbdBclSetJacobian3(list, row, RBD_J_ANGULAR1, angular);
    }
    list->phi[row] = PxV3Dot(separation, d);
    return list->phi[row];
}

void RbdBclSetAngularRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c, const PxVector3 g)
{
    if (c->solverBody[0]) RbdBclSetJacobian3(list, row, RBD_J_ANGULAR0, g);
    if (c->solverBody[1]) {
        PxVector3 minusG;
        PxV3Scale(minusG, g, -1.0);
        RbdBclSetJacobian3(list, row, RBD_J_ANGULAR1, minusG);
    }
}

void RbdBclSoftenRow(RbdLcsConstraints *list, int32_t row, PxReal k, PxReal d, const RbdBclParameters *parameters)
{
    if (k >= RBD_REAL_MAX) return;
    PxReal h = parameters->stepSize;
    PxReal denominator = h * k + d;
    if (!(denominator > 0.0)) {
        // Neither stiffness nor damping: the row can exert no force.
        list->lo[row] = list->hi[row] = 0.0;
        return;
    }
    PxReal softness = 0.0, errorReduction = 0.0;
    // An infinite damping (overflow) is the limit of both terms: no softness, no error correction.
    if (isfinite(denominator)) {
        softness = 1.0 / denominator;
        errorReduction = h * k / denominator;
    }
    list->rowEpsilon[row] = softness - h * parameters->epsilon;
    list->rowGamma[row] = errorReduction - parameters->gamma;
}

void RbdBclSetOrientationRow(RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c, const PxVector3 u0,
                             const PxVector3 w0, const PxVector3 u1, const PxVector3 w1, PxVector3 g)
{
    // d(u0 . w1)/dt = (w0 - w1) . (u0 x w1) for u0 turning with body 0 and w1 with body 1.
    PxVector3 first, second;
    PxV3Cross(first, u0, w1);
    PxV3Cross(second, w0, u1);
    PxV3Sub(g, first, second);
    PxV3Scale(g, g, 0.5);
    RbdBclSetAngularRow(list, row, c, g);
    list->phi[row] = 0.5 * (PxV3Dot(u0, w1) - PxV3Dot(w0, u1));
}

void RbdBclMakeJacobian(const RbdBaseConstraint *c, const PxVector3 linear0, const PxVector3 angular0,
                        const PxVector3 linear1, const PxVector3 angular1, PxReal jacobian[RBD_JACOBIAN_COLUMNS])
{
    const PxReal *parts[4] = {linear0, angular0, linear1, angular1};
    for (int part = 0; part < 4; ++part) {
        bool present = c->solverBody[part / 2] != nullptr;
        for (int k = 0; k < 3; ++k) jacobian[3 * part + k] = present ? parts[part][k] : 0.0;
    }
}

PxReal RbdBclJacobianVelocity(const RbdBaseConstraint *c, const PxReal jacobian[RBD_JACOBIAN_COLUMNS])
{
    PxReal velocity = 0.0;
    for (int i = 0; i < 2; ++i) {
        PxVector3 linear, angular;
        RbdBclBodyVelocity(c, i, linear, angular);
        velocity += PxV3Dot(&jacobian[6 * i], linear) + PxV3Dot(&jacobian[6 * i + 3], angular);
    }
    return velocity;
}

PxReal RbdBclRowVelocity(const RbdLcsConstraints *list, int32_t row, const RbdBaseConstraint *c)
{
    PxReal jacobian[RBD_JACOBIAN_COLUMNS];
    RbdBclGetJacobian(list, row, jacobian);
    return RbdBclJacobianVelocity(c, jacobian);
}
