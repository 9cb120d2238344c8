// Triangle meshes: registration, adding and building, bounds, support
// points and mass properties. The tree's boxes are checked where meshes
// meet meshes, primitives and segments, against brute force.
#include "collision/collision_support.h"

#include "mesh/CxTriangleMeshRecord.h"

TEST_F(MeshTest, AddingChecksTheAreaGrowsPastTheCapacityAndUnbuildsAndDestroyingCallsTheCallbackOnce)
{
    // A right triangle with legs 1 and 2e-14 has area exactly 1e-14.
    PxReal a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 2e-14, 0}, low[3] = {0, 1.9e-14, 0};
    CdxGeometryID mesh = Own(CdxTriangleMeshCreate(4));
    EXPECT_EQ(1e-14, CdxTriangleMeshGetMinAreaThreshold(mesh));
    EXPECT_EQ(1, CdxTriangleMeshAddTriangle(mesh, a, b, c)) << "an area equal to the minimum is kept";
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(0, CdxTriangleMeshAddTriangle(mesh, a, b, low));
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("Cdx: CdxTriangleMeshAddTriangle(): degenerate triangle ignored! \n"
              "[(0, 0, 0), (1, 0, 0), (0, 1.9e-14, 0)] area 9.5e-15\n",
              warnings[0]);

    PxReal big[3] = {0, 1, 0};
    for (int k = 0; k < 4; ++k) ASSERT_EQ(1, CdxTriangleMeshAddTriangle(mesh, a, b, big));
    EXPECT_EQ(5, CdxTriangleMeshGetTriangleCount(mesh)) << "the fifth triangle finds room in a mesh made for 4";
    PxReal *pa, *pb, *pc;
    ASSERT_EQ(1, CdxTriangleMeshGetTriangleVertexPtrs(mesh, 4, &pa, &pb, &pc));
    EXPECT_TRUE(pa == a && pb == b && pc == big) << "vertices are the caller's, not copies";
    EXPECT_EQ(0, CdxTriangleMeshGetTriangleVertexPtrs(mesh, 5, &pa, &pb, &pc));
    EXPECT_EQ(0, CdxTriangleMeshAddTriangle(mesh, a, nullptr, big));

    mesh = CdxTriangleMeshCreate(0);
    EXPECT_EQ(1, CdxTriangleMeshAddTriangle(mesh, a, b, big)) << "a mesh made for none takes one";
    // Adding after a build unbuilds; destroying calls the callback once.
    ASSERT_EQ(1, CdxTriangleMeshBuild(mesh));
    PxReal d[3] = {0, 0, 1};
    ASSERT_EQ(1, CdxTriangleMeshAddTriangle(mesh, a, big, d));
    EXPECT_EQ(0, CdxTriangleMeshIsBuilt(mesh));
    EXPECT_EQ(nullptr, CdxTriangleMeshGetTriangleNormalPtr(mesh, 1));
    ASSERT_EQ(1, CdxTriangleMeshBuild(mesh));
    EXPECT_NEAR(1.0, CdxTriangleMeshGetTriangleNormalPtr(mesh, 1)[0], 1e-15) << "(big-a) x (d-a) = +x";

    static int calls;
    static void *seen;
    calls = 0;
    int token = 0;
    CdxTriangleMeshSetDestroyCallback(
        mesh,
        [](CdxGeometryID, void *data) {
            ++calls;
            seen = data;
        },
        &token);
    CdxTriangleMeshSetVertexArray(mesh, a, 1);
    int count = 0;
    EXPECT_EQ(a, CdxTriangleMeshGetVertexArray(mesh, &count));
    EXPECT_EQ(1, count);
    EXPECT_EQ(1, CdxGeometryDestroy(mesh));
    EXPECT_EQ(1, calls);
    EXPECT_EQ(&token, seen);
}

