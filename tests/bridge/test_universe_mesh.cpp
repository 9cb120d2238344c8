// Triangle meshes in a universe: their type is registered only with room
// for composites too, and only a closed mesh gives its body a mass. How
// meshes collide is the collision tests' own.
#include <gtest/gtest.h>

#include <kelmar/Cdx.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

#include "common/MessageLog.h"

namespace {

// The unit tetrahedron on the origin and the three axes, its faces
// counter-clockwise seen from outside; without its last face it is open.
PxReal corners[4][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
const int faces[4][3] = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};

CdxGeometryID tetrahedron(int faceCount)
{
    CdxGeometryID mesh = CdxTriangleMeshCreate(faceCount);
    for (int f = 0; mesh && f < faceCount; ++f)
        EXPECT_EQ(CdxTriangleMeshAddTriangle(mesh, corners[faces[f][0]], corners[faces[f][1]], corners[faces[f][2]]),
                  1);
    EXPECT_TRUE(mesh && CdxTriangleMeshBuild(mesh) == 1);
    return mesh;
}

TEST(UniverseMesh, MeshesComeWithRoomForCompositesAndOnlyAClosedOneGivesABodyMass)
{
    const SbxUniverseSizes primitivesAndComposites = {4, 4, 7, 4, 4, 1}, withMeshes = {20, 400, 8, 32, 256, 2};
    SbxUniverseID u = SbxUniverseCreate(primitivesAndComposites);
    ASSERT_NE(u, nullptr);
    EXPECT_GE(CdxCompositeGetTypeId(), 0);
    EXPECT_LT(CdxTriangleMeshGetTypeId(), 0);
    {
        testsupport::MessageLog log;
        EXPECT_EQ(CdxTriangleMeshCreate(1), nullptr) << "no mesh without its type";
        EXPECT_TRUE(log.warned("CdxTriangleMeshCreate: the triangle mesh type is not registered"));
    }
    SbxUniverseDestroy(u);

    u = SbxUniverseCreate(withMeshes);
    ASSERT_NE(u, nullptr);
    const CdxGeometryTypeID meshType = CdxTriangleMeshGetTypeId();
    EXPECT_EQ(meshType, CdxPrimitivesGetTypeCount());
    EXPECT_EQ(CdxCompositeGetTypeId(), meshType + 1);
    SbxUniverseID second = SbxUniverseCreate(withMeshes);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CdxTriangleMeshGetTypeId(), meshType) << "a second universe leaves the registry as it is";
    EXPECT_EQ(CdxGeometryGetRegisteredTypeCount(), 8);
    SbxUniverseDestroy(second);

    CdxGeometryID open = tetrahedron(3), closed = tetrahedron(4);
    ASSERT_FALSE(CdxTriangleMeshIsClosed(open));
    ASSERT_TRUE(CdxTriangleMeshIsClosed(closed));
    {
        testsupport::MessageLog log;
        EXPECT_EQ(SbxModelAndBodyCreate(u, open, 1000.0), nullptr);
        EXPECT_EQ(log.warnings, std::vector<std::string>{
                                    "SbxModelAndBodyCreate: the triangle mesh is not closed (every edge shared "
                                    "by two triangles running opposite ways), so it encloses no volume and a "
                                    "body on it has no mass.\n"});
    }
    EXPECT_EQ(RbdWorldGetTotalBodies(SbxUniverseGetWorld(u)), 0) << "nothing is left behind";
    CdxModelID body = SbxModelAndBodyCreate(u, closed, 1000.0);
    ASSERT_NE(body, nullptr);
    EXPECT_NEAR(RbdBodyGetMass(CdxModelGetBody(body)), 1000.0 / 6.0, 1e-9);
    SbxModelDestroy(u, body);
    CdxGeometryDestroy(open);
    CdxGeometryDestroy(closed);
    SbxUniverseDestroy(u);
    EXPECT_FALSE(CdxIsInitialized());
}

} // namespace
