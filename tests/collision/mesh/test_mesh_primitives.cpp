// A mesh against planes, spheres, boxes and cylinders: a closed mesh of a
// box or ball answers like the primitive of the same shape, normals point
// from the primitive towards the mesh, budgets hold, and degenerate or
// deep input stays finite.
#include "test_mesh_support.h"

#include "primitives/CxGeomClosest.h"

using namespace meshtest;

namespace {

const CdxRequest kFour = {4, 0};
const CdxRequest kSix = {6, 0};
const CdxRequest kTouchOnly = {0, 0};

void ExpectSameDirection(const Vec &expected, const Vec &actual, double tolerance)
{
    EXPECT_NEAR(1.0, Dot(expected, actual) / (Norm(expected) * Norm(actual)), tolerance)
        << "expected (" << expected[0] << ", " << expected[1] << ", " << expected[2] << "), got (" << actual[0]
        << ", " << actual[1] << ", " << actual[2] << ")";
}

} // namespace

// Boxes closer than a thousandth of their mean half edge count as touching
// (with this margin to spare for the small boxes here).
const double kJustTouching = 0.002;

TEST_F(MeshTest, ABoxMeshOnAPlaneReachesAsDeepAsTheBoxWithThePlaneNormal)
{
    Random random(21);
    Mesh &mesh = NewMesh();
    AddBox(&mesh, {0.5, 0.3, 0.2}, 2);
    mesh.Build();
    CdxGeometryID box = Own(CdxBoxCreate(1.0, 0.6, 0.4));
    CdxGeometryID plane = Own(CdxPlaneCreate());
    Pose ground = AxisAngle({1, 0, 0}, 0.3, {0, 0, 1});
    CdxModelID floorModel = Place(plane, ground);
    CdxModelID meshModel = Place(mesh.geometry, Translation(0, 0, 0));
    CdxModelID boxModel = Place(box, Translation(0, 0, 0));
    Vec up = ground.ToWorldDirection({0, 0, 1});
    int touched = 0;
    for (int round = 0; round < 40; ++round) {
        Pose pose = random.TurnedPose(ground.ToWorld({random.Uniform(-1, 1), random.Uniform(-1, 1), 0}));
        // Lift the pose so that the lowest corner is at depth in [-0.1, 0.02].
        double reach = 0.0;
        for (int i = 0; i < 3; ++i)
            reach += std::fabs(Dot(ToVec(pose.tm[i]), up)) * (i == 0 ? 0.5 : i == 1 ? 0.3 : 0.2);
        Vec origin = Add(ToVec(pose.tm[3]), Mul(up, reach + random.Uniform(-0.1, 0.02)));
        PxV3Set(pose.tm[3], origin[0], origin[1], origin[2]);
        Move(meshModel, pose);
        Move(boxModel, pose);
        std::vector<CdxContact> meshContacts, boxContacts;
        Vec meshNormal, boxNormal;
        int meshTouch = Intersect(meshModel, floorModel, &meshContacts, &meshNormal, &kFour);
        int boxTouch = Intersect(boxModel, floorModel, &boxContacts, &boxNormal, &kFour);
        // Boxes that only touch, or are apart within the tolerance, report
        // their gap as contacts; meshes do not.
        if (boxTouch && !boxContacts.empty() && Deepest(boxContacts) > -kJustTouching) continue;
        ASSERT_EQ(boxTouch, meshTouch) << "round " << round;
        if (!boxTouch || boxContacts.empty()) continue;
        ++touched;
        EXPECT_NEAR(Deepest(boxContacts), Deepest(meshContacts), 1e-12);
        ExpectSameDirection(up, meshNormal, 1e-12);
        EXPECT_LE(meshContacts.size(), 4u);
        for (const CdxContact &c : meshContacts) {
            // Each contact is a point of the mesh that far above the plane.
            EXPECT_NEAR(c.separation, Dot(Sub(ToVec(c.position), ToVec(ground.tm[3])), up), 1e-12);
            EXPECT_LT(c.separation, 0.0);
            ExpectSameDirection(up, ToVec(c.normal), 1e-12);
            EXPECT_EQ(2, c.dims >> 8) << "the plane's face";
        }
    }
    EXPECT_GT(touched, 20);
}

