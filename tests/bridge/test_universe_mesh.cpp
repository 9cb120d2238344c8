// Triangle meshes as the geometry of bodies and fixed models in a universe,
// stepped through SbxUniverseStep alone: a cube mesh behaves like the box
// it encloses, bodies rest on mesh floors and on other meshes, and only a
// closed mesh gives its body a mass.
#include <math.h>

#include <algorithm>
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

using sbxtest::translation;

const PxReal kG = 9.81;
const PxReal kH = sbxtest::kStep;

// Room for the primitives, triangle meshes and composites.
const SbxUniverseSizes kSizes = {20, 400, 8, 32, 256, 2};

// Vertices and triangles (three vertex indices each) of a mesh. The mesh
// keeps pointers into the vertex array, so it is complete before the
// geometry is made and never changes after.
struct Shape {
    std::vector<PxReal> vertices;
    std::vector<int> triangles;

    int addVertex(PxReal x, PxReal y, PxReal z)
    {
        vertices.push_back(x);
        vertices.push_back(y);
        vertices.push_back(z);
        return static_cast<int>(vertices.size() / 3) - 1;
    }
    void addTriangle(int a, int b, int c)
    {
        triangles.push_back(a);
        triangles.push_back(b);
        triangles.push_back(c);
    }
    // Two triangles a, b, c and a, c, d, counter-clockwise seen from the
    // side their normal points to.
    void addQuad(int a, int b, int c, int d)
    {
        addTriangle(a, b, c);
        addTriangle(a, c, d);
    }
    PxReal *vertex(int index) { return &vertices[3 * static_cast<size_t>(index)]; }
    int triangleCount() const { return static_cast<int>(triangles.size() / 3); }
};

