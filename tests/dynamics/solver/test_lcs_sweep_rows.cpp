// The sweeps' compact rows: a chain hung by ball joints, whose rows have no
// bounds (infinite ones ride in the lanes the products skip), ends five
// steps by sweeps where five steps by pivoting end it; the sweeps with
// 256-bit vectors end them where the sweeps with 128-bit vectors do, to the
// bit.
#include <gtest/gtest.h>

#include <vector>

#include "dynamics/test_step_support.h"
#include "solver/RbdLcsIterative.h"

using namespace steptest;

namespace {

// The links' linear velocities after each of five steps, by pivoting or by
// sweeps (narrow or wide) to a tight tolerance.
std::vector<PxReal> chainVelocities(bool sweeps, bool wide)
{
    World world(8, 8);
    if (sweeps) RbdWorldLCPSetLargeIslandRows(world, 0);
    RbdWorldLCPSetTolerance(world, 1e-9);
    RbdWorldLCPSetIterations(world, 3000);
    lcs::setWideSweeps(wide);
    Rng rng(7);
    RbdBodyID links[6];
    for (int k = 0; k < 6; ++k) { // 0.3 m along x, each turning at its own rate
        links[k] = makeBox(world, 1.0 + 0.5 * k, 0.3, 0.05, 0.05, 0.15 + 0.3 * k, 0.0, 0.0);
        PxVector3 w;
        randomVector(rng, 2.0, w);
        RbdBodySetAngularVelocity(links[k], w[0], w[1], w[2]);
        makeJoint(RbdBSJointCreate, world, links[k], k ? links[k - 1] : nullptr, 0.3 * k, 0.0, 0.0);
    }
    std::vector<PxReal> v;
    for (int step = 0; step < 5; ++step) {
        RbdWorldStep(world, 0.01);
        for (int k = 0; k < 6; ++k)
            for (int axis = 0; axis < 3; ++axis) v.push_back(velocityOf(links[k], axis));
    }
    lcs::setWideSweeps(1);
    return v;
}

TEST(SweepRows, AChainOfUnboundedJointRowsEndsWhereThePivotingEndsIt)
{
    const std::vector<PxReal> pivoting = chainVelocities(false, false), sweeps = chainVelocities(true, false);
    // Speeds near 1 m/s: the sweeps' single-precision rows agree to about
    // 1e-6 of them.
    for (size_t i = 0; i < pivoting.size(); ++i) EXPECT_NEAR(sweeps[i], pivoting[i], 1e-5) << i;
}

TEST(SweepRows, WideSweepsEndWhereNarrowOnesEndToTheBit)
{
    if (!__builtin_cpu_supports("avx")) GTEST_SKIP() << "no 256-bit vectors here";
    EXPECT_EQ(chainVelocities(true, true), chainVelocities(true, false));
}

} // namespace