TEST_F(MeshTest, ABoxMeshAgainstASphereAnswersLikeTheBoxAtFacesEdgesCornersAndInside)
{
    Random random(8);
    const Vec half = {0.6, 0.4, 0.5};
    Mesh &mesh = NewMesh();
    AddBox(&mesh, half, 3);
    mesh.Build();
    CdxGeometryID box = Own(CdxBoxCreate(1.2, 0.8, 1.0));
    CdxGeometryID sphere = Own(CdxSphereCreate(0.25));
    Pose pose = random.TurnedPose({0.5, -1, 2});
    CdxModelID meshModel = Place(mesh.geometry, pose);
    CdxModelID boxModel = Place(box, pose);
    CdxModelID ball = Place(sphere, Translation(0, 0, 0));
    int compared = 0;
    for (int round = 0; round < 200; ++round) {
        // Centres around the box from 0.05 inside a face to 0.3 outside.
        Vec local = random.InBox(1.0);
        for (int k = 0; k < 3; ++k) local[k] *= half[k] + 0.3;
        bool inside = std::fabs(local[0]) < half[0] && std::fabs(local[1]) < half[1] && std::fabs(local[2]) < half[2];
        if (inside) {
            // Only just inside, well away from the other faces.
            int axis = round % 3;
            for (int k = 0; k < 3; ++k) local[k] = k == axis ? 0.0 : 0.3 * local[k] * half[k];
            local[axis] = (round % 2 ? 1 : -1) * (half[axis] - random.Uniform(0.0, 0.05));
        }
        Vec centre = pose.ToWorld(local);
        Move(ball, Translation(centre[0], centre[1], centre[2]));
        std::vector<CdxContact> meshContacts, boxContacts;
        Vec meshNormal, boxNormal;
        int boxTouch = Intersect(boxModel, ball, &boxContacts, &boxNormal, &kSix);
        int meshTouch = Intersect(meshModel, ball, &meshContacts, &meshNormal, &kSix);
        ASSERT_EQ(boxTouch, meshTouch) << "round " << round;
        if (!boxTouch) continue;
        ++compared;
        ASSERT_EQ(1u, boxContacts.size());
        ASSERT_FALSE(meshContacts.empty());
        EXPECT_NEAR(boxContacts[0].separation, Deepest(meshContacts), 1e-9) << "round " << round;
        ExpectSameDirection(boxNormal, meshNormal, 1e-9);
        for (const CdxContact &c : meshContacts) EXPECT_EQ(3, c.dims >> 8) << "the sphere's curve";
    }
    EXPECT_GT(compared, 40);
}

TEST_F(MeshTest, ABoxMeshAgainstABoxAnswersLikeTwoBoxes)
{
    Random random(13);
    Mesh &mesh = NewMesh();
    AddBox(&mesh, {1, 1, 1}, 1);
    mesh.Build();
    CdxGeometryID big = Own(CdxBoxCreate(2, 2, 2)), small = Own(CdxBoxCreate(0.6, 0.5, 0.4));
    CdxModelID meshModel = Place(mesh.geometry, Translation(0, 0, 0));
    CdxModelID bigModel = Place(big, Translation(0, 0, 0));
    CdxModelID smallModel = Place(small, Translation(0, 0, 0));
    for (int round = 0; round < 30; ++round) {
        // The small box tilted by up to 0.5 rad over the top face, its
        // lowest corner between 0.08 deep and 0.02 above.
        Pose pose = AxisAngle(random.UnitVector(), random.Uniform(0.0, round < 5 ? 0.0 : 0.5),
                              {random.Uniform(-0.3, 0.3), random.Uniform(-0.3, 0.3), 0});
        double reach = 0.0;
        const double h[3] = {0.3, 0.25, 0.2};
        for (int i = 0; i < 3; ++i) reach += std::fabs(pose.tm[i][2]) * h[i];
        pose.tm[3][2] = 1.0 + reach + random.Uniform(-0.08, 0.02);
        Move(smallModel, pose);
        std::vector<CdxContact> meshContacts, boxContacts;
        Vec meshNormal, boxNormal;
        int boxTouch = Intersect(bigModel, smallModel, &boxContacts, &boxNormal, &kFour);
        int meshTouch = Intersect(meshModel, smallModel, &meshContacts, &meshNormal, &kFour);
        ASSERT_EQ(boxTouch, meshTouch) << "round " << round;
        // Boxes that only touch report their gap as contacts; meshes do not.
        if (boxContacts.empty() || Deepest(boxContacts) > -kJustTouching) continue;
        EXPECT_NEAR(Deepest(boxContacts), Deepest(meshContacts), 1e-9) << "round " << round;
        ExpectSameDirection({0, 0, -1}, meshNormal, 1e-9);
        ExpectSameDirection(boxNormal, meshNormal, 1e-9);
        if (round < 5) {
            EXPECT_EQ(4u, meshContacts.size()) << "a flat box rests on four corners";
        }
    }
}