// An axis-aligned box mesh centred at the origin with outward normals; its
// top face is split into cells x cells squares. Each side face is a fan
// from one bottom corner over the top border, so that every edge is
// shared by exactly two triangles and the mesh is closed.
Shape boxShape(PxReal hx, PxReal hy, PxReal hz, int cells = 1)
{
    Shape s;
    const int c0 = s.addVertex(-hx, -hy, -hz), c1 = s.addVertex(hx, -hy, -hz), c2 = s.addVertex(-hx, hy, -hz),
              c3 = s.addVertex(hx, hy, -hz);
    s.addQuad(c0, c2, c3, c1); // bottom
    std::vector<int> grid(static_cast<size_t>((cells + 1) * (cells + 1)));
    auto top = [&](int i, int j) -> int & { return grid[static_cast<size_t>(j * (cells + 1) + i)]; };
    for (int j = 0; j <= cells; ++j)
        for (int i = 0; i <= cells; ++i)
            top(i, j) = s.addVertex(-hx + 2.0 * hx * i / cells, -hy + 2.0 * hy * j / cells, hz);
    for (int j = 0; j < cells; ++j)
        for (int i = 0; i < cells; ++i) s.addQuad(top(i, j), top(i + 1, j), top(i + 1, j + 1), top(i, j + 1));
    for (int i = 0; i < cells; ++i) {
        s.addTriangle(c0, top(i + 1, 0), top(i, 0));         // -y
        s.addTriangle(c2, top(i, cells), top(i + 1, cells)); // +y
        s.addTriangle(c0, top(0, i), top(0, i + 1));         // -x
        s.addTriangle(c1, top(cells, i + 1), top(cells, i)); // +x
    }
    s.addTriangle(c0, c1, top(cells, 0));     // -y
    s.addTriangle(c2, top(cells, cells), c3); // +y
    s.addTriangle(c0, top(0, cells), c2);     // -x
    s.addTriangle(c1, c3, top(cells, cells)); // +x
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
    CdxModelID fixed(CdxGeometryID geometry, PxReal x, PxReal y, PxReal z) { return fixedAt(geometry, x, y, z); }
    // Steps until every model given is asleep or the limit is reached;
    // returns the steps taken.
    int stepUntilAsleep(std::initializer_list<CdxModelID> sleepers, int limit)
    {
        int n = 0;
        auto anyAwake = [&]() {
            for (CdxModelID m : sleepers)
                if (awake(m)) return true;
            return false;
        };
        while (anyAwake() && n < limit) {
            SbxUniverseStep(universe, kH);
            ++n;
        }
        return n;
    }
    // How far the body's z axis leans from the world's, in radians.
    static PxReal tilt(CdxModelID model)
    {
        PxMatrix3 r;
        RbdBodyGetOrientation(CdxModelGetBody(model), r);
        return acos(fmin(1.0, fabs(r[2][2])));
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

// How far apart the orientations of two bodies are: the largest entry of
// the difference of their rotation matrices.
PxReal turnBetween(RbdBodyID a, RbdBodyID b)
{
    PxMatrix3 ra, rb;
    RbdBodyGetOrientation(a, ra);
    RbdBodyGetOrientation(b, rb);
    PxReal most = 0.0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) most = fmax(most, fabs(ra[i][j] - rb[i][j]));
    return most;
}

// Cube meshes and boxes of the same size, 0.4 m wide, dropped side by side
// from 1 m onto a fixed plane with friction. Dropped flat, both land after
// the free-fall time of sqrt(2 / 9.81) = 0.4515 s within one step of each
// other. Dropped tilted, spinning and sliding, the mesh follows the box's
// path within 5 mm and its turns within 0.015 at every step. All settle
// at the same height within 1 mm (within 2 mm of the half width), flat,
// with as many contacts as the box, and fall asleep.
TEST_F(UniverseMesh, ACubeMeshLandsAndComesToRestLikeTheBoxItEncloses)
{
    const PxReal half = 0.2, drop = 1.0;
    PxMatrix4 groundPose;
    translation(groundPose, 0.0, 0.0, 0.0);
    CdxModelID ground = own(SbxFixedModelCreate(universe, keep(CdxPlaneCreate()), &groundPose));
    SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0)->type = 2;
    CdxGeometryID cubeMesh = mesh(boxShape(half, half, half));
    CdxGeometryID box = keep(CdxBoxCreate(2 * half, 2 * half, 2 * half));
    // Meshes at x = -1, boxes at x = +1; flat drops at y = 0, tumbling at y = 3.
    CdxModelID meshes[2] = {dropped(cubeMesh, -1.0, 0.0, half + drop), dropped(cubeMesh, -1.0, 3.0, half + drop)};
    CdxModelID boxes[2] = {dropped(box, 1.0, 0.0, half + drop), dropped(box, 1.0, 3.0, half + drop)};
    ASSERT_TRUE(meshes[0] && meshes[1] && boxes[0] && boxes[1]);
    EXPECT_NEAR(RbdBodyGetMass(CdxModelGetBody(meshes[0])), RbdBodyGetMass(CdxModelGetBody(boxes[0])), 1e-9);
    const PxReal turn = 0.3;
    for (CdxModelID m : {meshes[1], boxes[1]}) {
        RbdBodyID body = CdxModelGetBody(m);
        RbdBodySetQuaternion(body, cos(turn), 0.6 * sin(turn), 0.8 * sin(turn), 0.0);
        RbdBodySetAngularVelocity(body, 3.0, 1.0, 0.0);
        RbdBodySetLinearVelocity(body, 1.0, 0.0, 0.0);
    }

    int meshLanded = 0, boxLanded = 0;
    PxReal apart = 0.0, turned = 0.0;
    int n = 0;
    for (; n < 1000 && (awake(meshes[0]) || awake(meshes[1]) || awake(boxes[0]) || awake(boxes[1])); ++n) {
        SbxUniverseStep(universe, kH);
        if (!meshLanded && height(meshes[0]) <= half) meshLanded = n + 1;
        if (!boxLanded && height(boxes[0]) <= half) boxLanded = n + 1;
        PxVector3 a, b;
        position(meshes[1], a);
        position(boxes[1], b);
        b[0] -= 2.0;
        apart = fmax(apart, PxV3Distance(a, b));
        turned = fmax(turned, turnBetween(CdxModelGetBody(meshes[1]), CdxModelGetBody(boxes[1])));
    }
    const PxReal fallTime = sqrt(2.0 * drop / kG);
    EXPECT_NEAR(meshLanded * kH, fallTime, kH);
    EXPECT_NEAR(boxLanded * kH, fallTime, kH);
    EXPECT_LE(abs(meshLanded - boxLanded), 1);
    // Boxes touch down on their contacts within the tolerance, meshes only
    // once they penetrate: tumbling, their paths part by millimetres.
    EXPECT_LT(apart, 0.005);
    EXPECT_LT(turned, 0.015);

    EXPECT_LT(n, 1000) << "still awake after 10 s";
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "flat drop" : "tumbling drop");
        EXPECT_FALSE(awake(meshes[k]));
        EXPECT_FALSE(awake(boxes[k]));
        EXPECT_NEAR(height(meshes[k]), height(boxes[k]), 0.001);
        EXPECT_NEAR(height(meshes[k]), half, 0.002);
        EXPECT_EQ(contacts(meshes[k], ground), contacts(boxes[k], ground));
        EXPECT_GE(contacts(meshes[k], ground), 3);
    }
    EXPECT_LT(tilt(meshes[0]), 0.001);
    PxVector3 p;
    position(meshes[0], p);
    EXPECT_NEAR(p[0], -1.0, 0.001);
    EXPECT_NEAR(p[1], 0.0, 0.001);
}

