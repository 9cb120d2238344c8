// The ball wraps on the example hand: hand3.px held palm down closes on a
// rubber ball of 4 cm radius until every fingertip touches it, and then
// holds it against gravity for 2 s; both controllers.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>

#include "GraspScenes.h"
#include "GraspTestSupport.h"

namespace {

// The link centre lines keep the ball's radius plus half a link's width
// (0.8 cm) from its centre, less 1 mm so that the fingertips press.
const double kWrapRadius = 4.0 + 0.8 - 0.1;
const char *kTips[3] = {"hand.finger1_distal", "hand.finger2_distal", "hand.finger3_distal"};

int TipsTouching(grasptest::World &w, const kelmar::Solid *ball)
{
    int n = 0;
    for (const char *tip : kTips) n += grasptest::Touches(w.solid(tip), ball) ? 1 : 0;
    return n;
}

struct Hold {
    int closedAfter = -1; // steps until every fingertip touched
    double drift = -1;    // cm over the 2 s held
    double carried = 0;   // upward contact force on the ball over its weight
    int tipsAtEnd = 0;
};

// Closes (at most 1 s), turns gravity on, lets the contacts take the load
// for 0.25 s, then measures the ball's drift over 2 s.
Hold CloseAndHold(grasptest::World &w, const std::function<void()> &step)
{
    Hold h;
    kelmar::Solid *ball = w.solid("ball");
    for (int s = 0; s < 200 && h.closedAfter < 0; ++s) {
        step();
        w.Steps(1);
        if (TipsTouching(w, ball) == 3) h.closedAfter = s + 1;
    }
    if (h.closedAfter < 0) return h;
    w.SetGravity(-981);
    RbdBodyEnable(ball->GetBody());
    for (int s = 0; s < 50; ++s) {
        step();
        w.Steps(1);
    }
    double start[3], end[3], force[3];
    ball->GetPosition(start);
    for (int s = 0; s < 400; ++s) {
        step();
        w.Steps(1);
    }
    ball->GetPosition(end);
    h.drift = PxV3Distance(start, end);
    ball->GetTotalForce(force);
    h.carried = force[2] / (RbdBodyGetMass(ball->GetBody()) * 981);
    h.tipsAtEnd = TipsTouching(w, ball);
    return h;
}

void ExpectHeld(const Hold &h)
{
    ASSERT_GT(h.closedAfter, 0) << "the fingertips never all touched the ball";
    EXPECT_LT(h.drift, 0.1);          // cm
    EXPECT_NEAR(h.carried, 1.0, 0.1); // the fingers carry the ball's weight
    EXPECT_EQ(h.tipsAtEnd, 3);
}

TEST(BallWrap, ClosesOnTheBallAndHoldsItPalmDown)
{
    grasptest::World w(grasptest::Hand3WithBall(false));
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::GraspBallWrap wrap;
    wrap.init(w.robot("hand.robot"), w.solid("ball"), kWrapRadius, 0.05);
    ExpectHeld(CloseAndHold(w, [&] { wrap.grasp(); }));
}

TEST(BallWrap2_Orb, TypeZeroClosesOnTheBallAndHoldsItPalmDown)
{
    grasptest::World w(grasptest::Hand3WithBall(false));
    ASSERT_EQ(w.loadErrors, 0);
    kelmar::GraspBallWrap2_Orb orb;
    double centre[3];
    w.solid("ball")->GetPosition(centre);
    grasptest::Lines lines; // the goal point is printed every step
    orb.init(w.robot("hand.robot"), 0, centre, kWrapRadius);
    ExpectHeld(CloseAndHold(w, [&] { orb.grasp(); }));
    EXPECT_NE(lines.progress.find("vGoalPoint: 0.00 0.00 -11.00\n"), std::string::npos);
}

} // namespace
