// Primitive pairs in hand-made configurations whose answer is known
// exactly: contact counts, positions, normals, separations, dims and the
// request budget.
#include "test_primitives_support.h"

#include <algorithm>
#include <cmath>

namespace {

bool HasContactAt(const std::vector<CdxContact> &contacts, const Vec &p, double tol = 1e-9)
{
    for (const CdxContact &c : contacts)
        if (Norm(Sub(ToVec(c.position), p)) < tol) return true;
    return false;
}

} // namespace

TEST_F(PrimitiveTest, UnitSpheres1999ApartTouchAtTheMidpoint)
{
    CdxModelID a = Place(CdxSphereCreate(1.0), Translation(0, 0, 0));
    CdxModelID b = Place(CdxSphereCreate(1.0), Translation(1.999, 0, 0));
    CdxModelSetContactTolerance(a, 0.005);
    CdxModelSetContactTolerance(b, 0.005);
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(a, b, &contacts, &normal));
    ASSERT_EQ(1u, contacts.size());
    EXPECT_NEAR(-0.001, contacts[0].separation, 1e-12);
    EXPECT_NEAR(0.9995, contacts[0].position[0], 1e-12);
    EXPECT_EQ(-1.0, contacts[0].normal[0]); // from b towards a
    EXPECT_EQ(0x0303, contacts[0].dims);
    // Apart by more than the summed tolerances: no touch.
    Move(b, Translation(2.0101, 0, 0));
    EXPECT_EQ(0, Intersect(a, b, &contacts));
    EXPECT_TRUE(contacts.empty());
    // Coincident centres: the normal is +z.
    Move(b, Translation(0, 0, 0));
    ASSERT_EQ(1, Intersect(a, b, &contacts));
    EXPECT_EQ(1.0, contacts[0].normal[2]);
    EXPECT_EQ(-2.0, contacts[0].separation);
}

TEST_F(PrimitiveTest, SphereOnATiltedPlaneTouchesAtItsLowestPoint)
{
    Pose tilted = AxisAngle({1, 0, 0}, 0.3, {0, 0, 1});
    CdxModelID plane = Place(CdxPlaneCreate(), tilted);
    Vec n = tilted.Axis(2);
    Vec centre = Add(tilted.Origin(), Mul(n, 0.45));
    CdxModelID sphere = Place(CdxSphereCreate(0.5), Translation(centre[0], centre[1], centre[2]));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(sphere, plane, &contacts));
    ASSERT_EQ(1u, contacts.size());
    EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
    EXPECT_NEAR(0.0, Norm(Sub(ToVec(contacts[0].position), Sub(centre, Mul(n, 0.5)))), 1e-12);
    EXPECT_NEAR(1.0, Dot(ToVec(contacts[0].normal), n), 1e-12);
    EXPECT_EQ(0x0203, contacts[0].dims);
    // A plane model without a transform is z = 0 facing +z.
    CdxModelID ground = Place(CdxPlaneCreate(), Identity());
    CdxModelSetTransformPtr(ground, nullptr);
    Move(sphere, Translation(3, 4, 0.4));
    ASSERT_EQ(1, Intersect(sphere, ground, &contacts));
    EXPECT_NEAR(-0.1, contacts[0].separation, 1e-12);
    EXPECT_EQ(1.0, contacts[0].normal[2]);
}