// Building (into a mesh made with room to spare) computes each triangle's
// area and sets its flag; a box mesh's bounding sphere reaches its corners.
// Unit outward normals and the refusal of an empty mesh are checked where
// meshes meet primitives and where files are read.
TEST_F(MeshTest, BuildingComputesAreasFlagsAndTheBoundingSphere)
{
    Mesh &box = NewMesh();
    AddBox(&box, {1, 2, 3}, 2);
    box.capacity = 100;
    box.Build();
    const CxTriangleMesh *record = CxTriangleMeshRecord(box.geometry);
    double area = 0.0;
    for (int t = 0; t < 48; ++t) {
        EXPECT_EQ(1, CdxTriangleMeshGetAuxData(box.geometry)[t]);
        area += record->areas[t];
    }
    EXPECT_NEAR(2.0 * (2 * 4 + 4 * 6 + 2 * 6), area, 1e-12);
    PxVector3 centre;
    PxReal radius;
    CdxTriangleMeshGetBSphere(box.geometry, centre, &radius);
    EXPECT_NEAR(std::sqrt(14.0), radius, 1e-12);
}

TEST_F(MeshTest, BoundsHoldEveryPlacedVertexAndSupportPointsAreTheFarthestVertex)
{
    Random random(5);
    Mesh &mesh = NewMesh();
    AddIcosphere(&mesh, 1.0, 2);
    AddBox(&mesh, {0.5, 2.0, 0.25}, 2, {1.5, 0, 0});
    mesh.Build();
    for (int round = 0; round < 20; ++round) {
        Pose frame = random.TurnedPose(random.InBox(5.0));
        PxVector3 lo, hi;
        ASSERT_EQ(1, CdxGeometryGetAABB(mesh.geometry, frame.tm, lo, hi));
        Vec direction = random.UnitVector();
        double best = -DBL_MAX;
        for (const Vec &v : mesh.vertices) {
            Vec w = frame.ToWorld(v);
            for (int k = 0; k < 3; ++k) {
                EXPECT_LE(lo[k], w[k] + 1e-12);
                EXPECT_GE(hi[k], w[k] - 1e-12);
            }
            best = std::max(best, Dot(w, direction));
        }
        PxVector3 d = {direction[0], direction[1], direction[2]}, point;
        ASSERT_EQ(1, CdxGeometryMaximumPoint(mesh.geometry, frame.tm, d, point));
        EXPECT_NEAR(best, Dot(ToVec(point), direction), 1e-12);
        const PxReal *cached = CdxGeometryGetBounds(mesh.geometry);
        EXPECT_EQ(lo[0], cached[0]);
        EXPECT_EQ(hi[2], cached[5]);
    }
    // Axis-aligned at the identity the box is exact.
    PxVector3 lo, hi;
    CdxTriangleMeshGetAABB(mesh.geometry, nullptr, lo, hi);
    EXPECT_NEAR(-1.0, lo[0], 1e-12);
    EXPECT_NEAR(2.0, hi[0], 1e-12);
    EXPECT_NEAR(2.0, hi[1], 1e-12);
}

