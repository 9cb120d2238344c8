// Triangle meshes: registration, adding and building, the tree's shape and
// boxes, bounds, support points and mass properties.
#include "test_mesh_support.h"

#include "mesh/CxTriangleMeshRecord.h"

#include <cfloat>
#include <functional>
#include <set>

using namespace meshtest;

namespace {

// Every node's box holds the vertices of every triangle below it; returns
// the triangles met (each must be met once).
void CheckSubtree(const CxTriangleMesh *mesh, const BVNode *node, std::multiset<int> *seen, std::vector<int> *under)
{
    std::vector<int> mine;
    if (node->triangle >= 0) {
        EXPECT_EQ(nullptr, node->left);
        EXPECT_EQ(nullptr, node->right);
        EXPECT_NEAR(0.0, node->box.halfExtents[2], 1e-12) << "a leaf box is flat";
        seen->insert(node->triangle);
        mine.push_back(node->triangle);
    } else {
        ASSERT_NE(nullptr, node->left);
        ASSERT_NE(nullptr, node->right);
        EXPECT_EQ(node, node->left->parent);
        EXPECT_EQ(node, node->right->parent);
        CheckSubtree(mesh, node->left, seen, &mine);
        CheckSubtree(mesh, node->right, seen, &mine);
    }
    const CxObb &box = node->box;
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(1.0, PxV3Length(box.axes[i]), 1e-12);
        for (int j = i + 1; j < 3; ++j) EXPECT_NEAR(0.0, PxV3Dot(box.axes[i], box.axes[j]), 1e-12);
        if (i < 2) {
            EXPECT_GE(box.halfExtents[i], box.halfExtents[i + 1]);
        }
    }
    for (int t : mine)
        for (int k = 0; k < 3; ++k) {
            PxVector3 d;
            PxV3Sub(d, CxMeshVertex(mesh, t, k), box.centre);
            for (int i = 0; i < 3; ++i) EXPECT_LE(std::fabs(PxV3Dot(d, box.axes[i])), box.halfExtents[i] + 1e-9);
        }
    under->insert(under->end(), mine.begin(), mine.end());
}

// A mesh of random triangles scattered in a cube.
void AddRandomSoup(Mesh *mesh, Random *random, int count, double half, double size)
{
    for (int t = 0; t < count; ++t) {
        Vec centre = random->InBox(half);
        int a = mesh->Vertex(Add(centre, random->InBox(size)));
        int b = mesh->Vertex(Add(centre, random->InBox(size)));
        int c = mesh->Vertex(Add(centre, random->InBox(size)));
        mesh->Triangle(a, b, c);
    }
}

} // namespace

TEST_F(MeshTest, AddingChecksTheAreaAndGrowsPastTheCapacity)
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

    CdxGeometryID tiny = Own(CdxTriangleMeshCreate(0));
    EXPECT_EQ(1, CdxTriangleMeshAddTriangle(tiny, a, b, big)) << "a mesh made for none takes one";
}

TEST_F(MeshTest, BuildingNeedsTrianglesAndComputesNormalsAreasAndFlags)
{
    CdxGeometryID empty = Own(CdxTriangleMeshCreate(3));
    warnings.clear();
    EXPECT_EQ(0, CdxTriangleMeshBuild(empty));
    EXPECT_EQ(0, CdxTriangleMeshIsBuilt(empty));
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("Cdx: TriangleMesh has no triangles, cannot build triangle mesh.\n", warnings[0]);

    Mesh &box = NewMesh();
    AddBox(&box, {1, 2, 3}, 2);
    box.capacity = 100;
    box.Build();
    ASSERT_EQ(1, CdxTriangleMeshIsBuilt(box.geometry));
    EXPECT_EQ(1, CdxTriangleMeshIsClosed(box.geometry));
    const CxTriangleMesh *record = CxTriangleMeshRecord(box.geometry);
    double area = 0.0;
    for (int t = 0; t < 48; ++t) {
        EXPECT_EQ(1, CdxTriangleMeshGetAuxData(box.geometry)[t]);
        PxVector3 n;
        ASSERT_EQ(1, CdxTriangleMeshGetTriangleNormal(box.geometry, t, n));
        EXPECT_NEAR(1.0, PxV3Length(n), 1e-15);
        // Outward: the normal points away from the centre.
        PxVector3 centroid;
        PxV3Add(centroid, CxMeshVertex(record, t, 0), CxMeshVertex(record, t, 1));
        PxV3Add(centroid, centroid, CxMeshVertex(record, t, 2));
        EXPECT_GT(PxV3Dot(centroid, n), 0.0);
        area += record->areas[t];
    }
    EXPECT_NEAR(2.0 * (2 * 4 + 4 * 6 + 2 * 6), area, 1e-12);
    PxVector3 centre;
    PxReal radius;
    CdxTriangleMeshGetBSphere(box.geometry, centre, &radius);
    EXPECT_NEAR(std::sqrt(14.0), radius, 1e-12);
}

