// The pinhole model read back from rendered pictures. Every primitive kind
// drawn alone and seen from above (+z, looking down) in a 4:3 picture: the
// outline of what is drawn spans exactly the pixels w/2 + f x / z,
// h/2 + f y / z of the shape's extreme points, with world +x to the right
// and +y up, rows counted from the bottom (a mirrored or squeezed picture
// misses by many pixels). Spheres on the axis are discs of the predicted
// radius at several view angles, sizes and distances (out to 700 cm, well
// inside the far plane).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include <kelmar/CameraMath.h>
#include <kelmar/CdxTriangleMesh.h>

#include "GraphicsTestSupport.h"

namespace {

const int kWidth = 320, kHeight = 240;
const double kEye[3] = {0, 0, 100};

struct Case {
    const char *name;
    std::function<kelmar::GraphicsPrimitive *()> make;
    std::vector<std::vector<double>> extremes; // points whose projections bound the outline
};

CdxGeometryID Tetrahedron()
{
    CdxGeometryID mesh = CdxTriangleMeshCreate(4);
    static double v[4][3] = {{-6, -4, 0}, {7, -3, 0}, {0, 8, 0}, {1, 0, 6}}; // kept by the mesh
    const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {1, 2, 3}, {2, 0, 3}};
    for (const auto &f : faces) CdxTriangleMeshAddTriangle(mesh, v[f[0]], v[f[1]], v[f[2]]);
    CdxTriangleMeshBuild(mesh);
    return mesh;
}

TEST(Primitives, EveryKindSpansItsExtremePoints)
{
    using P = kelmar::GraphicsPrimitive;
    const double line[2][3] = {{-10, -5, 0}, {12, 7, 2}};
    const Case cases[] = {
        {"box", [] { return P::Box(10, 6, 4); }, {{-5, -3, 2}, {5, 3, 2}}},
        {"cylinder", [] { return P::Cylinder(5, 10); }, {{-5, 0, 5}, {5, 0, 5}, {0, -5, 5}, {0, 5, 5}}},
        {"open cone", [] { return P::Cone(6, 8); }, {{-6, 0, -4}, {6, 0, -4}, {0, -6, -4}, {0, 6, -4}}},
        {"closed cone", [] { return P::ClosedCone(3, 7, 8); }, {{-7, 0, 4}, {7, 0, 4}, {0, -7, 4}, {0, 7, 4}}},
        {"square", [] { return P::Square(14, 9); }, {{-7, -4.5, 0}, {7, 4.5, 0}}},
        {"line", [&] { return P::Line(line[0], line[1]); }, {{-10, -5, 0}, {12, 7, 2}}},
        {"arrow", [] { return P::Arrow(20, 4); }, {{0, -4, 0}, {20, 4, 0}}},
        {"frame", [] { return P::Frame(12, 1.5); }, {{-1.5, -1.5, 9}, {12, 12, 0}, {1.5, 1.5, 9}}},
        {"frustum", [] { return P::Frustum(16, 10, 20, 3); }, {{-8, -5, 20}, {8, 5, 20}}},
        {"mesh", [] { return P::Mesh(Tetrahedron()); }, {{-6, -4, 0}, {7, -3, 0}, {0, 8, 0}}},
        {"nothing", [] { return P::NoGraphics(); }, {}},
    };
    double pose[4][4];
    graphicstest::LookDownZ(pose, kEye);
    for (const Case &c : cases) {
        graphicstest::World world;
        kelmar::GraphicsPrimitive *primitive = c.make();
        world.scene.InsertGP(c.name, primitive);
        world.scene.InsertGraphics(c.name, new kelmar::Graphics(primitive, graphicstest::kWhite));
        kelmar::VirtualCamera camera(kWidth, kHeight, &world.universe);
        const graphicstest::Picture picture = graphicstest::Take(camera, pose);
        int box[4];
        const bool drawn = picture.Bounds(box);
        EXPECT_EQ(drawn, !c.extremes.empty()) << c.name;
        if (primitive->kind() == P::kMesh) CdxTriangleMeshDestroy(primitive->mesh());
        if (!drawn) continue;
        double expected[4] = {1e9, -1e9, 1e9, -1e9};
        const double f = kelmar::CameraFocalLength(30, kHeight);
        for (const std::vector<double> &p : c.extremes) {
            double pixel[2];
            const double column = kWidth / 2.0 + f * p[0] / (kEye[2] - p[2]);
            const double row = kHeight / 2.0 + f * p[1] / (kEye[2] - p[2]);
            ASSERT_TRUE(kelmar::CameraProject(pose, 30, kWidth, kHeight, p.data(), pixel));
            EXPECT_NEAR(pixel[0], column, 1e-9);
            EXPECT_NEAR(pixel[1], row, 1e-9);
            expected[0] = std::min(expected[0], column), expected[1] = std::max(expected[1], column);
            expected[2] = std::min(expected[2], row), expected[3] = std::max(expected[3], row);
        }
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[i] + i % 2, expected[i], 1.5) << c.name << " " << i;
    }
}

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
    } cases[] = {{5, 60, 30, 320, 240},
                 {3, 25, 45, 400, 300},
                 {8, 120, 20, 320, 240},
                 {2, 40, 10, 200, 200},
                 {40, 700, 10, 320, 240}};
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

} // namespace
