// Which islands of contacts are swept rather than pivoted, and when they go
// back: a landing heap is swept from its landing until its bodies have kept
// still; a slow one, a small one whose pivoting holds, one whose pairs
// touch at single points, or one with a joint is pivoted (the same table in
// metres and in centimetres). Kept on the sweeps, a column of boxes comes to
// rest.
#include <gtest/gtest.h>
#include <algorithm>
#include <vector>
#include "common/AllocationCounter.h"
#include "dynamics/test_step_support.h"
#include "solver/RbdLcsSweptHeaps.h"

namespace {

using namespace steptest;

const int K = lcs::kStillStepsBeforePivoting;

int sweptSteps(RbdBodyID body)
{
    return (body->lcs.flags & RBD_LCS_BODY_SWEPT_STEPS) >> RBD_LCS_BODY_SWEPT_STEPS_SHIFT;
}

// The upper box's speed in a run of steps, in units of g h: landing (twice
// the landing speed), moving (between keeping still and landing) or still.
enum Speed { kLand, kMove, kStill };
const PxReal kSpeed[] = {2.0 * lcs::kLandingSteps, 0.5 * (lcs::kLandingSteps + lcs::kStillSteps), 0.0};

// A run of steps and the upper and lower boxes' marks after its last: the
// steps each must keep still before their island is pivoted again.
struct Steps {
    int steps;
    Speed speed;
    int upper, lower;
};

const Steps kNone = {0, kStill, 0, 0}; // no more runs

struct Case {
    const char *what;
    bool friction; // three rows a corner (24 rows), else one (8 rows)
    int pivots;    // a pivoting solve's limit, 0 for the default
    int hingeFrom; // the lower box is hinged to the world from this run on (-1: never)
    Steps runs[4];
};

const Case kCases[] = {
    // No pivoting fails: the marks come from the landing alone.
    {"a landing heap is swept until it has kept still",
     true,
     0,
     -1,
     {{1, kLand, K, K}, {4, kMove, K, K - 4}, {K, kStill, 0, 0}, {3, kMove, 0, 0}}},
    // With one pivot every pivoting solve fails: a pivoted landing heap
    // would be marked afresh, so marks that count down tell a swept one.
    {"a small heap is swept once its pivoting fails while it lands",
     false,
     1,
     -1,
     {{1, kLand, K, K}, {2, kLand, K, K - 2}, {K, kStill, 0, 0}, {3, kMove, 0, 0}}},
    {"a heap that moves but never lands keeps the pivoting", true, 0, -1, {{8, kMove, 0, 0}, kNone, kNone, kNone}},
    {"a small heap whose pivoting holds keeps it as it lands", false, 0, -1, {{3, kLand, 0, 0}, kNone, kNone, kNone}},
    {"a hinge takes a landed heap back to the pivoting",
     true,
     0,
     1,
     {{1, kLand, K, K}, {2, kLand, 0, 0}, kNone, kNone}},
};

class LcsSweptHeaps : public ::testing::TestWithParam<PxReal> {};

// Stacks of two boxes of unit mass, the upper thrown up and down in turn at
// the run's speed, in metres (scale 1) or centimetres (scale 100).
TEST_P(LcsSweptHeaps, IslandsAreSweptFromTheirLandingUntilTheyKeepStill)
{
    const PxReal scale = GetParam(), g = kG * scale, h = 0.01, size = scale;
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.what);
        World world(2, 9);
        RbdWorldSetGravity(world, 0.0, -g, 0.0);
        if (c.pivots > 0) RbdWorldLCPSetMaxIterations(world, c.pivots);
        const RbdContactParams params = c.friction ? proportionalFriction(0.5) : resetParams();
        RbdBodyID lower = makeBox(world, 1.0, size, size, size, 0.0, 0.5 * size, 0.0);
        RbdBodyID upper = makeBox(world, 1.0, size, size, size, 0.0, 1.5 * size, 0.0);
        BoxOnGround contacts[2] = {{world, lower, size, size, size, params},
                                   {world, upper, size, size, size, params, lower}};
        RbdConstraintID hinge = makeJoint(RbdHingeCreate, world, lower, nullptr, 0.0, 0.0, 0.0);
        RbdConstraintDisable(hinge);
        testsupport::AllocationCounter counter;
        int firstStep = -1; // allocations of the first step, which sizes the workspace
        PxReal up = 1.0;
        for (int r = 0; r < 4 && c.runs[r].steps > 0; ++r) {
            const Steps &run = c.runs[r];
            if (r == c.hingeFrom) RbdConstraintEnable(hinge);
            for (int s = 0; s < run.steps; ++s) {
                RbdBodySetLinearVelocity(upper, 0.0, up * kSpeed[run.speed] * g * h, 0.0);
                up = -up;
                for (BoxOnGround &box : contacts) box.update();
                RbdWorldStep(world, h);
                if (firstStep < 0) firstStep = counter.allocations();
            }
            EXPECT_EQ(sweptSteps(upper), run.upper) << "run " << r;
            EXPECT_EQ(sweptSteps(lower), run.lower) << "run " << r;
        }
        EXPECT_EQ(counter.allocations(), firstStep);
    }
}

