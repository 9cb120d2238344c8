// A box resting in an island the sweeps solve comes out of a penetration
// within half the depth its weight presses in one step (g h^2 / 2) only
// slowly; a deeper one at the pivoting's rate, less that resting depth.
// The pivoting solve of the same box corrects the whole depth and is the
// reference.
#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kStep = 0.01, kResting = 0.5 * kG * kStep * kStep; // 0.49 mm

// Upward speed of a 2 kg box after one step from rest, 'depth' into the
// ground on all four corners, solved by sweeps or by pivoting.
PxReal speedAfterOneStep(PxReal depth, bool sweeps)
{
    World world;
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    if (sweeps) RbdWorldLCPSetLargeIslandRows(world, 0);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 3000);
    RbdBodyID box = makeBox(world, 2.0, 0.2, 0.2, 0.2, 0.0, 0.1 - depth, 0.0);
    BoxOnGround contacts(world, box, 0.2, 0.2, 0.2, resetParams());
    RbdWorldStep(world, kStep);
    return velocityOf(box, 1);
}

struct DepthCase {
    const char *name;
    PxReal depth;
    bool shallow;
};

class RestingDepth : public ::testing::TestWithParam<DepthCase> {};

TEST_P(RestingDepth, SweepsCorrectOnlyWhatLiesBeyondIt)
{
    const DepthCase c = GetParam();
    const PxReal full = speedAfterOneStep(c.depth, false), slow = speedAfterOneStep(c.depth, true);
    ASSERT_GT(full, 0.0);
    if (c.shallow) {
        // Enough to hold the box where it settled, far too little to rock it.
        EXPECT_GT(slow, 0.0);
        EXPECT_LT(slow, 0.05 * full);
        return;
    }
    EXPECT_NEAR(slow, full * (c.depth - kResting) / c.depth, 0.01 * full);
}

INSTANTIATE_TEST_SUITE_P(Depths, RestingDepth,
                         ::testing::Values(DepthCase{"Shallow0_1mm", 0.1e-3, true},
                                           DepthCase{"Shallow0_3mm", 0.3e-3, true},
                                           DepthCase{"Shallow0_45mm", 0.45e-3, true},
                                           DepthCase{"Deep2mm", 2e-3, false}, DepthCase{"Deep6mm", 6e-3, false}),
                         [](const ::testing::TestParamInfo<DepthCase> &info) { return info.param.name; });

} // namespace
