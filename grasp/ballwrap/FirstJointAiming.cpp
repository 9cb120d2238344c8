// First-joint aiming: the first joint of a finger turns it, in the palm's
// x-y plane, until the finger points along the line from the goal through
// the finger's base (either way along it). The finger's direction in that
// plane is the longer of A1 - A0 and Q - A0, where A0 and A1 are the first
// two anchors and Q = A1 + 2 (A0 - A1) x a1 is where the finger's second
// joint would carry the link beyond it: for a finger standing out of the
// palm's plane that is the way it curls, for one lying in it the way it points.
#include "ballwrap/OrbPlanning.h"

#include <algorithm>
#include <cmath>

#include <kelmar/GraspOutput.h>
#include <kelmar/Joint.h>
#include <kelmar/PxVector.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

namespace kelmar {
namespace orb {

namespace {

const double kDeadBand = 0.01;    // rad, and the sine of the side test
const double kInsideStops = 0.01; // rad

// p (world) in the palm's frame, x and y only, normalised; (1, 0) when zero.
void PlanarDirection(const double tm[4][4], const double v[3], double out[2])
{
    out[0] = tm[0][0] * v[0] + tm[0][1] * v[1] + tm[0][2] * v[2];
    out[1] = tm[1][0] * v[0] + tm[1][1] * v[1] + tm[1][2] * v[2];
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1]);
    if (length == 0) {
        out[0] = 1;
        out[1] = 0;
        return;
    }
    out[0] /= length;
    out[1] /= length;
}

// The finger's pointing direction (world, not normalised).
void FingerDirection(const hand::LinkPose &first, const hand::LinkPose &second, double v[3])
{
    double back[3], q[3], toQ[3], toA1[3];
    PxV3Sub(back, first.anchor, second.anchor);
    PxV3Cross(q, back, second.axis);
    PxV3AddScaled(q, second.anchor, q, 2.0);
    PxV3Sub(toQ, q, first.anchor);
    PxV3Sub(toA1, second.anchor, first.anchor);
    PxV3Copy(v, PxV3Length(toQ) >= PxV3Length(toA1) ? toQ : toA1);
}

// +1 when a positive value of the first joint turns the finger
// counter-clockwise about the palm's z axis, -1 clockwise, 0 when the joint
// does not turn it in the palm's plane.
int TurnSense(const double tm[4][4], const double axis[3])
{
    const double z = PxV3Dot(tm[2], axis);
    return std::fabs(z) < 1e-6 ? 0 : z > 0 ? 1 : -1;
}

} // namespace

double AimFirstJoint(const double goal[3], const Robot *palm, const hand::Finger &finger)
{
    GraspPrint(GraspChannel::kProgress, "vGoalPoint: %.2f %.2f %.2f\n", goal[0], goal[1], goal[2]);
    hand::LinkPose first, second;
    if (!palm || !palm->solid || finger.count < 2 || !hand::PoseOf(finger.link[0], first) ||
        !hand::PoseOf(finger.link[1], second))
        return 0;
    const double(*tm)[4] = palm->solid->GetTM();
    double along[3], away[3], v[2], w[2];
    FingerDirection(first, second, along);
    PxV3Sub(away, first.anchor, goal);
    PlanarDirection(tm, along, v);
    PlanarDirection(tm, away, w);
    const double dot = v[0] * w[0] + v[1] * w[1];
    double angle = std::acos(std::max(-1.0, std::min(1.0, dot)));
    if (angle > 0.5 * 3.141592653589793) angle = 3.141592653589793 - angle;
    if (angle < kDeadBand) angle = 0;
    // Turn v towards the nearer end of the line along w.
    const double side = (dot >= 0 ? 1 : -1) * (v[0] * w[1] - v[1] * w[0]);
    const int sense = TurnSense(tm, first.axis);
    const double turn = std::fabs(side) <= kDeadBand ? 0 : (side > 0 ? angle : -angle) * sense;
    Robot *node = finger.link[0];
    double lower, upper;
    hand::StopsOf(node, lower, upper);
    return std::max(lower + kInsideStops, std::min(upper - kInsideStops, node->_GetJoint() + turn));
}

} // namespace orb
} // namespace kelmar