// A 0.5 m box set on a fixed floor made of two 20 m triangles and one set
// on a closed slab whose top is split into 0.25 m squares (the box stands
// across grid lines) fall asleep within 1 s and then stay put. Woken and
// kept awake for 1000 steps, each sinks less than 5 mm, rises less than
// 1 mm, drifts less than 1 mm sideways and tilts less than 0.001 rad.
TEST_F(UniverseMesh, ABoxRestsOnAFixedMeshFloorWithoutSinkingOrDrifting)
{
    const PxReal half = 0.25;
    Shape sheet;
    const int a = sheet.addVertex(-10, -10, 0), b = sheet.addVertex(10, -10, 0), c = sheet.addVertex(10, 10, 0),
              d = sheet.addVertex(-10, 10, 0);
    sheet.addQuad(a, b, c, d);
    CdxGeometryID sheetMesh = mesh(sheet);
    EXPECT_FALSE(CdxTriangleMeshIsClosed(sheetMesh));
    // The sheet reaches from y = -25 to -5; the slab, 2.5 x 2.5 x 0.2 m
    // with its top at z = 0, lies clear of it around y = 5.
    CdxGeometryID slabMesh = mesh(boxShape(1.25, 1.25, 0.1, 10));
    EXPECT_TRUE(CdxTriangleMeshIsClosed(slabMesh));
    CdxModelID floors[2] = {fixed(sheetMesh, 0.0, -15.0, 0.0), fixed(slabMesh, 0.0, 5.0, -0.1)};
    CdxGeometryID cube = keep(CdxBoxCreate(2 * half, 2 * half, 2 * half));
    const PxReal startX = 0.13, startY[2] = {-15.0, 5.07};
    CdxModelID crates[2] = {dropped(cube, startX, startY[0], half), dropped(cube, startX, startY[1], half)};
    ASSERT_TRUE(crates[0] && crates[1]);

    EXPECT_LT(stepUntilAsleep({crates[0], crates[1]}, 100), 100) << "still awake after 1 s";
    const PxReal rest[2] = {height(crates[0]), height(crates[1])};
    steps(100);
    EXPECT_EQ(height(crates[0]), rest[0]);
    EXPECT_EQ(height(crates[1]), rest[1]);

    RbdWorldSetAutoDisable(world, 0);
    for (CdxModelID crate : crates) RbdBodyEnable(CdxModelGetBody(crate));
    PxReal lowest[2] = {1e9, 1e9}, highest[2] = {-1e9, -1e9}, sideways[2] = {0.0, 0.0};
    for (int n = 0; n < 1000; ++n) {
        SbxUniverseStep(universe, kH);
        for (int k = 0; k < 2; ++k) {
            PxVector3 p;
            position(crates[k], p);
            lowest[k] = fmin(lowest[k], p[2]);
            highest[k] = fmax(highest[k], p[2]);
            sideways[k] = fmax(sideways[k], hypot(p[0] - startX, p[1] - startY[k]));
        }
    }
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "two triangles" : "tessellated slab");
        EXPECT_TRUE(awake(crates[k]));
        EXPECT_GT(lowest[k], half - 0.005);
        EXPECT_LT(highest[k], half + 0.001);
        EXPECT_LT(sideways[k], 0.001);
        EXPECT_LT(tilt(crates[k]), 0.001);
        EXPECT_GE(contacts(floors[k], crates[k]), 3);
    }
}

