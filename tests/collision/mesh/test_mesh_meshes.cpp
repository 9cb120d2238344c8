// Two meshes: crossings found by the tree descent and closest triangles are
// exactly those found by testing every triangle pair; small-mesh normals,
// capacities, moving vertices and line segments.
#include "collision/collision_support.h"

#include "mesh/CxSODistTriTri.h"
#include "mesh/CxTriangleMeshRecord.h"

namespace {

// Whether segment p..q crosses triangle a, b, c (independent of the
// library: signed volumes).
bool SegmentCrossesTriangle(const Vec &p, const Vec &q, const Vec &a, const Vec &b, const Vec &c)
{
    auto volume = [](const Vec &w, const Vec &x, const Vec &y, const Vec &z) {
        return Dot(Cross(Sub(x, w), Sub(y, w)), Sub(z, w));
    };
    double sp = volume(a, b, c, p), sq = volume(a, b, c, q);
    if ((sp > 0 && sq > 0) || (sp < 0 && sq < 0) || (sp == 0 && sq == 0)) return false;
    double u = volume(p, q, a, b), v = volume(p, q, b, c), w = volume(p, q, c, a);
    return (u >= 0 && v >= 0 && w >= 0) || (u <= 0 && v <= 0 && w <= 0);
}

// Two triangles in general position cross when an edge of one crosses the
// other.
bool TrianglesCross(const std::array<Vec, 3> &s, const std::array<Vec, 3> &t)
{
    for (int e = 0; e < 3; ++e) {
        if (SegmentCrossesTriangle(s[e], s[(e + 1) % 3], t[0], t[1], t[2])) return true;
        if (SegmentCrossesTriangle(t[e], t[(e + 1) % 3], s[0], s[1], s[2])) return true;
    }
    return false;
}

std::vector<std::array<Vec, 3>> WorldTriangles(const Mesh &mesh, const Pose &frame)
{
    std::vector<std::array<Vec, 3>> out;
    for (const auto &t : mesh.triangles)
        out.push_back({frame.ToWorld(mesh.vertices[t[0]]), frame.ToWorld(mesh.vertices[t[1]]),
                       frame.ToWorld(mesh.vertices[t[2]])});
    return out;
}

} // namespace

TEST_F(MeshTest, TheDescentFindsExactlyTheCrossingTrianglePairsAndApartTheClosestOnes)
{
    Random random(31);
    Mesh &ball = NewMesh();
    AddIcosphere(&ball, 1.0, 2);
    ball.Build();
    Mesh &box = NewMesh();
    AddBox(&box, {0.8, 0.5, 0.3}, 3);
    box.Build();
    CdxModelID a = Place(ball.geometry, Translation(0, 0, 0));
    CdxModelID b = Place(box.geometry, Translation(0, 0, 0));
    int touching = 0, apart = 0;
    for (int round = 0; round < 16; ++round) {
        Pose fa = random.TurnedPose(random.InBox(0.3)), fb = random.TurnedPose(random.InBox(1.4));
        Move(a, fa);
        Move(b, fb);
        auto ta = WorldTriangles(ball, fa), tb = WorldTriangles(box, fb);
        std::set<std::pair<int, int>> expected;
        for (size_t i = 0; i < ta.size(); ++i)
            for (size_t j = 0; j < tb.size(); ++j)
                if (TrianglesCross(ta[i], tb[j])) expected.insert({(int)i, (int)j});
        CdxModelPair pair;
        CdxModelPairReset(&pair, a, b);
        std::vector<int> found(2 * 4000);
        int count = CdxTriangleMeshTriangleMeshGetIntersectingTriangles(&pair, found.data(), 4000);
        ASSERT_EQ(expected.size(), (size_t)count) << "round " << round;
        std::set<std::pair<int, int>> got;
        for (int k = 0; k < count; ++k) got.insert({found[2 * k], found[2 * k + 1]});
        EXPECT_EQ(expected, got);
        std::vector<CdxContact> contacts;
        Vec normal;
        EXPECT_EQ(!expected.empty(), Intersect(a, b, &contacts, &normal, nullptr, 30) == 1);
        EXPECT_EQ(!expected.empty(), Intersect(a, b, nullptr, nullptr, nullptr, 0) == 1)
            << "capacity 0 reports touch only";
        if (expected.empty()) {
            // Apart: the closest triangles are the closest of all pairs.
            double best = DBL_MAX;
            for (const auto &s : ta)
                for (const auto &t : tb) {
                    PxVector3 sa[3], sb[3], pa, pb;
                    for (int k = 0; k < 3; ++k) {
                        PxV3Set(sa[k], s[k][0], s[k][1], s[k][2]);
                        PxV3Set(sb[k], t[k][0], t[k][1], t[k][2]);
                    }
                    best = std::min(best, CxSODistTriTriClosest(sa, sb, pa, pb));
                }
            int t1 = -1, t2 = -1;
            PxReal distance = -1;
            ASSERT_EQ(1, CdxTriangleMeshTriangleMeshGetClosestTriangles(&pair, &t1, &t2, &distance));
            EXPECT_NEAR(best, distance, 1e-12) << "round " << round;
            EXPECT_TRUE(t1 >= 0 && t2 >= 0);
            ++apart;
            continue;
        }
        ++touching;
        EXPECT_TRUE(AllFinite(contacts, normal));
        EXPECT_LE(contacts.size(), 30u);
        for (const CdxContact &c : contacts) {
            EXPECT_LE(c.separation, 0.0);
            EXPECT_NEAR(1.0, Norm(ToVec(c.normal)), 1e-9);
            EXPECT_EQ(1u, expected.count({(int)c.element1, (int)c.element2})) << "a contact names a crossing pair";
        }
    }
    EXPECT_GT(touching, 3);
    EXPECT_GT(apart, 2);
}

