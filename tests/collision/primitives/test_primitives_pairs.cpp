// Primitive pairs in hand-made configurations whose answer is known
// exactly, as one table: touch, contact counts, positions, normals,
// separations and dims; then the model order and the request budget.
#include "collision/collision_support.h"

namespace {

bool HasContactAt(const std::vector<CdxContact> &contacts, const Vec &p, double tol)
{
    for (const CdxContact &c : contacts)
        if (Norm(Sub(ToVec(c.position), p)) < tol) return true;
    return false;
}

// What a pair must answer; unset fields are not checked.
struct Answer {
    int touch = 1;
    int count = -1;               // -1: any number
    double separation = NAN;      // of every contact, or of the deepest
    bool deepestOnly = false;     // separation is the deepest one's
    Vec normal = {0, 0, 0};       // of every contact
    Vec resultNormal = {0, 0, 0}; // the pair's summed normal
    int dims = -1;                // of every contact
    std::vector<Vec> points;      // contacts that must be there
    double tol = 1e-12;
    std::function<void(const CdxContact &)> each; // further checks of every contact

    Answer &Count(int n) { return count = n, *this; }
    Answer &Sep(double s) { return separation = s, *this; }
    Answer &Deepest(double s) { return separation = s, deepestOnly = true, *this; }
    Answer &Normal(const Vec &n) { return normal = n, *this; }
    Answer &ResultNormal(const Vec &n) { return resultNormal = n, *this; }
    Answer &Dims(int d) { return dims = d, *this; }
    Answer &At(std::initializer_list<Vec> ps) { return points.insert(points.end(), ps), *this; }
    // The corners (+-1, +-1, z) of a unit square.
    Answer &Square(double z) { return At({{-1, -1, z}, {-1, 1, z}, {1, -1, z}, {1, 1, z}}); }
    Answer &Tol(double t) { return tol = t, *this; }
    Answer &Each(std::function<void(const CdxContact &)> f) { return each = std::move(f), *this; }
    Answer &Apart() { return touch = 0, count = 0, *this; }
};
CdxGeometryID Cone()
{
    return CdxConeCreatePointed(2.0, 1.0); // height 2, radius 1: the base 0.5 below the origin
}

class PrimitivePairs : public PrimitiveTest {
protected:
    void Check(const std::string &name, CdxGeometryID a, const Pose &poseA, CdxGeometryID b, const Pose &poseB,
               const Answer &want, int budget = 0)
    {
        SCOPED_TRACE(name);
        CdxModelID m1 = Place(a, poseA), m2 = Place(b, poseB);
        const CdxRequest request = {budget, 0};
        std::vector<CdxContact> contacts;
        Vec normal;
        ASSERT_EQ(want.touch, Intersect(m1, m2, &contacts, &normal, budget > 0 ? &request : nullptr));
        if (want.count >= 0) {
            ASSERT_EQ(static_cast<size_t>(want.count), contacts.size());
        } else {
            ASSERT_FALSE(contacts.empty());
        }
        const bool sepGiven = !std::isnan(want.separation);
        if (sepGiven && want.deepestOnly) {
            EXPECT_NEAR(want.separation, Deepest(contacts), want.tol);
        }
        if (Norm(want.resultNormal) > 0) {
            EXPECT_NEAR(0.0, Norm(Sub(normal, want.resultNormal)), want.tol);
        }
        for (const CdxContact &c : contacts) {
            if (sepGiven && !want.deepestOnly) {
                EXPECT_NEAR(want.separation, c.separation, want.tol);
            }
            if (Norm(want.normal) > 0) {
                EXPECT_NEAR(0.0, Norm(Sub(ToVec(c.normal), want.normal)), want.tol);
            }
            if (want.dims >= 0) {
                EXPECT_EQ(want.dims, c.dims);
            }
            if (want.each) want.each(c);
        }
        for (const Vec &p : want.points)
            EXPECT_TRUE(HasContactAt(contacts, p, want.tol)) << p[0] << ", " << p[1] << ", " << p[2];
    }
};

} // namespace

