// Friction bounds taken from the last step's normal forces: a solution is
// kept only when the bounds its own normal impulses give hold, so sliding
// friction follows a normal force that changes every step.
#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"
#include "solver/RbdLcsFrictionBounds.h"
#include "solver/RbdLcsSubproblem.h"

using namespace lcs;
using namespace steptest;

// Row 0 a normal row with impulse 2 (mu 0.5: bound 1), row 1 its friction
// row, every impulse tolerance 0.01.
TEST(LcsFrictionBounds, SolutionHoldsOnlyWhereItsOwnNormalImpulseBoundsIt)
{
    struct Case {
        const char *name;
        int32_t state;
        PxReal bound, friction;
        int holds, holdsUnloaded; // with the normal impulse at 2, and at 0
    };
    const Case cases[] = {
        {"free at the bound within tolerance", kLcpFree, 3.0, -1.005, 1, 0},
        {"free near zero", kLcpFree, 3.0, 0.004, 1, 1},
        {"free beyond the bound", kLcpFree, 3.0, 1.02, 0, 0},
        {"held at an old bound within tolerance", kLcpAtUpper, 1.008, 1.008, 1, 0},
        {"held at a bound too low", kLcpAtLower, 0.9, -0.9, 0, 0},
        {"fixed at zero, the normal now pushing", kLcpDegenerate, 0.0, 0.0, 0, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PxReal lo[2] = {0.0, -c.bound}, hi[2] = {RBD_REAL_MAX, c.bound}, lambda[2] = {2.0, c.friction};
        PxReal mu[2] = {0.0, 0.5}, impulse[2] = {0.01, 0.01}, diagonal[2] = {1.0, 1.0};
        int32_t state[2] = {kLcpFree, c.state}, ref[2] = {-1, 0};
        LcpRows rows = {2, lo, hi, lambda, state, ref, mu, 1};
        Tolerances tolerances = {impulse, diagonal, 0.0};
        EXPECT_EQ(frictionBoundsHold(rows, tolerances), c.holds);
        lambda[0] = 0.0;
        EXPECT_EQ(frictionBoundsHold(rows, tolerances), c.holdsUnloaded);
    }
}

// A 1 kg block slides along +x on four ground contacts (mu 0.5) pushed by
// 1 N, while a downward load on it switches between 0 and 20 N from step to
// step. Sliding, the ground's friction is mu times its normal force in
// every step, both read from the block's velocity change:
//   N = m (dv_y / h + g) + F,   friction = P - m dv_x / h.
// Bounds left from the last step would be off by mu 20 N = 10 N. The
// sweeps of a large island (row threshold 0) must bound friction the same.
class SlidingFriction : public ::testing::TestWithParam<bool> {};

TEST_P(SlidingFriction, FollowsALoadThatChangesEveryStep)
{
    const PxReal size = 0.4, mu = 0.5, push = 1.0, h = 0.01;
    World world(2, 8);
    if (GetParam()) {
        RbdWorldLCPSetLargeIslandRows(world, 0);
        RbdWorldLCPSetTolerance(world, 1e-9);
        RbdWorldLCPSetIterations(world, 3000);
    }
    RbdBodyID box = makeBox(world, 1.0, size, size, size, 0.0, 0.5 * size, 0.0);
    BoxOnGround ground(world, box, size, size, size, proportionalFriction(mu));
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodySetLinearVelocity(box, 3.0, 0.0, 0.0);
    for (int n = 0; n < 12; ++n) {
        const PxReal load = (n % 2) ? 20.0 : 0.0, vx = velocityOf(box, 0), vy = velocityOf(box, 1);
        ground.update();
        RbdBodyAddForce(box, push, -load, 0.0);
        RbdWorldStep(world, h);
        const PxReal normal = (velocityOf(box, 1) - vy) / h + kG + load;
        EXPECT_NEAR(push - (velocityOf(box, 0) - vx) / h, mu * normal, 0.1) << "step " << n;
    }
    EXPECT_NEAR(positionOf(box, 1), 0.5 * size, 1e-4) << "without tipping or sinking";
}

INSTANTIATE_TEST_SUITE_P(Solvers, SlidingFriction, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "Sweeps" : "Pivoting";
                         });
