// The six primitive geometries: parameters, bounds, support
// points, mass properties and line-segment hits.
#include "collision/collision_support.h"

namespace {

// The solids of the type tests: every kind, the cone both pointed and cut.
const Solid kSolids[] = {MakeSphere(0.7),         MakeBox({0.2, 0.5, 0.8}), MakeCylinder(0.5, 0.6),
                         MakeCone(1.5, 0.6, 0.2), MakeCone(1.0, 0.4, 0.0),  MakePlane()};

} // namespace

// Derived quantities follow the parameters: bounding spheres (also after a
// resize), cylinder end centres (local z turned onto -y, lifted to 5), a
// pointed cone's centroid a quarter up, plane normals and distances under a
// pose or none, and plane bounds.
TEST_F(PrimitiveTest, BoundingSpheresEndCentresAndPlaneDistancesAndBoundsFollowTheParameters)
{
    CdxGeometryID box = Own(CdxBoxCreate(2, 4, 6)), resized = Own(CdxBoxCreate(2, 4, 6));
    CdxBoxSetDimensions(resized, 1.0, 1.0, 2.0);
    CdxGeometryID cylinder = Own(CdxCylinderCreate(0.5, 3.0)), plane = Own(CdxPlaneCreate());
    CdxCylinderSetGeometricalParameters(cylinder, 2.0, 1.0);
    const Pose lifted = AxisAngle({1, 0, 0}, M_PI / 2, {0, 0, 5}), tilted = AxisAngle({1, 0, 0}, M_PI / 2, {0, 0, 1});
    PxVector3 top, bottom, normal, up;
    CdxCylinderGetEndCenters(cylinder, lifted.tm, top, bottom);
    CdxPlaneGetNormal(plane, tilted.tm, normal);
    CdxPlaneGetNormal(plane, nullptr, up);
    const PxVector3 point = {3.0, -2.0, 7.0};
    // A plane's box ends at its origin only on the axis it faces along.
    const Pose facingMinusX = AxisAngle({0, 1, 0}, -M_PI / 2, {2, 0, 0}), slanted = AxisAngle({0, 1, 0}, 0.01, {});
    PxVector3 flat[2], facing[2], slant[2];
    CdxGeometryGetAABB(plane, nullptr, flat[0], flat[1]);
    CdxGeometryGetAABB(plane, facingMinusX.tm, facing[0], facing[1]);
    CdxGeometryGetAABB(plane, slanted.tm, slant[0], slant[1]);
    const double rows[][2] = {{std::sqrt(14.0), CdxBoxGetBSphereRadius(box)},
                              {std::sqrt(1.5), CdxBoxGetBSphereRadius(resized)},
                              {-0.5, top[1]},
                              {0.5, bottom[1]},
                              {5.0, top[2]},
                              {0.5, CdxConeGetZOffset(Own(CdxConeCreatePointed(2.0, 1.0)))},
                              {-1.0, normal[1]},
                              {1.0, up[2]},
                              {2.0, CdxPlaneGetDistanceToPoint(plane, tilted.tm, point)},
                              {7.0, CdxPlaneGetDistanceToPoint(plane, nullptr, point)},
                              {0.0, flat[1][2]},
                              {-DBL_MAX, flat[0][2]},
                              {DBL_MAX, flat[1][0]},
                              {2.0, facing[0][0]},
                              {DBL_MAX, facing[1][0]},
                              {DBL_MAX, facing[1][2]},
                              {DBL_MAX, slant[1][2]}};
    for (const auto &row : rows) EXPECT_NEAR(row[0], row[1], 1e-15) << &row - rows;
}

