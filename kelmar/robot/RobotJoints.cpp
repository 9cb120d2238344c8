// Commanding and reading a robot's joints: joint vectors, kinematic
// setting, step-controlled moves, per-joint parameters and frames.
#include <kelmar/Robot.h>

#include <cmath>
#include <cstdio>

#include <kelmar/Controller.h>
#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

namespace kelmar {

namespace {

bool Live(RbdBodyID body)
{
    return body && !RbdBodyIsFrozen(body);
}

// The parent frame P moved in its own coordinates by the joint's motion at
// coordinate q: a turn by q about x (y towards z) for a hinge, a shift by q
// along x for a prismatic joint. With it the child frame's y axis is
// cos q y + sin q z of the parent's, which is the angle the dynamics
// measures for the first body against the second. Only the rows the motion
// touches are combined.
void MoveFrame(bool hinge, double q, const double parent[4][4], double out[4][4])
{
    PxM4Copy(out, parent);
    if (!hinge) {
        for (int j = 0; j < 3; ++j) out[3][j] = q * parent[0][j] + parent[3][j];
        return;
    }
    const double c = std::cos(q), s = std::sin(q);
    for (int j = 0; j < 3; ++j) {
        out[1][j] = c * parent[1][j] + s * parent[2][j];
        out[2][j] = -s * parent[1][j] + c * parent[2][j];
    }
}

// b followed by a for rigid transforms (last column 0, 0, 0, 1): the
// product without the terms that column makes zero.
void CompoundRigid(double out[4][4], const double a[4][4], const double b[4][4])
{
    double product[4][4];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) product[i][j] = b[i][0] * a[0][j] + b[i][1] * a[1][j] + b[i][2] * a[2][j];
        product[i][3] = 0.0;
    }
    for (int j = 0; j < 3; ++j) product[3][j] += a[3][j];
    product[3][3] = 1.0;
    PxM4Copy(out, product);
}

struct MoveWalk {
    const Robot *node;
    RbdBodyID body;
    const double (*delta)[4];
    bool skip;
};

} // namespace

bool Robot::IsKinematic() const
{
    RbdConstraintID c = joint ? joint->GetConstraint() : nullptr;
    return c && !Live(RbdConstraintGetBody(c, 0)) && !Live(RbdConstraintGetBody(c, 1));
}

bool Robot::IsChildJoint(RbdConstraintID c) const
{
    for (const Robot *child : children)
        if (child->joint && child->joint->GetConstraint() == c) return true;
    return false;
}

void Robot::_SetJoint(double value, double speedFraction, bool skipKinematicChildren)
{
    if (!joint || (limit && !limit->TargetCheck(value))) return;
    if (IsKinematic()) {
        _SetJointKinematically(value, skipKinematicChildren);
        return;
    }
    limit->SetValueOpt(value, speedFraction);
    target = value;
}

// A vector with a target that is not finite moves no joint: the joints
// given such a target say so.
void Robot::SetJoints(const double *values, float speedFraction)
{
    int k = 0;
    bool finite = true;
    ForEachJointNode([&](Robot *node) {
        const double value = values[k++];
        if (!std::isfinite(value)) finite = node->limit ? node->limit->TargetCheck(value) : false;
    });
    k = 0;
    if (finite) ForEachJointNode([&](Robot *node) { node->_SetJoint(values[k++], speedFraction, true); });
}

void Robot::SetJoints(double speedFraction)
{
    ForEachJointNode([&](Robot *node) { node->_SetJoint(node->target, speedFraction, true); });
}

void Robot::GetJoints(double *values)
{
    int k = 0;
    ForEachJointNode([&](Robot *node) { values[k++] = node->_GetJoint(); });
}

double Robot::_GetJoint()
{
    if (!joint || IsKinematic()) return target;
    return limit->GetPosition();
}

void Robot::_SetJointSpeed(double speed)
{
    if (limit) limit->SetSpeed(speed);
}

// The parent side's attachment frame P stays; the node's own frame must
// become P moved by the joint's motion. The solid moves by the rigid
// change that takes its frame there, and so does everything jointed to it.
void Robot::_SetJointKinematically(double value, bool skipKinematicChildren)
{
    if (limit && !limit->TargetCheck(value)) return;
    target = value;
    if (!joint || !solid) return;
    const int own = jointReversed ? 1 : 0;
    // The joint reads raw angle + offset; the frames carry the raw angle.
    const double fitted = limit->FitIntoLimits(value, true);
    const double raw = fitted - limit->GetRbdLimit()->positionOffset;
    const double q = jointReversed ? -raw : raw;
    double parentFrame[4][4], wanted[4][4], current[4][4], delta[4][4], moved[4][4];
    joint->GetTM(1 - own, parentFrame);
    MoveFrame(RbdConstraintGetTypeId(joint->GetConstraint()) == RBD_TYPE_HINGE, q, parentFrame, wanted);
    joint->GetTM(own, current);
    PxMatrix4TMCompoundInverseSecond(delta, wanted, current);
    limit->SetMeasuredPosition(fitted);
    if (PxMatrix4IsIdentity(delta, 1e-7)) return;
    CompoundRigid(moved, delta, solid->GetTM());
    NormalizeTM(moved);
    solid->SetTM(moved);
    MoveAttached(delta, skipKinematicChildren);
}

