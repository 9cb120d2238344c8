// The stereo head: eye frames, fixation round trips under random points,
// lenses and windows, and disparities read back from rendered pairs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include <kelmar/CameraMath.h>
#include <kelmar/KelmarCamHead.h>

#include "GraphicsTestSupport.h"

namespace {

// Distance from point q to the line through p along d.
double DistanceToAxis(const double *p, const double *d, const double *q)
{
    double pq[3], c[3];
    PxV3Sub(pq, q, p);
    PxV3Cross(c, pq, d);
    return PxV3Length(c) / PxV3Length(d);
}

void WorldPoint(const kelmar::KelmarCamHead &head, const double *local, double *world)
{
    kelmar::ConvertPosition(head.GetHeadTM(), local, world);
}

// After fixating a random point (in a randomly placed head), both eye
// frames are rotations a baseline apart, both optical axes pass through
// the point, it lies ahead of both eyes, and the fixation point read back
// from the joints is the point itself.
TEST(CamHead, FixationPutsThePointOnBothAxesAndReadsBack)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<double> side(-80, 80), ahead(20, 200), angle(-3, 3);
    kelmar::Scene scene;
    for (int trial = 0; trial < 200; ++trial) {
        kelmar::KelmarCamHead head(&scene);
        head.SetBaseline(10 + trial % 40);
        double pose[4][4];
        const double q[4] = {angle(random), angle(random), angle(random), angle(random)};
        const double at[3] = {side(random), side(random), side(random)};
        kelmar::TMFromQuaternion(pose, q, at);
        head.SetHeadTM(pose);
        const double p[3] = {side(random), side(random), ahead(random)};
        ASSERT_TRUE(head.SetFixPoint(p));
        double world[3], eyes[2][4][4];
        WorldPoint(head, p, world);
        head.GetLeftTM(eyes[0]);
        head.GetRightTM(eyes[1]);
        double between[3];
        PxV3Sub(between, eyes[0][3], eyes[1][3]);
        EXPECT_NEAR(PxV3Length(between), head.GetBaseline(), 1e-9);
        for (auto &eye : eyes) {
            EXPECT_TRUE(kelmar::IsRigidTM(eye, 1e-9));
            EXPECT_LT(DistanceToAxis(eye[3], eye[2], world), 1e-6);
            double d[3];
            PxV3Sub(d, world, eye[3]);
            EXPECT_GT(PxV3Dot(d, eye[2]), 0);
        }
        double back[3];
        ASSERT_TRUE(head.GetFixPoint(back));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], p[k], 1e-6);
    }
}

TEST(CamHead, PointsOnTheAxisAndParallelEyes)
{
    kelmar::Scene scene;
    kelmar::KelmarCamHead head(&scene);
    const double ahead[3] = {0, 0, 50};
    ASSERT_TRUE(head.SetFixPoint(ahead));
    EXPECT_EQ(head.GetJoint(kelmar::KelmarCamHead::kPan), 0);
    EXPECT_EQ(head.GetJoint(kelmar::KelmarCamHead::kTilt), 0);
    const double expected = 90 - std::atan(50 / 15.0) * 180 / M_PI;
    EXPECT_NEAR(head.GetJoint(kelmar::KelmarCamHead::kLeftVergence), expected, 1e-4);
    EXPECT_NEAR(head.GetJoint(kelmar::KelmarCamHead::kRightVergence), expected, 1e-4);
    const double centre[3] = {0, 0, 0};
    EXPECT_FALSE(head.SetFixPoint(centre));
    double point[3];
    head.Home();
    EXPECT_FALSE(head.GetFixPoint(point)); // parallel axes meet nowhere
    const float divergent[4] = {0, 0, -5, -5};
    head.SetJoints(divergent);
    EXPECT_FALSE(head.GetFixPoint(point));
    head.Park();
    EXPECT_NEAR(head.GetJoint(kelmar::KelmarCamHead::kTilt), 85, 1e-4);
}

