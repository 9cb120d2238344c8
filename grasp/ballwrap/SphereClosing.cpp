// Sphere closing: every joint of a finger after the first turns its link
// line onto the tangent of the sphere, computed on the finger as the
// earlier joints' turns will have left it: after each joint, the anchors,
// axes and link positions of the later joints are turned about that joint.
#include "ballwrap/OrbPlanning.h"

#include <algorithm>
#include <cmath>

#include <kelmar/PxVector.h>
#include <kelmar/Robot.h>

namespace kelmar {
namespace orb {

namespace {

const double kSmallTurn = 0.01; // rad

// The turn of joint pose p that lays its link line on the sphere's tangent.
double TangentTurn(const hand::LinkPose &p, const double centre[3], double radius)
{
    double d[3], r[3], across[3], rp[3];
    PxV3Sub(d, centre, p.anchor);
    PxV3Sub(r, p.link, p.anchor);
    const double ld = PxV3Length(d), lr = PxV3Length(r);
    if (lr == 0) return 0;
    const double alpha = radius > ld ? 0.5 * 3.141592653589793 : std::asin(radius / ld);
    PxV3AddScaled(across, d, p.axis, -PxV3Dot(d, p.axis));
    const double la = PxV3Length(across);
    if (la == 0)
        PxV3Set(across, 1, 0, 0);
    else
        PxV3Scale(across, across, 1.0 / la);
    PxV3AddScaled(rp, r, p.axis, -PxV3Dot(r, p.axis));
    const double theta = std::acos(std::max(-1.0, std::min(1.0, PxV3Dot(rp, across) / lr))) - alpha;
    return std::fabs(theta) < kSmallTurn ? 0.0 : theta;
}

// The later joints of the finger move with joint k's turn.
void CarryLaterJoints(hand::LinkPose *poses, int k, int count, double theta)
{
    if (theta == 0) return;
    const hand::LinkPose &turning = poses[k];
    const double origin[3] = {0, 0, 0};
    for (int m = k + 1; m < count; ++m) {
        hand::TurnAbout(turning.anchor, turning.axis, theta, poses[m].anchor);
        hand::TurnAbout(turning.anchor, turning.axis, theta, poses[m].link);
        hand::TurnAbout(origin, turning.axis, theta, poses[m].axis);
    }
}

} // namespace

void CloseOnSphere(double *targets, const double centre[3], double radius, const double *goal, const Robot *palm,
                   const hand::Finger &finger)
{
    hand::LinkPose poses[hand::kMaxLinks];
    bool posed[hand::kMaxLinks];
    for (int k = 0; k < finger.count; ++k) {
        posed[k] = hand::PoseOf(finger.link[k], poses[k]);
        targets[k] = finger.link[k]->_GetJoint();
    }
    if (finger.count == 0) return;
    if (goal) targets[0] = AimFirstJoint(goal, palm, finger);
    if (posed[0]) CarryLaterJoints(poses, 0, finger.count, targets[0] - finger.link[0]->_GetJoint());
    for (int k = 1; k < finger.count; ++k) {
        if (!posed[k] || !hand::Movable(finger.link[k])) continue;
        const double theta = TangentTurn(poses[k], centre, radius);
        targets[k] += theta;
        CarryLaterJoints(poses, k, finger.count, theta);
    }
}

} // namespace orb
} // namespace kelmar
