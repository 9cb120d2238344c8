// Safe times of moving primitives, and primitives against triangle lists.
#include "collision/collision_support.h"

namespace {

double SafeTime(CdxModelID m1, CdxModelID m2, double maximum, int *found)
{
    CdxModelPair pair;
    CdxModelPairReset(&pair, m1, m2);
    CdxHello(&pair);
    CdxSafeTimeResult result = {};
    *found = pair.safeTimeFn ? pair.safeTimeFn(&pair, maximum, &result) : -1;
    return result.safeTime;
}

// Distance from p to the segment a..b.
double SegmentDistance(const Vec &p, const Vec &a, const Vec &b)
{
    Vec ab = Sub(b, a);
    double t = std::clamp(Dot(Sub(p, a), ab) / Dot(ab, ab), 0.0, 1.0);
    return Norm(Sub(p, Add(a, Mul(ab, t))));
}

// Distance from p to triangle a, b, c: to the plane when the foot falls
// inside (same side of all three edges), else to the nearest edge.
double TriangleDistance(const Vec &p, const Vec &a, const Vec &b, const Vec &c)
{
    Vec n = Cross(Sub(b, a), Sub(c, a));
    n = Mul(n, 1.0 / Norm(n));
    Vec foot = Sub(p, Mul(n, Dot(Sub(p, a), n)));
    bool inside = Dot(Cross(Sub(b, a), Sub(foot, a)), n) >= 0 && Dot(Cross(Sub(c, b), Sub(foot, b)), n) >= 0 &&
                  Dot(Cross(Sub(a, c), Sub(foot, c)), n) >= 0;
    if (inside) return std::fabs(Dot(Sub(p, a), n));
    return std::min({SegmentDistance(p, a, b), SegmentDistance(p, b, c), SegmentDistance(p, c, a)});
}

// The caller's side of a triangle list: vertex storage, the triangle array
// and what the callback was last asked.
struct Floor {
    std::vector<std::array<PxReal, 3>> vertices;
    std::vector<std::array<PxReal, 3>> normals;
    std::vector<CdxUserTriangle> triangles;
    Vec lastCentre = {0, 0, 0};
    double lastRadius = 0;
    int calls = 0;
};
Floor *gFloor = nullptr;

int FloorCallback(CdxModelPair *, const PxVector3 centre, PxReal radius)
{
    gFloor->lastCentre = ToVec(centre);
    gFloor->lastRadius = radius;
    ++gFloor->calls;
    return (int)gFloor->triangles.size();
}

// Triangles (a, b, c) given as corner indices, normals computed.
void BuildFloor(Floor *floor, const std::vector<Vec> &corners, const std::vector<std::array<int, 3>> &faces)
{
    floor->vertices.clear();
    for (const Vec &v : corners) floor->vertices.push_back({v[0], v[1], v[2]});
    floor->normals.assign(faces.size(), {0, 0, 0});
    floor->triangles.clear();
    for (size_t f = 0; f < faces.size(); ++f) {
        CdxUserTriangle t = {{floor->vertices[faces[f][0]].data(), floor->vertices[faces[f][1]].data(),
                              floor->vertices[faces[f][2]].data()},
                             floor->normals[f].data()};
        CdxUserTriangleComputeNormal(&t);
        floor->triangles.push_back(t);
    }
}

class TriangleListTest : public PrimitiveTest {
protected:
    void SetUp() override
    {
        PrimitiveTest::SetUp();
        gFloor = &floor;
        // A 4 x 4 square at z = 0 facing +z.
        BuildFloor(&floor, {{-2, -2, 0}, {2, -2, 0}, {2, 2, 0}, {-2, 2, 0}}, {{0, 1, 2}, {0, 2, 3}});
        list = CdxTriangleListCreate(4, 4, 0.1, FloorCallback);
        CdxTriangleListSetList(list, floor.triangles.data(), (int)floor.triangles.size(), &floor);
        listModel = Place(list, Translation(10, 0, 0));
        Move(listModel, Translation(10, 0, 0));
    }
    void TearDown() override
    {
        PrimitiveTest::TearDown();
        gFloor = nullptr;
    }
    Floor floor;
    CdxGeometryID list = nullptr;
    CdxModelID listModel = nullptr;
};

} // namespace

