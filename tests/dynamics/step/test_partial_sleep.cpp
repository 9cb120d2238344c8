// Sleeping part of an island: two balls side by side on the ground, one
// spinning about the vertical (which its ground contact does not resist).
// They touch without pressing, so the resting one sleeps while the other
// spins on; pushed, the sleeping one wakes and moves.
#include <gtest/gtest.h>

#include "../test_step_support.h"

namespace {

using namespace steptest;

TEST(TwoBalls, TheRestingBallSleepsWhileItsNeighbourSpinsOnAndWakesWhenPushed)
{
    const PxReal h = 0.01, r = 0.1, spin = 1.0; // s, m, rad/s about +y, the ground's normal
    World world(2, 3);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldSetAutoDisable(world, 1);
    RbdBodyID spinner = makeBall(world, 1.0, r, 0.0, r, 0.0), neighbour = makeBall(world, 1.0, r, 2.0 * r, r, 0.0);
    const RbdContactParams params = proportionalFriction(0.5);
    RbdContactID ground[2] = {makeGroundContact(world, spinner, params), makeGroundContact(world, neighbour, params)};
    RbdContactID between = makeGroundContact(world, spinner, params, neighbour);
    RbdBodySetAngularVelocity(spinner, 0.0, spin, 0.0);
    // The contacts as a bridge would find them before each step.
    auto step = [&](int count) {
        for (int n = 0; n < count; ++n) {
            updateSphereOnGround(ground[0], spinner, r);
            updateSphereOnGround(ground[1], neighbour, r);
            PxVector3 a, b, towardsSpinner;
            RbdBodyGetPosition(spinner, a);
            RbdBodyGetPosition(neighbour, b);
            PxV3Sub(towardsSpinner, a, b); // the contact normalises it
            RbdContactSetPosition(between, 0.5 * (a[0] + b[0]), 0.5 * (a[1] + b[1]), 0.5 * (a[2] + b[2]));
            RbdContactSetNormal(between, towardsSpinner[0], towardsSpinner[1], towardsSpinner[2]);
            RbdContactSetPenetration(between, 2.0 * r - PxV3Length(towardsSpinner));
            RbdWorldStep(world, h);
        }
    };
    step(50);
    EXPECT_FALSE(RbdBodyIsEnabled(neighbour));
    EXPECT_TRUE(RbdBodyIsEnabled(spinner));
    PxVector3 w;
    RbdBodyGetAngularVelocity(spinner, w);
    EXPECT_NEAR(w[1], spin, 1e-6);
    EXPECT_NEAR(positionOf(neighbour, 0), 2.0 * r, 1e-6);
    RbdBodySetLinearVelocity(spinner, 0.5, 0.0, 0.0);
    step(10);
    EXPECT_TRUE(RbdBodyIsEnabled(neighbour));
    EXPECT_GT(velocityOf(neighbour, 0), 0.1);
    EXPECT_GT(positionOf(neighbour, 0), 2.0 * r + 0.005);
}

} // namespace
