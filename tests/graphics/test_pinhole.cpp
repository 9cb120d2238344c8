// The pinhole model read back from rendered pictures: discs of spheres,
// corners of boxes, the orientation of rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <kelmar/CameraMath.h>

#include "GraphicsTestSupport.h"

namespace {

// A sphere of radius R at distance Z on the axis is a disc of radius
// f R / sqrt(Z^2 - R^2) about the image centre: the cone of sight lines
// tangent to the sphere. The 16-slice sphere has vertices along the
// image's row and column axes, where its outline meets the true one.
TEST(Pinhole, SphereOnTheAxisIsADiscOfThePredictedRadius)
{
    const struct {
        double radius, distance;
        float viewAngle;
        int width, height;
    } cases[] = {{5, 60, 30, 320, 240}, {3, 25, 45, 400, 300}, {8, 120, 20, 320, 240}, {2, 40, 10, 200, 200}};
    for (const auto &c : cases) {
        graphicstest::World world;
        const double centre[3] = {0, 0, 0}, eye[3] = {0, 0, c.distance};
        world.Sphere(c.radius, centre);
        const graphicstest::Picture picture = world.Look(eye, c.width, c.height, c.viewAngle);
        const double f = kelmar::CameraFocalLength(c.viewAngle, c.height);
        const double expected = f * c.radius / std::sqrt(c.distance * c.distance - c.radius * c.radius);
        int box[4];
        ASSERT_TRUE(picture.Bounds(box));
        EXPECT_NEAR((box[1] - box[0] + 1) / 2.0, expected, 1.0) << c.radius << " at " << c.distance;
        EXPECT_NEAR((box[3] - box[2] + 1) / 2.0, expected, 1.0) << c.radius << " at " << c.distance;
        EXPECT_NEAR((box[0] + box[1] + 1) / 2.0, c.width / 2.0, 1.0);
        EXPECT_NEAR((box[2] + box[3] + 1) / 2.0, c.height / 2.0, 1.0);
    }
}

// Boxes off the axis: the outline's extremes are corners (near or far
// ones), each at w/2 + f x / z, h/2 + f y / z in a 4:3 picture, with world
// +x to the right and +y up, rows counted from the bottom (a mirrored or
// squeezed picture misses by many pixels).
TEST(Pinhole, BoxCornersLandOnThePredictedPixels)
{
    const struct {
        double centre[3], size[3];
    } cases[] = {{{6, 3, 0}, {4, 2, 2}}, {{-8, -5, -10}, {3, 5, 1}}, {{2, -7, 5}, {6, 3, 4}}};
    const int width = 320, height = 240;
    const double eye[3] = {0, 0, 60}, f = kelmar::CameraFocalLength(30, height);
    double pose[4][4];
    graphicstest::LookDownZ(pose, eye);
    for (const auto &c : cases) {
        graphicstest::World world;
        world.Box(c.size[0], c.size[1], c.size[2], c.centre);
        int box[4];
        ASSERT_TRUE(world.Look(eye, width, height).Bounds(box));
        double extent[4] = {1e9, -1e9, 1e9, -1e9}, corner[3], pixel[2];
        for (int k = 0; k < 8; ++k) {
            for (int axis = 0; axis < 3; ++axis)
                corner[axis] = c.centre[axis] + (k >> axis & 1 ? 0.5 : -0.5) * c.size[axis];
            const double column = width / 2.0 + f * corner[0] / (eye[2] - corner[2]);
            const double row = height / 2.0 + f * corner[1] / (eye[2] - corner[2]);
            extent[0] = std::min(extent[0], column), extent[1] = std::max(extent[1], column);
            extent[2] = std::min(extent[2], row), extent[3] = std::max(extent[3], row);
            ASSERT_TRUE(kelmar::CameraProject(pose, 30, width, height, corner, pixel));
            EXPECT_NEAR(pixel[0], column, 1e-9);
            EXPECT_NEAR(pixel[1], row, 1e-9);
        }
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[i] + i % 2, extent[i], 1.0) << i;
    }
}

} // namespace
