// Pose setters of solids.
#include <kelmar/Solid.h>

#include <cmath>
#include <cstring>
#include <vector>

#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

namespace kelmar {

void Solid::SetInitialTM(const double tm[4][4])
{
    if (!tm) {
        FreeOwnTM();
        return;
    }
    if (!ownTM_) ownTM_ = new double[4][4];
    if (ownTM_ != tm) std::memmove(ownTM_, tm, sizeof(double[4][4]));
    if (!body_) tm_ = ownTM_;
}

void Solid::FreeOwnTM()
{
    if (tm_ == ownTM_) tm_ = nullptr;
    delete[] ownTM_;
    ownTM_ = nullptr;
}

// A model the space holds frozen does not follow its pose by itself.
void Solid::ResyncFrozenModel()
{
    if (!model_ || !CdxModelGetSpace(model_) || !CdxSpaceModelIsFrozen(model_)) return;
    CdxSpaceUnfreezeModel(model_);
    CdxSpaceUpdateModel(model_);
    CdxSpaceFreezeModel(model_);
}

void Solid::WriteTM(const double tm[4][4])
{
    if (body_)
        RbdBodySetTransform(body_, tm);
    else
        SetInitialTM(tm);
}

void Solid::SetTM(const double tm[4][4])
{
    WriteTM(tm);
    ResyncFrozenModel();
}

void Solid::SetPosition(const double *p)
{
    if (body_) {
        RbdBodySetPosition(body_, p[0], p[1], p[2]);
    } else {
        double tm[4][4];
        PxM4Identity(tm);
        if (tm_) PxM4Copy(tm, tm_);
        PxV3Copy(tm[3], p);
        SetInitialTM(tm);
    }
    ResyncFrozenModel();
}

void Solid::GetPosition(double *p) const
{
    if (tm_)
        PxV3Copy(p, tm_[3]);
    else
        PxV3Zero(p);
}

void Solid::SetQuaternion(const double *q)
{
    double unit[4] = {q[0], q[1], q[2], q[3]};
    NormalizeQuaternion(unit);
    if (body_) {
        RbdBodySetQuaternion(body_, unit[0], unit[1], unit[2], unit[3]);
    } else {
        double position[3] = {0, 0, 0};
        GetPosition(position);
        double tm[4][4];
        TMFromQuaternion(tm, unit, position);
        SetInitialTM(tm);
    }
    ResyncFrozenModel();
}

void Solid::GetQuaternion(double *q) const
{
    if (body_) {
        RbdBodyGetQuaternion(body_, q);
    } else if (tm_) {
        PxQuaternionFromTM(q, tm_);
    } else {
        q[0] = 1;
        q[1] = q[2] = q[3] = 0;
    }
}

void Solid::GetCOM(double *com) const
{
    if (body_)
        RbdBodyGetCenterOfMassPosition(body_, com);
    else
        GetPosition(com);
}

void Solid::SetCOMOffset(const double *offset)
{
    if (!body_) return;
    double frame[4][4];
    PxM4Identity(frame);
    PxV3Copy(frame[3], offset);
    RbdBodySetCenterOfMassRelativeTransform(body_, frame);
}

// Sub-steps of at most maxStep (cm) and maxRotation (sum of squared
// quaternion differences), with a universe step after each but the last.
void Solid::SetTMstepwise(const double target[4][4], double maxStep, double maxRotation)
{
    if (!body_ || !tm_) {
        SetTM(target);
        return;
    }
    double q0[4], q1[4], p0[3];
    GetQuaternion(q0);
    PxQuaternionFromTM(q1, target);
    if (q0[0] * q1[0] + q0[1] * q1[1] + q0[2] * q1[2] + q0[3] * q1[3] < 0)
        for (double &c : q1) c = -c; // the shorter way round
    PxV3Copy(p0, tm_[3]);
    const double d = PxV3Distance(target[3], p0);
    double s = 0;
    for (int i = 0; i < 4; ++i) s += (q1[i] - q0[i]) * (q1[i] - q0[i]);
    double ratio = 0;
    if (maxStep > 0) ratio = d / maxStep;
    if (maxRotation > 0 && s / maxRotation > ratio) ratio = s / maxRotation;
    const int n = ratio <= 1.0 ? 1 : static_cast<int>(std::ceil(ratio - 1e-12));
    Universe *universe = GetUniverse();
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n;
        double q[4], tm[4][4], p[3];
        PxQuaternionSlerp(q, q0, q1, t);
        for (int k = 0; k < 3; ++k) p[k] = p0[k] + t * (target[3][k] - p0[k]);
        TMFromQuaternion(tm, q, p);
        SetTM(i == n ? target : tm);
        if (i < n && universe) universe->step();
    }
}

namespace {

// Solids at the other end of the body's non-contact constraints.
std::vector<Solid *> AttachedSolids(RbdBodyID body)
{
    std::vector<Solid *> solids;
    std::pair<RbdBodyID, std::vector<Solid *> *> walk(body, &solids);
    RbdBodyForAllConstraints(
        body,
        [](RbdConstraintID c, void *arg) {
            auto &out = *static_cast<std::pair<RbdBodyID, std::vector<Solid *> *> *>(arg);
            if (RbdConstraintGetTypeId(c) == RBD_TYPE_CONTACT) return;
            RbdBodyID other = RbdConstraintGetBody(c, 0) == out.first ? RbdConstraintGetBody(c, 1)
                                                                      : RbdConstraintGetBody(c, 0);
            Solid *solid = other ? static_cast<Solid *>(RbdBodyGetUserData(other)) : nullptr;
            if (solid) out.second->push_back(solid);
        },
        &walk);
    return solids;
}

unsigned int gMovePass = 0;

} // namespace

void Solid::SetTMAndUpdateAttachments(const double tm[4][4], const Solid *notBackTo)
{
    if (!tm_) {
        SetTM(tm);
        return;
    }
    double delta[4][4];
    PxMatrix4TMCompoundInverseSecond(delta, tm, tm_);
    SetTM(tm);
    if (!body_ || PxMatrix4IsIdentity(delta, 1e-7)) return;
    movePass_ = ++gMovePass;
    if (notBackTo) const_cast<Solid *>(notBackTo)->movePass_ = movePass_;
    MoveAttachments(delta, this, movePass_);
}

// Every solid reached through joints moves by delta once; the pass number
// marks the solids already moved, so closed loops end.
void Solid::MoveAttachments(const double delta[4][4], const Solid *from, unsigned int pass)
{
    (void)from;
    for (Solid *other : AttachedSolids(body_)) {
        if (other->movePass_ == pass || !other->tm_) continue;
        other->movePass_ = pass;
        double moved[4][4];
        PxMatrix4TMCompound(moved, delta, other->tm_);
        NormalizeTM(moved);
        other->SetTM(moved);
        if (other->body_) other->MoveAttachments(delta, this, pass);
    }
}

} // namespace kelmar