TEST_F(MeshTest, SmallMeshesShareOneNormalAndLargerOnesDoNot)
{
    Random random(41);
    Mesh &cubeA = NewMesh(), &cubeB = NewMesh(), &icoA = NewMesh(), &icoB = NewMesh();
    AddBox(&cubeA, {0.5, 0.5, 0.5}, 1);
    AddBox(&cubeB, {0.5, 0.5, 0.5}, 1);
    AddIcosphere(&icoA, 0.6, 0);
    AddIcosphere(&icoB, 0.6, 0);
    for (Mesh *m : {&cubeA, &cubeB, &icoA, &icoB}) m->Build();
    ASSERT_EQ(20, CdxTriangleMeshGetTriangleCount(icoA.geometry));
    CdxModelID ca = Place(cubeA.geometry, Translation(0, 0, 0)), cb = Place(cubeB.geometry, Translation(0, 0, 0));
    CdxModelID ia = Place(icoA.geometry, Translation(0, 0, 0)), ib = Place(icoB.geometry, Translation(0, 0, 0));
    int differing = 0;
    for (int round = 0; round < 10; ++round) {
        Vec offset = Mul(random.UnitVector(), 0.8);
        Move(ca, random.TurnedPose({0, 0, 0}));
        Move(cb, random.TurnedPose(offset));
        Move(ia, random.TurnedPose({0, 0, 0}));
        Move(ib, random.TurnedPose(offset));
        std::vector<CdxContact> contacts;
        Vec normal;
        if (Intersect(ca, cb, &contacts, &normal, nullptr, 30)) {
            EXPECT_GT(Dot(normal, Mul(offset, -1.0)), 0.0) << "from B towards A";
            for (const CdxContact &c : contacts)
                for (int k = 0; k < 3; ++k) EXPECT_NEAR(normal[k], c.normal[k], 1e-12);
        }
        if (Intersect(ia, ib, &contacts, &normal, nullptr, 30)) {
            for (const CdxContact &c : contacts)
                if (Dot(ToVec(c.normal), ToVec(contacts[0].normal)) < 1.0 - 1e-6) {
                    ++differing;
                    break;
                }
        }
    }
    EXPECT_GT(differing, 0) << "20 + 20 triangles keep their own normals";
}

TEST_F(MeshTest, CullingKeepsAtMostTheCapacityAndMergesNearbyContacts)
{
    Mesh &floor = NewMesh();
    AddFloor(&floor, 2.0, 16, 0.0);
    floor.Build();
    Mesh &slab = NewMesh();
    AddBox(&slab, {1.5, 1.5, 0.2}, 12);
    slab.Build();
    CdxModelID lower = Place(floor.geometry, Translation(0, 0, 0));
    CdxModelID upper = Place(slab.geometry, AxisAngle({0, 0, 1}, 0.3, {0, 0, 0.15}));
    for (int capacity : {1, 4, 30, 100}) {
        std::vector<CdxContact> contacts;
        Vec normal;
        ASSERT_EQ(1, Intersect(upper, lower, &contacts, &normal, nullptr, capacity));
        EXPECT_EQ((size_t)std::min(capacity, 30), contacts.size());
        size_t up = 0;
        for (const CdxContact &c : contacts) {
            // Each crossing pair measures how far its own wall triangle
            // reaches under the floor: at most the 0.05 of the slab.
            EXPECT_LE(c.separation, 0.0);
            EXPECT_GE(c.separation, -0.05 - 1e-9);
            EXPECT_NEAR(0.0, c.position[2], 1e-9);
            EXPECT_GT(c.normal[2], 0.7);
            // Where a floor triangle barely pokes through a wall the pair
            // alone sees the wall as the shallower way out.
            up += c.normal[2] > 0.999;
        }
        EXPECT_GE(2 * up, contacts.size()) << "most contacts point out of the floor";
        for (size_t i = 0; i < contacts.size(); ++i)
            for (size_t j = i + 1; j < contacts.size(); ++j)
                EXPECT_GE(Norm(Sub(ToVec(contacts[i].position), ToVec(contacts[j].position))), 0.1 - 1e-12);
        EXPECT_GT(normal[2], 0.999) << "from the floor (model 2) up to the slab";
    }
}

