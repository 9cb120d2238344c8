// The ball wraps on the example hand: hand3.px held palm down closes on a
// rubber ball of 4 cm radius until every fingertip touches it, and then
// holds it against gravity for 2 s; both controllers. Then their edges, on
// a palm with two fingers of three links lying along +x and -x, every
// joint closing downwards (-z): the tangent rule, a ball around a finger's
// first joint, the second ball wrap's plans for types 1 and 2 with the
// geometry each type promises, and a finger that branches.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdWorld.h>

#include "GraspTestSupport.h"

namespace {

// The link centre lines keep the ball's radius plus half a link's width
// (0.8 cm) from its centre, less 1 mm so that the fingertips press.
const double kWrapRadius = 4.0 + 0.8 - 0.1;

// Closes (every fingertip on the ball within 1 s), turns gravity on, lets
// the contacts take the load for 0.25 s, then holds for 2 s: the ball
// drifts less than 1 mm, the fingers carry its weight, all tips still touch.
void ExpectClosesAndHolds(grasptest::World &w, const std::function<void()> &grasp)
{
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::Solid *ball = w.solid("ball");
    auto steps = [&](int n) {
        for (int s = 0; s < n; ++s) grasp(), w.Steps(1);
    };
    int closing = 0;
    for (; closing < 200 && w.TipsOn(ball) < 3; ++closing) steps(1);
    ASSERT_EQ(w.TipsOn(ball), 3) << "the fingertips never all touched the ball";
    RbdWorldSetGravity(w.universe.GetWorld(), 0, 0, -981);
    RbdBodyEnable(ball->GetBody());
    steps(50);
    double start[3], end[3], force[3];
    ball->GetPosition(start);
    steps(400);
    ball->GetPosition(end);
    ball->GetTotalForce(force);
    EXPECT_LT(PxV3Distance(start, end), 0.1); // cm
    EXPECT_NEAR(force[2] / (RbdBodyGetMass(ball->GetBody()) * 981), 1.0, 0.1);
    EXPECT_EQ(w.TipsOn(ball), 3);
}

TEST(BallWrap, ClosesOnTheBallAndHoldsItPalmDown)
{
    grasptest::World w(grasptest::Hand3WithBall(false));
    kelmar::GraspBallWrap wrap;
    wrap.init(w.robot("hand.robot"), w.solid("ball"), kWrapRadius, 0.05);
    ExpectClosesAndHolds(w, [&] { wrap.grasp(); });
}

TEST(BallWrap2_Orb, TypeZeroClosesOnTheBallAndHoldsItPalmDown)
{
    grasptest::World w(grasptest::Hand3WithBall(false));
    kelmar::GraspBallWrap2_Orb orb;
    double centre[3];
    w.solid("ball")->GetPosition(centre);
    grasptest::Lines lines; // the goal point is printed every step
    orb.init(w.robot("hand.robot"), 0, centre, kWrapRadius);
    ExpectClosesAndHolds(w, [&] { orb.grasp(); });
    EXPECT_NE(lines.progress.find("vGoalPoint: 0.00 0.00 -11.00\n"), std::string::npos);
}

// Finger b along +x (anchors at x = 2, 4, 6, axes +y); finger c along -x
// (axes -y) whose first joint spreads about +z. Links 1 cm wide, no gravity.
const char *kTwoFingers = R"(
<WORLD><GRAVITY>0, 0, 0</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<GEOMETRIES><BOX b><SIZE>1, 1, 1</SIZE></BOX></GEOMETRIES>
<SOLID palm><GEOMETRY_ID>b</GEOMETRY_ID><FROZEN>1</FROZEN></SOLID>
<SOLID b1><GEOMETRY_ID>b</GEOMETRY_ID><POS>3, 0, 0</POS></SOLID>
<SOLID b2><GEOMETRY_ID>b</GEOMETRY_ID><POS>5, 0, 0</POS></SOLID>
<SOLID b3><GEOMETRY_ID>b</GEOMETRY_ID><POS>7, 0, 0</POS></SOLID>
<SOLID c1><GEOMETRY_ID>b</GEOMETRY_ID><POS>-3, 0, 0</POS></SOLID>
<SOLID c2><GEOMETRY_ID>b</GEOMETRY_ID><POS>-5, 0, 0</POS></SOLID>
<SOLID c3><GEOMETRY_ID>b</GEOMETRY_ID><POS>-7, 0, 0</POS></SOLID>
<HINGE jb1><SOLID_IDS>b1, palm</SOLID_IDS><POS>2, 0, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 3</STOPS></LIMIT></HINGE>
<HINGE jb2><SOLID_IDS>b2, b1</SOLID_IDS><POS>4, 0, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 3</STOPS></LIMIT></HINGE>
<HINGE jb3><SOLID_IDS>b3, b2</SOLID_IDS><POS>6, 0, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 3</STOPS></LIMIT></HINGE>
<HINGE jc1><SOLID_IDS>c1, palm</SOLID_IDS><POS>-2, 0, 0</POS><AXIS>0, 0, 1</AXIS><LIMIT><STOPS>-1, 1</STOPS></LIMIT></HINGE>
<HINGE jc2><SOLID_IDS>c2, c1</SOLID_IDS><POS>-4, 0, 0</POS><AXIS>0, -1, 0</AXIS><LIMIT><STOPS>-1, 3</STOPS></LIMIT></HINGE>
<HINGE jc3><SOLID_IDS>c3, c2</SOLID_IDS><POS>-6, 0, 0</POS><AXIS>0, -1, 0</AXIS><LIMIT><STOPS>-1, 3</STOPS></LIMIT></HINGE>
)";
const char *kRobot = "<ROBOT hand><SOLID>palm</SOLID></ROBOT>";