TEST_F(MeshTest, ACylinderOnAMeshFloorAnswersLikeOnAPlaneWithTheNormalTowardsTheFloor)
{
    Mesh &floor = NewMesh();
    AddFloor(&floor, 3.0, 6, 0.0);
    floor.Build();
    EXPECT_EQ(0, CdxTriangleMeshIsClosed(floor.geometry));
    CdxGeometryID cylinder = Own(CdxCylinderCreate(0.4, 1.0));
    CdxGeometryID plane = Own(CdxPlaneCreate());
    CdxModelID floorModel = Place(floor.geometry, Translation(0, 0, 0));
    CdxModelID planeModel = Place(plane, Translation(0, 0, 0));
    CdxModelID can = Place(cylinder, Translation(0.2, 0.1, 0.48));
    Pose lying = AxisAngle({1, 0, 0}, M_PI / 2, {-0.3, 0.2, 0.37});
    for (const Pose &pose : {Translation(0.2, 0.1, 0.48), lying}) {
        Move(can, pose);
        std::vector<CdxContact> meshContacts, planeContacts;
        Vec meshNormal, planeNormal;
        ASSERT_EQ(1, Intersect(can, planeModel, &planeContacts, &planeNormal, &kFour));
        ASSERT_EQ(1, Intersect(floorModel, can, &meshContacts, &meshNormal, &kFour));
        EXPECT_NEAR(Deepest(planeContacts), Deepest(meshContacts), 1e-9);
        ExpectSameDirection({0, 0, -1}, meshNormal, 1e-9);
        ExpectSameDirection(Mul(planeNormal, -1.0), meshNormal, 1e-9);
        for (const CdxContact &c : meshContacts) {
            ExpectSameDirection({0, 0, -1}, ToVec(c.normal), 1e-9);
            EXPECT_GE(c.element1, 0);
            EXPECT_LT(c.element1, 72);
        }
    }
}

TEST_F(MeshTest, ASphereOverAMeshFloorIsPushedAwayWhicheverModelComesFirst)
{
    Mesh &floor = NewMesh();
    AddFloor(&floor, 2.0, 4, 0.0);
    floor.Build();
    CdxGeometryID sphere = Own(CdxSphereCreate(0.5));
    CdxModelID floorModel = Place(floor.geometry, Translation(0, 0, 0));
    CdxModelID ball = Place(sphere, Translation(0.3, -0.2, 0.45));
    for (int order = 0; order < 2; ++order) {
        std::vector<CdxContact> contacts;
        Vec normal;
        int touch = order == 0 ? Intersect(floorModel, ball, &contacts, &normal)
                               : Intersect(ball, floorModel, &contacts, &normal);
        ASSERT_EQ(1, touch);
        ASSERT_EQ(1u, contacts.size()) << "one point, shared by the triangles around it";
        ExpectSameDirection({0, 0, -1}, normal, 1e-12);
        EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
        EXPECT_NEAR(0.3, contacts[0].position[0], 1e-12);
        EXPECT_NEAR(-0.05, contacts[0].position[2], 1e-12) << "on the sphere's surface";
    }
    // Below the two-sided floor the normal points up.
    Move(ball, Translation(0.3, -0.2, -0.45));
    Vec normal;
    ASSERT_EQ(1, Intersect(floorModel, ball, nullptr, &normal));
    ExpectSameDirection({0, 0, 1}, normal, 1e-12);
    // Out of reach, tolerance included.
    Move(ball, Translation(0.3, -0.2, 0.5 + 0.011));
    EXPECT_EQ(0, Intersect(floorModel, ball, nullptr));
    Move(ball, Translation(0.3, -0.2, 0.5 + 0.009));
    EXPECT_EQ(1, Intersect(floorModel, ball, nullptr));
}

TEST_F(MeshTest, BudgetsOfZeroReportTouchOnlyAndDefaultsLimitTheContacts)
{
    Mesh &mesh = NewMesh();
    AddBox(&mesh, {1, 1, 1}, 4);
    mesh.Build();
    CdxGeometryID box = CdxBoxCreate(3, 3, 1), plane = CdxPlaneCreate(), cylinder = CdxCylinderCreate(1.5, 1),
                  sphere = CdxSphereCreate(0.5);
    for (CdxGeometryID g : {box, plane, cylinder, sphere}) Own(g);
    CdxModelID meshModel = Place(mesh.geometry, Translation(0, 0, 0.95));
    CdxModelID others[] = {Place(box, Translation(0, 0, -0.5)), Place(plane, Translation(0, 0, 0)),
                           Place(cylinder, Translation(0, 0, -0.5)), Place(sphere, Translation(0, 0, -0.5))};
    const size_t defaults[] = {6, 3, 6, 6};
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        std::vector<CdxContact> contacts;
        Vec normal;
        ASSERT_EQ(1, Intersect(meshModel, others[k], &contacts, &normal, &kTouchOnly));
        EXPECT_TRUE(contacts.empty());
        ASSERT_EQ(1, Intersect(meshModel, others[k], &contacts, &normal, nullptr, 64)) << k;
        EXPECT_LE(contacts.size(), defaults[k]);
        EXPECT_FALSE(contacts.empty());
        ExpectSameDirection({0, 0, 1}, normal, 1e-9);
        ASSERT_EQ(1, Intersect(meshModel, others[k], &contacts, &normal, &kSix, 2)) << k;
        EXPECT_LE(contacts.size(), 2u) << "the result's capacity bounds the budget";
    }
    // Capacity 0 alone also means touch only.
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(meshModel, others[0], &contacts, nullptr, &kSix, 0));
    EXPECT_TRUE(contacts.empty());
}

