// Hinges.
#include <kelmar/Hinge.h>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdHinge.h>
#include <kelmar/Scene.h>

#include "JointElement.h"

namespace kelmar {

Hinge::Hinge(Scene *owner) : LimitedJoint(owner, owner ? RbdHingeCreate(owner->GetWorld()) : nullptr)
{
}

void Hinge::AddTags(std::vector<PxXMLHandler> &handlers) const
{
    LimitedJoint::AddTags(handlers);
    handlers.push_back(PX_XML_VALUE("AXIS", PxXMLParseDoubleArray, offsetof(JointElement, axis), 3));
}

// The limit's angle was measured when the last step began; the bodies have
// since turned by one step at their present speeds, so the angle now is
// that angle plus speed x dt. The speed is the dynamics' own joint rate,
// axis0 . (w0 - w1), with the velocities the step ended with.
void Hinge::ComputePositionAndSpeed()
{
    if (!constraint_) return;
    const double rate = RbdHingeGetRate(constraint_);
    StoreReading(RbdLimitGetPosition(limit) + rate * TimeStep(), rate);
}

double Hinge::DriveForce() const
{
    return constraint_ ? RbdHingeGetMotorTorque(constraint_) : 0.0;
}

} // namespace kelmar