// Each row: a mesh, whether it is closed (by its corner positions, not its
// vertex indices), and the volume, centre and inertia per unit mass about
// the centre of the solid it bounds; a volume of 0 stands for a refusal,
// which leaves the identity frame and a zero tensor.
TEST_F(MeshTest, MassPropertiesMatchTheAnalyticSolidAndMeshesBoundingNoneAreRefused)
{
    using Tensor = std::array<Vec, 3>;
    const Pose frame = AxisAngle({1, 2, 3}, 0.7, {0.3, -0.2, 0.5});
    // The corner tetrahedron 0, x, y, z has 3/40 on the diagonal and 1/80
    // off it in its own axes; turned, R^T local R with R's rows the axes.
    Tensor tetra{};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b)
                    tetra[i][j] += frame.tm[a][i] * (a == b ? 0.075 : 0.0125) * frame.tm[b][j];
    auto diagonal = [](double x, double y, double z) { return Tensor{Vec{x, 0, 0}, Vec{0, y, 0}, Vec{0, 0, z}}; };
    const Tensor cube = diagonal(2.0 / 3, 2.0 / 3, 2.0 / 3);
    Mesh &box = NewMesh(), &copies = NewMesh(), &inverted = NewMesh(), &corner = NewMesh(), &ball = NewMesh(),
         &open = NewMesh(), &turned = NewMesh(), &floor = NewMesh();
    AddBox(&box, {1, 2, 3}, 3, {1, 0, 0});
    for (Mesh *m : {&inverted, &open, &turned}) AddBox(m, {1, 1, 1}, 1);
    for (const auto &t : open.triangles)
        copies.Triangle(copies.Vertex(open.vertices[t[0]]), copies.Vertex(open.vertices[t[1]]),
                        copies.Vertex(open.vertices[t[2]]));
    for (auto &t : inverted.triangles) std::swap(t[1], t[2]);
    AddTetrahedron(&corner, frame.ToWorld({0, 0, 0}), frame.ToWorld({1, 0, 0}), frame.ToWorld({0, 1, 0}),
                   frame.ToWorld({0, 0, 1}));
    AddIcosphere(&ball, 2.0, 4);
    open.triangles.pop_back();
    std::swap(turned.triangles[0][1], turned.triangles[0][2]);
    AddFloor(&floor, 1.0, 2, 0.0);
    const double ballVolume = 4.0 / 3.0 * M_PI * 8.0;
    const struct {
        const char *name;
        Mesh &mesh;
        int closed;
        double volume;
        Vec centre;
        Tensor inertia;
        double volumeTolerance, tolerance;
    } rows[] = {
        // Box 2 x 4 x 6: (b^2 + c^2)/12 per unit mass.
        {"box", box, 1, 48.0, {1, 0, 0}, diagonal(52.0 / 12, 40.0 / 12, 20.0 / 12), 1e-12, 1e-12},
        {"box of corner copies", copies, 1, 8.0, {0, 0, 0}, cube, 1e-12, 1e-12},
        {"box inside out", inverted, 1, 8.0, {0, 0, 0}, cube, 1e-12, 1e-12},
        {"turned corner tetrahedron", corner, 1, 1.0 / 6, frame.ToWorld({0.25, 0.25, 0.25}), tetra, 1e-14, 1e-14},
        // 5120 triangles: within the tessellation error of 4/3 pi r^3 and 0.4 r^2.
        {"ball of radius 2", ball, 1, ballVolume, {0, 0, 0}, diagonal(1.6, 1.6, 1.6), 0.005 * ballVolume, 0.016},
        {"box without a triangle", open, 0, 0.0, {0, 0, 0}, {}, 0.0, 0.0},
        {"box with a triangle turned", turned, 0, 0.0, {0, 0, 0}, {}, 0.0, 0.0},
        {"flat floor", floor, 0, 0.0, {0, 0, 0}, {}, 0.0, 0.0},
    };
    PxMatrix4 com;
    PxMatrix3 I;
    PxReal volume, mass;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        row.mesh.Build();
        EXPECT_EQ(row.closed, CdxTriangleMeshIsClosed(row.mesh.geometry));
        volume = -1.0;
        EXPECT_EQ(row.volume > 0.0, CdxGeometryGetMassProperties(row.mesh.geometry, com, I, &volume) == 1);
        EXPECT_NEAR(row.volume, volume, row.volumeTolerance);
        if (row.volumeTolerance > 1e-9) {
            EXPECT_LT(volume, row.volume) << "a tessellated ball is inscribed, so smaller";
        }
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(row.centre[i], com[3][i], row.tolerance);
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(row.inertia[i][j], I[i][j], row.tolerance) << i << j;
        }
        for (int i = 0; i < 4 && row.volume == 0.0; ++i)
            for (int j = 0; j < 4; ++j) EXPECT_EQ(i == j ? 1.0 : 0.0, com[i][j]) << "an identity frame";
    }
    // A model's mass is volume x density; it passes a refusal on.
    CdxModelID boxModel = Place(box.geometry, Identity());
    CdxModelSetDensity(boxModel, 2.5);
    ASSERT_EQ(1, CdxModelGetMassProperties(boxModel, com, I, &volume, &mass));
    EXPECT_NEAR(120.0, mass, 1e-10);
    EXPECT_EQ(0, CdxModelGetMassProperties(Place(open.geometry, Identity()), com, I, &volume, &mass));
    EXPECT_EQ(0, CdxTriangleMeshGetMassProperties(Own(CdxTriangleMeshCreate(1)), com, I, &volume)) << "unbuilt";
}
