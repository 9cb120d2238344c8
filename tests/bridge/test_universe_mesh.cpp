// Triangle meshes in a universe: their type is registered only with room
// for composites too, and only a closed mesh gives its body a mass. How
// meshes collide is the collision tests' own.
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "bridge/test_universe_support.h"
#include "common/MessageLog.h"

namespace {

// Room for the primitives, triangle meshes and composites.
const SbxUniverseSizes kSizes = {20, 400, 8, 32, 256, 2};

// Vertices and triangles (three vertex indices each) of a mesh. The mesh
// keeps pointers into the vertex array, so it is complete before the
// geometry is made and never changes after.
struct Shape {
    std::vector<PxReal> vertices;
    std::vector<int> triangles;

    PxReal *vertex(int index) { return &vertices[3 * static_cast<size_t>(index)]; }
    int triangleCount() const { return static_cast<int>(triangles.size() / 3); }
};

// An axis-aligned box mesh centred at the origin, two triangles a face,
// counter-clockwise seen from outside: every edge is shared by exactly two
// triangles running opposite ways, so the mesh is closed. Vertex k sits at
// (+-hx, +-hy, +-hz) with bit 0 of k the sign of x, bit 1 of y, bit 2 of z.
Shape boxShape(PxReal hx, PxReal hy, PxReal hz)
{
    Shape s;
    for (int k = 0; k < 8; ++k)
        for (PxReal half : {k & 1 ? hx : -hx, k & 2 ? hy : -hy, k & 4 ? hz : -hz}) s.vertices.push_back(half);
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const int *f : faces) s.triangles.insert(s.triangles.end(), {f[0], f[1], f[2], f[0], f[2], f[3]});
    return s;
}

// The shared universe; shapes live until the models on them are gone.
class UniverseMesh : public sbxtest::UniverseFixture {
protected:
    UniverseMesh() : UniverseFixture(kSizes) {}
    // A built mesh geometry on a copy of the shape kept by the fixture.
    CdxGeometryID mesh(const Shape &shape)
    {
        shapes.push_back(std::make_unique<Shape>(shape));
        Shape &s = *shapes.back();
        CdxGeometryID geometry = keep(CdxTriangleMeshCreate(s.triangleCount()));
        if (!geometry) return nullptr;
        for (int t = 0; t < s.triangleCount(); ++t)
            EXPECT_EQ(CdxTriangleMeshAddTriangle(geometry, s.vertex(s.triangles[3 * t]),
                                                 s.vertex(s.triangles[3 * t + 1]), s.vertex(s.triangles[3 * t + 2])),
                      1);
        EXPECT_EQ(CdxTriangleMeshBuild(geometry), 1);
        return geometry;
    }

    std::vector<std::unique_ptr<Shape>> shapes;
};

// The mesh type takes a place only when composites keep theirs.
TEST(UniverseMeshTypes, MeshesAreRegisteredWhenTheSizesLeaveRoomForThemAndComposites)
{
    const SbxUniverseSizes primitivesAndComposites = {4, 4, 7, 4, 4, 1};
    SbxUniverseID u = SbxUniverseCreate(primitivesAndComposites);
    ASSERT_NE(u, nullptr);
    EXPECT_GE(CdxCompositeGetTypeId(), 0);
    EXPECT_LT(CdxTriangleMeshGetTypeId(), 0);
    EXPECT_EQ(CdxTriangleMeshCreate(1), nullptr) << "no mesh without its type";
    SbxUniverseDestroy(u);

    u = SbxUniverseCreate(kSizes);
    ASSERT_NE(u, nullptr);
    const CdxGeometryTypeID meshType = CdxTriangleMeshGetTypeId();
    const CdxGeometryTypeID compositeType = CdxCompositeGetTypeId();
    EXPECT_EQ(meshType, CdxPrimitivesGetTypeCount());
    EXPECT_EQ(compositeType, meshType + 1);
    EXPECT_EQ(CdxGeometryGetRegisteredTypeCount(), 8);

    // A second universe leaves the registry as it is.
    SbxUniverseID second = SbxUniverseCreate(kSizes);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CdxTriangleMeshGetTypeId(), meshType);
    EXPECT_EQ(CdxGeometryGetRegisteredTypeCount(), 8);
    SbxUniverseDestroy(second);
    SbxUniverseDestroy(u);
    EXPECT_FALSE(CdxIsInitialized());
}

// A body on an open mesh is refused with a warning that says why; the
// same mesh closed by its missing triangle gets the box's mass.
TEST_F(UniverseMesh, ABodyOnAnOpenMeshIsRefusedWithAWarning)
{
    Shape box = boxShape(0.5, 0.5, 0.5);
    Shape open = box;
    open.triangles.resize(open.triangles.size() - 3);
    CdxGeometryID openMesh = mesh(open), closedMesh = mesh(box);
    ASSERT_FALSE(CdxTriangleMeshIsClosed(openMesh));
    ASSERT_TRUE(CdxTriangleMeshIsClosed(closedMesh));
    {
        testsupport::MessageLog log;
        EXPECT_EQ(SbxModelAndBodyCreate(universe, openMesh, 1000.0), nullptr);
        ASSERT_EQ(log.warnings.size(), 1u);
        EXPECT_EQ(log.warnings[0],
                  "SbxModelAndBodyCreate: the triangle mesh is not closed (every edge shared by two triangles "
                  "running opposite ways), so it encloses no volume and a body on it has no mass.\n");
    }
    EXPECT_EQ(RbdWorldGetTotalBodies(world), 0) << "nothing is left behind";
    CdxModelID body = dropped(closedMesh, 0.0, 0.0, 1.0);
    ASSERT_NE(body, nullptr);
    EXPECT_NEAR(RbdBodyGetMass(CdxModelGetBody(body)), 1000.0, 1e-9);
}

} // namespace