// 0.4 m boxes thrown tumbling onto two 20 m slabs, one whose top is two
// triangles and one whose top is split into 2 m squares, and the same box
// thrown onto a plane in a second universe. Over the two triangles the box
// follows the plane's box within 1 mm at every step. On the squares it
// lands across the line between two triangles and comes to rest within
// 5 mm of where the plane's box rests. Both end lying flat on a face
// within 0.001 rad, at the half width within 2 mm, asleep, with every
// contact under them (on the floor, within their half diagonal of their
// centre).
TEST_F(UniverseMesh, BoxesTumblingOntoMeshFloorsComeToRestAsOnAPlane)
{
    const PxReal half = 0.2, floorX[2] = {-15.0, 15.0};
    CdxModelID floors[2] = {fixed(mesh(boxShape(10.0, 10.0, 0.1)), floorX[0], 0.0, -0.1),
                            fixed(mesh(boxShape(10.0, 10.0, 0.1, 10)), floorX[1], 0.0, -0.1)};
    SbxUniverseID reference = SbxUniverseCreate(kSizes);
    ASSERT_NE(reference, nullptr);
    RbdWorldSetGravity(SbxUniverseGetWorld(reference), 0.0, 0.0, -kG);
    PxMatrix4 planePose;
    translation(planePose, 0.0, 0.0, 0.0);
    CdxGeometryID plane = keep(CdxPlaneCreate());
    CdxModelID ground = SbxFixedModelCreate(reference, plane, &planePose);
    CdxGeometryID box = keep(CdxBoxCreate(2 * half, 2 * half, 2 * half));
    CdxModelID thrown[2] = {own(SbxModelAndBodyCreate(universe, box, 1000.0)),
                            own(SbxModelAndBodyCreate(universe, box, 1000.0))};
    CdxModelID planeBox = SbxModelAndBodyCreate(reference, box, 1000.0);
    ASSERT_TRUE(ground && thrown[0] && thrown[1] && planeBox);
    for (SbxUniverseID u : {universe, reference}) SbxBridgeGetContactParams(SbxUniverseGetBridge(u), 0, 0)->type = 2;
    const PxReal turn = 0.3, offsetX[3] = {floorX[0], floorX[1], 0.0};
    const CdxModelID all[3] = {thrown[0], thrown[1], planeBox};
    for (int k = 0; k < 3; ++k) {
        RbdBodyID body = CdxModelGetBody(all[k]);
        RbdBodySetPosition(body, offsetX[k] + 0.13, 0.07, 1.2);
        RbdBodySetQuaternion(body, cos(turn), 0.6 * sin(turn), 0.8 * sin(turn), 0.0);
        RbdBodySetAngularVelocity(body, 3.0, 1.0, 0.0);
        RbdBodySetLinearVelocity(body, 1.0, 0.0, 0.0);
    }
    PxReal apart = 0.0;
    int n = 0;
    for (; n < 1000 && (awake(thrown[0]) || awake(thrown[1]) || awake(planeBox)); ++n) {
        SbxUniverseStep(universe, kH);
        SbxUniverseStep(reference, kH);
        PxVector3 a, b;
        position(thrown[0], a);
        position(planeBox, b);
        a[0] -= floorX[0];
        apart = fmax(apart, PxV3Distance(a, b));
    }
    EXPECT_LT(n, 1000) << "still awake after 10 s";
    EXPECT_LT(apart, 0.001);
    PxVector3 onPlane;
    position(planeBox, onPlane);
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "two triangles" : "2 m squares");
        PxVector3 p;
        position(thrown[k], p);
        EXPECT_LT(hypot(p[0] - floorX[k] - onPlane[0], p[1] - onPlane[1]), 0.005);
        EXPECT_NEAR(p[2], half, 0.002);
        PxMatrix3 r;
        RbdBodyGetOrientation(CdxModelGetBody(thrown[k]), r);
        const PxReal upright = fmax(fabs(r[0][2]), fmax(fabs(r[1][2]), fabs(r[2][2])));
        EXPECT_LT(acos(fmin(1.0, upright)), 0.001);
        EXPECT_GE(contacts(thrown[k], floors[k]), 3);
        for (RbdContactID c = SbxModelPairGetContacts(CdxSpaceGetModelPair(thrown[k], floors[k])); c;
             c = RbdContactGetNext(c)) {
            PxVector3 q;
            RbdContactGetPosition(c, q);
            EXPECT_LT(hypot(q[0] - p[0], q[1] - p[1]), half * sqrt(2.0) + 0.001);
            EXPECT_NEAR(q[2], 0.0, 0.001);
        }
    }

    SbxModelDestroy(reference, planeBox);
    SbxFixedModelDestroy(reference, ground);
    SbxUniverseDestroy(reference);
}