TEST(CamHead, LensesAndZoomsClampAndWindowsStayInThePicture)
{
    kelmar::Scene scene;
    kelmar::KelmarCamHead head(&scene);
    head.SetLens(2, 0, -1, 0);
    EXPECT_EQ(head.GetLeftViewAngle(), 5);
    EXPECT_EQ(head.GetRightViewAngle(), 60);
    head.SetLens(0.5f, 0, 0.25f, 0);
    EXPECT_FLOAT_EQ(head.GetLeftViewAngle(), 32.5f);
    EXPECT_FLOAT_EQ(head.GetRightViewAngle(), 46.25f);
    kelmar::VirtualCamera camera(8, 8); // limits 2 and 60
    for (float zoom : {-1.0f, 0.0f, 0.25f, 1.0f, 3.0f}) {
        camera.SetZoom(zoom);
        EXPECT_FLOAT_EQ(camera.GetViewAngle(), 60 - std::min(std::max(zoom, 0.0f), 1.0f) * 58);
        EXPECT_FLOAT_EQ(camera.GetZoom(), std::min(std::max(zoom, 0.0f), 1.0f));
    }
    int x, y, w, h;
    struct Case {
        int xs, ys, xo, yo;
        bool ok;
        int x, y;
    } cases[] = {{320, 240, -2, 0, true, 233, 168},    {786, 576, 0, 0, true, 0, 0},
                 {100, 100, 686, 476, true, 686, 476}, {100, 100, 687, 0, false, 0, 0},
                 {0, 10, 0, 0, false, 0, 0},           {800, 10, -2, 0, false, 0, 0}};
    for (const Case &c : cases) {
        ASSERT_TRUE(head.InitImgSrv(786, 576, 0, 0));
        EXPECT_EQ(head.InitImgSrv(c.xs, c.ys, c.xo, c.yo), c.ok) << c.xs << " " << c.xo;
        head.GetWindow(&x, &y, &w, &h);
        if (!c.ok) continue;
        EXPECT_EQ(x, c.x);
        EXPECT_EQ(y, c.y);
        EXPECT_EQ(w, c.xs);
        EXPECT_EQ(h, c.ys);
    }
}

// A small sphere straight ahead: with parallel eyes its images are f b / Z
// apart (left image: right of centre); after fixating it, it sits at both
// image centres.
TEST(CamHead, DisparityOfParallelEyesAndFixatedCentres)
{
    graphicstest::World world;
    kelmar::KelmarCamHead head(&world.scene);
    ASSERT_TRUE(head.SetImageSize(320, 240));
    head.SetViewAngles(30, 30);
    const float white[4] = {1, 1, 1, 1};
    for (double depth : {60.0, 100.0, 150.0}) {
        const double at[3] = {0, 0, depth};
        kelmar::Solid *ball = world.Sphere(1.5, at, white);
        head.Home();
        std::vector<unsigned char> left, right;
        ASSERT_TRUE(head.GetStereoImg(left, right)) << head.GetError();
        graphicstest::Picture l{320, 240, left}, r{320, 240, right};
        int lb[4], rb[4];
        ASSERT_TRUE(l.Bounds(lb));
        ASSERT_TRUE(r.Bounds(rb));
        const double f = kelmar::CameraFocalLength(30, 240);
        const double disparity = (lb[0] + lb[1]) / 2.0 - (rb[0] + rb[1]) / 2.0;
        EXPECT_NEAR(disparity, f * head.GetBaseline() / depth, 1.0) << depth;
        ASSERT_TRUE(head.SetFixPoint(at));
        ASSERT_TRUE(head.GetStereoImg(left, right));
        l.rgb = left, r.rgb = right;
        ASSERT_TRUE(l.Bounds(lb));
        ASSERT_TRUE(r.Bounds(rb));
        for (const int *b : {lb, rb}) {
            EXPECT_NEAR((b[0] + b[1] + 1) / 2.0, 160, 1.0) << depth;
            EXPECT_NEAR((b[2] + b[3] + 1) / 2.0, 120, 1.0) << depth;
        }
        world.scene.RemoveObject(ball);
        delete ball;
    }
}

} // namespace