TEST_F(PrimitiveTest, StackedBoxesTouchAtTheCornersOfTheLowerTopFace)
{
    CdxModelID lower = Place(CdxBoxCreate(2, 2, 2), Identity());
    CdxModelID upper = Place(CdxBoxCreate(2, 2, 2), Translation(0, 0, 1.9));
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(lower, upper, &contacts, &normal));
    ASSERT_EQ(4u, contacts.size());
    EXPECT_EQ(-1.0, normal[2]);
    for (const CdxContact &c : contacts) {
        EXPECT_NEAR(-0.1, c.separation, 1e-12);
        EXPECT_EQ(0x0202, c.dims);
        EXPECT_EQ(-1.0, c.normal[2]);
    }
    for (double x : {-1.0, 1.0})
        for (double y : {-1.0, 1.0}) EXPECT_TRUE(HasContactAt(contacts, {x, y, 1.0}));
    // Apart within the tolerance: the same four corners, with the gap as
    // their separation (a stack lifted by a hair keeps its contacts).
    Move(upper, Translation(0, 0, 2.005));
    ASSERT_EQ(1, Intersect(lower, upper, &contacts));
    ASSERT_EQ(4u, contacts.size());
    for (const CdxContact &c : contacts) EXPECT_NEAR(0.005, c.separation, 1e-12);
    for (double x : {-1.0, 1.0})
        for (double y : {-1.0, 1.0}) EXPECT_TRUE(HasContactAt(contacts, {x, y, 1.0}, 0.002));
    Move(upper, Translation(0, 0, 2.02));
    EXPECT_EQ(0, Intersect(lower, upper, &contacts));
}

TEST_F(PrimitiveTest, CrossedEdgesOfTwoBoxesGiveAnEdgeContact)
{
    // Box 2 is turned 45 degrees about x and about z so that one of its
    // edges, along y' , crosses box 1's top edge along x from above.
    CdxModelID box1 = Place(CdxBoxCreate(2, 2, 2), AxisAngle({1, 0, 0}, M_PI / 4, {0, 0, 0}));
    Pose pose2 = AxisAngle({0, 1, 0}, M_PI / 4, {0, 0, std::sqrt(2.0) * 2 - 0.05});
    CdxModelID box2 = Place(CdxBoxCreate(2, 2, 2), pose2);
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(box1, box2, &contacts, &normal));
    ASSERT_FALSE(contacts.empty());
    EXPECT_NEAR(-1.0, normal[2], 1e-12);
    EXPECT_NEAR(-0.05, Deepest(contacts), 1e-9);
    EXPECT_EQ(0x0101, contacts[0].dims);
}

TEST_F(PrimitiveTest, BoxResting01IntoAPlaneTouchesAtItsFourBottomCorners)
{
    CdxModelID plane = Place(CdxPlaneCreate(), Identity());
    CdxModelID box = Place(CdxBoxCreate(2, 2, 2), Translation(0, 0, 0.9));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(box, plane, &contacts));
    ASSERT_EQ(4u, contacts.size());
    for (const CdxContact &c : contacts) {
        EXPECT_NEAR(-0.1, c.separation, 1e-12);
        EXPECT_EQ(1.0, c.normal[2]);
        EXPECT_EQ(0x0202, c.dims);
    }
    for (double x : {-1.0, 1.0})
        for (double y : {-1.0, 1.0}) EXPECT_TRUE(HasContactAt(contacts, {x, y, -0.1}, 1e-12));
    // Above the plane within the tolerance: its four lowest corners, with
    // the gap as their separation.
    Move(box, Translation(0, 0, 1.005));
    ASSERT_EQ(1, Intersect(box, plane, &contacts));
    ASSERT_EQ(4u, contacts.size());
    for (double x : {-1.0, 1.0})
        for (double y : {-1.0, 1.0}) EXPECT_TRUE(HasContactAt(contacts, {x, y, 0.005}, 1e-12));
    Move(box, Translation(0, 0, 1.02));
    EXPECT_EQ(0, Intersect(box, plane, &contacts));
    // Standing on an edge: edge contacts, dims 1 for the box.
    Move(box, AxisAngle({1, 0, 0}, M_PI / 4, {0, 0, std::sqrt(2.0) - 0.1}));
    ASSERT_EQ(1, Intersect(box, plane, &contacts));
    ASSERT_EQ(2u, contacts.size());
    EXPECT_EQ(0x0201, contacts[0].dims);
    EXPECT_NEAR(-0.1, contacts[0].separation, 1e-12);
}

