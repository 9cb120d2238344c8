// The sweeps' compact rows: a chain hung by ball joints, whose rows have no
// bounds (infinite ones ride in the lanes the products skip), ends five
// steps by sweeps where five steps by pivoting end it.
#include <gtest/gtest.h>

#include "dynamics/test_step_support.h"

using namespace steptest;

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
