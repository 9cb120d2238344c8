// A mesh against planes, spheres, boxes and cylinders: a closed mesh of a
// box, or a composite holding a box, answers like the box primitive (an
// open floor like a plane) placed alike, whichever model comes first,
// within its budgets; the triangles a primitive touches are those within
// its reach; degenerate or deep input stays finite.
#include "collision/collision_support.h"

#include "primitives/CxGeomClosest.h"

namespace {

const CdxRequest kTouchOnly = {0, 0};
const CdxRequest kSix = {6, 0};

// Boxes closer than a thousandth of their mean half edge count as touching
// and report their gap as contacts; meshes do not: such rounds are skipped.
const double kJustTouching = 0.002;

} // namespace

// Each row: a mesh or a composite and the primitive it stands for (placed
// alike), a partner of either, and how a round places them. The mesh must touch
// when the primitive does, as deep, with the same normal from the partner
// towards it, in both orders, within the budget, and every contact must
// face the pair normal's way and come from the partner's surface type
// given by dims.
TEST_F(MeshTest, AMeshOrCompositeAnswersLikeThePrimitiveOfItsShape)
{
    Random random(21);
    struct Row {
        const char *name;
        Mesh *mesh; // null: a composite holding a copy of truth (a box or a sphere)
        CdxGeometryID truth, partner;
        int rounds, partnerDims; // dims >> 8 of every contact, or -1
        std::function<void(Pose *meshPose, Pose *partnerPose)> place;
    };
    Mesh &small = NewMesh(), &medium = NewMesh(), &big = NewMesh(), &floor = NewMesh(), &upper = NewMesh();
    AddBox(&small, {0.5, 0.3, 0.2}, 2);
    AddBox(&medium, {0.6, 0.4, 0.5}, 3);
    AddBox(&big, {1, 1, 1}, 1);
    AddFloor(&floor, 3.0, 6, 0.0);
    AddBox(&upper, {0.5, 0.4, 0.3}, 1);
    for (Mesh *m : {&small, &medium, &big, &floor, &upper}) m->Build();
    EXPECT_EQ(0, CdxTriangleMeshIsClosed(floor.geometry));
    const Pose ground = AxisAngle({1, 0, 0}, 0.3, {0, 0, 1});
    const Vec up = ground.Axis(2);
    const Pose boxPose = random.TurnedPose({0.5, -1, 2});
    const Vec mediumHalf = {0.6, 0.4, 0.5};
    // A pose whose box of half extents h is lifted along up until its
    // lowest corner is at the given height over the plane through origin.
    auto lift = [](Pose pose, const Vec &up, const Vec &origin, const Vec &h, double height) {
        double reach = 0.0;
        for (int i = 0; i < 3; ++i) reach += std::fabs(Dot(pose.Axis(i), up)) * h[i];
        pose.SetOrigin(
            Add(Add(pose.Origin(), Mul(up, Dot(Sub(origin, pose.Origin()), up))), Mul(up, reach + height)));
        return pose;
    };
    auto rowsPlaceOnPlane = [&](Pose *m, Pose *p) {
        *p = ground;
        *m = lift(random.TurnedPose(ground.ToWorld({random.Uniform(-1, 1), random.Uniform(-1, 1), 0})), up,
                  ground.Origin(), {0.5, 0.3, 0.2}, random.Uniform(-0.1, 0.02));
    };
    // Centres from just inside a face to 0.3 outside, at faces, edges and
    // corners.
    auto rowsPlaceAround = [&](Pose *m, Pose *p) {
        *m = boxPose;
        Vec local = random.InBox(1.0);
        for (int k = 0; k < 3; ++k) local[k] *= mediumHalf[k] + 0.3;
        if (std::fabs(local[0]) < mediumHalf[0] && std::fabs(local[1]) < mediumHalf[1] &&
            std::fabs(local[2]) < mediumHalf[2]) {
            int axis = random.Uniform(0, 3);
            for (int k = 0; k < 3; ++k) local[k] *= 0.3;
            local[axis] = (random.Uniform(-1, 1) > 0 ? 1 : -1) * (mediumHalf[axis] - random.Uniform(0.0, 0.05));
        }
        *p = Translation(0, 0, 0);
        p->SetOrigin(boxPose.ToWorld(local));
    };
    const Row rows[] = {
        {"box on a tilted plane", &small, CdxBoxCreate(1.0, 0.6, 0.4), CdxPlaneCreate(), 40, 2, rowsPlaceOnPlane},
        {"sphere around a box", &medium, CdxBoxCreate(1.2, 0.8, 1.0), CdxSphereCreate(0.25), 200, 3, rowsPlaceAround},
        // Tilted by up to 0.5 rad over the top face, the first rounds flat.
        {"box on a box", &big, CdxBoxCreate(2, 2, 2), CdxBoxCreate(0.6, 0.5, 0.4), 30, -1,
         [&](Pose *m, Pose *p) {
             *m = Identity();
             double tilt = random.Uniform(0.0, 0.5);
             *p = lift(
                 AxisAngle(random.UnitVector(), tilt, {random.Uniform(-0.3, 0.3), random.Uniform(-0.3, 0.3), 0}),
                 {0, 0, 1}, {0, 0, 1}, {0.3, 0.25, 0.2}, random.Uniform(-0.08, 0.02));
         }},
        {"cylinder on a floor", &floor, CdxPlaneCreate(), CdxCylinderCreate(0.4, 1.0), 20, -1,
         [&](Pose *m, Pose *p) {
             *m = Identity();
             *p = lift(random.TurnedPose({random.Uniform(-1, 1), random.Uniform(-1, 1), 0}), {0, 0, 1}, {0, 0, 0},
                       {0, 0, 0}, 0.0);
             // The lowest point of the can: its rim below the axis' lower end.
             Vec axis = p->Axis(2);
             double low = -0.5 * std::fabs(axis[2]) - 0.4 * std::sqrt(std::max(0.0, 1.0 - axis[2] * axis[2]));
             p->SetOrigin({p->Origin()[0], p->Origin()[1], -low + random.Uniform(-0.1, 0.01)});
         }},
        {"composite box on a tilted plane", nullptr, CdxBoxCreate(1.0, 0.6, 0.4), CdxPlaneCreate(), 40, 2,
         rowsPlaceOnPlane},
        {"sphere around a composite box", nullptr, CdxBoxCreate(1.2, 0.8, 1.0), CdxSphereCreate(0.25), 200, 3,
         rowsPlaceAround},
        // The composite's element pair is turned round by hello.
        {"composite sphere around a box", nullptr, CdxSphereCreate(0.25), CdxBoxCreate(1.2, 0.8, 1.0), 200, -1,
         [&](Pose *m, Pose *p) { rowsPlaceAround(p, m); }},
        {"mesh box sunk into a mesh box", &big, CdxBoxCreate(2, 2, 2), nullptr, 3, -1,
         [&](Pose *m, Pose *p) {
             *m = Identity();
             *p = AxisAngle({0, 0, 1}, random.Uniform(0, 1.2), {0.1, -0.2, 1.0 + 0.3 - 0.1});
         }},
    };
    CdxGeometryID upperBox = Own(CdxBoxCreate(1.0, 0.8, 0.6));
    // The composite's box sits off its origin by offset, along its axes.
    const Vec offset = {0.3, -0.2, 0.1};
    Pose compositePose = Identity(), relative = Translation(offset[0], offset[1], offset[2]);
    PxMatrix4 elementTm;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Own(row.truth);
        CdxModelID meshModel = nullptr, element = nullptr;
        if (row.mesh) {
            meshModel = Place(row.mesh->geometry, Identity());
        } else {
            const PxReal *r = CdxGeometryGetTypeId(row.truth) == CdxBoxGetTypeId() ? CdxBoxGetRadii(row.truth)
                                                                                   : nullptr;
            element = CdxModelCreate(
                Own(r ? CdxBoxCreate(2 * r[0], 2 * r[1], 2 * r[2]) : CdxSphereCreate(CdxSphereGetRadius(row.truth))));
            CdxModelSetTransformPtr(element, &elementTm);
            meshModel = CdxCompositeModelCreate(1);
            CdxModelSetTransformPtr(meshModel, &compositePose.tm);
            ASSERT_EQ(1, CdxCompositeModelAddElement(meshModel, element, &relative.tm));
        }
        CdxModelID truthModel = Place(row.truth, Identity());
        // The last row's partner is a mesh whose own twin is a box.
        CdxModelID partner = Place(row.partner ? Own(row.partner) : upper.geometry, Identity());
        CdxModelID partnerTruth = row.partner ? partner : Place(upperBox, Identity());
        int compared = 0;
        for (int round = 0; round < row.rounds; ++round) {
            Pose meshPose, partnerPose;
            row.place(&meshPose, &partnerPose);
            Move(truthModel, meshPose);
            if (row.mesh) {
                Move(meshModel, meshPose);
            } else {
                compositePose = meshPose;
                compositePose.SetOrigin(Sub(meshPose.Origin(), meshPose.ToWorldDirection(offset)));
            }
            for (CdxModelID m : {partner, partnerTruth}) Move(m, partnerPose);
            std::vector<CdxContact> got, want, swapped;
            Vec normal, wantNormal, swappedNormal;
            CdxModelPair pair, wantPair, swappedPair;
            int touch = Intersect(meshModel, partner, &got, &normal, &kSix, 64, &pair);
            int truth = Intersect(truthModel, partnerTruth, &want, &wantNormal, &kSix, 64, &wantPair);
            if (truth && !want.empty() && Deepest(want) > -kJustTouching) continue;
            ASSERT_EQ(truth, touch) << "round " << round;
            ASSERT_EQ(touch, Intersect(partner, meshModel, &swapped, &swappedNormal, &kSix, 64, &swappedPair));
            if (!touch) continue;
            ++compared;
            // Touch only, or no room, gives no contacts; a capacity bounds
            // them, and so does the default budget (3 against a plane).
            std::vector<CdxContact> few;
            if (row.partner) { // between meshes the capacity alone counts
                EXPECT_EQ(1, Intersect(meshModel, partner, &few, nullptr, &kTouchOnly));
                EXPECT_TRUE(few.empty());
            }
            EXPECT_EQ(1, Intersect(meshModel, partner, &few, nullptr, &kSix, 0));
            EXPECT_TRUE(few.empty());
            EXPECT_EQ(1, Intersect(meshModel, partner, &few, nullptr, &kSix, 2));
            EXPECT_LE(few.size(), 2u);
            if (row.mesh && row.partner) {
                Intersect(meshModel, partner, &few, nullptr, nullptr, 64);
                EXPECT_LE(few.size(), CdxGeometryGetTypeId(row.partner) == CdxPlaneGetTypeId() ? 3u : 6u);
            }
            ASSERT_EQ(want.empty(), got.empty()) << "round " << round;
            if (got.empty()) continue;
            EXPECT_LE(got.size(), row.partner ? 6u : 64u) << "the budget, or between meshes the capacity";
            EXPECT_TRUE(AllFinite(got, normal));
            EXPECT_NEAR(Deepest(want), Deepest(got), 1e-9) << "round " << round;
            Vec n = NormalFromBToA(meshModel, pair, normal);
            EXPECT_NEAR(1.0, Dot(NormalFromBToA(truthModel, wantPair, wantNormal), n), 1e-9) << "round " << round;
            EXPECT_NEAR(1.0, Dot(NormalFromBToA(meshModel, swappedPair, swappedNormal), n), 1e-12);
            EXPECT_NEAR(Deepest(got), Deepest(swapped), 1e-12);
            for (const CdxContact &c : got) {
                EXPECT_NEAR(1.0, Norm(ToVec(c.normal)), 1e-9);
                EXPECT_GT(Dot(ToVec(c.normal), normal), 0.0) << "on the pair normal's side";
                if (row.partnerDims >= 0) {
                    EXPECT_EQ(row.partnerDims, c.dims >> 8);
                }
            }
        }
        EXPECT_GT(compared, row.rounds / 4);
        if (!row.mesh) {
            CdxCompositeModelDecompose(meshModel);
            CdxModelDestroy(meshModel);
            CdxModelDestroy(element);
        }
    }
}