TEST_F(PrimitiveTest, SphereAgainstBoxFaceEdgeVertexAndInside)
{
    CdxModelID box = Place(CdxBoxCreate(2, 2, 2), Identity());
    CdxModelID sphere = Place(CdxSphereCreate(0.5), Translation(0, 0, 1.4));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(box, sphere, &contacts));
    EXPECT_NEAR(-0.1, contacts[0].separation, 1e-12);
    EXPECT_EQ(-1.0, contacts[0].normal[2]);
    EXPECT_EQ(0x0302, contacts[0].dims);
    EXPECT_NEAR(0.9, contacts[0].position[2], 1e-12);
    // Over an edge and over a vertex.
    Move(sphere, Translation(1.3, 0, 1.3));
    ASSERT_EQ(1, Intersect(box, sphere, &contacts));
    EXPECT_NEAR(std::sqrt(0.18) - 0.5, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0301, contacts[0].dims);
    Move(sphere, Translation(1.2, 1.2, 1.2));
    ASSERT_EQ(1, Intersect(box, sphere, &contacts));
    EXPECT_NEAR(std::sqrt(0.12) - 0.5, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0300, contacts[0].dims);
    // Centre inside: out through the nearest face (the -y face here).
    Move(sphere, Translation(0.1, -0.7, 0.2));
    ASSERT_EQ(1, Intersect(box, sphere, &contacts));
    EXPECT_EQ(1.0, contacts[0].normal[1]);
    EXPECT_NEAR(0.7 - 1.0 - 0.5, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0302, contacts[0].dims);
}

TEST_F(PrimitiveTest, HelloPutsTheBoxFirstWhenTheSphereCameFirst)
{
    CdxModelID box = Place(CdxBoxCreate(2, 2, 2), Identity());
    CdxModelID sphere = Place(CdxSphereCreate(0.5), Translation(0, 0, 1.4));
    std::vector<CdxContact> contacts;
    CdxModelPair pair;
    ASSERT_EQ(1, Intersect(sphere, box, &contacts, nullptr, nullptr, 64, &pair));
    EXPECT_EQ(box, pair.model1);
    EXPECT_EQ(-1.0, contacts[0].normal[2]); // from the sphere towards the box
}

TEST_F(PrimitiveTest, TheBudgetLimitsContactsButNotTheTouch)
{
    CdxModelID plane = Place(CdxPlaneCreate(), Identity());
    CdxModelID box = Place(CdxBoxCreate(2, 2, 2), AxisAngle({1, 1, 0}, 0.01, {0, 0, 0.9}));
    std::vector<CdxContact> contacts;
    CdxRequest none = {0, 0}, two = {2, 0}, many = {10, 0};
    EXPECT_EQ(1, Intersect(box, plane, &contacts, nullptr, &none));
    EXPECT_TRUE(contacts.empty());
    EXPECT_EQ(1, Intersect(box, plane, &contacts, nullptr, &two));
    EXPECT_EQ(2u, contacts.size());
    // The deepest candidate is always kept.
    double deepest = contacts[0].separation;
    EXPECT_EQ(1, Intersect(box, plane, &contacts, nullptr, &many));
    EXPECT_EQ(4u, contacts.size());
    EXPECT_DOUBLE_EQ(Deepest(contacts), deepest);
    // The result's capacity limits as well.
    EXPECT_EQ(1, Intersect(box, plane, &contacts, nullptr, &many, 3));
    EXPECT_EQ(3u, contacts.size());
    EXPECT_EQ(1, Intersect(box, plane, &contacts, nullptr, &many, 0));
    EXPECT_TRUE(contacts.empty());
}

