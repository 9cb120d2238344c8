// Every primitive kind drawn alone and seen from above (+z, looking down):
// the outline of what is drawn spans exactly the projections of the shape's
// extreme points, its kind and parameters read back from the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include <kelmar/CameraMath.h>
#include <kelmar/CdxTriangleMesh.h>

#include "GraphicsTestSupport.h"

namespace {

const int kSize = 240;
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
        kelmar::VirtualCamera camera(kSize, kSize, &world.universe);
        const graphicstest::Picture picture = graphicstest::Take(camera, pose);
        int box[4];
        const bool drawn = picture.Bounds(box);
        EXPECT_EQ(drawn, !c.extremes.empty()) << c.name;
        if (primitive->kind() == P::kMesh) CdxTriangleMeshDestroy(primitive->mesh());
        if (!drawn) continue;
        double expected[4] = {1e9, -1e9, 1e9, -1e9};
        for (const std::vector<double> &point : c.extremes) {
            double pixel[2];
            ASSERT_TRUE(kelmar::CameraProject(pose, 30, kSize, kSize, point.data(), pixel));
            expected[0] = std::min(expected[0], pixel[0]), expected[1] = std::max(expected[1], pixel[0]);
            expected[2] = std::min(expected[2], pixel[1]), expected[3] = std::max(expected[3], pixel[1]);
        }
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(box[i] + i % 2, expected[i], 1.5) << c.name << " " << i;
    }
}

} // namespace