// Each refused parameter, and creation before registration: no geometry
// (or nothing changed) and one warning.
TEST_F(PrimitiveTest, BadParametersAreRefusedWithOneWarningEach)
{
    CdxGeometryID box = CdxBoxCreate(1.0, 1.0, 1.0);
    const struct {
        std::function<bool()> refused;
        std::string warning;
    } rows[] = {
        {[] { return CdxSphereCreate(-1.0) == nullptr; },
         "Cdx: CdxSphereCreate: the radius must be zero or positive\n"},
        {[] { return CdxBoxCreate(1.0, -1.0, 1.0) == nullptr; },
         "Cdx: CdxBoxCreate: the lengths must be zero or positive\n"},
        {[] { return CdxCylinderCreate(1.0, NAN) == nullptr; },
         "Cdx: CdxCylinderCreate: the radius and height must be zero or positive\n"},
        {[] { return CdxConeCreate(1.0, 1.0, -0.5) == nullptr; },
         "Cdx: CdxConeCreate: the height and radii must be zero or positive\n"},
        {[] { return CdxTriangleListCreate(1.0, 1.0, 1.0, nullptr) == nullptr; }, ""}, // no callback: quietly
        {[box] { return CdxSphereSetRadius(box, 1.0), CdxSphereGetRadius(box) == 0.0; },
         "Cdx: CdxSphereSetRadius: needs a sphere and a radius >= 0\n"},
        // Last: a library started again knows no types yet.
        {[box] { return CdxGeometryDestroy(box), CdxTerm(), CdxInit(8, 4), CdxSphereCreate(1.0) == nullptr; },
         "Cdx: CdxSphereCreate: the geometry type is not registered\n"},
    };
    for (const auto &row : rows) {
        warnings.clear();
        EXPECT_TRUE(row.refused()) << row.warning;
        EXPECT_EQ(row.warning.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.warning}, warnings);
    }
    EXPECT_EQ(-1, CdxSphereGetTypeId());
    CdxSphereBoxPlaneRegisterTypes();
    EXPECT_EQ(3, CdxGeometryGetRegisteredTypeCount());
}

// For random poses, the support point along any direction is the solid's
// own, the AABB's faces are the support points along the axes, and every
// sampled surface point lies inside the AABB.
TEST_F(PrimitiveTest, BoundsAreTheSupportPointsOfRandomPoses)
{
    Random random(11);
    for (const Solid &solid : kSolids) {
        if (solid.kind == Solid::Plane) continue;
        CdxGeometryID geometry = Own(solid.Create());
        for (int trial = 0; trial < 50; ++trial) {
            SCOPED_TRACE(testing::Message() << "kind " << solid.kind << " trial " << trial);
            Pose pose = random.RandomPose(random.InBox(3.0));
            PxVector3 min, max, point;
            ASSERT_EQ(1, CdxGeometryGetAABB(geometry, pose.tm, min, max));
            const PxReal *bounds = CdxGeometryGetBounds(geometry);
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(min[k], bounds[2 * k]);
                EXPECT_EQ(max[k], bounds[2 * k + 1]);
                Vec up = {0, 0, 0};
                up[k] = 1.0;
                EXPECT_NEAR(max[k], solid.Support(pose, up)[k], 1e-9);
                EXPECT_NEAR(min[k], solid.Support(pose, Mul(up, -1.0))[k], 1e-9);
            }
            const Vec d = random.UnitVector();
            CdxGeometryMaximumPoint(geometry, pose.tm, d.data(), point);
            EXPECT_NEAR(Dot(solid.Support(pose, d), d), Dot(ToVec(point), d), 1e-9);
            for (const Vec &p : solid.Surface(pose, 0.2))
                for (int k = 0; k < 3; ++k) {
                    EXPECT_GE(p[k], min[k] - 1e-9);
                    EXPECT_LE(p[k], max[k] + 1e-9);
                }
        }
    }
}

// Zero components leave the point midway on those axes; the cylinder
// treats components below 1e-4 as zero (the cap centre); a pointed cone's
// apex wins upwards, its base rim sideways.
TEST_F(PrimitiveTest, SupportPointsFollowTheStatedRules)
{
    CdxGeometryID cylinder = Own(CdxCylinderCreate(1.0, 2.0)), cone = Own(CdxConeCreatePointed(4.0, 1.0));
    const struct {
        CdxGeometryID geometry;
        Vec direction, point;
    } rows[] = {
        {Own(CdxBoxCreate(2.0, 4.0, 6.0)), {1, 0, 0}, {1, 0, 0}},
        {cylinder, {5e-5, 0, 1}, {0, 0, 1}},
        {cylinder, {1e-3, 0, 1}, {1, 0, 1}},
        {cone, {0, 0, 1}, {0, 0, 3}},
        {cone, {0, 1, -0.1}, {0, 1, -1}},
    };
    for (const auto &row : rows) {
        PxVector3 point;
        CdxGeometryMaximumPoint(row.geometry, nullptr, row.direction.data(), point);
        EXPECT_EQ(row.point, ToVec(point)) << &row - rows;
    }
}