TEST_F(PrimitiveTest, ConeOnItsBaseGivesRimContacts120DegreesApart)
{
    CdxModelID plane = Place(CdxPlaneCreate(), Identity());
    // Height 2, radius 1: the base is 0.5 below the origin.
    CdxModelID cone = Place(CdxConeCreatePointed(2.0, 1.0), Translation(0, 0, 0.45));
    std::vector<CdxContact> contacts;
    CdxRequest three = {3, 0};
    ASSERT_EQ(1, Intersect(cone, plane, &contacts, nullptr, &three));
    ASSERT_EQ(3u, contacts.size());
    EXPECT_TRUE(HasContactAt(contacts, {1.0, 0.0, -0.05}, 1e-12));
    EXPECT_TRUE(HasContactAt(contacts, {-0.5, std::sqrt(3.0) / 2, -0.05}, 1e-12));
    EXPECT_TRUE(HasContactAt(contacts, {-0.5, -std::sqrt(3.0) / 2, -0.05}, 1e-12));
    for (const CdxContact &c : contacts) EXPECT_EQ(0x0202, c.dims);
    // The default request {2, 0} keeps the first two.
    ASSERT_EQ(1, Intersect(cone, plane, &contacts));
    ASSERT_EQ(2u, contacts.size());
    EXPECT_NEAR(1.0, contacts[0].position[0], 1e-12);
    EXPECT_NEAR(-0.5, contacts[1].position[0], 1e-12);
    // Lying on a side line: its two ends. The side makes the angle
    // atan(r / h) with the axis; turned by 90 deg plus that, the side on
    // local +x lies level.
    double tilt = M_PI / 2 + std::atan(0.5);
    Pose lying = AxisAngle({0, 1, 0}, tilt, {0, 0, 0});
    Vec apex = lying.ToWorld({0, 0, 1.5}), rim = lying.ToWorld({1.0, 0, -0.5});
    lying.SetOrigin({0, 0, -std::min(apex[2], rim[2]) - 0.01});
    Move(cone, lying);
    ASSERT_EQ(1, Intersect(cone, plane, &contacts));
    ASSERT_EQ(2u, contacts.size());
    EXPECT_NEAR(-0.01, contacts[0].separation, 1e-9);
    EXPECT_NEAR(-0.01, contacts[1].separation, 1e-9);
    // Standing on its apex: one vertex contact.
    Move(cone, AxisAngle({1, 0, 0}, M_PI, {0, 0, 1.49}));
    ASSERT_EQ(1, Intersect(cone, plane, &contacts));
    ASSERT_EQ(1u, contacts.size());
    EXPECT_NEAR(-0.01, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0200, contacts[0].dims);
}

TEST_F(PrimitiveTest, ConeAgainstSphereAtTheApexTheSideAndTheBase)
{
    CdxModelID cone = Place(CdxConeCreatePointed(2.0, 1.0), Identity());
    CdxModelID sphere = Place(CdxSphereCreate(0.25), Translation(0, 0, 1.7));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(cone, sphere, &contacts));
    EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
    EXPECT_EQ(-1.0, contacts[0].normal[2]);
    EXPECT_EQ(0x0300, contacts[0].dims);
    Move(sphere, Translation(0.3, 0.0, -0.7));
    ASSERT_EQ(1, Intersect(cone, sphere, &contacts));
    EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
    EXPECT_EQ(1.0, contacts[0].normal[2]);
    EXPECT_EQ(0x0302, contacts[0].dims);
    // Beside the side line along its outward normal: touching within the
    // tolerance at 0.005, apart at 0.2.
    Vec foot = {0.5, 0.0, 0.5}; // on the side: radius 0.5 at z = 0.5
    Vec outward = Mul(Vec{2.0, 0.0, 1.0}, 1.0 / std::sqrt(5.0));
    Vec centre = Add(foot, Mul(outward, 0.255));
    Move(sphere, Translation(centre[0], centre[1], centre[2]));
    ASSERT_EQ(1, Intersect(cone, sphere, &contacts));
    EXPECT_NEAR(0.005, contacts[0].separation, 1e-12);
    EXPECT_NEAR(-outward[0], contacts[0].normal[0], 1e-12);
    EXPECT_EQ(0x0303, contacts[0].dims);
    centre = Add(foot, Mul(outward, 0.45));
    Move(sphere, Translation(centre[0], centre[1], centre[2]));
    EXPECT_EQ(0, Intersect(cone, sphere, &contacts));
}