// Spheres meet after their gap over their closing speed; parting, the
// safe time is the negative of the time they would take, and a move of
// less than 0.001 in the step finds nothing. A box taken for a sphere is a
// cube of half-extent 2r / (1 + sqrt 2).
TEST_F(PrimitiveTest, SafeTimesAreTheGapOverTheClosingSpeed)
{
    const double cube = 2 * 0.5 / (1 + std::sqrt(2.0));
    // s: a ball of radius 0.5, b: a unit box, p: a plane.
    auto make = [](char kind) {
        return kind == 's' ? CdxSphereCreate(0.5) : kind == 'b' ? CdxBoxCreate(1, 1, 1) : CdxPlaneCreate();
    };
    const struct {
        const char *what;
        char a, b;     // a falls at 3 onto a plane, else stands
        Vec at, bAt;   // where they are
        double bSpeed; // along x
        double maximum, time;
        int found;
    } rows[] = {
        {"spheres closing", 's', 's', {0, 0, 0}, {3, 0, 0}, -2, 5, 1, 1},
        {"spheres parting", 's', 's', {0, 0, 0}, {3, 0, 0}, 2, 5, -1, 0},
        {"spheres barely moving", 's', 's', {0, 0, 0}, {3, 0, 0}, 1e-4, 5, 5, 0},
        {"a sphere on a plane", 's', 'p', {1, 1, 2}, {0, 0, 0}, 0, 1, 0.5, 1},
        {"a box on a plane", 'b', 'p', {0, 0, 2}, {0, 0, 0}, 0, 1, 0.5, 1},
        {"a box on a plane beyond the step", 'b', 'p', {0, 0, 2}, {0, 0, 0}, 0, 0.25, 0.25, 0},
        {"a sphere reaching a box", 'b', 's', {0, 5, 0}, {3, 5, 0}, -1, 5, 3 - 0.5 - cube, 1},
    };
    for (const auto &row : rows) {
        CdxModelID a = Place(make(row.a), Translation(row.at[0], row.at[1], row.at[2]));
        CdxModelID b = Place(make(row.b), Translation(row.bAt[0], row.bAt[1], row.bAt[2]));
        Drive(a, 0, 0, row.b == 'p' ? -3 : 0);
        Drive(b, row.bSpeed, 0, 0);
        int found;
        EXPECT_NEAR(row.time, SafeTime(a, b, row.maximum, &found), 1e-15) << row.what;
        EXPECT_EQ(row.found, found) << row.what;
    }
}

TEST_F(PrimitiveTest, MovingBoxesEnterWhenTheLastAxisCloses)
{
    Pose a = Identity(), b = Translation(4, 0.5, 0);
    const PxVector3 r = {0.5, 0.5, 0.5}, still = {0, 0, 0}, left = {-2, 0, 0}, up = {0, 0, 1};
    PxReal time;
    PxVector3 normal;
    ASSERT_EQ(1, CdxMovingBoxBoxIntersect(r, a.tm, still, r, b.tm, left, 3.0, &time, normal));
    EXPECT_DOUBLE_EQ(1.5, time); // gap 3 at speed 2
    EXPECT_EQ(-1.0, normal[0]);  // from B towards A
    EXPECT_EQ(0, CdxMovingBoxBoxIntersect(r, a.tm, still, r, b.tm, up, 3.0, &time, normal));
    // Turned 45 degrees, box B reaches out sqrt(2)/2 along x.
    Pose turned = AxisAngle({0, 0, 1}, M_PI / 4, {4, 0, 0});
    ASSERT_EQ(1, CdxMovingBoxBoxIntersect(r, a.tm, still, r, turned.tm, left, 3.0, &time, normal));
    EXPECT_NEAR((4 - 0.5 - std::sqrt(0.5)) / 2, time, 1e-12);
}