// Closed forms, and for cones (a pointed one's origin is its centroid, a
// cut one's lies above it) discs integrated along the axis.
TEST_F(PrimitiveTest, MassPropertiesMatchClosedFormsOrIntegrationAlongTheAxis)
{
    for (const Solid &solid : kSolids) {
        SCOPED_TRACE(testing::Message() << "kind " << solid.kind);
        const double relative = solid.kind == Solid::Cone ? 1e-9 : 1e-12;
        double volume;
        Vec centroid, inertia;
        solid.Mass(&volume, &centroid, &inertia);
        PxMatrix4 com;
        PxMatrix3 I;
        PxReal v = 0.0;
        ASSERT_EQ(1, CdxGeometryGetMassProperties(Own(solid.Create()), com, I, &v));
        EXPECT_NEAR(volume, v, relative * volume);
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(centroid[k], com[3][k], relative);
            EXPECT_NEAR(inertia[k], I[k][k], relative * inertia[k]);
        }
    }
}

// Random segments against each solid: a hit lies on the surface with the
// outward normal there, names the box face it entered, and has nothing of
// the solid before it; a miss passes only outside points.
TEST_F(PrimitiveTest, LineSegmentsHitTheFirstSurfacePoint)
{
    Random random(7);
    int hits = 0, misses = 0;
    for (const Solid &solid : kSolids) {
        CdxModelID model = Place(solid.Create(), Identity());
        CdxLineSegIntersectFn fn = CdxLineSegGetIntersectFnPtr(CdxGeometryGetTypeId(CdxModelGetGeometry(model)));
        ASSERT_NE(nullptr, fn);
        for (int trial = 0; trial < 300; ++trial) {
            Pose pose = random.RandomPose(random.InBox(0.3));
            Move(model, pose);
            Vec p0 = Add(pose.Origin(), Mul(random.UnitVector(), random.Uniform(1.5, 3.0)));
            Vec p1 = Add(pose.Origin(), random.InBox(0.5));
            if (trial % 3 == 0) p1 = Add(p0, Mul(Sub(p1, p0), 0.4)); // often short of it
            CdxLineSegResult result = {};
            int hit = fn(model, p0.data(), p1.data(), &result);
            if (hit) {
                ++hits;
                Vec point = ToVec(result.point), n = ToVec(result.normal);
                EXPECT_NEAR(0.0, solid.Sd(point, pose), 1e-9);
                EXPECT_NEAR(Norm(Sub(point, p0)), result.distance, 1e-9);
                EXPECT_NEAR(1.0, Norm(n), 1e-9);
                // Outward: a step along the normal leaves, a step against it enters.
                EXPECT_GT(solid.Sd(Add(point, Mul(n, 1e-4)), pose), 0.0);
                EXPECT_LT(solid.Sd(Sub(point, Mul(n, 1e-4)), pose), 0.0);
                // The face hit: its axis, plus 3 on the negative side; none
                // but on a box.
                int face = -1;
                for (int k = 0; k < 3 && solid.kind == Solid::Box; ++k)
                    if (std::fabs(Dot(n, pose.Axis(k))) > 0.5) face = k + (Dot(n, pose.Axis(k)) < 0 ? 3 : 0);
                EXPECT_EQ(face, result.face);
                if (solid.Sd(p0, pose) < 0.0) continue; // started inside the plane's half-space
                for (int k = 0; k < 50; ++k) EXPECT_GT(solid.Sd(Add(p0, Mul(Sub(point, p0), k / 50.0)), pose), -1e-9);
            } else {
                ++misses;
                if (solid.kind == Solid::Plane) continue; // a plane is met only where crossed
                for (int k = 0; k <= 50; ++k) EXPECT_GT(solid.Sd(Add(p0, Mul(Sub(p1, p0), k / 50.0)), pose), -1e-9);
            }
        }
    }
    EXPECT_GT(hits, 500);
    EXPECT_GT(misses, 300);
    // A segment starting inside reports where it leaves.
    CdxModelID sphere = Place(CdxSphereCreate(1.0), Identity());
    const PxVector3 inside = {0, 0, 0}, outside = {0, 0, 3};
    CdxLineSegResult result = {};
    ASSERT_EQ(1, CdxSphereLineSegIntersect(sphere, inside, outside, &result));
    EXPECT_EQ(1.0, result.point[2]);
    EXPECT_EQ(1.0, result.distance);
    EXPECT_EQ(0, CdxSphereLineSegIntersect(sphere, inside, inside, &result));
}