TEST_F(MeshTest, AddingAfterABuildUnbuildsAndDestroyingCallsTheCallbackOnce)
{
    PxReal a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[3] = {0, 1, 0}, d[3] = {0, 0, 1};
    CdxGeometryID mesh = CdxTriangleMeshCreate(1);
    ASSERT_EQ(1, CdxTriangleMeshAddTriangle(mesh, a, b, c));
    ASSERT_EQ(1, CdxTriangleMeshBuild(mesh));
    ASSERT_EQ(1, CdxTriangleMeshAddTriangle(mesh, a, c, d));
    EXPECT_EQ(0, CdxTriangleMeshIsBuilt(mesh));
    EXPECT_EQ(nullptr, CdxTriangleMeshGetTriangleNormalPtr(mesh, 1));
    ASSERT_EQ(1, CdxTriangleMeshBuild(mesh));
    EXPECT_NEAR(1.0, CdxTriangleMeshGetTriangleNormalPtr(mesh, 1)[0], 1e-15) << "(c-a) x (d-a) = +x";

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

TEST_F(MeshTest, TreesOfRandomMeshesHoldEveryTriangleOnceInBoxesThatContainIt)
{
    Random random(11);
    for (int round = 0; round < 4; ++round) {
        Mesh &mesh = NewMesh();
        int n = 1 + round * 97;
        AddRandomSoup(&mesh, &random, n, 3.0, round == 3 ? 0.01 : 1.0);
        if (round == 2) {
            mesh.options = CdxTriangleMeshOptionKeepNodeTriangles;
            mesh.obbStartDepth = 3;
        }
        mesh.Build();
        const CxTriangleMesh *record = CxTriangleMeshRecord(mesh.geometry);
        const BVTree *tree = record->tree;
        EXPECT_EQ(2 * n - 1, tree->nodesUsed);
        EXPECT_EQ(nullptr, tree->root()->parent);
        std::multiset<int> seen;
        std::vector<int> under;
        CheckSubtree(record, tree->root(), &seen, &under);
        ASSERT_EQ((size_t)n, seen.size());
        for (int t = 0; t < n; ++t) EXPECT_EQ(1u, seen.count(t));
        if (round == 2) {
            // Kept lists: the root lists every triangle; shallow boxes are
            // axis-aligned.
            EXPECT_EQ(n, tree->nodeTriangles[0].count);
            for (int i = 0; i < 3; ++i) {
                const PxReal *axis = tree->root()->box.axes[i];
                EXPECT_EQ(1.0, std::fabs(axis[0]) + std::fabs(axis[1]) + std::fabs(axis[2]));
            }
        }
    }
}

TEST_F(MeshTest, AMeshIsClosedByItsCornerPositionsNotItsVertexIndices)
{
    Mesh &box = NewMesh();
    AddBox(&box, {1, 1, 1}, 1);
    box.Build();
    EXPECT_EQ(1, CdxTriangleMeshIsClosed(box.geometry));

    // The same box with every triangle carrying its own corner copies.
    Mesh &copies = NewMesh();
    for (const auto &t : box.triangles)
        copies.Triangle(copies.Vertex(box.vertices[t[0]]), copies.Vertex(box.vertices[t[1]]),
                        copies.Vertex(box.vertices[t[2]]));
    copies.Build();
    EXPECT_EQ(1, CdxTriangleMeshIsClosed(copies.geometry));

    // A box without one triangle or with one turned the wrong way is not
    // closed: the mass-property refusals below.
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

TEST_F(MeshTest, MassPropertiesMatchTheAnalyticBoxTetrahedronAndBall)
{
    Pose frame = AxisAngle({1, 2, 3}, 0.7, {0.3, -0.2, 0.5});
    auto rotated = [&](const std::vector<Vec> &local) {
        std::vector<Vec> out;
        for (const Vec &p : local) out.push_back(frame.ToWorld(p));
        return out;
    };
    PxMatrix4 com;
    PxMatrix3 I;
    PxReal volume;

    // Box 2 x 4 x 6 centred at (1, 0, 0): inertia (b^2 + c^2)/12 per unit mass.
    Mesh &box = NewMesh();
    AddBox(&box, {1, 2, 3}, 3, {1, 0, 0});
    box.Build();
    ASSERT_EQ(1, CdxGeometryGetMassProperties(box.geometry, com, I, &volume));
    EXPECT_NEAR(48.0, volume, 1e-12);
    EXPECT_NEAR(1.0, com[3][0], 1e-12);
    EXPECT_NEAR(0.0, com[3][1], 1e-12);
    EXPECT_NEAR((16.0 + 36.0) / 12.0, I[0][0], 1e-12);
    EXPECT_NEAR((4.0 + 36.0) / 12.0, I[1][1], 1e-12);
    EXPECT_NEAR((4.0 + 16.0) / 12.0, I[2][2], 1e-12);
    EXPECT_NEAR(0.0, I[0][1], 1e-12);

    // The corner tetrahedron 0, x, y, z turned and moved: volume 1/6,
    // centre the mean corner, inertia 3/40 on the diagonal and 1/80 off it
    // (per unit mass, about the centre, in its own axes), turned along.
    std::vector<Vec> corners = rotated({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}});
    Mesh &tetra = NewMesh();
    AddTetrahedron(&tetra, corners[0], corners[1], corners[2], corners[3]);
    tetra.Build();
    EXPECT_EQ(1, CdxTriangleMeshIsClosed(tetra.geometry));
    ASSERT_EQ(1, CdxGeometryGetMassProperties(tetra.geometry, com, I, &volume));
    EXPECT_NEAR(1.0 / 6.0, volume, 1e-14);
    Vec centre = frame.ToWorld({0.25, 0.25, 0.25});
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(centre[k], com[3][k], 1e-14);
    const double local[3][3] = {{0.075, 0.0125, 0.0125}, {0.0125, 0.075, 0.0125}, {0.0125, 0.0125, 0.075}};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // World inertia = R^T local R with R's rows the frame's axes.
            double expected = 0.0;
            for (int a = 0; a < 3; ++a)
                for (int b = 0; b < 3; ++b) expected += frame.tm[a][i] * local[a][b] * frame.tm[b][j];
            EXPECT_NEAR(expected, I[i][j], 1e-14);
        }

    // A ball of radius 2 tessellated into 5120 triangles is within its
    // tessellation error of 4/3 pi r^3 and 0.4 r^2.
    Mesh &ball = NewMesh();
    AddIcosphere(&ball, 2.0, 4);
    ball.Build();
    ASSERT_EQ(1, CdxGeometryGetMassProperties(ball.geometry, com, I, &volume));
    EXPECT_NEAR(4.0 / 3.0 * M_PI * 8.0, volume, 0.005 * volume);
    EXPECT_LT(volume, 4.0 / 3.0 * M_PI * 8.0) << "the inscribed mesh is smaller";
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(0.0, com[3][k], 1e-12);
        EXPECT_NEAR(1.6, I[k][k], 0.01 * 1.6);
    }

    // A model's mass is volume x density.
    CdxModelID model = Place(box.geometry, Translation(0, 0, 0));
    CdxModelSetDensity(model, 2.5);
    PxReal mass;
    ASSERT_EQ(1, CdxModelGetMassProperties(model, com, I, &volume, &mass));
    EXPECT_NEAR(120.0, mass, 1e-10);
}

