// The sweeps' compact rows: unbounded joint rows, whose bounds ride in the
// lanes the products skip, end a step where the pivoting ends it; a sliding
// ball's friction row, bounded by its normal row, brakes it at mu g.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kStep = 0.01;

// Island solves go to the sweeps (threshold 0), run to a tight tolerance.
void useSweeps(RbdWorldID world)
{
    RbdWorldLCPSetLargeIslandRows(world, 0);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 3000);
}

// A chain of boxes 0.3 m long along x, hung by ball joints from the world at
// the origin, each link turning at its own rate: the joints' rows have no
// bounds at all.
std::vector<RbdBodyID> swingingChain(RbdWorldID world, int links)
{
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    Rng rng(7);
    std::vector<RbdBodyID> chain;
    for (int k = 0; k < links; ++k) {
        RbdBodyID link = makeBox(world, 1.0 + 0.5 * k, 0.3, 0.05, 0.05, 0.15 + 0.3 * k, 0.0, 0.0);
        PxVector3 w;
        randomVector(rng, 2.0, w);
        RbdBodySetAngularVelocity(link, w[0], w[1], w[2]);
        makeJoint(RbdBSJointCreate, world, link, k > 0 ? chain.back() : nullptr, 0.3 * k, 0.0, 0.0);
        chain.push_back(link);
    }
    return chain;
}

TEST(SweepRows, AChainOfUnboundedJointRowsEndsTheStepWhereThePivotingEndsIt)
{
    const int links = 6;
    World pivoting(8, 8), sweeps(8, 8);
    useSweeps(sweeps);
    const std::vector<RbdBodyID> a = swingingChain(pivoting, links), b = swingingChain(sweeps, links);
    for (int step = 1; step <= 5; ++step) {
        RbdWorldStep(pivoting, kStep);
        RbdWorldStep(sweeps, kStep);
        for (int k = 0; k < links; ++k)
            for (int axis = 0; axis < 3; ++axis) {
                PxVector3 wa, wb;
                RbdBodyGetAngularVelocity(a[k], wa);
                RbdBodyGetAngularVelocity(b[k], wb);
                // Speeds near 1 m/s and rates near 2 rad/s: the sweeps' single
                // precision rows agree to about 1e-6 of them.
                ASSERT_NEAR(velocityOf(b[k], axis), velocityOf(a[k], axis), 1e-5)
                    << "step " << step << " link " << k << " axis " << axis;
                ASSERT_NEAR(wb[axis], wa[axis], 1e-5) << "step " << step << " link " << k << " axis " << axis;
            }
    }
}

// A ball of radius r sliding at v0 along x on the ground: friction at its
// bound mu m g slows it at mu g and spins it up at 5 mu g / (2 r), while the
// normal row keeps it on the ground.
TEST(SweepRows, ASlidingBallBrakesAtMuG)
{
    const PxReal mu = 0.4, r = 0.1, v0 = 2.0;
    World world(4, 8);
    useSweeps(world);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdBodyID ball = makeBall(world, 2.0, r, 0.0, r, 0.0);
    RbdBodySetLinearVelocity(ball, v0, 0.0, 0.0);
    RbdContactID contact = makeGroundContact(world, ball, proportionalFriction(mu));
    for (int step = 1; step <= 10; ++step) {
        RbdConstraintSetPosition(contact, positionOf(ball, 0), 0.0, 0.0);
        RbdWorldStep(world, kStep);
        PxVector3 w;
        RbdBodyGetAngularVelocity(ball, w);
        const PxReal t = step * kStep;
        ASSERT_NEAR(velocityOf(ball, 0), v0 - mu * kG * t, 1e-6) << "step " << step;
        ASSERT_NEAR(velocityOf(ball, 1), 0.0, 1e-6) << "step " << step;
        ASSERT_NEAR(-w[2], 2.5 * mu * kG * t / r, 1e-5) << "step " << step;
    }
}

} // namespace
