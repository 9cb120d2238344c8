// Sleeping part of an island: two balls side by side on the ground, one
// spinning about the vertical (which its ground contact does not resist).
// They touch without pressing, so the resting one sleeps while the other
// spins on; pushed, the sleeping one wakes and moves.
#include <gtest/gtest.h>

#include "../test_step_support.h"

namespace {

using namespace steptest;

const PxReal kH = 0.01;     // s
const PxReal kRadius = 0.1; // m
const PxReal kMass = 1.0;   // kg
const PxReal kSpin = 1.0;   // rad/s about +y, the ground's normal

struct TwoBalls : ::testing::Test {
    World world{2, 3};
    RbdBodyID spinner = makeBall(world, kMass, kRadius, 0.0, kRadius, 0.0);
    RbdBodyID neighbour = makeBall(world, kMass, kRadius, 2.0 * kRadius, kRadius, 0.0);
    RbdContactID ground[2];
    RbdContactID between;

    TwoBalls()
    {
        RbdWorldSetGravity(world, 0.0, -kG, 0.0);
        RbdWorldSetAutoDisable(world, 1);
        const RbdContactParams params = proportionalFriction(0.5);
        ground[0] = makeGroundContact(world, spinner, params);
        ground[1] = makeGroundContact(world, neighbour, params);
        between = makeGroundContact(world, spinner, params, neighbour);
        RbdBodySetAngularVelocity(spinner, 0.0, kSpin, 0.0);
    }
    // The contacts as a bridge would find them before a step.
    void step()
    {
        updateSphereOnGround(ground[0], spinner, kRadius);
        updateSphereOnGround(ground[1], neighbour, kRadius);
        PxVector3 a, b, towardsSpinner;
        RbdBodyGetPosition(spinner, a);
        RbdBodyGetPosition(neighbour, b);
        PxV3Sub(towardsSpinner, a, b); // the contact normalises it
        RbdContactSetPosition(between, 0.5 * (a[0] + b[0]), 0.5 * (a[1] + b[1]), 0.5 * (a[2] + b[2]));
        RbdContactSetNormal(between, towardsSpinner[0], towardsSpinner[1], towardsSpinner[2]);
        RbdContactSetPenetration(between, 2.0 * kRadius - PxV3Length(towardsSpinner));
        RbdWorldStep(world, kH);
    }
    PxReal spin() const
    {
        PxVector3 w;
        RbdBodyGetAngularVelocity(spinner, w);
        return w[1];
    }
};

TEST_F(TwoBalls, TheRestingBallSleepsWhileItsNeighbourSpinsOnAndWakesWhenPushed)
{
    for (int k = 0; k < 50; ++k) step();
    EXPECT_FALSE(RbdBodyIsEnabled(neighbour));
    EXPECT_TRUE(RbdBodyIsEnabled(spinner));
    EXPECT_NEAR(spin(), kSpin, 1e-6);
    EXPECT_NEAR(positionOf(neighbour, 0), 2.0 * kRadius, 1e-6);
    RbdBodySetLinearVelocity(spinner, 0.5, 0.0, 0.0);
    for (int k = 0; k < 10; ++k) step();
    EXPECT_TRUE(RbdBodyIsEnabled(neighbour));
    EXPECT_GT(velocityOf(neighbour, 0), 0.1);
    EXPECT_GT(positionOf(neighbour, 0), 2.0 * kRadius + 0.005);
}

} // namespace
