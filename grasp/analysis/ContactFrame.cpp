// Contact frames on a grasped solid.
#include "analysis/ContactFrame.h"

#include <cmath>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdContact.h>
#include <kelmar/Solid.h>

namespace kelmar {

void TangentsOf(const double n[3], double t1[3], double t2[3])
{
    if (std::fabs(n[0]) > std::fabs(n[1])) {
        const double s = 1.0 / std::sqrt(n[0] * n[0] + n[2] * n[2]);
        PxV3Set(t1, n[2] * s, 0, -n[0] * s);
    } else {
        const double s = 1.0 / std::sqrt(n[1] * n[1] + n[2] * n[2]);
        PxV3Set(t1, 0, -n[2] * s, n[1] * s);
    }
    PxV3Cross(t2, n, t1);
}

// The centre of mass of a body's solid, or the pose of one without a body.
static void CentreOf(const Solid *target, double com[3])
{
    if (target->GetBody())
        RbdBodyGetCenterOfMassPosition(target->GetBody(), com);
    else
        target->GetPosition(com);
}

void ContactFrameOf(RbdContactID contact, const Solid *target, bool flip, ContactFrame &frame)
{
    double position[3], com[3];
    RbdContactGetNormal(contact, frame.n);
    if (flip) PxV3Scale(frame.n, frame.n, -1.0);
    TangentsOf(frame.n, frame.t1, frame.t2);
    RbdContactGetPosition(contact, position);
    CentreOf(target, com);
    PxV3Sub(frame.r, position, com);
}

void TargetRotation(const Solid *target, double rotation[3][3])
{
    const double(*tm)[4] = target->GetBody() ? RbdBodyGetCenterOfMassTransformPtr(target->GetBody())
                                             : target->GetTM();
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) rotation[i][j] = tm[i][j];
}

void IntoFrame(const double rotation[3][3], const double v[3], double out[3])
{
    for (int i = 0; i < 3; ++i) out[i] = PxV3Dot(rotation[i], v);
}

} // namespace kelmar