// A box tumbling towards a plane never reaches through it before its safe time.
TEST_F(PrimitiveTest, BoxPlaneSafeTimeIsConservativeUnderRotation)
{
    Random random(808);
    PxVector3 linear, angular;
    CdxModelID plane = Place(CdxPlaneCreate(), Identity()), box = Place(CdxBoxCreate(1.0, 0.6, 0.4), Identity());
    Drive(plane, 0, 0, 0);
    CdxModelSetLinearVelocityPtr(box, linear);
    CdxModelSetAngularVelocityPtr(box, angular);
    int impacts = 0;
    for (int trial = 0; trial < 300; ++trial) {
        Pose start = random.RandomPose({0, 0, random.Uniform(0.7, 2.0)});
        Move(box, start);
        Vec v = random.InBox(2.0), w = random.InBox(6.0);
        for (int k = 0; k < 3; ++k) linear[k] = v[k], angular[k] = w[k];
        int found;
        double t = SafeTime(box, plane, 1.0, &found);
        impacts += found;
        for (int k = 0; k <= 40; ++k) {
            // The exact pose at time s: turned by |w| s about w, moved by v s.
            double s = t * k / 40;
            Pose turn = Norm(w) > 0 ? AxisAngle(w, Norm(w) * s, {0, 0, 0}) : Identity(), now = Identity();
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) now.tm[i][j] = turn.ToWorldDirection(start.Axis(i))[j];
            now.SetOrigin(Add(start.Origin(), Mul(v, s)));
            EXPECT_GE(MakeBox({0.5, 0.3, 0.2}).Support(now, {0, 0, -1})[2], -1e-9)
                << "trial " << trial << " time " << s;
        }
    }
    EXPECT_GT(impacts, 50);
}

TEST_F(TriangleListTest, SphereOnTheFloorTouchesWithTheFaceNormal)
{
    CdxModelID sphere = Place(CdxSphereCreate(0.5), Translation(10.3, 0.2, 0.45));
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(sphere, listModel, &contacts, &normal));
    // The face under the centre, and the edge of the neighbouring triangle
    // that also lies within the sphere; triangles are tested one by one.
    ASSERT_EQ(2u, contacts.size());
    EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
    EXPECT_EQ(1.0, contacts[0].normal[2]); // from the list towards the sphere
    EXPECT_NEAR(10.3, contacts[0].position[0], 1e-12);
    EXPECT_EQ(0x0203, contacts[0].dims); // faces first
    EXPECT_EQ(0, contacts[0].element2);  // the first triangle
    EXPECT_EQ(0x0103, contacts[1].dims);
    EXPECT_EQ(1, contacts[1].element2);
    EXPECT_GT(normal[2], 0.99);
    // The callback saw the centre in the list's frame and the radius plus
    // the summed tolerances.
    EXPECT_NEAR(0.3, floor.lastCentre[0], 1e-12);
    EXPECT_NEAR(0.5 + 2 * CdxModelGetDefaultContactTolerance(), floor.lastRadius, 1e-12);
    // Over the shared diagonal both triangles answer with the same point:
    // one contact remains.
    Move(sphere, Translation(10.5, 0.5, 0.45));
    ASSERT_EQ(1, Intersect(sphere, listModel, &contacts));
    EXPECT_EQ(1u, contacts.size());
    // Off the floor's edge, the edge is touched.
    Move(sphere, Translation(12.3, 0.0, 0.0));
    ASSERT_EQ(1, Intersect(sphere, listModel, &contacts));
    EXPECT_NEAR(-0.2, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0103, contacts[0].dims);
    Move(sphere, Translation(10.0, 0.0, 1.0));
    EXPECT_EQ(0, Intersect(sphere, listModel, &contacts));
}

TEST_F(TriangleListTest, SphereSeparationIsTheDistanceToTheNearestTriangle)
{
    Random random(909);
    BuildFloor(&floor, {{0, 0, 0}, {1, 0, 0.2}, {0.2, 0.9, -0.1}, {1.1, 1.0, 0.4}}, {{0, 1, 2}, {1, 3, 2}});
    CdxTriangleListSetList(list, floor.triangles.data(), 2, &floor);
    Pose placed = random.RandomPose({10, 0, 0});
    Move(listModel, placed);
    CdxModelID sphere = Place(CdxSphereCreate(0.3), Identity());
    int touching = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        Vec local = Add(Vec{0.5, 0.5, 0.1}, random.InBox(0.9));
        Vec centre = placed.ToWorld(local);
        Move(sphere, Translation(centre[0], centre[1], centre[2]));
        std::vector<Vec> v;
        for (auto &p : floor.vertices) v.push_back(ToVec(p.data()));
        double truth = std::min(TriangleDistance(local, v[0], v[1], v[2]),
                                TriangleDistance(local, v[1], v[3], v[2])) -
                       0.3;
        std::vector<CdxContact> contacts;
        int touch = Intersect(sphere, listModel, &contacts);
        ASSERT_EQ(truth <= 2 * CdxModelGetDefaultContactTolerance(), touch == 1) << "trial " << trial;
        if (!touch) continue;
        ++touching;
        ASSERT_FALSE(contacts.empty());
        EXPECT_NEAR(truth, Deepest(contacts), 1e-9) << "trial " << trial;
    }
    EXPECT_GT(touching, 300);
}