// 0.3 m cube meshes on fixed 1 m cube meshes, one set on top and one
// dropped onto its pedestal from 5 cm: both fall asleep within 2 s, at the
// touching height within 3 mm, less than 2 mm from where they started and
// flat within 0.001 rad. The one set on top, woken and kept awake for
// 1000 steps, sinks less than 5 mm, rises less than 1 mm, drifts less
// than 1 mm and tilts less than 0.001 rad.
TEST_F(UniverseMesh, ACubeMeshRestsOnAFixedCubeMesh)
{
    const PxReal base = 0.5, half = 0.15, top = 2 * base + half;
    CdxGeometryID pedestal = mesh(boxShape(base, base, base));
    CdxGeometryID small = mesh(boxShape(half, half, half));
    CdxModelID pedestals[2] = {fixed(pedestal, 0.0, 0.0, base), fixed(pedestal, 3.0, 0.0, base)};
    const PxReal startX[2] = {0.1, 3.1}, startY = -0.05;
    CdxModelID cubes[2] = {dropped(small, startX[0], startY, top), dropped(small, startX[1], startY, top + 0.05)};
    ASSERT_TRUE(cubes[0] && cubes[1]);

    EXPECT_LT(stepUntilAsleep({cubes[0], cubes[1]}, 200), 200) << "still awake after 2 s";
    for (int k = 0; k < 2; ++k) {
        SCOPED_TRACE(k == 0 ? "set on top" : "dropped");
        PxVector3 p;
        position(cubes[k], p);
        // Penetration is corrected at no more than the maximum correcting
        // rate: the cube falls asleep up to 3 mm deep.
        EXPECT_NEAR(p[2], top, 0.003);
        EXPECT_LT(hypot(p[0] - startX[k], p[1] - startY), 0.002);
        EXPECT_LT(tilt(cubes[k]), 0.001);
        EXPECT_GE(contacts(pedestals[k], cubes[k]), 3);
    }

    RbdWorldSetAutoDisable(world, 0);
    RbdBodyEnable(CdxModelGetBody(cubes[0]));
    PxReal lowest = 1e9, highest = -1e9, sideways = 0.0;
    for (int n = 0; n < 1000; ++n) {
        SbxUniverseStep(universe, kH);
        PxVector3 p;
        position(cubes[0], p);
        lowest = fmin(lowest, p[2]);
        highest = fmax(highest, p[2]);
        sideways = fmax(sideways, hypot(p[0] - startX[0], p[1] - startY));
    }
    EXPECT_TRUE(awake(cubes[0]));
    EXPECT_GT(lowest, top - 0.005);
    EXPECT_LT(highest, top + 0.001);
    EXPECT_LT(sideways, 0.001);
    EXPECT_LT(tilt(cubes[0]), 0.001);
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
