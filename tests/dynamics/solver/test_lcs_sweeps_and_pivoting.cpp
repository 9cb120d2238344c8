// A box resting in an island the sweeps solve comes out of a penetration
// within half the depth its weight presses in one step (g h^2 / 2) only
// slowly; a deeper one at the pivoting's rate, less that resting depth.
// The pivoting solve of the same box corrects the whole depth and is the
// reference. And the sweeps' compact rows: a chain hung by ball joints,
// whose rows have no bounds (infinite ones ride in the lanes the products
// skip), ends five steps by sweeps where five steps by pivoting end it.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <kelmar/RbdLcs.h>
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

// Which solver takes an island: past largeIslandRows the sweeps, and an
// island of contacts alone already past largeContactIslandRows. A stack of
// boxes on the ground has 12 rows a box (four corners of three rows); a ball
// joint holding the top box to the world adds 3. The solver that ran shows in
// the top box's velocity, which ends bit for bit as in a world that sweeps
// every island or as in one that pivots every island, and in its contacts'
// swept mark.
struct Route {
    int32_t solver, largeRows, contactRows;
};

struct Outcome {
    PxVector3 v;
    int swept;
};

Outcome stepStack(int boxes, bool joint, Route route)
{
    World world(16, 64);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldLCPSetLargeIslandSolver(world, route.solver);
    RbdWorldLCPSetLargeIslandRows(world, route.largeRows);
    RbdWorldLCPSetLargeContactIslandRows(world, route.contactRows);
    RbdBodyID below = nullptr, box = nullptr;
    std::vector<std::unique_ptr<BoxOnGround>> corners;
    for (int k = 0; k < boxes; ++k, below = box) {
        box = makeBox(world, 1.0 + k, 0.2, 0.2, 0.2, 0.0, 0.1 + 0.2 * k, 0.0);
        corners.emplace_back(new BoxOnGround(world, box, 0.2, 0.2, 0.2, proportionalFriction(0.5), below));
    }
    RbdBodySetLinearVelocity(box, 0.3, 0.0, 0.1);
    if (joint) makeJoint(RbdBSJointCreate, world, box, nullptr, 0.0, 0.1 + 0.2 * (boxes - 1), 0.0);
    for (int step = 0; step < 3; ++step) RbdWorldStep(world, kStep);
    Outcome out;
    RbdBodyGetLinearVelocity(box, out.v);
    out.swept = RbdContactIsSwept(corners.back()->contact(0));
    return out;
}

struct RouteCase {
    const char *name;
    int boxes;
    bool joint;
    Route route;
    bool swept;
};

class IslandRoute : public ::testing::TestWithParam<RouteCase> {};

TEST_P(IslandRoute, ContactsAloneAreSweptPastTheirOwnThreshold)
{
    const RouteCase c = GetParam();
    const Outcome swept = stepStack(c.boxes, c.joint, {RBD_LCP_LARGE_ISLAND_ITERATIVE, 0, 0});
    const Outcome pivoted = stepStack(c.boxes, c.joint, {RBD_LCP_LARGE_ISLAND_PIVOTING, 0, 0});
    ASSERT_TRUE(swept.swept && !pivoted.swept);
    ASSERT_NE(swept.v[0], pivoted.v[0]); // the two solvers tell apart
    const Outcome got = stepStack(c.boxes, c.joint, c.route);
    const Outcome &want = c.swept ? swept : pivoted;
    EXPECT_EQ(got.swept, want.swept);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(got.v[k], want.v[k]) << k;
}

const int32_t kIterative = RBD_LCP_LARGE_ISLAND_ITERATIVE, kPivoting = RBD_LCP_LARGE_ISLAND_PIVOTING;
INSTANTIATE_TEST_SUITE_P(
    Stacks, IslandRoute,
    ::testing::Values(RouteCase{"ContactsPastTheirThreshold", 3, false, {kIterative, 600, 35}, true},
                      RouteCase{"ContactsAtTheirThreshold", 3, false, {kIterative, 600, 36}, false},
                      RouteCase{"JointRowsKeepThePivoting", 3, true, {kIterative, 600, 35}, false},
                      RouteCase{"JointRowsPastTheRowThreshold", 3, true, {kIterative, 38, 35}, true},
                      RouteCase{"ContactsPastTheRowThreshold", 3, false, {kIterative, 35, 600}, true},
                      RouteCase{"LargeIslandsPivoted", 3, false, {kPivoting, 35, 35}, false}),
    [](const ::testing::TestParamInfo<RouteCase> &info) { return info.param.name; });
