// Spin friction: a ball spinning on the ground stops at the analytic time on
// both solver paths, and without the option a contact's rows are the same to
// the bit.
#include <gtest/gtest.h>

#include <math.h>
#include <string.h>

#include <algorithm>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kRadius = 0.1, kSpin = 0.004, kStep = 0.01;

// The torque kSpin m g brakes the spin I w evenly until t = I w / (kSpin m g),
// on the pivoting solver and on the sweeps, either way round.
TEST(SpinFriction, ABallSpinningOnTheGroundStopsAtTheAnalyticTime)
{
    for (int sweeps = 0; sweeps < 2; ++sweeps)
        for (const PxReal omega : {4.9, -3.0}) {
            SCOPED_TRACE(testing::Message() << "sweeps " << sweeps << ", spin " << omega);
            const PxReal t = 0.4 * kRadius * kRadius * fabs(omega) / (kSpin * kG);
            World world(4, 8);
            RbdWorldSetGravity(world, 0.0, -kG, 0.0);
            if (sweeps) RbdWorldLCPSetLargeIslandRows(world, 0);
            RbdBodyID ball = makeBall(world, 2.0, kRadius, 0.0, kRadius, 0.0);
            RbdContactParams params = proportionalFriction(0.5);
            RbdContactParamsSetSpinFriction(&params, kSpin);
            makeGroundContact(world, ball, params);
            RbdBodySetAngularVelocity(ball, 0.0, omega, 0.0);
            PxVector3 w = {0.0, omega, 0.0};
            int k = 0;
            for (; k < 100 && fabs(w[1]) > 1e-6; ++k) {
                RbdWorldStep(world, kStep);
                RbdBodyGetAngularVelocity(ball, w);
                if (k == 19) {
                    EXPECT_NEAR(w[1], omega * (1.0 - 20 * kStep / t), 1e-3 * fabs(omega));
                }
            }
            EXPECT_NEAR(k * kStep, t, kStep);
        }
}

// Without the option the rows are today's; with it one row follows them,
// n . (w0 - w1) bounded by kSpin times the normal row's impulse.
TEST(SpinFrictionRows, OneRowAfterTheFrictionRowsAndNoOtherChange)
{
    World world(4, 8);
    RbdContactID c = makeGroundContact(world, makeBall(world, 2.0, 0.5, 0.3, 1.0, 0.2), proportionalFriction(0.5),
                                       makeBall(world, 3.0, 0.5, 0.0, 0.0, 0.0));
    RbdContactSetNormal(c, 0.6, 0.0, 0.8);
    const RbdBclParameters parameters = {0.01, 1e-6, 0.08};
    rbdtest::OwnRowList off(4), on(4);
    ASSERT_EQ(rbdtest::buildRows(&off.list, c, parameters), 3);
    RbdContactParamsSetSpinFriction(RbdContactGetParams(c), kSpin);
    ASSERT_EQ(rbdtest::buildRows(&on.list, c, parameters), 4);
    PxReal a[RBD_JACOBIAN_COLUMNS], b[RBD_JACOBIAN_COLUMNS];
    for (int row = 0; row < 3; ++row) {
        RbdBclGetJacobian(&off.list, row, a);
        RbdBclGetJacobian(&on.list, row, b);
        EXPECT_TRUE(memcmp(a, b, sizeof a) == 0 && off.list.mu[row] == on.list.mu[row]) << row;
    }
    const PxReal spin[RBD_JACOBIAN_COLUMNS] = {0, 0, 0, 0.6, 0, 0.8, 0, 0, 0, -0.6, 0, -0.8};
    RbdBclGetJacobian(&on.list, 3, b);
    EXPECT_TRUE(std::equal(spin, spin + RBD_JACOBIAN_COLUMNS, b) && on.list.mu[3] == kSpin &&
                on.list.frictionIndex[3] == 0);
}

} // namespace
