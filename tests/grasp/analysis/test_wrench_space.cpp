// The grasp wrench space's primitive wrenches: the edges of each friction
// cone, at the cone's half-angle atan(mu) from the normal and evenly spaced
// about it, with torques r x f about the centre of mass.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <utility>
#include <vector>

#include <kelmar/PxVector.h>

#include "GraspTestSupport.h"

namespace {

// (mu, edges) at ten random points of the ball.
class FrictionCone : public testing::TestWithParam<std::pair<double, int>> {};

TEST_P(FrictionCone, EdgesLieOnTheConeWithTheirTorques)
{
    const double mu = static_cast<float>(GetParam().first); // contacts keep it in single precision
    const int edges = GetParam().second;
    std::mt19937 random(static_cast<unsigned>(edges * 7 + mu * 100));
    std::normal_distribution<double> normal;
    for (int trial = 0; trial < 10; ++trial) {
        grasptest::BallWithContacts b;
        double n[3] = {normal(random), normal(random), normal(random)}, p[3], r[3], previous[3] = {0, 0, 0};
        PxV3Scale(n, n, 1.0 / PxV3Length(n));
        PxV3AddScaled(p, b.centre, n, -4.0); // on the surface, the normal pointing in
        PxV3Sub(r, p, b.centre);
        b.Add(p, n, 2, mu);
        kelmar::Grasp grasp(b.ball, &b.list);
        std::vector<double> wrenches;
        ASSERT_EQ(grasp.WrenchSpaceL1(wrenches, edges), 1 + edges);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(wrenches[static_cast<size_t>(i)], 0.0);
        for (int k = 1; k <= edges; ++k) {
            const double *f = &wrenches[static_cast<size_t>(6 * k)];
            double across[3], torque[3], tangent[3];
            PxV3Cross(across, f, n);
            EXPECT_NEAR(std::atan2(PxV3Length(across), PxV3Dot(f, n)), std::atan(mu), 1e-9);
            EXPECT_NEAR(PxV3Dot(f, n), 1.0, 1e-9);
            PxV3Cross(torque, r, f);
            for (int i = 0; i < 3; ++i) EXPECT_NEAR(f[3 + i], torque[i], 1e-9);
            // Neighbouring edges are 2 pi / edges apart about the normal.
            PxV3AddScaled(tangent, f, n, -1.0);
            const double apart = std::acos(PxV3Dot(tangent, previous) / (mu * mu));
            EXPECT_NEAR(k > 1 ? apart : 2 * M_PI / edges, 2 * M_PI / edges, 1e-6);
            PxV3Copy(previous, tangent);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WrenchSpace, FrictionCone,
                         testing::Values(std::make_pair(0.5, 3), std::make_pair(1.0, 8), std::make_pair(1.5, 16),
                                         std::make_pair(0.2, 5)));

// Only contacts with friction in two directions and mu != 0 add edges;
// fewer than three edges count as three.
TEST(WrenchSpace, ContactsWithoutAConeAddNothing)
{
    grasptest::BallWithContacts b;
    const double p[3] = {1, 2, -1}, up[3] = {0, 0, 1};
    b.Add(p, up, 0, 0.8);
    b.Add(p, up, 1, 0.8);
    b.Add(p, up, 2, 0.0);
    kelmar::Grasp grasp(b.ball, &b.list);
    std::vector<double> wrenches;
    EXPECT_EQ(grasp.WrenchSpaceL1(wrenches, 6), 1);
    EXPECT_EQ(wrenches.size(), 6u);
    b.Add(p, up, 2, 0.8);
    EXPECT_EQ(grasp.WrenchSpaceL1(wrenches, 1), 4);
}

} // namespace
