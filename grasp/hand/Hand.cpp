// Palm and fingers of a hand robot, and the pose of a link's joint.
#include "hand/Hand.h"

#include <cmath>

#include <kelmar/GraspOutput.h>
#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/PxVector.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

namespace kelmar {
namespace hand {

Robot *FindPalm(Robot *root)
{
    Robot *node = root;
    while (node && node->numChildren == 1) node = node->children[0];
    return node && node->numChildren > 1 ? node : nullptr;
}

void FollowChain(Robot *start, Finger &finger)
{
    finger.count = 0;
    for (Robot *node = start; node; node = node->numChildren > 0 ? node->children[0] : nullptr) {
        if (node->joint && finger.count < kMaxLinks) finger.link[finger.count++] = node;
        if (node->numChildren > 1) GraspPrint(GraspChannel::kProblem, "Finger contains branches! Selecting first.\n");
    }
}

bool FindHand(Robot *root, Hand &hand)
{
    hand.palm = FindPalm(root);
    hand.count = 0;
    if (!hand.palm) return false;
    for (Robot *child : hand.palm->children) {
        if (hand.count == kMaxFingers) break;
        FollowChain(child, hand.finger[hand.count++]);
    }
    return true;
}

bool PoseOf(Robot *node, LinkPose &pose)
{
    if (!node || !node->joint || !node->solid) return false;
    node->joint->GetPosition(pose.anchor);
    node->joint->GetAxis(pose.axis);
    if (node->jointReversed) PxV3Scale(pose.axis, pose.axis, -1.0);
    node->solid->GetPosition(pose.link);
    return true;
}

bool Movable(Robot *node)
{
    return node && node->limit && node->limit->Moveable();
}

void StopsOf(Robot *node, double &lower, double &upper)
{
    node->limit->GetLimits(lower, upper);
}

double WithinStops(Robot *node, double target)
{
    return node && node->limit ? node->limit->FitIntoLimits(target, false) : target;
}

// Rodrigues' formula on p - anchor.
void TurnAbout(const double anchor[3], const double axis[3], double angle, double p[3])
{
    double v[3], cross[3], out[3];
    PxV3Sub(v, p, anchor);
    PxV3Cross(cross, axis, v);
    const double c = std::cos(angle), s = std::sin(angle), along = PxV3Dot(axis, v) * (1 - c);
    for (int i = 0; i < 3; ++i) out[i] = v[i] * c + cross[i] * s + axis[i] * along;
    PxV3Add(p, anchor, out);
}

} // namespace hand
} // namespace kelmar