// Every other non-contact constraint on the solid's body carries the solid
// at its other end along, except (when asked) child nodes' joints whose
// bodies are all absent or frozen: those children are set by their own values.
void Robot::MoveAttached(const double delta[4][4], bool skipKinematicChildren)
{
    RbdBodyID body = solid->GetBody();
    if (!body) return;
    MoveWalk walk{this, body, delta, skipKinematicChildren};
    RbdBodyForAllConstraints(
        body,
        [](RbdConstraintID c, void *data) {
            const MoveWalk &w = *static_cast<const MoveWalk *>(data);
            if (c == w.node->joint->GetConstraint() || RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT) return;
            RbdBodyID b0 = RbdConstraintGetBody(c, 0), b1 = RbdConstraintGetBody(c, 1);
            if (w.skip && !Live(b0) && !Live(b1) && w.node->IsChildJoint(c)) return;
            RbdBodyID other = b0 == w.body ? b1 : b0;
            Solid *solid = other ? static_cast<Solid *>(RbdBodyGetUserData(other)) : nullptr;
            if (!solid) return;
            double tm[4][4];
            PxMatrix4TMCompound(tm, w.delta, solid->GetTM());
            NormalizeTM(tm);
            solid->SetTMAndUpdateAttachments(tm, w.node->solid);
        },
        &walk);
}

void Robot::SetJoints_StepControlled(const double *values, float step)
{
    const double s = std::fabs(step);
    scratch_.resize(static_cast<size_t>(numJoints));
    GetJoints(scratch_.data());
    double distance = 0;
    for (int i = 0; i < numJoints; ++i) distance += (values[i] - scratch_[i]) * (values[i] - scratch_[i]);
    distance = std::sqrt(distance);
    if (s > distance) {
        SetJoints(values, static_cast<float>(s));
        return;
    }
    for (int i = 0; i < numJoints; ++i) scratch_[i] += s * (values[i] - scratch_[i]) / distance;
    SetJoints(scratch_.data(), static_cast<float>(std::min(distance, 1.0)));
}

bool Robot::CheckLimits(const double *values) const
{
    int k = 0;
    bool inside = true;
    const_cast<Robot *>(this)->ForEachJointNode([&](Robot *node) {
        double lower, upper;
        node->limit->GetLimits(lower, upper);
        const double v = values[k++];
        if (v < lower || v > upper) inside = false;
    });
    return inside;
}

// ---- Per-joint parameters ----

void Robot::SetLimitParams(double ls, double ld, double lr, double us, double ud, double ur)
{
    ForEachJointNode([&](Robot *node) { node->limit->SetLimitParams(ls, ld, lr, us, ud, ur); });
}

void Robot::SetLimitParams(const double *ls, const double *ld, const double *lr, const double *us, const double *ud,
                           const double *ur)
{
    int k = 0;
    ForEachJointNode([&](Robot *node) {
        node->limit->SetLimitParams(ls[k], ld[k], lr[k], us[k], ud[k], ur[k]);
        ++k;
    });
}

void Robot::SetLimitParams(int i, double ls, double ld, double lr, double us, double ud, double ur)
{
    Robot *node = GetNodeOfJoint(i);
    if (node) node->limit->SetLimitParams(ls, ld, lr, us, ud, ur);
}

void Robot::GetLimitParams(double *ls, double *ld, double *lr, double *us, double *ud, double *ur)
{
    int k = 0;
    ForEachJointNode([&](Robot *node) {
        node->limit->GetLimitParams(ls[k], ld[k], lr[k], us[k], ud[k], ur[k]);
        ++k;
    });
}

int Robot::GetNumControlParams()
{
    int n = 0;
    ForEachJointNode([&](Robot *node) { n += node->limit->GetController()->NumParams(); });
    return n;
}

void Robot::SetControlParams(const double *params)
{
    ForEachJointNode([&](Robot *node) {
        Controller *c = node->limit->GetController();
        if (c->NumParams() > 0) c->SetParams(params);
        params += c->NumParams();
    });
}

void Robot::GetControlParams(double *params)
{
    ForEachJointNode([&](Robot *node) {
        const Controller *c = node->limit->GetController();
        if (c->NumParams() > 0) c->GetParams(params);
        params += c->NumParams();
    });
}

// ---- Frames ----

void Robot::GetTMs(int i, double tm0[4][4], double tm1[4][4])
{
    GetTMs(i, tm0, tm1, nullptr, false);
}

void Robot::GetTMs(int i, double first[4][4], double second[4][4], double *value, bool treeOrder)
{
    Robot *node = GetNodeOfJoint(i);
    if (!node) {
        std::fprintf(stderr, "Robot::GetTMs: index out of range %d >= %d\n", i, numJoints);
        return;
    }
    const int own = node->jointReversed ? 1 : 0;
    node->joint->GetTM(treeOrder ? 1 - own : 0, first);
    node->joint->GetTM(treeOrder ? own : 1, second);
    if (value) *value = node->_GetJoint();
}

} // namespace kelmar
