// Spin friction: a ball spinning on the ground stops at the analytic time
// on both solver paths, a ball spinning with its support feels none, and
// without the option a contact's rows are the same to the bit.
#include <gtest/gtest.h>

#include <math.h>
#include <kelmar/RbdLcs.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kMass = 2.0, kRadius = 0.1, kSpin = 0.004, kStep = 0.01;

// A spinning ball of kMass and kRadius resting at the origin on `support`
// (null: the ground y = 0, else a box of height boxHeight on the ground).
// Returns the ball's spin about +y after `steps` steps, and the step at which it stopped.
PxReal spinAfter(bool sweeps, PxReal omega, int steps, int *stopped, PxReal boxHeight = 0.0)
{
    World world(4, 8);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    if (sweeps) RbdWorldLCPSetLargeIslandRows(world, 0);
    RbdBodyID box = boxHeight > 0.0 ? makeBox(world, 5.0, 0.4, boxHeight, 0.4, 0.0, 0.5 * boxHeight, 0.0) : nullptr;
    RbdBodyID ball = makeBall(world, kMass, kRadius, 0.0, boxHeight + kRadius, 0.0);
    RbdContactParams params = proportionalFriction(0.5);
    RbdContactParamsSetSpinFriction(&params, kSpin);
    RbdContactID c = makeGroundContact(world, ball, params, box);
    RbdContactSetPosition(c, 0.0, boxHeight, 0.0);
    RbdBodySetAngularVelocity(ball, 0.0, omega, 0.0);
    if (box) RbdBodySetAngularVelocity(box, 0.0, omega, 0.0);
    BoxOnGround *feet = box ? new BoxOnGround(world, box, 0.4, boxHeight, 0.4, resetParams()) : nullptr;
    PxVector3 w = {0.0, omega, 0.0};
    for (int k = 1; k <= steps; ++k) {
        if (feet) feet->update();
        RbdWorldStep(world, kStep);
        RbdBodyGetAngularVelocity(ball, w);
        if (*stopped == 0 && fabs(w[1]) < 1e-6 * fabs(omega)) *stopped = k;
    }
    delete feet;
    return w[1];
}

class SpinFrictionTest : public ::testing::TestWithParam<std::tuple<bool, PxReal>> {};

// The torque kSpin m g against the spin I w stops it at t = I w / (kSpin m g),
// decelerating evenly until then.
TEST_P(SpinFrictionTest, ABallSpinningOnTheGroundStopsAtTheAnalyticTime)
{
    const PxReal omega = std::get<1>(GetParam()), inertia = 0.4 * kMass * kRadius * kRadius;
    const PxReal alpha = kSpin * kMass * kG / inertia, t = fabs(omega) / alpha;
    int stopped = 0;
    EXPECT_NEAR(spinAfter(std::get<0>(GetParam()), omega, 20, &stopped), omega * (1.0 - 20 * kStep / t),
                1e-3 * fabs(omega));
    spinAfter(std::get<0>(GetParam()), omega, 100, &stopped);
    EXPECT_NEAR(stopped * kStep, t, kStep);
}

TEST_P(SpinFrictionTest, ABallSpinningWithItsSupportFeelsNone)
{
    const PxReal omega = std::get<1>(GetParam());
    int stopped = 0;
    EXPECT_NEAR(spinAfter(std::get<0>(GetParam()), omega, 50, &stopped, 0.2), omega, 1e-6 * fabs(omega));
}

INSTANTIATE_TEST_SUITE_P(PivotingAndSweeps, SpinFrictionTest,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(4.9, -3.0)));

// Without the option the rows are those of today; with it, one row more
// after them: n . (w0 - w1), bounded by kSpin times the normal row's force.
TEST(SpinFrictionRows, OneRowAfterTheFrictionRowsAndNoOtherChange)
{
    World world(4, 8);
    rbdtest::Rng rng(7);
    RbdBodyID b0 = makeBall(world, 2.0, 0.5, 0.0, 1.0, 0.0), b1 = makeBall(world, 3.0, 0.5, 0.0, 0.0, 0.0);
    rbdtest::randomBodyTransform(rng, 2.0, b0);
    rbdtest::randomBodyTransform(rng, 2.0, b1);
    RbdContactParams params = proportionalFriction(0.5);
    RbdContactID c = makeGroundContact(world, b0, params, b1);
    RbdContactSetNormal(c, 0.6, 0.0, 0.8);
    const RbdBclParameters parameters = {0.01, 1e-6, 0.08};
    rbdtest::OwnRowList off(4), on(4);
    ASSERT_EQ(rbdtest::buildRows(&off.list, c, parameters), 3);
    RbdContactParamsSetSpinFriction(RbdContactGetParams(c), kSpin);
    ASSERT_EQ(rbdtest::buildRows(&on.list, c, parameters), 4);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < RBD_JACOBIAN_COLUMNS; ++col)
            EXPECT_EQ(RbdBclGetJacobianEntry(&off.list, row, col), RbdBclGetJacobianEntry(&on.list, row, col));
        EXPECT_EQ(off.list.mu[row], on.list.mu[row]);
        EXPECT_EQ(off.list.frictionIndex[row], on.list.frictionIndex[row]);
    }
    const PxReal expected[RBD_JACOBIAN_COLUMNS] = {0, 0, 0, 0.6, 0, 0.8, 0, 0, 0, -0.6, 0, -0.8};
    for (int col = 0; col < RBD_JACOBIAN_COLUMNS; ++col)
        EXPECT_EQ(RbdBclGetJacobianEntry(&on.list, 3, col), expected[col]);
    EXPECT_EQ(on.list.frictionIndex[3], 0);
    EXPECT_EQ(on.list.mu[3], kSpin);
}

} // namespace