TEST_F(PrimitiveTest, CylinderAgainstSphereAtTheCapTheSideAndTheRim)
{
    CdxModelID cylinder = Place(CdxCylinderCreate(1.0, 2.0), Identity());
    CdxModelID sphere = Place(CdxSphereCreate(0.5), Translation(0.2, 0.1, 1.4));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(cylinder, sphere, &contacts));
    EXPECT_NEAR(-0.1, contacts[0].separation, 1e-12);
    EXPECT_EQ(-1.0, contacts[0].normal[2]);
    EXPECT_EQ(0x0302, contacts[0].dims);
    Move(sphere, Translation(0.0, -1.4, 0.3));
    ASSERT_EQ(1, Intersect(cylinder, sphere, &contacts));
    EXPECT_NEAR(-0.1, contacts[0].separation, 1e-12);
    EXPECT_NEAR(1.0, contacts[0].normal[1], 1e-12);
    EXPECT_EQ(0x0303, contacts[0].dims);
    Move(sphere, Translation(1.3, 0.0, -1.3));
    ASSERT_EQ(1, Intersect(cylinder, sphere, &contacts));
    EXPECT_NEAR(std::sqrt(0.18) - 0.5, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0301, contacts[0].dims);
}

TEST_F(PrimitiveTest, UprightCylinderStandsOnAPlaneOnItsRim)
{
    CdxModelID plane = Place(CdxPlaneCreate(), Identity());
    CdxModelID cylinder = Place(CdxCylinderCreate(1.0, 2.0), Translation(0, 0, 0.95));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(cylinder, plane, &contacts));
    ASSERT_EQ(4u, contacts.size());
    for (const CdxContact &c : contacts) {
        EXPECT_NEAR(-0.05, c.separation, 1e-12);
        EXPECT_NEAR(1.0, std::hypot(c.position[0], c.position[1]), 1e-12);
        EXPECT_EQ(0x0202, c.dims);
    }
    // Lying: two contacts at the ends of the lowest side line.
    Move(cylinder, AxisAngle({1, 0, 0}, M_PI / 2, {0, 0, 0.95}));
    ASSERT_EQ(1, Intersect(cylinder, plane, &contacts));
    ASSERT_EQ(2u, contacts.size());
    EXPECT_NEAR(-0.05, contacts[0].separation, 1e-12);
    EXPECT_EQ(0x0203, contacts[0].dims);
    EXPECT_NEAR(2.0, std::fabs(contacts[0].position[1] - contacts[1].position[1]), 1e-12);
}

TEST_F(PrimitiveTest, CylinderLyingOnABoxTouchesAlongALine)
{
    CdxModelID box = Place(CdxBoxCreate(4, 4, 2), Identity());
    CdxModelID cylinder = Place(CdxCylinderCreate(0.5, 2.0), AxisAngle({0, 1, 0}, M_PI / 2, {0.3, 0.2, 1.45}));
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(box, cylinder, &contacts, &normal));
    EXPECT_NEAR(-1.0, normal[2], 1e-9);
    ASSERT_GE(contacts.size(), 2u);
    // The line's ends, and possibly points of the thin strip of overlap
    // beside it, all on the box's top face.
    EXPECT_TRUE(HasContactAt(contacts, {-0.7, 0.2, 1.0}, 1e-9));
    EXPECT_TRUE(HasContactAt(contacts, {1.3, 0.2, 1.0}, 1e-9));
    EXPECT_NEAR(-0.05, Deepest(contacts), 1e-9);
    for (const CdxContact &c : contacts) {
        EXPECT_NEAR(1.0, c.position[2], 1e-9);
        EXPECT_LE(std::fabs(c.position[1] - 0.2), std::sqrt(0.25 - 0.45 * 0.45) + 1e-9);
        EXPECT_EQ(0x0302, c.dims); // box face, cylinder side
    }
    // Standing on its cap: contacts around the rim.
    Move(cylinder, Translation(0.3, 0.2, 1.95));
    ASSERT_EQ(1, Intersect(box, cylinder, &contacts));
    EXPECT_EQ(4u, contacts.size());
    for (const CdxContact &c : contacts) {
        EXPECT_NEAR(-0.05, c.separation, 1e-9);
        EXPECT_NEAR(0.5, std::hypot(c.position[0] - 0.3, c.position[1] - 0.2), 1e-9);
        EXPECT_EQ(0x0202, c.dims);
    }
}

