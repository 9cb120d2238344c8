// The pinhole model read back from rendered pictures: discs of spheres,
// corners of boxes, the orientation of rows.
#include <gtest/gtest.h>

#include <cmath>

#include <kelmar/CameraMath.h>

#include "GraphicsTestSupport.h"

using graphicstest::Picture;

namespace {

const float kWhite[4] = {1, 1, 1, 1};

// A sphere of radius R at distance Z on the axis is a disc of radius
// f R / sqrt(Z^2 - R^2): the cone of sight lines tangent to the sphere.
// The 16-slice sphere has vertices along the image's row and column axes,
// where its outline meets the true one.
TEST(Pinhole, SphereOnTheAxisIsADiscOfThePredictedRadius)
{
    struct Case {
        double radius, distance, viewAngle;
        int width, height;
    } cases[] = {{5, 60, 30, 320, 240}, {3, 25, 45, 400, 300}, {8, 120, 20, 320, 240}, {2, 40, 10, 200, 200}};
    for (const Case &c : cases) {
        graphicstest::World world;
        const double centre[3] = {0, 0, 0}, eye[3] = {0, 0, c.distance};
        world.Sphere(c.radius, centre, kWhite);
        kelmar::VirtualCamera camera(c.width, c.height, &world.universe);
        camera.SetViewAngle(static_cast<float>(c.viewAngle));
        double pose[4][4];
        graphicstest::LookDownZ(pose, eye);
        const Picture picture = graphicstest::Take(camera, pose);
        const double f = kelmar::CameraFocalLength(c.viewAngle, c.height);
        const double expected = f * c.radius / std::sqrt(c.distance * c.distance - c.radius * c.radius);
        EXPECT_NEAR(picture.CountRow(c.height / 2) / 2.0, expected, 1.0) << c.radius << " at " << c.distance;
        EXPECT_NEAR(picture.CountColumn(c.width / 2) / 2.0, expected, 1.0) << c.radius << " at " << c.distance;
        int box[4];
        ASSERT_TRUE(picture.Bounds(box));
        EXPECT_NEAR((box[0] + box[1] + 1) / 2.0, c.width / 2.0, 1.0);
        EXPECT_NEAR((box[2] + box[3] + 1) / 2.0, c.height / 2.0, 1.0);
    }
}

} // namespace
