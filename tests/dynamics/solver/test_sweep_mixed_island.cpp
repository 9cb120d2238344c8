// An island that mixes ball joints, a hinge and contacts with the world on
// either side takes one step by the sweeps, run to a tight tolerance, to the
// velocities the pivoting solver gives: rows with opposite linear parts
// (contacts, ball joints), rows without (a hinge's angular rows), and a
// contact whose first side is the world all pass through the same sweeps.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include <kelmar/RbdLcs.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

namespace {

const PxReal kStep = 0.01;

// Three boxes in a chain hung from the world by a ball joint, the links
// joined by a hinge and a ball joint, resting on two contacts with the
// ground: one with the world as its first side, one as its second.
// Returns the velocities after one step (6 per box).
std::vector<PxReal> stepMixedIsland(unsigned seed, bool sweeps)
{
    Rng rng(seed);
    World world(8, 16);
    RbdWorldSetGravity(world, 0.0, -kG, 0.0);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 5000);
    RbdWorldLCPSetLargeIslandRows(world, sweeps ? 0 : RBD_LCP_DEFAULT_LARGE_ISLAND_ROWS);
    RbdBodyID boxes[3];
    for (int k = 0; k < 3; ++k) {
        boxes[k] = makeBox(world, uniform(rng, 0.5, 3.0), 0.4, 0.2, 0.3, 0.5 * k, 0.1, 0.0);
        PxVector3 v, w;
        randomVector(rng, 0.3, v);
        randomVector(rng, 1.0, w);
        RbdBodySetLinearVelocity(boxes[k], v[0], v[1], v[2]);
        RbdBodySetAngularVelocity(boxes[k], w[0], w[1], w[2]);
    }
    makeJoint(RbdBSJointCreate, world, boxes[0], nullptr, -0.25, 0.1, 0.0);
    makeJoint(RbdHingeCreate, world, boxes[0], boxes[1], 0.25, 0.1, 0.0);
    makeJoint(RbdBSJointCreate, world, boxes[1], boxes[2], 0.75, 0.1, 0.0);
    const RbdContactParams params = boxFriction(2.0);
    RbdContactID under = makeGroundContact(world, boxes[1], params);
    RbdContactSetPosition(under, 0.6, 0.0, uniform(rng, -0.1, 0.1));
    RbdContactSetPenetration(under, 0.002);
    // The world first: the normal still points from the second side to the first.
    RbdContactID flipped = makeGroundContact(world, nullptr, params, boxes[2]);
    RbdContactSetNormal(flipped, 0.0, -1.0, 0.0);
    RbdContactSetPosition(flipped, 1.1, 0.0, uniform(rng, -0.1, 0.1));
    RbdContactSetPenetration(flipped, 0.002);
    RbdWorldStep(world, kStep);
    std::vector<PxReal> velocities;
    for (RbdBodyID box : boxes) {
        PxVector3 v, w;
        RbdBodyGetLinearVelocity(box, v);
        RbdBodyGetAngularVelocity(box, w);
        velocities.insert(velocities.end(), {v[0], v[1], v[2], w[0], w[1], w[2]});
    }
    return velocities;
}

class MixedIslandSweeps : public ::testing::TestWithParam<unsigned> {};

TEST_P(MixedIslandSweeps, AMixedIslandStepsAsThePivotingSolverStepsIt)
{
    const std::vector<PxReal> pivoting = stepMixedIsland(GetParam(), false),
                              swept = stepMixedIsland(GetParam(), true);
    PxReal gap = 0.0, largest = 0.0;
    for (size_t k = 0; k < pivoting.size(); ++k) {
        gap = fmax(gap, fabs(pivoting[k] - swept[k]));
        largest = fmax(largest, fabs(pivoting[k]));
    }
    ASSERT_GT(largest, 0.05) << "the island moves";
    // Single-precision rows: agreement to a ten-thousandth of the speeds.
    EXPECT_LT(gap, 1e-4 * largest);
}

INSTANTIATE_TEST_SUITE_P(RandomStarts, MixedIslandSweeps, ::testing::Range(1u, 6u));

} // namespace
