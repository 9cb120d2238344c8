// The grasp map and the friction cones' edges of random contacts on a
// turned ball, checked against each contact's geometry: unit forces along
// the contact's normal and tangents (right-handed), torques r x f, the map
// in the ball's frame and the cones in the world's. Then a ball resting on
// a plane (a contact the collision made) and the squeeze of an antipodal
// grasp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>

#include "GraspTestSupport.h"

namespace {

// The columns one contact contributes, at g: frictionless, its normal n;
// frictional, two unit tangents and n with t1 x t2 = n. n and the lever r
// are given in the world, the map is in the rows of frame.
void ExpectColumns(const double *g, int count, const double (*frame)[4], const double nWorld[3],
                   const double rWorld[3], double torqueTolerance = 1e-9)
{
    double n[3], r[3], torque[3], cross[3];
    for (int i = 0; i < 3; ++i) n[i] = PxV3Dot(frame[i], nWorld), r[i] = PxV3Dot(frame[i], rWorld);
    for (int k = 0; k < count; ++k) {
        const double *f = g + 6 * k;
        PxV3Cross(torque, r, f);
        EXPECT_NEAR(PxV3Length(f), 1.0, 1e-9) << "column " << k;
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(f[3 + i], torque[i], torqueTolerance) << "column " << k;
        }
    }
    if (count == 3) PxV3Cross(cross, g, g + 6);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(g[6 * (count - 1) + i], n[i], 1e-9);
        if (count == 3) {
            EXPECT_NEAR(cross[i], n[i], 1e-9);
        }
    }
}

// A cone's edges at w: n plus mu times a unit tangent, the tangents evenly
// spaced about n, torques r x f (world).
void ExpectCone(const double *w, int edges, double mu, const double n[3], const double r[3])
{
    double previous[3] = {0, 0, 0};
    for (int k = 0; k < edges; ++k) {
        const double *f = w + 6 * k;
        double tangent[3], torque[3];
        PxV3AddScaled(tangent, f, n, -1.0);
        PxV3Cross(torque, r, f);
        EXPECT_NEAR(PxV3Dot(tangent, n), 0, 1e-9);
        EXPECT_NEAR(PxV3Length(tangent), mu, 1e-9);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(f[3 + i], torque[i], 1e-9);
        if (k > 0) {
            EXPECT_NEAR(std::acos(PxV3Dot(tangent, previous) / (mu * mu)), 2 * M_PI / edges, 1e-6);
        }
        PxV3Copy(previous, tangent);
    }
}

TEST(GraspAnalysis, RandomContactsOnATurnedBall)
{
    std::mt19937 random(20261206);
    std::normal_distribution<double> normal;
    for (int trial = 0; trial < 24; ++trial) {
        grasptest::BallWithContacts b("0.3, -1.1, 2.0");
        struct Made {
            double n[3], r[3], mu;
            int type;
        };
        std::vector<Made> made(static_cast<size_t>(1 + trial % 5));
        for (size_t c = 0; c < made.size(); ++c) {
            Made &m = made[c];
            PxV3Set(m.n, normal(random), normal(random), normal(random));
            PxV3Scale(m.n, m.n, 1 / PxV3Length(m.n));
            PxV3Set(m.r, normal(random), normal(random), normal(random)); // any lever: made by hand
            m.type = static_cast<int>((trial + c) % 3);
            m.mu = static_cast<float>(c == 2 ? 0.0 : 0.2 + 0.35 * static_cast<double>(c)); // kept in single precision
            const bool second = c % 2 == 1; // then the stored normal points into the finger
            double p[3], stored[3];
            PxV3Add(p, b.centre, m.r);
            PxV3Scale(stored, m.n, second ? -1.0 : 1.0);
            b.Add(p, stored, m.type, m.mu, second);
        }
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        kelmar::Grasp grasp(b.ball, &b.list);
        int columns = -1, at = 0, cone = 1;
        const double *g = grasp.getGraspMap(columns);
        const double(*frame)[4] = RbdBodyGetCenterOfMassTransformPtr(b.ball->GetBody());
        std::vector<double> w;
        const int edges = 1 + trial % 8, drawn = std::max(edges, 3); // fewer than three count as three
        const int wrenches = grasp.WrenchSpaceL1(w, edges);
        for (const kelmar::ContactList::Entry &e : b.list.entries) { // the list keeps its own order
            const auto found = std::find(b.made.begin(), b.made.end(), e.contact);
            ASSERT_NE(found, b.made.end());
            const Made &m = made[static_cast<size_t>(found - b.made.begin())];
            const int count = m.type == 0 ? 1 : m.type == 2 ? 3 : 0; // friction in one direction adds nothing
            if (count > 0 && at + count <= columns) ExpectColumns(g + 6 * at, count, frame, m.n, m.r);
            at += count;
            if (m.type != 2 || m.mu == 0) continue;
            if (static_cast<size_t>(6 * (cone + drawn)) <= w.size())
                ExpectCone(&w[static_cast<size_t>(6 * cone)], drawn, m.mu, m.n, m.r);
            cone += drawn;
        }
        EXPECT_EQ(columns, at);
        EXPECT_EQ(wrenches, cone);
        EXPECT_EQ(w.size(), static_cast<size_t>(6 * cone));
        for (int i = 0; i < 6; ++i) EXPECT_EQ(w[static_cast<size_t>(i)], 0.0);
        // A new list discards the map: with none, there are no columns.
        kelmar::ContactList none(b.ball);
        grasp.SetContacts(&none);
        EXPECT_EQ(grasp.getGraspMap(columns), nullptr);
        EXPECT_EQ(columns, 0);
    }
}