TEST_F(MeshTest, TouchingTrianglesOfAPrimitiveAreTheOnesWithinReach)
{
    Random random(17);
    Mesh &mesh = NewMesh();
    AddIcosphere(&mesh, 1.0, 2);
    mesh.Build();
    CdxGeometryID sphere = Own(CdxSphereCreate(0.3));
    CdxModelID meshModel = Place(mesh.geometry, Translation(0, 0, 0));
    CdxModelID ball = Place(sphere, Translation(0, 0, 0));
    double reach = 0.3 + 2.0 * CdxModelGetContactTolerance(ball);
    for (int round = 0; round < 10; ++round) {
        Vec centre = Mul(random.UnitVector(), random.Uniform(1.0, 1.3));
        Move(ball, Translation(centre[0], centre[1], centre[2]));
        int expected = 0;
        for (const auto &t : mesh.triangles) {
            PxVector3 c = {centre[0], centre[1], centre[2]}, nearest;
            PxReal w[3];
            CxClosestPointOnTriangle(c, mesh.vertices[t[0]].data(), mesh.vertices[t[1]].data(),
                                     mesh.vertices[t[2]].data(), nearest, w);
            if (Norm(Sub(centre, ToVec(nearest))) <= reach) ++expected;
        }
        CdxModelPair pair;
        CdxModelPairReset(&pair, meshModel, ball);
        int triangles[320];
        EXPECT_EQ(expected, CdxTriangleMeshPrimitiveGetIntersectingTriangle(&pair, triangles, 320));
    }
}

TEST_F(MeshTest, DegenerateAndDeepInputGivesFiniteAnswers)
{
    Random random(99);
    Mesh &soup = NewMesh();
    int a = soup.Vertex({0, 0, 0}), b = soup.Vertex({1, 0, 0}), c = soup.Vertex({2, 0, 0});
    soup.Triangle(a, b, c); // collinear: no area
    soup.Triangle(a, a, b); // a repeated corner
    soup.Triangle(a, b, soup.Vertex({0, 1, 0}));
    soup.Triangle(a, b, soup.Vertex({0, 1, 0})); // a duplicate of the one before
    for (int k = 0; k < 30; ++k)
        soup.Triangle(soup.Vertex(random.InBox(1)), soup.Vertex(random.InBox(1)), soup.Vertex(random.InBox(1)));
    soup.geometry = CdxTriangleMeshCreate(8);
    CdxTriangleMeshSetMinAreaThreshold(soup.geometry, 0.0);
    for (const auto &t : soup.triangles)
        ASSERT_EQ(1, CdxTriangleMeshAddTriangle(soup.geometry, soup.vertices[t[0]].data(), soup.vertices[t[1]].data(),
                                                soup.vertices[t[2]].data()));
    ASSERT_EQ(1, CdxTriangleMeshBuild(soup.geometry));
    Mesh &cube = NewMesh();
    AddBox(&cube, {1, 1, 1}, 2);
    cube.Build();

    CdxGeometryID others[] = {CdxSphereCreate(0.4), CdxBoxCreate(0.5, 0.7, 0.3), CdxCylinderCreate(0.3, 0.8),
                              CdxPlaneCreate()};
    for (CdxGeometryID g : others) Own(g);
    for (CdxGeometryID meshGeometry : {soup.geometry, cube.geometry}) {
        CdxModelID meshModel = Place(meshGeometry, Translation(0, 0, 0));
        for (CdxGeometryID g : others) {
            CdxModelID other = Place(g, Translation(0, 0, 0));
            for (int round = 0; round < 25; ++round) {
                // Round 0 puts the primitive at the very centre.
                Move(other, random.TurnedPose(round == 0 ? Vec{0, 0, 0} : random.InBox(1.2)));
                Move(meshModel, random.TurnedPose(random.InBox(0.2)));
                std::vector<CdxContact> contacts;
                Vec normal = {0, 0, 0};
                int touch = Intersect(meshModel, other, &contacts, &normal);
                EXPECT_TRUE(AllFinite(contacts, normal)) << "round " << round;
                if (touch && !contacts.empty()) {
                    EXPECT_NEAR(1.0, Norm(normal), 1e-9);
                }
            }
        }
    }
}
