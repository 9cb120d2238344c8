// The grasp wrench space's primitive wrenches: the edges of each friction
// cone, at the cone's half-angle atan(mu) from the normal and evenly spaced
// about it, with torques r x f about the centre of mass.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>

#include "GraspTestSupport.h"

namespace {

const char *kBall = R"(
<GEOMETRIES><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES>
<SOLID ball><GEOMETRY_ID>ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>1, 2, 3</POS></SOLID>
)";

struct ConeCase {
    double mu;
    int edges;
};

class FrictionCone : public testing::TestWithParam<ConeCase> {};

TEST_P(FrictionCone, EdgesLieOnTheConeWithTheirTorques)
{
    const double mu = static_cast<float>(GetParam().mu); // contacts keep it in single precision
    const int edges = GetParam().edges;
    grasptest::World w(kBall);
    kelmar::Solid *ball = w.solid("ball");
    double c[3];
    RbdBodyGetCenterOfMassPosition(ball->GetBody(), c);
    std::mt19937 random(static_cast<unsigned>(edges * 7 + mu * 100));
    std::normal_distribution<double> normal;
    for (int trial = 0; trial < 10; ++trial) {
        double n[3] = {normal(random), normal(random), normal(random)}, p[3];
        PxV3Scale(n, n, 1.0 / PxV3Length(n));
        PxV3AddScaled(p, c, n, -4.0); // on the surface, the normal pointing in
        grasptest::HandMadeContacts made(w.universe.GetWorld());
        kelmar::ContactList contacts(ball);
        contacts.add(made.Add(ball->GetBody(), nullptr, p, n, 2, mu), 0);
        kelmar::Grasp grasp(ball, &contacts);
        std::vector<double> wrenches;
        ASSERT_EQ(grasp.WrenchSpaceL1(wrenches, edges), 1 + edges);
        for (int i = 0; i < 6; ++i) EXPECT_EQ(wrenches[static_cast<size_t>(i)], 0.0);
        double r[3], previous[3] = {0, 0, 0};
        PxV3Sub(r, p, c);
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
            if (k > 1) {
                EXPECT_NEAR(std::acos(PxV3Dot(tangent, previous) / (mu * mu)), 2 * 3.141592653589793 / edges, 1e-6);
            }
            PxV3Copy(previous, tangent);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WrenchSpace, FrictionCone,
                         testing::Values(ConeCase{0.5, 3}, ConeCase{1.0, 8}, ConeCase{1.5, 16}, ConeCase{0.2, 5}));

// Only contacts with friction in two directions and mu != 0 add edges.
TEST(WrenchSpace, ContactsWithoutAConeAddNothing)
{
    grasptest::World w(kBall);
    kelmar::Solid *ball = w.solid("ball");
    grasptest::HandMadeContacts made(w.universe.GetWorld());
    kelmar::ContactList contacts(ball);
    const double p[3] = {1, 2, -1}, up[3] = {0, 0, 1};
    contacts.add(made.Add(ball->GetBody(), nullptr, p, up, 0, 0.8), 0);
    contacts.add(made.Add(ball->GetBody(), nullptr, p, up, 1, 0.8), 0);
    contacts.add(made.Add(ball->GetBody(), nullptr, p, up, 2, 0.0), 0);
    kelmar::Grasp grasp(ball, &contacts);
    std::vector<double> wrenches;
    EXPECT_EQ(grasp.WrenchSpaceL1(wrenches, 6), 1);
    EXPECT_EQ(wrenches.size(), 6u);
    // Fewer than three edges count as three.
    contacts.add(made.Add(ball->GetBody(), nullptr, p, up, 2, 0.8), 0);
    EXPECT_EQ(grasp.WrenchSpaceL1(wrenches, 1), 4);
}

} // namespace
