// The second ball wrap: plan every finger, then drive all joints so that
// they arrive together (speed fractions |target - current| / largest).
#include <kelmar/GraspBallWrap2_Orb.h>

#include <algorithm>
#include <cmath>

#include <kelmar/Robot.h>

#include "ballwrap/OrbPlanning.h"

namespace kelmar {

static_assert(GraspBallWrap2_Orb::kMaxFingers == hand::kMaxFingers, "one radius per finger");
static_assert(GraspBallWrap2_Orb::kMaxLinks == hand::kMaxLinks, "one plan entry per link");

namespace {

const double kTogether = 0.001; // below this largest motion every joint runs at full speed

} // namespace

void GraspBallWrap2_Orb::init(Robot *r, int graspType, const double c[3], double radius)
{
    robot = r;
    type = graspType;
    for (int i = 0; i < 3; ++i) centre[i] = c[i];
    setRadius(radius);
}

void GraspBallWrap2_Orb::init(Robot *r, int graspType, const double c[3], const double *r_i, int n)
{
    robot = r;
    type = graspType;
    for (int i = 0; i < 3; ++i) centre[i] = c[i];
    setRadius(r_i, n);
}

void GraspBallWrap2_Orb::setRadius(double radius)
{
    std::fill(radii, radii + kMaxFingers, radius);
}

void GraspBallWrap2_Orb::setRadius(const double *r_i, int n)
{
    for (int i = 0; r_i && i < std::min(n, static_cast<int>(kMaxFingers)); ++i) radii[i] = r_i[i];
}

int GraspBallWrap2_Orb::grasp()
{
    return robot ? grasp(robot) : 0;
}

int GraspBallWrap2_Orb::grasp(Robot *node)
{
    Plan p;
    if (!plan(node, p)) return 0;
    for (int f = 0; f < p.fingers; ++f)
        for (int k = 0; k < p.joints[f]; ++k) p.node[f][k]->_SetJoint(p.target[f][k], p.speed[f][k], false);
    return 0;
}

bool GraspBallWrap2_Orb::plan(Robot *node, Plan &p)
{
    hand::Hand h;
    if (!node || !hand::FindHand(node, h)) return false;
    p.fingers = h.count;
    double largest = 0;
    for (int f = 0; f < h.count; ++f) {
        const hand::Finger &finger = h.finger[f];
        p.joints[f] = (type == 0 || type == 1 || type == 2) ? finger.count : 0;
        for (int k = 0; k < p.joints[f]; ++k) {
            p.node[f][k] = finger.link[k];
            p.current[f][k] = p.target[f][k] = finger.link[k]->_GetJoint();
        }
        if (type == 1 && p.joints[f] > 0) p.target[f][0] = orb::AimFirstJoint(centre, h.palm, finger);
        if (type == 0 || type == 2)
            orb::CloseOnSphere(p.target[f], centre, radii[f], type == 0 ? centre : nullptr, h.palm, finger);
        for (int k = 0; k < p.joints[f]; ++k)
            largest = std::max(largest, std::fabs(p.target[f][k] - p.current[f][k]));
    }
    for (int f = 0; f < p.fingers; ++f)
        for (int k = 0; k < p.joints[f]; ++k)
            p.speed[f][k] = largest > kTogether ? std::fabs(p.target[f][k] - p.current[f][k]) / largest : 1.0;
    return true;
}

double GraspBallWrap2_Orb::calculateJoint0(const double goal[3], Robot *finger)
{
    hand::Finger chain;
    if (!finger) return 0;
    hand::FollowChain(finger, chain);
    return orb::AimFirstJoint(goal, finger->parent, chain);
}

int GraspBallWrap2_Orb::getFinalPositionsSphere(double *targets, const double c[3], double radius, const double *goal,
                                                Robot *finger)
{
    hand::Finger chain;
    if (!finger || !targets) return 0;
    hand::FollowChain(finger, chain);
    orb::CloseOnSphere(targets, c, radius, goal, finger->parent, chain);
    return chain.count;
}

} // namespace kelmar
