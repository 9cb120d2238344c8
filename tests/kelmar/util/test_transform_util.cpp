// Euler angles and positions of random poses read back to the same pose.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include <kelmar/Transform.h>

#include "KelmarTestSupport.h"

namespace {

void RandomTM(std::mt19937 &rng, double tm[4][4])
{
    std::normal_distribution<double> n(0, 1);
    double q[4] = {n(rng), n(rng), n(rng), n(rng)};
    const double p[3] = {10 * n(rng), 10 * n(rng), 10 * n(rng)};
    kelmar::TMFromQuaternion(tm, q, p);
}

TEST(TransformUtil, EulerAndPositionRoundTrip)
{
    std::mt19937 rng(3);
    for (int k = 0; k < 200; ++k) {
        double tm[4][4], euler[3], p[3], back[4][4];
        RandomTM(rng, tm);
        kelmar::EulerAndPosFromTM(tm, euler, p);
        kelmar::TMFromEulerAndPos(back, euler, p);
        EXPECT_LT(kelmartest::MaxDifference(tm, back), 1e-12) << k;
    }
}

} // namespace
