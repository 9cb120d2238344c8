// The ball wraps on the example hand: hand3.px held palm down closes on a
// rubber ball of 4 cm radius until every fingertip touches it, and then
// holds it against gravity for 2 s; both controllers.
#include <gtest/gtest.h>

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

} // namespace
