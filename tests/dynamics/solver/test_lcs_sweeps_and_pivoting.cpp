// A box resting in an island the sweeps solve comes out of a penetration
// within half the depth its weight presses in one step (g h^2 / 2) only
// slowly, once its contacts settled only by as far as they sank since they
// settled, and not at all while they settle; a deeper one at the
// pivoting's rate, less that resting depth.
// The pivoting solve of the same box corrects the whole depth and is the
// reference. And the sweeps' compact rows: a chain hung by ball joints,
// whose rows have no bounds (infinite ones ride in the lanes the products
// skip), ends five steps by sweeps where five steps by pivoting end it.
#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kStep = 0.01, kResting = 0.5 * kG * kStep * kStep; // 0.49 mm

// Upward speed of a 2 kg box after one step from rest, 'depth' into the
// ground on all four corners, solved by sweeps or by pivoting; its
// contacts settled at 'settled' (none: never settling), or still settling
// when that is negative.
PxReal speedAfterOneStep(PxReal depth, bool sweeps, PxReal settled = 0.0)
{
    World world;
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    if (sweeps) RbdWorldLCPSetLargeIslandRows(world, 0);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 3000);
    RbdBodyID box = makeBox(world, 2.0, 0.2, 0.2, 0.2, 0.0, 0.1 - depth, 0.0);
    BoxOnGround contacts(world, box, 0.2, 0.2, 0.2, resetParams());
    for (int k = 0; settled > 0.0 && k < 4; ++k) {
        RbdContactSetPenetration(contacts.contact(k), settled);
        RbdContactSetSettling(contacts.contact(k), 1);
        RbdContactSetSettling(contacts.contact(k), 0);
        RbdContactSetPenetration(contacts.contact(k), depth);
    }
    for (int k = 0; settled < 0.0 && k < 4; ++k) RbdContactSetSettling(contacts.contact(k), 5);
    RbdWorldStep(world, kStep);
    return velocityOf(box, 1);
}

struct DepthCase {
    const char *name;
    PxReal depth;
    bool shallow;
    PxReal settled; // the depth its contacts settled at (0: none; negative: still settling)
};

class RestingDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(RestingDepth, SweepsCorrectOnlyWhatLiesBeyondIt)
{
    const DepthCase c = GetParam();
    const PxReal full = speedAfterOneStep(c.depth, false), slow = speedAfterOneStep(c.depth, true, c.settled);
    ASSERT_GT(full, 0.0);
    if (c.shallow && c.settled < 0.0) {
        // Corners found afresh are not pushed within it until they settle.
        EXPECT_NEAR(slow, 0.0, 1e-4 * full);
        return;
    }
    if (c.shallow && c.settled > 0.0) {
        // Held where it settled: 2 % of the rate on what it sank since, and
        // no push at all where it settled (not lifted towards zero depth).
        const PxReal sank = c.depth > c.settled ? c.depth - c.settled : 0.0;
        EXPECT_NEAR(slow, 0.02 * full * sank / c.depth, 0.002 * full);
        return;
    }
    if (c.shallow) {
        // Enough to hold the box where it settled, far too little to rock it.
        EXPECT_GT(slow, 0.0);
        EXPECT_LT(slow, 0.05 * full);
        return;
    }
    EXPECT_NEAR(slow, full * (c.depth - kResting) / c.depth, 0.01 * full);
}

INSTANTIATE_TEST_SUITE_P(Depths, RestingDepth,
                         ::testing::Values(DepthCase{"Shallow0_1mm", 0.1e-3, true, 0.0},
                                           DepthCase{"Shallow0_3mm", 0.3e-3, true, 0.0},
                                           DepthCase{"Shallow0_45mm", 0.45e-3, true, 0.0},
                                           DepthCase{"Shallow0_3mmSettledAt0_1mm", 0.3e-3, true, 0.1e-3},
                                           DepthCase{"Shallow0_3mmSettledThere", 0.3e-3, true, 0.3e-3},
                                           DepthCase{"Shallow0_1mmSettledAt0_3mm", 0.1e-3, true, 0.3e-3},
                                           DepthCase{"Shallow0_3mmSettling", 0.3e-3, true, -1.0},
                                           DepthCase{"Deep2mm", 2e-3, false, 0.0},
                                           DepthCase{"Deep2mmSettledAt0_3mm", 2e-3, false, 0.3e-3},
                                           DepthCase{"Deep6mm", 6e-3, false, 0.0}),
                         [](const ::testing::TestParamInfo<DepthCase> &info) { return info.param.name; });

TEST(SweepRows, AChainOfUnboundedJointRowsEndsWhereThePivotingEndsIt)
{
    World pivoting(8, 8), sweeps(8, 8);
    RbdWorldLCPSetLargeIslandRows(sweeps, 0);
    RbdWorldLCPSetTolerance(sweeps, 1e-9);
    RbdWorldLCPSetIterations(sweeps, 3000);
    RbdBodyID links[2][6];
    for (int s = 0; s < 2; ++s) {
        Rng rng(7);
        for (int k = 0; k < 6; ++k) { // 0.3 m along x, each turning at its own rate
            links[s][k] = makeBox(s ? sweeps.id : pivoting.id, 1.0 + 0.5 * k, 0.3, 0.05, 0.05, 0.15 + 0.3 * k, 0, 0);
            PxVector3 w;
            randomVector(rng, 2.0, w);
            RbdBodySetAngularVelocity(links[s][k], w[0], w[1], w[2]);
            makeJoint(RbdBSJointCreate, s ? sweeps.id : pivoting.id, links[s][k], k ? links[s][k - 1] : nullptr,
                      0.3 * k, 0.0, 0.0);
        }
    }
    for (int step = 1; step <= 5; ++step) {
        RbdWorldStep(pivoting, 0.01);
        RbdWorldStep(sweeps, 0.01);
        // Speeds near 1 m/s: the sweeps' single-precision rows agree to
        // about 1e-6 of them.
        for (int k = 0; k < 6; ++k)
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(velocityOf(links[1][k], axis), velocityOf(links[0][k], axis), 1e-5) << step << " " << k;
    }
}

} // namespace
