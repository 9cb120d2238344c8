// Springs: the spring element's ends and stiffness, drawing, and the
// length as a limited coordinate.
#include <kelmar/Spring.h>

#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdSpring.h>
#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

#include "JointElement.h"

namespace kelmar {

Spring::Spring(Scene *owner) : LimitedJoint(owner, owner ? RbdSpringCreate(owner->GetWorld()) : nullptr)
{
    if (constraint_) {
        RbdSpringSetStiffness(constraint_, 100.0);
        RbdSpringSetDamping(constraint_, 0.3);
    }
    showGraphics = true;
}

void Spring::AddTags(std::vector<PxXMLHandler> &handlers) const
{
    LimitedJoint::AddTags(handlers);
    const PxXMLHandler own[] = {PX_XML_VALUE("POS1", PxXMLParseDoubleArray, offsetof(JointElement, pos1), 3),
                                PX_XML_VALUE("POS2", PxXMLParseDoubleArray, offsetof(JointElement, pos2), 3),
                                PX_XML_VALUE("STIFFNESS", PxXMLParseDouble, offsetof(JointElement, stiffness), 1),
                                PX_XML_VALUE("DAMPING", PxXMLParseDouble, offsetof(JointElement, damping), 1),
                                PX_XML_VALUE("LENGTH", PxXMLParseDouble, offsetof(JointElement, length), 1)};
    handlers.insert(handlers.end(), own, own + 5);
}

int Spring::FinishElement(PxXMLInput *input, const PxXMLHandler *handlers, JointElement &v, bool isNew)
{
    if (Given(handlers, "STIFFNESS")) RbdSpringSetStiffness(constraint_, v.stiffness);
    if (Given(handlers, "DAMPING")) RbdSpringSetDamping(constraint_, v.damping);
    if (!isNew) return PX_XML_OK;
    if (Given(handlers, "LENGTH"))
        ReportWarning(input, "obsolete <LENGTH> tag for spring ignored, natural length defaults to inital length\n");
    PlaceEnds(handlers, v);
    PxVector3 p0, p1;
    RbdConstraintBodyGetPosition(constraint_, 0, p0);
    RbdConstraintBodyGetPosition(constraint_, 1, p1);
    RbdSpringSetNaturalLength(constraint_, PxV3Distance(p0, p1));
    return PX_XML_OK;
}

// POS1 is given in the first solid's frame, POS2 in the second's (the
// scene placement for the world).
void Spring::PlaceEnds(const PxXMLHandler *handlers, const JointElement &v)
{
    const double *given[2] = {Given(handlers, "POS1") ? v.pos1 : nullptr, Given(handlers, "POS2") ? v.pos2 : nullptr};
    for (int i = 0; i < 2; ++i) {
        if (!given[i]) continue;
        double local[3], world[3];
        PxV3Scale(local, given[i], scene->GetScale());
        const double(*frame)[4] = scene->GetSolidTransform(v.solids[i], "spring", v.id);
        ConvertPosition(frame ? frame : scene->GetPlacement(), local, world);
        RbdConstraintBodySetPosition(constraint_, i, world);
    }
}

void Spring::draw(unsigned int flags) const
{
    if (!showGraphics || (flags & kDrawTranslucentPass) || !constraint_) return;
    static const float red[4] = {1, 0, 0, 1};
    PxVector3 p0, p1;
    RbdConstraintBodyGetPosition(constraint_, 0, p0);
    RbdConstraintBodyGetPosition(constraint_, 1, p1);
    DrawLine(p0, p1, red);
}

// The length changes at u . (velocity of p0 with body 0 - of p1 with
// body 1), u the unit vector from p1 to p0.
void Spring::ComputePositionAndSpeed()
{
    if (!constraint_) return;
    PxVector3 p0, p1, u, v;
    RbdConstraintBodyGetPosition(constraint_, 0, p0);
    RbdConstraintBodyGetPosition(constraint_, 1, p1);
    PxV3Sub(u, p0, p1);
    double rate = 0.0;
    if (PxV3Normalize(u) > 0.0) {
        RelativeVelocity(p0, p1, v);
        rate = PxV3Dot(u, v);
    }
    StoreReading(RbdLimitGetPosition(limit) + rate * TimeStep(), rate);
}

double Spring::DriveForce() const
{
    return constraint_ ? RbdConstraintDOFGetLambda(constraint_, 0) : 0.0;
}

} // namespace kelmar