// A box's depth against a triangle is the separating-axis test's below.
TEST_F(TriangleListTest, ACylinderRestsOnTheFloorLikeOnAPlane)
{
    CdxModelID cylinder = Place(CdxCylinderCreate(0.5, 1.0), Translation(9.5, -0.5, 0.45));
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(cylinder, listModel, &contacts, &normal));
    EXPECT_EQ(1.0, normal[2]);
    ASSERT_GE(contacts.size(), 3u);
    for (const CdxContact &c : contacts) {
        EXPECT_NEAR(-0.05, c.separation, 1e-9);
        EXPECT_NEAR(0.5, std::hypot(c.position[0] - 9.5, c.position[1] + 0.5), 1e-9) << "on the rim";
    }
    // Lifted clear of the floor: nothing; an empty list never touches.
    Move(cylinder, Translation(9.5, -0.5, 0.6));
    EXPECT_EQ(0, Intersect(cylinder, listModel, &contacts));
    CdxTriangleListSetList(list, nullptr, 0, nullptr);
    Move(cylinder, Translation(9.5, -0.5, 0.45));
    EXPECT_EQ(0, Intersect(cylinder, listModel, &contacts));
}

// A box against one triangle agrees with the separating-axis test over the
// box's axes, the triangle's normal and their crossed edges, computed here
// from the corners.
TEST_F(TriangleListTest, BoxAgainstATriangleAgreesWithTheSeparatingAxisTest)
{
    Random random(1010);
    BuildFloor(&floor, {{0, 0, 0}, {1.2, 0.1, 0.2}, {0.3, 1.0, -0.1}}, {{0, 1, 2}});
    CdxTriangleListSetList(list, floor.triangles.data(), 1, &floor);
    Move(listModel, Identity());
    const Vec half = {0.3, 0.2, 0.4};
    CdxModelID box = Place(CdxBoxCreate(0.6, 0.4, 0.8), Identity());
    std::vector<Vec> tri;
    for (auto &p : floor.vertices) tri.push_back(ToVec(p.data()));
    const double eps = 2 * CdxModelGetDefaultContactTolerance(), margin = 0.01;
    int touching = 0, apart = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        Pose pose = random.RandomPose(Add(Vec{0.5, 0.4, 0.0}, random.InBox(0.9)));
        Move(box, pose);
        std::vector<Vec> corners, axes = {Cross(Sub(tri[1], tri[0]), Sub(tri[2], tri[0]))};
        for (int c = 0; c < 8; ++c)
            corners.push_back(pose.ToWorld(
                {(c & 1) ? half[0] : -half[0], (c & 2) ? half[1] : -half[1], (c & 4) ? half[2] : -half[2]}));
        for (int i = 0; i < 3; ++i) {
            axes.push_back(pose.Axis(i));
            for (int e = 0; e < 3; ++e) axes.push_back(Cross(pose.Axis(i), Sub(tri[(e + 1) % 3], tri[e])));
        }
        double sat = -1e9;
        for (const Vec &axis : axes) {
            if (Norm(axis) < 1e-9) continue;
            Vec L = Mul(axis, 1.0 / Norm(axis));
            double lo1 = 1e9, hi1 = -1e9, lo2 = 1e9, hi2 = -1e9;
            for (const Vec &c : corners) lo1 = std::min(lo1, Dot(c, L)), hi1 = std::max(hi1, Dot(c, L));
            for (const Vec &v : tri) lo2 = std::min(lo2, Dot(v, L)), hi2 = std::max(hi2, Dot(v, L));
            sat = std::max({sat, lo1 - hi2, lo2 - hi1});
        }
        std::vector<CdxContact> contacts;
        int touch = Intersect(box, listModel, &contacts);
        if (sat > eps + margin) {
            EXPECT_EQ(0, touch) << "trial " << trial;
            ++apart;
        } else if (sat < eps - margin) {
            ASSERT_EQ(1, touch) << "trial " << trial;
            ++touching;
            // Shallow overlaps reach the axis separation exactly.
            if (sat < 0 && sat > -0.05) {
                ASSERT_FALSE(contacts.empty());
                EXPECT_NEAR(sat, Deepest(contacts), 1e-9) << "trial " << trial;
            }
        }
    }
    EXPECT_GT(touching, 300);
    EXPECT_GT(apart, 300);
}