namespace {

// Refused mass properties leave the identity frame, a zero tensor and a
// zero volume.
void ExpectRefused(const PxMatrix4 com, const PxMatrix3 I, PxReal volume)
{
    EXPECT_EQ(0.0, volume);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(0.0, I[i][j]) << i << j;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_EQ(i == j ? 1.0 : 0.0, com[i][j]) << i << j;
}

} // namespace

TEST_F(MeshTest, OpenAndFlatMeshesAreRefusedMassPropertiesInsideOutOnesKeepThem)
{
    PxMatrix4 com;
    PxMatrix3 I;
    PxReal volume;
    // A box without one of its triangles, and one with a triangle turned
    // the wrong way: neither bounds a solid.
    Mesh &open = NewMesh();
    AddBox(&open, {1, 1, 1}, 1);
    open.triangles.pop_back();
    open.Build();
    ASSERT_EQ(0, CdxTriangleMeshIsClosed(open.geometry));
    EXPECT_EQ(0, CdxGeometryGetMassProperties(open.geometry, com, I, &volume));
    ExpectRefused(com, I, volume);
    Mesh &turned = NewMesh();
    AddBox(&turned, {1, 1, 1}, 1);
    std::swap(turned.triangles[0][1], turned.triangles[0][2]);
    turned.Build();
    ASSERT_EQ(0, CdxTriangleMeshIsClosed(turned.geometry));
    EXPECT_EQ(0, CdxTriangleMeshGetMassProperties(turned.geometry, com, I, &volume));
    ExpectRefused(com, I, volume);
    CdxModelID model = Place(open.geometry, Translation(0, 0, 0));
    PxReal mass = -1.0;
    EXPECT_EQ(0, CdxModelGetMassProperties(model, com, I, &volume, &mass)) << "the model passes it on";

    // Inside out: the same solid.
    Mesh &inverted = NewMesh();
    AddBox(&inverted, {1, 1, 1}, 1);
    for (auto &t : inverted.triangles) std::swap(t[1], t[2]);
    inverted.Build();
    ASSERT_EQ(1, CdxGeometryGetMassProperties(inverted.geometry, com, I, &volume));
    EXPECT_NEAR(8.0, volume, 1e-12);
    EXPECT_NEAR(2.0 / 3.0, I[0][0], 1e-12);

    // A flat floor encloses nothing.
    Mesh &floor = NewMesh();
    AddFloor(&floor, 1.0, 2, 0.0);
    floor.Build();
    EXPECT_EQ(0, CdxGeometryGetMassProperties(floor.geometry, com, I, &volume));
    ExpectRefused(com, I, volume);

    CdxGeometryID unbuilt = Own(CdxTriangleMeshCreate(1));
    EXPECT_EQ(0, CdxTriangleMeshGetMassProperties(unbuilt, com, I, &volume));
}