TEST_F(PrimitiveTest, ParallelCylindersSideBySideTouchAlongTheirOverlap)
{
    CdxModelID a = Place(CdxCylinderCreate(0.5, 2.0), Identity());
    CdxModelID b = Place(CdxCylinderCreate(0.5, 2.0), Translation(0.98, 0, 0.5));
    std::vector<CdxContact> contacts;
    Vec normal;
    ASSERT_EQ(1, Intersect(a, b, &contacts, &normal));
    EXPECT_NEAR(-1.0, normal[0], 1e-9);
    ASSERT_EQ(2u, contacts.size());
    for (const CdxContact &c : contacts) EXPECT_NEAR(-0.02, c.separation, 1e-9);
    std::vector<double> z = {contacts[0].position[2], contacts[1].position[2]};
    std::sort(z.begin(), z.end());
    EXPECT_NEAR(-0.5, z[0], 1e-9);
    EXPECT_NEAR(1.0, z[1], 1e-9);
    // Apart by 0.03: no touch with the default tolerances (0.01 in all).
    Move(b, Translation(1.03, 0, 0.5));
    EXPECT_EQ(0, Intersect(a, b, &contacts));
}

TEST_F(PrimitiveTest, ConeTouchTestsReportNoContacts)
{
    CdxModelID cone = Place(CdxConeCreatePointed(2.0, 1.0), Identity());
    CdxModelID box = Place(CdxBoxCreate(1, 1, 1), Translation(0, 0, 1.9));
    CdxModelID other = Place(CdxConeCreatePointed(2.0, 1.0), AxisAngle({1, 0, 0}, M_PI, {0, 0, 2.9}));
    CdxModelID cylinder = Place(CdxCylinderCreate(0.5, 1.0), Translation(1.45, 0, -0.2));
    std::vector<CdxContact> contacts;
    EXPECT_EQ(1, Intersect(cone, box, &contacts)); // the apex pokes into the box
    EXPECT_TRUE(contacts.empty());
    EXPECT_EQ(1, Intersect(cone, other, &contacts)); // apex on apex
    EXPECT_EQ(1, Intersect(cone, cylinder, &contacts));
    Move(box, Translation(0, 0, 2.1));
    EXPECT_EQ(0, Intersect(cone, box, &contacts));
    Move(other, AxisAngle({1, 0, 0}, M_PI, {0, 0, 3.1}));
    EXPECT_EQ(0, Intersect(cone, other, &contacts));
    Move(cylinder, Translation(1.6, 0, 1.0)); // beside the slanted side
    EXPECT_EQ(0, Intersect(cone, cylinder, &contacts));
}

TEST_F(PrimitiveTest, PlanesDoNotTouchPlanes)
{
    CdxModelID a = Place(CdxPlaneCreate(), Identity());
    CdxModelID b = Place(CdxPlaneCreate(), Identity());
    std::vector<CdxContact> contacts;
    EXPECT_EQ(0, Intersect(a, b, &contacts));
    CdxModelPair pair;
    CdxModelPairReset(&pair, a, b);
    EXPECT_EQ(0, CdxHello(&pair));
}
