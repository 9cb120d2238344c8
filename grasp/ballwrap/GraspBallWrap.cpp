// Ball wrap: with A the joint's anchor, a its axis, P its link's centre, Q
// the ball's centre and R its radius, d = Q - A and r = P - A. Seen along
// the axis, the link line A-P touches the ball when the angle between d
// and r is alpha = asin(R / |d|); the joint turns by the rest,
// theta = acos(d' . r' / (|d| |r|)) - alpha (d', r': d and r without their
// parts along a), never opening the finger.
#include <kelmar/GraspBallWrap.h>

#include <algorithm>
#include <cmath>

#include <kelmar/PxVector.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

#include "hand/Hand.h"

namespace kelmar {

namespace {

const double kTiny = 1e-7;      // cm: a lever this short gives no direction
const double kSmallTurn = 0.01; // rad: turns below this are left out

void Across(const double v[3], const double axis[3], double out[3])
{
    PxV3AddScaled(out, v, axis, -PxV3Dot(v, axis));
}

// The turn that brings the link line onto the ball's tangent (>= 0).
double TurnOntoTangent(const double d[3], const double r[3], const double axis[3], double radius)
{
    const double ld = PxV3Length(d), lr = PxV3Length(r);
    double dp[3], rp[3];
    Across(d, axis, dp);
    Across(r, axis, rp);
    const double cosine = std::max(-1.0, std::min(1.0, PxV3Dot(dp, rp) / (ld * lr)));
    const double theta = std::acos(cosine) - std::asin(radius / ld);
    return theta < kSmallTurn ? 0.0 : theta;
}

void StopChildren(Robot *node)
{
    for (Robot *child : node->children) child->ForAllJoints(&Robot::_SetJointSpeed, 0.0);
}

} // namespace

void GraspBallWrap::init(Robot *r, Solid *t, double ballRadius, double jointTolerance)
{
    robot = r;
    target = t;
    radius = ballRadius;
    tolerance = jointTolerance;
}

void GraspBallWrap::grasp()
{
    if (!robot || !target) return;
    target->GetPosition(centre);
    grasp(robot);
}

void GraspBallWrap::grasp(Robot *node)
{
    if (!Aim(node)) return;
    for (Robot *child : node->children) grasp(child);
}

bool GraspBallWrap::Aim(Robot *node)
{
    hand::LinkPose pose;
    if (!hand::Movable(node) || !hand::PoseOf(node, pose)) return true;
    double d[3], r[3];
    PxV3Sub(d, centre, pose.anchor);
    PxV3Sub(r, pose.link, pose.anchor);
    const double ld = PxV3Length(d);
    if (ld <= kTiny || PxV3Length(r) <= kTiny) return true;
    if (radius > ld) { // the ball encloses the joint: this finger stops here
        node->ForAllJoints(&Robot::_SetJointSpeed, 0.0);
        return true;
    }
    const double current = node->_GetJoint();
    double lower, upper;
    hand::StopsOf(node, lower, upper);
    const double aim = std::max(lower, std::min(upper, current + TurnOntoTangent(d, r, pose.axis, radius)));
    node->_SetJoint(aim, 1.0, false);
    if (std::fabs(aim - current) <= tolerance) return true;
    StopChildren(node);
    return false;
}

} // namespace kelmar