TEST_F(PrimitivePairs, AnswersOfHandWorkedConfigurations)
{
    auto cube = [] { return CdxBoxCreate(2, 2, 2); };
    const double r2 = std::sqrt(2.0), r3 = std::sqrt(3.0);
    // Spheres: normals point from model 2 towards model 1.
    Check("unit spheres 1.999 apart", CdxSphereCreate(1), Identity(), CdxSphereCreate(1), Translation(1.999, 0, 0),
          Answer().Count(1).Sep(-0.001).Normal({-1, 0, 0}).Dims(0x0303).At({{0.9995, 0, 0}}));
    // The point divides the centres' segment in the ratio of the radii.
    Check("spheres of radii 1 and 0.5 overlapping by 0.1", CdxSphereCreate(1), Translation(1, 0, 0),
          CdxSphereCreate(0.5), Translation(2.4, 0, 0),
          Answer().Count(1).Sep(-0.1).Normal({-1, 0, 0}).At({{1.0 / 3.0 + 1.6, 0, 0}}));
    Check("spheres on one centre", CdxSphereCreate(1), Identity(), CdxSphereCreate(1), Identity(),
          Answer().Count(1).Sep(-2.0).Normal({0, 0, 1}));

    // Sphere and planes.
    Pose tilted = AxisAngle({1, 0, 0}, 0.3, {0, 0, 1});
    Vec n = tilted.Axis(2), centre = Add(tilted.Origin(), Mul(n, 0.45));
    Check("sphere sunk 0.05 into a tilted plane", CdxSphereCreate(0.5), Translation(centre[0], centre[1], centre[2]),
          CdxPlaneCreate(), tilted,
          Answer().Count(1).Sep(-0.05).Normal(n).Dims(0x0203).At({Sub(centre, Mul(n, 0.5))}));

    // Boxes.
    Check("box stacked 0.1 into another", cube(), Identity(), cube(), Translation(0, 0, 1.9),
          Answer().Count(4).Sep(-0.1).Normal({0, 0, -1}).ResultNormal({0, 0, -1}).Dims(0x0202).Square(1));
    // Apart within the tolerance: the same corners with the gap as their
    // separation, so a stack lifted by a hair keeps its contacts.
    Check("stacked boxes within the tolerance", cube(), Identity(), cube(), Translation(0, 0, 2.005),
          Answer().Count(4).Sep(0.005).Tol(1e-9).Square(1));
    // Box 2 turned 45 degrees about y so that its edge crosses box 1's top
    // edge (box 1 turned 45 degrees about x) from above.
    Check("crossed edges", cube(), AxisAngle({1, 0, 0}, M_PI / 4, {0, 0, 0}), cube(),
          AxisAngle({0, 1, 0}, M_PI / 4, {0, 0, r2 * 2 - 0.05}),
          Answer().Deepest(-0.05).ResultNormal({0, 0, -1}).Dims(0x0101).Tol(1e-9));
    Check("box 0.1 into a plane", cube(), Translation(0, 0, 0.9), CdxPlaneCreate(), Identity(),
          Answer().Count(4).Sep(-0.1).Normal({0, 0, 1}).Dims(0x0202).Square(-0.1));
    Check("box over a plane within the tolerance", cube(), Translation(0, 0, 1.005), CdxPlaneCreate(), Identity(),
          Answer().Count(4).Sep(0.005).Tol(1e-9).Square(0.005));
    Check("box on an edge on a plane", cube(), AxisAngle({1, 0, 0}, M_PI / 4, {0, 0, r2 - 0.1}), CdxPlaneCreate(),
          Identity(), Answer().Count(2).Sep(-0.1).Normal({0, 0, 1}).Dims(0x0201));

    // Sphere and box: face, edge, vertex, and a centre inside.
    Check("sphere on a box face", cube(), Identity(), CdxSphereCreate(0.5), Translation(0, 0, 1.4),
          Answer().Count(1).Sep(-0.1).Normal({0, 0, -1}).Dims(0x0302).At({{0, 0, 0.9}}));
    Check("sphere on a box edge", cube(), Identity(), CdxSphereCreate(0.5), Translation(1.3, 0, 1.3),
          Answer().Count(1).Sep(std::sqrt(0.18) - 0.5).Normal({-1 / r2, 0, -1 / r2}).Dims(0x0301));
    Check("sphere on a box vertex", cube(), Identity(), CdxSphereCreate(0.5), Translation(1.2, 1.2, 1.2),
          Answer().Count(1).Sep(std::sqrt(0.12) - 0.5).Normal({-1 / r3, -1 / r3, -1 / r3}).Dims(0x0300));
    Check("sphere centre inside a box, nearest the -y face", cube(), Identity(), CdxSphereCreate(0.5),
          Translation(0.1, -0.7, 0.2), Answer().Count(1).Sep(0.7 - 1.0 - 0.5).Normal({0, 1, 0}).Dims(0x0302));

    // Cones on a plane: rim contacts 120 degrees apart, a side line, the apex.
    Check("cone on its base", Cone(), Translation(0, 0, 0.45), CdxPlaneCreate(), Identity(),
          Answer().Count(3).Dims(0x0202).At({{1.0, 0.0, -0.05}, {-0.5, r3 / 2, -0.05}, {-0.5, -r3 / 2, -0.05}}), 3);
    Check("cone on its base, default budget", Cone(), Translation(0, 0, 0.45), CdxPlaneCreate(), Identity(),
          Answer().Count(2).At({{1.0, 0.0, -0.05}}));
    // The side makes the angle atan(r / h) with the axis; turned by 90
    // degrees plus that, the side on local +x lies level.
    Pose lying = AxisAngle({0, 1, 0}, M_PI / 2 + std::atan(0.5), {0, 0, 0});
    Vec apex = lying.ToWorld({0, 0, 1.5}), rim = lying.ToWorld({1.0, 0, -0.5});
    lying.SetOrigin({0, 0, -std::min(apex[2], rim[2]) - 0.01});
    Check("cone lying on a side line", Cone(), lying, CdxPlaneCreate(), Identity(),
          Answer().Count(2).Sep(-0.01).Tol(1e-9));
    Check("cone on its apex", Cone(), AxisAngle({1, 0, 0}, M_PI, {0, 0, 1.49}), CdxPlaneCreate(), Identity(),
          Answer().Count(1).Sep(-0.01).Dims(0x0200));

    // Cone and sphere: apex, base, and beside the side line within the
    // tolerance.
    Check("sphere on a cone's apex", Cone(), Identity(), CdxSphereCreate(0.25), Translation(0, 0, 1.7),
          Answer().Count(1).Sep(-0.05).Normal({0, 0, -1}).Dims(0x0300));
    Check("sphere under a cone's base", Cone(), Identity(), CdxSphereCreate(0.25), Translation(0.3, 0.0, -0.7),
          Answer().Count(1).Sep(-0.05).Normal({0, 0, 1}).Dims(0x0302));
    const Vec foot = {0.5, 0.0, 0.5}, outward = Mul(Vec{2.0, 0.0, 1.0}, 1.0 / std::sqrt(5.0));
    const Vec near = Add(foot, Mul(outward, 0.255));
    Check("sphere beside a cone's side", Cone(), Identity(), CdxSphereCreate(0.25),
          Translation(near[0], near[1], near[2]),
          Answer().Count(1).Sep(0.005).Normal(Mul(outward, -1.0)).Dims(0x0303));
    // Cylinder and sphere: side and rim.
    Check("sphere at a cylinder's side", CdxCylinderCreate(1, 2), Identity(), CdxSphereCreate(0.5),
          Translation(0.0, -1.4, 0.3),
          Answer().Count(1).Sep(-0.1).Normal({0, 1, 0}).Dims(0x0303).At({{0, -0.9, 0.3}}));
    Check("sphere at a cylinder's rim", CdxCylinderCreate(1, 2), Identity(), CdxSphereCreate(0.5),
          Translation(1.3, 0.0, -1.3),
          Answer().Count(1).Sep(std::sqrt(0.18) - 0.5).Normal({-1 / r2, 0, 1 / r2}).Dims(0x0301));

    // Cylinders on a plane and a box, and side by side.
    Check("upright cylinder on a plane", CdxCylinderCreate(1, 2), Translation(0, 0, 0.95), CdxPlaneCreate(),
          Identity(), Answer().Count(4).Sep(-0.05).Dims(0x0202).Each([](const CdxContact &c) {
              EXPECT_NEAR(1.0, std::hypot(c.position[0], c.position[1]), 1e-12);
          }));
    Check("cylinder lying on a plane", CdxCylinderCreate(1, 2), AxisAngle({1, 0, 0}, M_PI / 2, {0, 0, 0.95}),
          CdxPlaneCreate(), Identity(),
          Answer().Count(2).Sep(-0.05).Dims(0x0203).At({{0, -1, -0.05}, {0, 1, -0.05}}));
    Check("cylinder tipped past level on a plane", CdxCylinderCreate(1, 2),
          AxisAngle({1, 0, 0}, M_PI - 0.5, {0, 0, 1}), CdxPlaneCreate(), Identity(),
          Answer().Deepest(1.0 - std::sin(0.5) - std::cos(0.5)).Normal({0, 0, 1}).Tol(1e-9));
    // The line's ends, and possibly points of the thin strip of overlap
    // beside it, all on the box's top face.
    Check("cylinder lying on a box", CdxBoxCreate(4, 4, 2), Identity(), CdxCylinderCreate(0.5, 2),
          AxisAngle({0, 1, 0}, M_PI / 2, {0.3, 0.2, 1.45}),
          Answer()
              .Deepest(-0.05)
              .ResultNormal({0, 0, -1})
              .Dims(0x0302)
              .At({{-0.7, 0.2, 1.0}, {1.3, 0.2, 1.0}})
              .Tol(1e-9)
              .Each([](const CdxContact &c) {
                  EXPECT_NEAR(1.0, c.position[2], 1e-9);
                  EXPECT_LE(std::fabs(c.position[1] - 0.2), std::sqrt(0.25 - 0.45 * 0.45) + 1e-9);
              }));
    Check("cylinder standing on a box", CdxBoxCreate(4, 4, 2), Identity(), CdxCylinderCreate(0.5, 2),
          Translation(0.3, 0.2, 1.95),
          Answer().Count(4).Sep(-0.05).Dims(0x0202).Tol(1e-9).Each([](const CdxContact &c) {
              EXPECT_NEAR(0.5, std::hypot(c.position[0] - 0.3, c.position[1] - 0.2), 1e-9);
          }));
    Check("parallel cylinders side by side", CdxCylinderCreate(0.5, 2), Identity(), CdxCylinderCreate(0.5, 2),
          Translation(0.98, 0, 0.5),
          Answer().Count(2).Sep(-0.02).ResultNormal({-1, 0, 0}).Tol(1e-9).Each([](const CdxContact &c) {
              EXPECT_TRUE(std::fabs(c.position[2] + 0.5) < 1e-9 || std::fabs(c.position[2] - 1.0) < 1e-9);
          }));
    // The cone's touch tests report touch and no contacts (apart cases are
    // the random harness's).
    Check("cone apex in a box", Cone(), Identity(), CdxBoxCreate(1, 1, 1), Translation(0, 0, 1.9), Answer().Count(0));
    Check("cone apex on apex", Cone(), Identity(), Cone(), AxisAngle({1, 0, 0}, M_PI, {0, 0, 2.9}),
          Answer().Count(0));
    Check("cylinder at a cone's base rim", Cone(), Identity(), CdxCylinderCreate(0.5, 1), Translation(1.45, 0, -0.2),
          Answer().Count(0));
    Check("planes never touch", CdxPlaneCreate(), Identity(), CdxPlaneCreate(), Identity(), Answer().Apart());
}

// A plane model without a transform is z = 0 facing +z.
TEST_F(PrimitiveTest, APlaneWithoutTransformIsTheGround)
{
    CdxModelID ground = Place(CdxPlaneCreate(), Identity());
    CdxModelSetTransformPtr(ground, nullptr);
    CdxModelID sphere = Place(CdxSphereCreate(0.5), Translation(3, 4, 0.4));
    std::vector<CdxContact> contacts;
    ASSERT_EQ(1, Intersect(sphere, ground, &contacts));
    EXPECT_NEAR(-0.1, contacts[0].separation, 1e-12);
    EXPECT_EQ(1.0, contacts[0].normal[2]);
}
