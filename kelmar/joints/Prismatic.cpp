// Prismatic joints.
#include <kelmar/Prismatic.h>

#include <kelmar/PxVector.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdPrismatic.h>
#include <kelmar/Scene.h>

#include "JointElement.h"

namespace kelmar {

Prismatic::Prismatic(Scene *owner) : LimitedJoint(owner, owner ? RbdPrismaticCreate(owner->GetWorld()) : nullptr)
{
}

void Prismatic::AddTags(std::vector<PxXMLHandler> &handlers) const
{
    LimitedJoint::AddTags(handlers);
    handlers.push_back(PX_XML_VALUE("AXIS", PxXMLParseDoubleArray, offsetof(JointElement, axis), 3));
}

// The displacement d = (p0 - p1) . a0 changes at a0 . (velocity of p1 as
// carried by body 0 - as carried by body 1): the terms of a turning axis
// and of the two points' separation cancel there. With no turning this is
// a0 . (v0 - v1). As for the hinge, the limit's displacement was measured
// when the last step began.
void Prismatic::ComputePositionAndSpeed()
{
    if (!constraint_) return;
    PxVector3 axis, secondary, p1, v;
    RbdConstraintBodyGetAxes(constraint_, 0, axis, secondary);
    RbdConstraintBodyGetPosition(constraint_, 1, p1);
    RelativeVelocity(p1, p1, v);
    const double rate = PxV3Dot(axis, v);
    StoreReading(RbdLimitGetPosition(limit) + rate * TimeStep(), rate);
}

double Prismatic::DriveForce() const
{
    return constraint_ ? RbdPrismaticGetMotorForce(constraint_) : 0.0;
}

} // namespace kelmar