// The floor is two-sided: below it the normal points up. It touches within
// the summed tolerances (0.01 here) and no further, with one contact shared
// by the triangles around it.
TEST_F(MeshTest, ASphereOverAMeshFloorTouchesWithinTheTolerancesFromEitherSide)
{
    Mesh &floor = NewMesh();
    AddFloor(&floor, 2.0, 4, 0.0);
    floor.Build();
    CdxModelID floorModel = Place(floor.geometry, Identity());
    CdxModelID ball = Place(Own(CdxSphereCreate(0.5)), Translation(0.3, -0.2, 0.45));
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(ball, floorModel, &contacts, &normal));
    ASSERT_EQ(1u, contacts.size());
    EXPECT_NEAR(-1.0, normal[2], 1e-12);
    EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
    EXPECT_NEAR(0.3, contacts[0].position[0], 1e-12);
    EXPECT_NEAR(-0.05, contacts[0].position[2], 1e-12) << "on the sphere's surface";
    Move(ball, Translation(0.3, -0.2, -0.45));
    ASSERT_EQ(1, Intersect(floorModel, ball, nullptr, &normal));
    EXPECT_NEAR(1.0, normal[2], 1e-12);
    Move(ball, Translation(0.3, -0.2, 0.5 + 0.011));
    EXPECT_EQ(0, Intersect(floorModel, ball, nullptr));
    Move(ball, Translation(0.3, -0.2, 0.5 + 0.009));
    EXPECT_EQ(1, Intersect(floorModel, ball, nullptr));
}