// The hand with finger b branching after b1: a second link beside b2.
const char *kBranch = R"(<SOLID bx><GEOMETRY_ID>b</GEOMETRY_ID><POS>5, 3, 0</POS></SOLID>
<HINGE jbx><SOLID_IDS>bx, b1</SOLID_IDS><POS>4, 3, 0</POS><AXIS>0, 1, 0</AXIS><LIMIT><STOPS>-1, 3</STOPS></LIMIT></HINGE>)";

std::string Hand(bool branching = false)
{
    return std::string(kTwoFingers) + (branching ? kBranch : "") + kRobot;
}

const int kB1 = 0, kC1 = 3, kC2 = 4; // joint numbers (b1 b2 b3 c1 c2 c3)

// One world for the first ball wrap's edges. The ball's centre at angle
// phi below the +x axis, seen from b1's anchor (2, 0, 0) at distance 5:
// b1's link line (along +x) is on the tangent when phi = asin(radius / 5)
// and must close by phi minus that, unless that is within the tolerance or
// opens it. Then a ball about b2's anchor that encloses b1's: b1 stops
// finger b (b2, whose anchor is the centre, gets no command of its own)
// though its joints were running; finger c, outside, is driven: c1 to its
// upper stop.
TEST(BallWrap, TurnsOntoTheTangentAndStopsAFingerInsideTheBall)
{
    grasptest::World w(Hand());
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::Robot *hand = w.robot("hand"), *b1 = hand->GetNodeOfJoint(kB1), *b2 = hand->GetNodeOfJoint(kB1 + 1);
    kelmar::GraspBallWrap wrap;
    wrap.init(hand, nullptr, 1.5, 0.05);
    const double cases[][2] = {{0.0, 0.0}, {0.009, 0.0}, {-0.3, 0.0}, {0.05, 0.05}, {0.4, 0.4}}; // beyond, turn
    for (const auto &c : cases) {
        const double phi = std::asin(1.5 / 5) + c[0], current = b1->_GetJoint();
        PxV3Set(wrap.centre, 2 + 5 * std::cos(phi), 0, -5 * std::sin(phi));
        b2->target = 99;
        wrap.grasp(hand);
        EXPECT_NEAR(b1->target, current + c[1], 1e-9) << c[0];
        EXPECT_EQ(b2->target == 99, c[1] != 0) << c[0]; // b1 on its aim lets b2 have its command
    }
    hand->ForAllJoints(&kelmar::Robot::_SetJointSpeed, 1.0);
    wrap.init(hand, nullptr, 2.5, 0.05);
    PxV3Set(wrap.centre, 4, 0, 0);
    wrap.grasp(hand);
    w.Steps(1);
    double before[6], after[6];
    hand->GetJoints(before);
    w.Steps(10); // running on at 1 rad/s would turn them by 0.05
    hand->GetJoints(after);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(after[j], before[j], 1e-3) << "joint " << j;
    EXPECT_EQ(hand->GetNodeOfJoint(kC1)->target, 1.0);
    EXPECT_GT(after[kC1] - before[kC1], 0.01);
}

// Speed fractions of one plan: each joint's share of the largest motion,
// exactly 1 on that joint (all 1 when nothing moves).
void ExpectArriveTogether(const kelmar::GraspBallWrap2_Orb::Plan &p)
{
    double largest = 0, fastest = 0;
    for (int f = 0; f < p.fingers; ++f)
        for (int k = 0; k < p.joints[f]; ++k)
            largest = std::max(largest, std::fabs(p.target[f][k] - p.current[f][k]));
    for (int f = 0; f < p.fingers; ++f)
        for (int k = 0; k < p.joints[f]; ++k) {
            const double share = largest > 0.001 ? std::fabs(p.target[f][k] - p.current[f][k]) / largest : 1.0;
            EXPECT_NEAR(p.speed[f][k], share, 1e-12) << f << "." << k;
            fastest = std::max(fastest, p.speed[f][k]);
        }
    EXPECT_EQ(fastest, 1.0);
}

