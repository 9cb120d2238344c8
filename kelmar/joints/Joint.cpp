// The joint base: one owned constraint and the operations every kind shares.
#include <kelmar/Joint.h>

#include <cmath>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

namespace kelmar {

Joint::Joint(Scene *owner, RbdConstraintID constraint)
{
    scene = owner;
    SetConstraint(constraint);
}

Joint::~Joint()
{
    if (constraint_) RbdConstraintDestroy(constraint_);
}

void Joint::SetConstraint(RbdConstraintID constraint)
{
    if (constraint_ && constraint_ != constraint) RbdConstraintDestroy(constraint_);
    constraint_ = constraint;
    if (constraint_) RbdConstraintSetUserData(constraint_, this);
}

void Joint::SetPosition(const double *p)
{
    RbdConstraintSetPosition(constraint_, p[0], p[1], p[2]);
}

void Joint::GetPosition(double *p) const
{
    RbdConstraintGetPosition(constraint_, p);
}

void Joint::GetPositionRel(int body, double *p) const
{
    RbdConstraintBodyGetPositionRel(constraint_, body, p);
}

void Joint::SetAxis(double *axis)
{
    if (std::fabs(PxV3LengthSquared(axis) - 1.0) >= 1e-7 && PxV3Normalize(axis) <= 0.0) PxV3Set(axis, 1, 0, 0);
    RbdConstraintSetAxis(constraint_, axis[0], axis[1], axis[2]);
}

void Joint::GetAxis(double *axis) const
{
    RbdConstraintGetAxis(constraint_, axis);
}

// Each attachment frame is kept in its body's frame: with row-vector
// frames, world = local x body, so local = tm x body^-1.
void Joint::SetTM(double tm[4][4])
{
    for (int i = 0; i < 2; ++i) {
        RbdBodyID body = RbdConstraintGetBody(constraint_, i);
        double local[4][4];
        if (body)
            FrameInBody(local, tm, RbdBodyGetTransformPtr(body));
        else
            PxM4Copy(local, tm);
        RbdConstraintBodySetPositionRel(constraint_, i, local[3]);
        RbdConstraintBodySetAxesRel(constraint_, i, local[0], local[1]);
    }
}

void Joint::GetTM(int body, double tm[4][4]) const
{
    RbdConstraintBodyGetFrame(constraint_, body, tm);
    // The third axis follows from the other two, so the frame stays right-handed
    // even where the stored one has drifted by rounding.
    PxV3Cross(tm[2], tm[0], tm[1]);
}

bool Joint::SetSolids(const Solid *const solids[2])
{
    RbdBodyID body0 = solids[0] ? solids[0]->GetBody() : nullptr;
    RbdBodyID body1 = body0 && solids[1] ? solids[1]->GetBody() : nullptr;
    if (!body0 || !constraint_) return false;
    RbdWorldID world = RbdConstraintGetWorld(constraint_);
    if (RbdBodyGetWorld(body0) != world || (body1 && RbdBodyGetWorld(body1) != world)) return false;
    RbdConstraintSetBodies(constraint_, body0, body1);
    Enable(!(scene && (scene->options & Scene::kJointsDisabled)));
    return true;
}

void Joint::Enable(bool on)
{
    if (on)
        RbdConstraintEnable(constraint_);
    else
        RbdConstraintDisable(constraint_);
}

Solid *Joint::GetSolid(int index) const
{
    RbdBodyID body = constraint_ ? RbdConstraintGetBody(constraint_, index) : nullptr;
    return body ? static_cast<Solid *>(RbdBodyGetUserData(body)) : nullptr;
}

// Rows are the frame's axes in the reference frame, row 3 its origin:
// theta turns y and z about x, then alpha tilts x and z about the turned
// y; the origin lies d along x plus a along the turned y.
void Joint::CreateDHTransform(double tm[4][4], double d, double theta, double a, double alpha)
{
    const double ct = std::cos(theta), st = std::sin(theta), ca = std::cos(alpha), sa = std::sin(alpha);
    const double rows[4][4] = {
        {ca, st * sa, -ct * sa, 0}, {0, ct, st, 0}, {sa, -st * ca, ct * ca, 0}, {d, a * ct, a * st, 1}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) tm[i][j] = rows[i][j];
}

void Joint::EnableBodies()
{
    RbdConstraintEnableBodies(constraint_);
}

} // namespace kelmar
