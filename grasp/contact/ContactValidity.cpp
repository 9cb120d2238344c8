// Where along a link a contact lies: y = (contact - joint anchor) . u, u
// the unit vector from the anchor to the link's centre of mass.
#include <kelmar/GraspContactBased.h>

#include <algorithm>

#include <kelmar/GraspOutput.h>
#include <kelmar/Joint.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdContact.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

#include "hand/Contacts.h"

namespace kelmar {

namespace {

const char *NameOfBody(RbdBodyID body)
{
    const Solid *solid = body ? static_cast<const Solid *>(RbdBodyGetUserData(body)) : nullptr;
    return solid && solid->GetName() ? solid->GetName() : "";
}

} // namespace

bool GraspContactBased::isValidContact(Robot *node, double low, double high)
{
    if (!node || !node->joint || !node->solid || !node->solid->GetBody()) return false;
    double anchor[3], com[3], u[3];
    node->joint->GetPosition(anchor);
    RbdBodyGetCenterOfMassPosition(node->solid->GetBody(), com);
    PxV3Sub(u, com, anchor);
    const double length = PxV3Length(u);
    if (length == 0)
        PxV3Set(u, 1, 0, 0);
    else
        PxV3Scale(u, u, 1.0 / length);
    const double lo = std::min(low, high), hi = std::max(low, high);
    bool valid = false;
    hand::ForEachContact(node->solid, [&](RbdConstraintID c, int, RbdBodyID other) {
        if (valid) return;
        double p[3], along[3];
        RbdContactGetPosition(c, p);
        PxV3Sub(along, p, anchor);
        const double y = PxV3Dot(along, u);
        GraspPrint(GraspChannel::kProgress, "Kontakt mit %s bei y=%.3f -> ", NameOfBody(other), y);
        valid = y >= lo && y <= hi;
        GraspPrint(GraspChannel::kProgress, valid ? "VALID contact.\n" : "INVALID contact.\n");
    });
    return valid;
}

} // namespace kelmar
