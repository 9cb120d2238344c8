// The grasp map: analytic columns of a ball resting on a plane, the
// internal forces of an antipodal grasp, and the columns each friction
// type contributes.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdContact.h>

#include "GraspTestSupport.h"

namespace {

const char *kBallOnPlane = R"(
<WORLD><GRAVITY>0, 0, -981</GRAVITY><TIMESTEP>0.005</TIMESTEP></WORLD>
<GEOMETRIES><PLANE floor_shape/><SPHERE ball_shape><RADIUS>4</RADIUS></SPHERE></GEOMETRIES>
<SOLID floor><GEOMETRY_ID>floor_shape</GEOMETRY_ID><MATERIAL>wood</MATERIAL><FROZEN>1</FROZEN></SOLID>
<SOLID ball><GEOMETRY_ID>ball_shape</GEOMETRY_ID><MATERIAL>rubber</MATERIAL><POS>3, -2, 4.01</POS></SOLID>
)";

// v (world) in the frame whose rows are axes.
void Into(const double (*axes)[4], const double v[3], double out[3])
{
    for (int i = 0; i < 3; ++i) out[i] = PxV3Dot(axes[i], v);
}

// One contact under the ball: the plane pushes up along z, so the contact
// frame is t1 = (0, -1, 0), t2 = n x t1 = (1, 0, 0), n = (0, 0, 1), and the
// lever is r = -radius z; the columns are (f, r x f) in the ball's frame.
TEST(GraspMap, BallRestingOnAPlane)
{
    grasptest::World w(kBallOnPlane);
    ASSERT_EQ(w.loadErrors, 0);
    w.Steps(100);
    kelmar::Solid *ball = w.solid("ball");
    kelmar::ContactList *contacts = ball->GetContacts(0);
    ASSERT_EQ(contacts->count, 1);
    kelmar::Grasp grasp(ball, contacts);
    int columns = 0;
    const double *g = grasp.getGraspMap(columns);
    ASSERT_EQ(columns, 3);
    const double(*frame)[4] = RbdBodyGetCenterOfMassTransformPtr(ball->GetBody());
    const double world[3][3] = {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}};
    const double lever[3] = {0, 0, -4};
    for (int k = 0; k < 3; ++k) {
        double f[3], r[3], torque[3];
        Into(frame, world[k], f);
        Into(frame, lever, r);
        PxV3Cross(torque, r, f);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(g[6 * k + i], f[i], 1e-6) << "column " << k << " force " << i;
            EXPECT_NEAR(g[6 * k + 3 + i], torque[i], 0.02) << "column " << k << " torque " << i;
        }
    }
    delete contacts;
}

// Two fingertips pressing on a ball from +x and -x: the wrenches cancel
// only for equal and opposite forces along the line joining the contacts
// (the squeeze), so the null space is that one direction; the spin about
// the line is the wrench point contacts cannot resist (rank 5).
TEST(GraspMap, AntipodalGraspSqueezesAlongTheLineOfContacts)
{
    grasptest::BallWithContacts b;
    const double *c = b.centre, right[3] = {c[0] + 4, c[1], c[2]}, left[3] = {c[0] - 4, c[1], c[2]};
    const double inwards[3] = {-1, 0, 0};
    b.Add(right, inwards, 2, 1.0);
    b.Add(left, inwards, 2, 1.0, true); // the ball is its second body: the normal points into the finger
    kelmar::Grasp grasp(b.ball, &b.list);
    int columns = 0;
    const double *g = grasp.getGraspMap(columns);
    ASSERT_EQ(columns, 6);
    std::vector<float> n(g, g + 36);
    ASSERT_EQ(kelmar::Grasp::ComputeNullSpace(n, 6, 6, 1e-6f), 1);
    // In contact coordinates (t1, t2, n per contact) the squeeze is a pure
    // normal push at both contacts: (0, 0, 1, 0, 0, 1) up to scale.
    const double expected[6] = {0, 0, 1, 0, 0, 1};
    for (int j = 0; j < 6; ++j) EXPECT_NEAR(n[static_cast<size_t>(j)] / n[5], expected[j], 1e-6) << j;
}

// Friction type 0 (none) adds one column, 1 (one direction) none, 2 (two) three.
class ColumnsPerContact : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ColumnsPerContact, FrictionTypeDecides)
{
    grasptest::BallWithContacts b;
    const double p[3] = {0, 0, 0}, up[3] = {0, 0, 1};
    b.Add(p, up, 2, 0.5);
    b.Add(p, up, GetParam().first, 0.5);
    kelmar::Grasp grasp(b.ball, &b.list);
    int columns = -1;
    grasp.getGraspMap(columns);
    EXPECT_EQ(columns, 3 + GetParam().second);
    // A new list discards the map: with none, there are no columns.
    kelmar::ContactList none(b.ball);
    grasp.SetContacts(&none);
    EXPECT_EQ(grasp.getGraspMap(columns), nullptr);
    EXPECT_EQ(columns, 0);
}

INSTANTIATE_TEST_SUITE_P(GraspMap, ColumnsPerContact,
                         testing::Values(std::make_pair(0, 1), std::make_pair(1, 0), std::make_pair(2, 3)));

} // namespace