TEST_F(MeshTest, TouchingTrianglesOfAPrimitiveAreTheOnesWithinReach)
{
    Random random(17);
    Mesh &mesh = NewMesh();
    AddIcosphere(&mesh, 1.0, 2);
    mesh.Build();
    CdxModelID meshModel = Place(mesh.geometry, Translation(0, 0, 0));
    CdxModelID ball = Place(Own(CdxSphereCreate(0.3)), Translation(0, 0, 0));
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
            expected += Norm(Sub(centre, ToVec(nearest))) <= reach;
        }
        CdxModelPair pair;
        CdxModelPairReset(&pair, meshModel, ball);
        int triangles[320];
        EXPECT_EQ(expected, CdxTriangleMeshPrimitiveGetIntersectingTriangle(&pair, triangles, 320));
    }
}

// A soup with collinear, repeated and duplicate triangles, and a closed
// cube, against every primitive at random poses down to the very centre.
TEST_F(MeshTest, DegenerateAndDeepInputGivesFiniteAnswers)
{
    Random random(99);
    Mesh &soup = NewMesh();
    int a = soup.Vertex({0, 0, 0}), b = soup.Vertex({1, 0, 0}), c = soup.Vertex({2, 0, 0});
    soup.Triangle(a, b, c);
    soup.Triangle(a, a, b);
    soup.Triangle(a, b, soup.Vertex({0, 1, 0}));
    soup.Triangle(a, b, soup.Vertex({0, 1, 0}));
    for (int k = 0; k < 30; ++k)
        soup.Triangle(soup.Vertex(random.InBox(1)), soup.Vertex(random.InBox(1)), soup.Vertex(random.InBox(1)));
    soup.capacity = 8;
    soup.minArea = 0.0;
    soup.Build();
    Mesh &cube = NewMesh();
    AddBox(&cube, {1, 1, 1}, 2);
    cube.Build();
    CdxGeometryID others[] = {CdxSphereCreate(0.4), CdxBoxCreate(0.5, 0.7, 0.3), CdxCylinderCreate(0.3, 0.8),
                              CdxPlaneCreate()};
    for (CdxGeometryID meshGeometry : {soup.geometry, cube.geometry}) {
        CdxModelID meshModel = Place(meshGeometry, Translation(0, 0, 0));
        for (CdxGeometryID g : others) {
            CdxModelID other = Place(Own(g), Translation(0, 0, 0));
            for (int round = 0; round < 25; ++round) {
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
