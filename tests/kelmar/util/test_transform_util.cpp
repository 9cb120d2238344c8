// The robot layer's transform helpers against the toolkit's matrix
// operations, under random poses.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdBSJoint.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/Transform.h>

namespace {

void RandomTM(std::mt19937 &rng, double tm[4][4])
{
    std::normal_distribution<double> n(0, 1);
    double q[4] = {n(rng), n(rng), n(rng), n(rng)};
    const double p[3] = {10 * n(rng), 10 * n(rng), 10 * n(rng)};
    kelmar::TMFromQuaternion(tm, q, p);
}

double MaxDifference(const double *a, const double *b, int n)
{
    double d = 0;
    for (int i = 0; i < n; ++i) d = std::fmax(d, std::fabs(a[i] - b[i]));
    return d;
}

TEST(TransformUtil, EulerAndPositionRoundTrip)
{
    std::mt19937 rng(3);
    for (int k = 0; k < 200; ++k) {
        double tm[4][4], euler[3], p[3], back[4][4];
        RandomTM(rng, tm);
        kelmar::EulerAndPosFromTM(tm, euler, p);
        kelmar::TMFromEulerAndPos(back, euler, p);
        EXPECT_LT(MaxDifference(&tm[0][0], &back[0][0], 16), 1e-12) << k;
    }
}

// A frame given in tm's frame, carried out: the same as compounding.
TEST(TransformUtil, FramesCarriedThroughATransformMatchTheCompound)
{
    std::mt19937 rng(5);
    for (int k = 0; k < 100; ++k) {
        double tm[4][4], local[4][4], world[4][4];
        RandomTM(rng, tm);
        RandomTM(rng, local);
        PxMatrix4TMCompound(world, tm, local);
        double q[4], turned[4], expected[4], p[3], axis[3];
        PxQuaternionFromTM(q, local);
        kelmar::ApplyTransformToQuaternion(tm, q, turned);
        PxQuaternionFromTM(expected, world);
        const double sign = turned[0] * expected[0] + turned[1] * expected[1] + turned[2] * expected[2] +
                                        turned[3] * expected[3] <
                                    0
                                ? -1
                                : 1;
        for (double &x : turned) x *= sign; // q and -q are one orientation
        EXPECT_LT(MaxDifference(turned, expected, 4), 1e-12);
        kelmar::ApplyTransformToPos(tm, local[3], p);
        EXPECT_LT(MaxDifference(p, world[3], 3), 1e-12);
        kelmar::ApplyTransformToAxis(tm, local[0], axis);
        EXPECT_LT(MaxDifference(axis, world[0], 3), 1e-12);
    }
}

TEST(TransformUtil, BodyIndexOfAConstraint)
{
    RbdWorldID world = RbdWorldCreate(10, 10);
    RbdBodyID a = RbdBodyCreate(world), b = RbdBodyCreate(world), c = RbdBodyCreate(world);
    RbdConstraintID joint = RbdBSJointCreate(world);
    RbdConstraintSetBodies(joint, a, b);
    EXPECT_EQ(kelmar::GetBodyIndex(joint, a), 0);
    EXPECT_EQ(kelmar::GetBodyIndex(joint, b), 1);
    EXPECT_EQ(kelmar::GetBodyIndex(joint, c), -1);
    EXPECT_EQ(kelmar::GetBodyIndex(joint, nullptr), -1);
    RbdWorldDestroy(world);
}

} // namespace
