// The shared part of hinges, prismatic joints and springs.
#include <kelmar/LimitedJoint.h>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>

namespace kelmar {

LimitedJoint::LimitedJoint(Scene *owner, RbdConstraintID constraint)
    : Joint(owner, constraint), Limit(this, constraint ? RbdConstraintGetLimit(constraint) : nullptr)
{
}

void LimitedJoint::AddTags(std::vector<PxXMLHandler> &handlers) const
{
    handlers.push_back(PX_XML_ELEMENT("LIMIT", Limit::Handle_Limit));
}

void LimitedJoint::RelativeVelocity(const double *p0, const double *p1, double *v) const
{
    PxVector3 v1;
    PxV3Zero(v);
    PxV3Zero(v1);
    RbdBodyID body0 = RbdConstraintGetBody(constraint_, 0), body1 = RbdConstraintGetBody(constraint_, 1);
    if (body0) RbdBodyGetVelocityAtPoint(body0, p0, v);
    if (body1) RbdBodyGetVelocityAtPoint(body1, p1, v1);
    PxV3Sub(v, v, v1);
}

} // namespace kelmar
