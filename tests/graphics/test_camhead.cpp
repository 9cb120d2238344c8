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

using Head = kelmar::KelmarCamHead;

// Distance from point q to the line through p along d.
double DistanceToAxis(const double *p, const double *d, const double *q)
{
    double pq[3], c[3];
    PxV3Sub(pq, q, p);
    PxV3Cross(c, pq, d);
    return PxV3Length(c) / PxV3Length(d);
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
        Head head(&scene);
        head.SetBaseline(10 + trial % 40);
        double pose[4][4], world[3], eyes[2][4][4], between[3], back[3], d[3];
        const double q[4] = {angle(random), angle(random), angle(random), angle(random)};
        const double at[3] = {side(random), side(random), side(random)};
        kelmar::TMFromQuaternion(pose, q, at);
        head.SetHeadTM(pose);
        const double p[3] = {side(random), side(random), ahead(random)};
        ASSERT_TRUE(head.SetFixPoint(p));
        kelmar::ConvertPosition(head.GetHeadTM(), p, world);
        head.GetLeftTM(eyes[0]);
        head.GetRightTM(eyes[1]);
        PxV3Sub(between, eyes[0][3], eyes[1][3]);
        EXPECT_NEAR(PxV3Length(between), head.GetBaseline(), 1e-9);
        for (auto &eye : eyes) {
            EXPECT_TRUE(kelmar::IsRigidTM(eye, 1e-9));
            EXPECT_LT(DistanceToAxis(eye[3], eye[2], world), 1e-6);
            PxV3Sub(d, world, eye[3]);
            EXPECT_GT(PxV3Dot(d, eye[2]), 0);
        }
        ASSERT_TRUE(head.GetFixPoint(back));
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], p[k], 1e-6);
    }
    // The head's centre cannot be fixated; parallel or diverging axes meet nowhere.
    Head head(&scene);
    const double centre[3] = {0, 0, 0};
    double point[3];
    EXPECT_FALSE(head.SetFixPoint(centre));
    head.Home();
    EXPECT_FALSE(head.GetFixPoint(point));
    const float divergent[4] = {0, 0, -5, -5};
    head.SetJoints(divergent);
    EXPECT_FALSE(head.GetFixPoint(point));
    head.Park();
    EXPECT_NEAR(head.GetJoint(Head::kTilt), 85, 1e-4);
}

// Lens settings beyond 0..1 clamp to the view-angle limits (head: 5 to 60
// degrees; camera: 2 to 60); image server windows must lie in the picture.
TEST(CamHead, LensesAndZoomsClampAndWindowsStayInThePicture)
{
    kelmar::Scene scene;
    Head head(&scene);
    head.SetLens(2, 0, -1, 0);
    EXPECT_EQ(head.GetLeftViewAngle() * 100 + head.GetRightViewAngle(), 560);
    head.SetLens(0.5f, 0, 0.25f, 0);
    EXPECT_FLOAT_EQ(head.GetLeftViewAngle(), 32.5f);
    EXPECT_FLOAT_EQ(head.GetRightViewAngle(), 46.25f);
    kelmar::VirtualCamera camera(8, 8);
    for (float zoom : {-1.0f, 0.0f, 0.25f, 1.0f, 3.0f}) {
        camera.SetZoom(zoom);
        const float clamped = std::min(std::max(zoom, 0.0f), 1.0f);
        EXPECT_FLOAT_EQ(camera.GetViewAngle(), 60 - clamped * 58);
        EXPECT_FLOAT_EQ(camera.GetZoom(), clamped);
    }
    const struct {
        int xs, ys, xo, yo;
        bool ok;
        int x, y;
    } cases[] = {{320, 240, -2, 0, true, 233, 168},    {786, 576, 0, 0, true, 0, 0},
                 {100, 100, 686, 476, true, 686, 476}, {100, 100, 687, 0, false, 0, 0},
                 {0, 10, 0, 0, false, 0, 0},           {800, 10, -2, 0, false, 0, 0}};
    for (const auto &c : cases) {
        ASSERT_TRUE(head.InitImgSrv(786, 576, 0, 0));
        EXPECT_EQ(head.InitImgSrv(c.xs, c.ys, c.xo, c.yo), c.ok) << c.xs << " " << c.xo;
        int x, y, w, h;
        head.GetWindow(&x, &y, &w, &h);
        if (!c.ok) continue;
        EXPECT_EQ(std::vector<int>({x, y, w, h}), std::vector<int>({c.x, c.y, c.xs, c.ys}));
    }
}

// A small sphere straight ahead: with parallel eyes its images are f b / Z
// apart (left image: right of centre); after fixating it, it sits at both
// image centres.
TEST(CamHead, DisparityOfParallelEyesAndFixatedCentres)
{
    graphicstest::World world;
    Head head(&world.scene);
    ASSERT_TRUE(head.SetImageSize(320, 240));
    head.SetViewAngles(30, 30);
    const double f = kelmar::CameraFocalLength(30, 240);
    for (double depth : {60.0, 100.0, 150.0}) {
        const double at[3] = {0, 0, depth};
        kelmar::Solid *ball = world.Sphere(1.5, at);
        graphicstest::Picture l{320, 240, {}}, r{320, 240, {}};
        double lc[2], rc[2];
        head.Home();
        ASSERT_TRUE(head.GetStereoImg(l.rgb, r.rgb)) << head.GetError();
        ASSERT_TRUE(l.Centre(lc) && r.Centre(rc));
        EXPECT_NEAR(lc[0] - rc[0], f * head.GetBaseline() / depth, 1.0) << depth;
        ASSERT_TRUE(head.SetFixPoint(at));
        ASSERT_TRUE(head.GetStereoImg(l.rgb, r.rgb));
        ASSERT_TRUE(l.Centre(lc) && r.Centre(rc));
        for (const double *c : {lc, rc}) {
            EXPECT_NEAR(c[0], 160, 1.0) << depth;
            EXPECT_NEAR(c[1], 120, 1.0) << depth;
        }
        world.scene.RemoveObject(ball);
        delete ball;
    }
}

} // namespace