// The plane pushes the ball up from 4 cm below its centre.
TEST(GraspAnalysis, BallRestingOnAPlane)
{
    grasptest::World w(R"(
<WORLD><GRAVITY>0, 0, -981</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<GEOMETRIES><PLANE floor_shape/><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES>
<SOLID floor><GEOMETRY_ID>floor_shape</GEOMETRY_ID><MATERIAL>wood</MATERIAL><FROZEN>1</FROZEN></SOLID>
<SOLID ball><GEOMETRY_ID>ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>3, -2, 4.01</POS></SOLID>)");
    ASSERT_EQ(w.loadErrors, 0);
    w.Steps(100);
    kelmar::Solid *ball = w.solid("ball");
    std::unique_ptr<kelmar::ContactList> contacts(ball->GetContacts(0));
    ASSERT_EQ(contacts->count, 1);
    kelmar::Grasp grasp(ball, contacts.get());
    int columns = 0;
    const double *g = grasp.getGraspMap(columns);
    ASSERT_EQ(columns, 3);
    const double up[3] = {0, 0, 1}, lever[3] = {0, 0, -4};
    ExpectColumns(g, 3, RbdBodyGetCenterOfMassTransformPtr(ball->GetBody()), up, lever, 0.02);
}

// Fingertips pressing from +x and -x: the wrenches cancel only for equal
// normal pushes (the squeeze), so the null space is that one direction;
// the spin about the line is the wrench point contacts cannot resist.
TEST(GraspAnalysis, AntipodalGraspSqueezesAlongTheLineOfContacts)
{
    grasptest::BallWithContacts b;
    const double *c = b.centre, right[3] = {c[0] + 4, c[1], c[2]}, left[3] = {c[0] - 4, c[1], c[2]};
    const double inwards[3] = {-1, 0, 0};
    b.Add(right, inwards, 2, 1.0);
    b.Add(left, inwards, 2, 1.0, true);
    kelmar::Grasp grasp(b.ball, &b.list);
    int columns = 0;
    const double *g = grasp.getGraspMap(columns);
    ASSERT_EQ(columns, 6);
    std::vector<float> n(g, g + 36);
    ASSERT_EQ(kelmar::Grasp::ComputeNullSpace(n, 6, 6, 1e-6f), 1);
    const double squeeze[6] = {0, 0, 1, 0, 0, 1}; // (t1, t2, n) per contact, up to scale
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(n[static_cast<size_t>(j)] / n[5], squeeze[j], 1e-6) << j;
}

} // namespace