TEST_F(MeshTest, MeshesWithAShallowBoxLevelFollowTheirMovedVertices)
{
    Mesh &a = NewMesh(), &b = NewMesh();
    AddIcosphere(&a, 0.5, 2);
    AddIcosphere(&b, 0.5, 2);
    for (Mesh *m : {&a, &b}) {
        m->options = CdxTriangleMeshOptionKeepNodeTriangles;
        m->obbStartDepth = 3;
        m->Build();
        EXPECT_EQ(3, CdxTriangleMeshGetOBBStartDepth(m->geometry));
    }
    // The root keeps every triangle's index; above depth 3 the boxes are
    // axis-aligned, from it on fitted to their triangles.
    const BVTree *tree = CxTriangleMeshRecord(a.geometry)->tree;
    EXPECT_EQ(320, tree->nodeTriangles[0].count);
    auto aligned = [](const BVNode *node) {
        double sum = 0;
        for (int i = 0; i < 3; ++i)
            for (int k = 0; k < 3; ++k) sum += std::fabs(node->box.axes[i][k]);
        return sum == 3.0;
    };
    const BVNode *node = tree->root();
    for (int depth = 0; depth < 3; ++depth, node = node->left) EXPECT_TRUE(aligned(node)) << depth;
    EXPECT_FALSE(aligned(node)) << "depth 3";
    CdxModelID ma = Place(a.geometry, Translation(0, 0, 0)), mb = Place(b.geometry, Translation(1.5, 0, 0));
    EXPECT_EQ(0, Intersect(ma, mb, nullptr));
    // Stretch mesh B's vertices towards A without a new build.
    for (Vec &v : b.vertices) v[0] *= 2.5;
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(ma, mb, &contacts, &normal, nullptr, 30));
    EXPECT_LT(normal[0], 0.0) << "B now reaches A from +x";
    PxVector3 lo, hi;
    CdxTriangleMeshGetAABB(b.geometry, PoseOf(mb).tm, lo, hi);
    EXPECT_NEAR(1.5 - 1.25, lo[0], 1e-9) << "the refit also moved the mesh's box";
}

TEST_F(MeshTest, LineSegmentsHitAMeshBoxWhereTheyHitTheBox)
{
    Random random(19);
    Mesh &mesh = NewMesh();
    AddBox(&mesh, {0.7, 0.4, 0.5}, 2);
    mesh.Build();
    CdxGeometryID box = Own(CdxBoxCreate(1.4, 0.8, 1.0));
    Pose pose = random.TurnedPose({0.2, 0.1, -0.3});
    CdxModelID meshModel = Place(mesh.geometry, pose), boxModel = Place(box, pose);
    int hits = 0;
    for (int round = 0; round < 200; ++round) {
        Vec p0 = random.InBox(2.0), p1 = random.InBox(2.0);
        PxVector3 a = {p0[0], p0[1], p0[2]}, b = {p1[0], p1[1], p1[2]};
        CdxLineSegResult meshHit = {}, boxHit = {};
        int boxHits = CdxBoxLineSegIntersect(boxModel, a, b, &boxHit);
        int meshHits = IxTriangleMeshLineSegment(meshModel, a, b, &meshHit);
        // A segment starting inside reports the exit for the box; the mesh
        // surface is met there too.
        ASSERT_EQ(boxHits, meshHits) << "round " << round;
        if (!boxHits) continue;
        ++hits;
        EXPECT_NEAR(boxHit.distance, meshHit.distance, 1e-9);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(boxHit.point[k], meshHit.point[k], 1e-9);
            EXPECT_NEAR(boxHit.normal[k], meshHit.normal[k], 1e-9);
        }
        EXPECT_EQ(meshModel, meshHit.model);
    }
    EXPECT_GT(hits, 30);
    EXPECT_EQ(IxTriangleMeshLineSegment, CdxLineSegGetIntersectFnPtr(CdxTriangleMeshGetTypeId()));
}