// A column of nine unit boxes each touching the one below at one point, as
// balls touch (27 rows), whose top is thrown at the landing speed: no pair
// touches at several points, so the pivoting keeps it.
TEST_P(LcsSweptHeaps, AHeapTouchingAtSinglePointsKeepsThePivotingAsItLands)
{
    const PxReal scale = GetParam(), g = kG * scale, h = 0.01, size = scale;
    World world(9, 9);
    RbdWorldSetGravity(world, 0.0, -g, 0.0);
    RbdBodyID column[9];
    for (int k = 0; k < 9; ++k) {
        column[k] = makeBox(world, 1.0, size, size, size, 0.0, (k + 0.5) * size, 0.0);
        RbdContactID c = makeGroundContact(world, column[k], proportionalFriction(0.5), k ? column[k - 1] : nullptr);
        RbdContactSetPosition(c, 0.0, k * size, 0.0);
    }
    for (int s = 0; s < 3; ++s) {
        RbdBodySetLinearVelocity(column[8], 0.0, -2.0 * lcs::kLandingSteps * g * h, 0.0);
        RbdWorldStep(world, h);
    }
    for (RbdBodyID body : column) EXPECT_EQ(sweptSteps(body), 0);
}

// A column of five 1 m, 1 kg boxes, each a little off the centre of the one
// below, kept on the heap's sweeps for every step (as a heap that goes on
// landing would be). Sweeps cut short leave each resting depth a little
// wrong; corrected at the full rate that error is fed back as velocity and
// the column rocks. The last second's largest kinetic energy of any box is
// compared with the energy of a fall through a millionth of its height,
// m g L 1e-6.
TEST(LcsSweptHeaps, AColumnKeptOnTheSweepsComesToRest)
{
    const int kBoxes = 5;
    World world(kBoxes, 4 * kBoxes);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    std::vector<RbdBodyID> column;
    std::vector<BoxOnGround> contacts;
    contacts.reserve(kBoxes);
    for (int k = 0; k < kBoxes; ++k) {
        column.push_back(makeBox(world, 1.0, 1.0, 1.0, 1.0, 0.03 * (k % 2), 0.5 + k, 0.02 * (k % 3)));
        contacts.emplace_back(world, column[k], 1.0, 1.0, 1.0, proportionalFriction(0.5),
                              k > 0 ? column[k - 1] : nullptr);
    }
    PxReal most = 0.0;
    for (int n = 0; n < 400; ++n) {
        for (RbdBodyID body : column) body->lcs.flags |= RBD_LCS_BODY_SWEPT_STEPS;
        for (BoxOnGround &c : contacts) c.update();
        RbdWorldStep(world, 0.01);
        for (RbdBodyID body : column)
            if (n >= 300) most = std::max(most, RbdBodyGetKineticEnergy(body));
    }
    EXPECT_LT(most, 1e-6 * kG) << "m g L 1e-6";
    // Its contacts count as swept, as a large island's do: the bridge then
    // continues a turned pair's contacts by place.
    for (BoxOnGround &c : contacts) EXPECT_EQ(RbdContactIsSwept(c.contact(0)), 1);
}

INSTANTIATE_TEST_SUITE_P(Units, LcsSweptHeaps, ::testing::Values(1.0, 100.0));

} // namespace
