// The recursive speed grasp. Each node counts its contacts with the target
// and sums the force they put on it; its joint then opens (force over the
// limit), holds (touching), creeps (a distal link touches) or closes.
#include <kelmar/GraspContactBased0.h>

#include <kelmar/PxVector.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

#include "hand/Contacts.h"
#include "hand/Hand.h"

namespace kelmar {

namespace {

const double kOpening = -0.1;  // of the node's speed, when pressing too hard
const double kCreeping = 1e-4; // of the node's speed, when a distal link touches

} // namespace

void GraspContactBased0::init(Robot *r, Solid *t, double limit, double s)
{
    robot = r;
    target = t;
    forceLimit = limit;
    speed = s;
}

int GraspContactBased0::grasp()
{
    return robot && target ? grasp(robot, speed) : 0;
}

int GraspContactBased0::grasp(Robot *node, double nodeSpeed)
{
    int childContacts = 0;
    for (Robot *child : node->children) childContacts += grasp(child, 0.5 * nodeSpeed);
    RbdBodyID mine = target->GetBody();
    int own = 0;
    double force[3] = {0, 0, 0};
    hand::ForEachContact(node->solid, [&](RbdConstraintID c, int side, RbdBodyID other) {
        if (!mine || other != mine) return;
        double f[3];
        // On the target: the opposite of the force on the link (read on the
        // link's side, which is always a live body; a held target's is not).
        RbdConstraintGetForce(c, side, f);
        PxV3Sub(force, force, f);
        ++own;
    });
    if (!hand::Movable(node)) return own + childContacts;
    if (PxV3LengthSquared(force) > forceLimit)
        node->_SetJointSpeed(kOpening * nodeSpeed);
    else if (own > 0)
        node->_SetJointSpeed(0.0);
    else
        node->_SetJointSpeed(childContacts > 0 ? kCreeping * nodeSpeed : nodeSpeed);
    return own + childContacts;
}

} // namespace kelmar
