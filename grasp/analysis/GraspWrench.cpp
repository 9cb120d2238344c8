// The primitive wrenches of the grasp wrench space, L1 variant: the edges
// of every contact's friction cone, each a unit normal force plus mu times
// a unit tangential one. Their convex hull (not computed here) is the set
// of wrenches the grasp can resist with a summed normal force of 1.
#include <kelmar/GraspMap.h>

#include <cmath>

#include <kelmar/ContactList.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdContact.h>

#include "analysis/ContactFrame.h"

namespace kelmar {

namespace {

const double kTwoPi = 6.283185307179586;

// The friction coefficient of a contact with friction in two directions,
// as the contact keeps it (single precision); 0 for the other types.
double FrictionOf(RbdContactID contact)
{
    const RbdContactParams *p = RbdContactGetParams(contact);
    if (RbdContactParamsGetType(p) != 2) return 0;
    return std::fabs(static_cast<float>(RbdContactParamsGetPrimaryFrictionCoefficient(p)));
}

void AppendConeEdges(const ContactFrame &frame, double mu, int edges, std::vector<double> &wrenches)
{
    for (int k = 0; k < edges; ++k) {
        const double phi = kTwoPi * k / edges;
        double f[3], tangent[3], w[6];
        PxV3Scale(tangent, frame.t1, std::sin(phi));
        PxV3AddScaled(tangent, tangent, frame.t2, std::cos(phi));
        PxV3AddScaled(f, frame.n, tangent, mu);
        PxV3Copy(w, f);
        PxV3Cross(w + 3, frame.r, f);
        wrenches.insert(wrenches.end(), w, w + 6);
    }
}

} // namespace

int Grasp::WrenchSpaceL1(std::vector<double> &wrenches, int edges) const
{
    if (edges < 3) edges = 3;
    wrenches.assign(6, 0.0);
    if (!target_ || !contacts_) return 1;
    for (const ContactList::Entry &e : contacts_->entries) {
        const double mu = FrictionOf(e.contact);
        if (mu == 0) continue;
        ContactFrame frame;
        ContactFrameOf(e.contact, target_, e.bodyIndex == 1, frame);
        AppendConeEdges(frame, mu, edges, wrenches);
    }
    return static_cast<int>(wrenches.size() / 6);
}

} // namespace kelmar