// On the hand whose finger b branches (the first branch is taken, with
// one message per plan). Type 1 aims only the first joints: b1 turns in
// the palm's plane (its axis lies in it) and stays; c1 turns finger c onto
// the line from the goal through its base, in the palm's x-y plane.
// Type 2 leaves the first joints and closes the others on the sphere: the
// second link of each finger, turned by its planned amount, lies on the
// sphere's tangent (seen from its anchor, centre and axis in one plane).
TEST(BallWrap2_Orb, TypesOneAndTwoOnABranchingHand)
{
    grasptest::World w(Hand(true));
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::Robot *hand = w.robot("hand");
    grasptest::Lines lines;
    const double goal[3] = {-5, 2, -3};
    kelmar::GraspBallWrap2_Orb orb;
    orb.init(hand, 1, goal, 1.0);
    kelmar::GraspBallWrap2_Orb::Plan p;
    ASSERT_TRUE(orb.plan(hand, p));
    ASSERT_EQ(p.fingers, 2);
    ASSERT_EQ(p.joints[0] + p.joints[1], 6); // b1, b2 (the first branch), b3 and c1 to c3
    for (int j : {0, 1, 2, 4, 5}) EXPECT_EQ(p.target[j / 3][j % 3], p.current[j / 3][j % 3]) << j;
    const double t = p.target[1][0] - p.current[1][0], base[2] = {-2, 0};
    const double along[2] = {-std::cos(t), -std::sin(t)}, toGoal[2] = {goal[0] - base[0], goal[1] - base[1]};
    EXPECT_GT(std::fabs(t), 0.1);
    EXPECT_NEAR(along[0] * toGoal[1] - along[1] * toGoal[0], 0, 1e-9);
    ExpectArriveTogether(p);
    EXPECT_NE(lines.progress.find("vGoalPoint: -5.00 2.00 -3.00\n"), std::string::npos);
    const double across[3] = {-2.2, 5, 0}; // the goal line almost square to finger c: c1 stops 0.01 inside
    orb.init(hand, 1, across, 1.0);
    ASSERT_TRUE(orb.plan(hand, p));
    EXPECT_NEAR(std::fabs(p.target[1][0]), 0.99, 1e-12);

    const double centre[3] = {0, 0, -3}, radius = 1.0;
    orb.init(hand, 2, centre, radius);
    ASSERT_TRUE(orb.plan(hand, p));
    for (int f = 0; f < 2; ++f) {
        EXPECT_EQ(p.target[f][0], p.current[f][0]);
        const double theta = p.target[f][1] - p.current[f][1], out = f == 0 ? 1 : -1;
        const double anchor[3] = {4 * out, 0, 0}, link[3] = {out * std::cos(theta), 0, -std::sin(theta)};
        double d[3], across[3];
        PxV3Sub(d, centre, anchor);
        PxV3Cross(across, d, link);
        EXPECT_NEAR(PxV3Length(across), radius, 1e-9) << "finger " << f;
        EXPECT_GT(PxV3Dot(d, link), 0) << "finger " << f;
        // The third link, planned on the finger as b2's turn leaves it, is on the tangent too.
        const double phi = theta + p.target[f][2] - p.current[f][2];
        const double third[3] = {out * std::cos(phi), 0, -std::sin(phi)};
        PxV3AddScaled(d, d, link, -2.0);
        PxV3Cross(across, d, third);
        EXPECT_NEAR(PxV3Length(across), radius, 1e-9) << "finger " << f;
    }
    ExpectArriveTogether(p);
    ASSERT_EQ(orb.grasp(hand), 0);
    EXPECT_EQ(hand->GetNodeOfJoint(kC2 + 1)->target, p.target[1][1]); // bx is joint 3
    EXPECT_EQ(hand->GetNodeOfJoint(kC1 + 1)->target, p.current[1][0]);
    const std::string once = "Finger contains branches! Selecting first.\n";
    std::string expected;
    for (int n = grasptest::Count(lines.problems, once); n > 0; --n) expected += once;
    EXPECT_EQ(lines.problems, expected);                  // nothing else,
    EXPECT_GE(grasptest::Count(lines.problems, once), 3); // and at least once per plan
}

} // namespace
