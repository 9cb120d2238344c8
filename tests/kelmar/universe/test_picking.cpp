// Dragging a solid with the mouse spring: k = 25 m, c = 2.8 m, gravity
// compensated, so the grabbed point behaves like a damped oscillator with
// w = 5 rad/s and damping ratio 0.28.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

// Held at the grabbed height the ball stays there; the ray jumps 10 cm up
// and the ball follows with the overshoot of the spring's damping. A ray
// that misses, or a solid that is not interactable, grabs nothing.
TEST(Picking, HoldingAndDraggingFollowTheDampedSpring)
{
    Rig p;
    RbdWorldSetGravity(p.universe.GetWorld(), 0, 0, -kGravity);
    RbdWorldSetAutoDisable(p.universe.GetWorld(), 0);
    p.universe.timeStep = 0.002;
    kelmar::Solid *ball = kelmar::AddSphere(&p.scene, 5, {"ball", 0, -1, 1.0});
    // The ray runs down the z axis: the grabbed point is the ball's top,
    // and the pull passes through its centre.
    auto drag = [&](double height, double seconds) {
        const double from[3] = {0, 0, height + 50}, to[3] = {0, 0, height - 50};
        for (int i = 0; i < static_cast<int>(std::lround(seconds / p.universe.timeStep)); ++i)
            p.universe.DoPicking(from, to), p.universe.step();
    };
    auto top = [&] { return ball->GetTM()[3][2] + 5; };
    const double from[3] = {0, 0, 55}, to[3] = {0, 0, -45};
    ASSERT_TRUE(p.universe.BeginPicking(from, to));
    EXPECT_NEAR(top(), 5.0, 1e-9);
    drag(5.0, 5.0);
    EXPECT_NEAR(top(), 5.0, 0.1); // 1 mm, against 981 cm/s^2 of gravity
    drag(15.0, 0.002);            // the ray jumps 10 cm up
    double peak = 0;
    for (int i = 0; i < 1000; ++i) {
        drag(15.0, 0.002);
        peak = std::fmax(peak, top() - 15.0);
    }
    const double zeta = 2.8 / (2 * 5.0);
    const double overshoot = 10.0 * std::exp(-M_PI * zeta / std::sqrt(1 - zeta * zeta));
    EXPECT_NEAR(peak, overshoot, 0.05 * overshoot);
    drag(15.0, 3.0);
    EXPECT_NEAR(top(), 15.0, 0.1);
    p.universe.EndPicking();
    EXPECT_FALSE(p.universe.IsPicking());
    const double aside[3] = {20, 0, 55}, below[3] = {20, 0, -45}, over[3] = {0, 0, 70}, under[3] = {0, 0, -30};
    EXPECT_FALSE(p.universe.BeginPicking(aside, below));
    ASSERT_NE(p.universe.PickSolid(over, under, nullptr), nullptr);
    ball->ClearOptions(kelmar::Solid::kInteractable);
    EXPECT_EQ(p.universe.PickSolid(over, under, nullptr), nullptr);
}

} // namespace
