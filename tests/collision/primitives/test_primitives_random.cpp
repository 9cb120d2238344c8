// Primitive pairs under seeded random poses, checked against truths
// computed here independently: exact signed distances, a separating-axis
// test written in world coordinates, and distance bounds from sampled
// surfaces (upper) and support-point projections (lower).
#include "test_primitives_support.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

const double kInf = std::numeric_limits<double>::infinity();

struct Solid {
    enum Kind { Sphere, Box, Plane, Cylinder, Cone } kind;
    Vec half = {0, 0, 0};                  // box
    double r = 0, hh = 0;                  // sphere / cylinder radius, cylinder half-height
    double rb = 0, zb = 0, rt = 0, zt = 0; // cone

    CdxGeometryID Create() const
    {
        switch (kind) {
        case Sphere: return CdxSphereCreate(r);
        case Box: return CdxBoxCreate(2 * half[0], 2 * half[1], 2 * half[2]);
        case Plane: return CdxPlaneCreate();
        case Cylinder: return CdxCylinderCreate(r, 2 * hh);
        case Cone: return CdxConeCreate(zt - zb, rb, rt);
        }
        return nullptr;
    }
    double Sd(const Vec &p, const Pose &pose) const
    {
        switch (kind) {
        case Sphere: return SdSphere(p, pose, r);
        case Box: return SdBox(p, pose, half);
        case Plane: return SdPlane(p, pose);
        case Cylinder: return SdCylinder(p, pose, r, hh);
        case Cone: return SdCone(p, pose, rb, zb, rt, zt);
        }
        return 0;
    }
    std::vector<Vec> Surface(const Pose &pose, double spacing) const
    {
        switch (kind) {
        case Box: return BoxSurface(pose, half, spacing);
        case Cylinder: return CylinderSurface(pose, r, hh, spacing);
        case Cone: return ConeSurface(pose, rb, zb, rt, zt, spacing);
        case Sphere: return ConeSurface(pose, r, 0, r, 0, spacing); // a great circle only
        case Plane: break;
        }
        return {};
    }
    // Support point along d, written from the definition of each solid.
    Vec Support(const Pose &pose, const Vec &d) const
    {
        Vec local = pose.ToLocal(Add(pose.Origin(), d));
        auto sgn = [](double x) { return x > 0 ? 1.0 : (x < 0 ? -1.0 : 0.0); };
        auto rim = [&](double radius, double z) {
            double rho = std::hypot(local[0], local[1]);
            Vec p = {0, 0, z};
            if (rho > 0) p = {radius * local[0] / rho, radius * local[1] / rho, z};
            return p;
        };
        Vec p;
        switch (kind) {
        case Sphere: p = Mul(local, r / Norm(local)); break;
        case Box: p = {sgn(local[0]) * half[0], sgn(local[1]) * half[1], sgn(local[2]) * half[2]}; break;
        case Cylinder: p = rim(r, sgn(local[2]) * hh); break;
        case Cone: {
            Vec base = rim(rb, zb), top = rim(rt, zt);
            p = Dot(base, local) >= Dot(top, local) ? base : top;
            break;
        }
        case Plane: p = {0, 0, 0}; break;
        }
        return pose.ToWorld(p);
    }
};

Solid MakeSphere(double r)
{
    Solid s{Solid::Sphere};
    s.r = r;
    return s;
}
Solid MakeBox(const Vec &half)
{
    Solid s{Solid::Box};
    s.half = half;
    return s;
}
Solid MakePlane()
{
    return Solid{Solid::Plane};
}
Solid MakeCylinder(double r, double hh)
{
    Solid s{Solid::Cylinder};
    s.r = r;
    s.hh = hh;
    return s;
}
Solid MakeCone(double height, double rb, double rt)
{
    Solid s{Solid::Cone};
    s.rb = rb, s.rt = rt, s.zb = -0.25 * height, s.zt = 0.75 * height;
    return s;
}

// Separation along unit d with solid a on the + side.
double SepAlong(const Solid &a, const Pose &pa, const Solid &b, const Pose &pb, const Vec &d)
{
    return Dot(a.Support(pa, Mul(d, -1.0)), d) - Dot(b.Support(pb, d), d);
}

double BestSep(const Solid &a, const Pose &pa, const Solid &b, const Pose &pb, const Vec &d)
{
    return std::max(SepAlong(a, pa, b, pb, d), SepAlong(a, pa, b, pb, Mul(d, -1.0)));
}

struct Bounds {
    double lower = -kInf; // <= signed distance (from separating directions)
    double upper = kInf;  // >= signed distance (from surface samples)
};

Vec Gradient(const Solid &s, const Pose &pose, const Vec &p)
{
    const double h = 1e-6;
    Vec g;
    for (int k = 0; k < 3; ++k) {
        Vec a = p, b = p;
        a[k] += h, b[k] -= h;
        g[k] = (s.Sd(a, pose) - s.Sd(b, pose)) / (2 * h);
    }
    return g;
}

// Distance bounds of two convex solids: the best sampled surface point
// inside or near the other gives the upper bound; the directions there,
// refined by a random local search, give the lower one.
Bounds DistanceBounds(const Solid &a, const Pose &pa, const Solid &b, const Pose &pb, Random *random)
{
    Bounds bounds;
    Vec direction = {0, 0, 1};
    for (int side = 0; side < 2; ++side) {
        const Solid &s = side ? b : a, &o = side ? a : b;
        const Pose &ps = side ? pb : pa, &po = side ? pa : pb;
        for (const Vec &p : s.Surface(ps, 0.04)) {
            double d = o.Sd(p, po);
            if (d < bounds.upper) {
                bounds.upper = d;
                direction = Gradient(o, po, p);
            }
        }
    }
    Vec best = Mul(direction, 1.0 / Norm(direction));
    bounds.lower = BestSep(a, pa, b, pb, best);
    for (double step = 0.2; step > 1e-5; step *= 0.7)
        for (int k = 0; k < 6; ++k) {
            Vec trial = Add(best, Mul(random->UnitVector(), step));
            trial = Mul(trial, 1.0 / Norm(trial));
            double sep = BestSep(a, pa, b, pb, trial);
            if (sep > bounds.lower) bounds.lower = sep, best = trial;
        }
    return bounds;
}

// Largest separation over the 15 axes of two boxes, in world coordinates.
double BoxBoxSat(const Solid &a, const Pose &pa, const Solid &b, const Pose &pb)
{
    std::vector<Vec> axes;
    for (int i = 0; i < 3; ++i) axes.push_back(pa.Axis(i));
    for (int j = 0; j < 3; ++j) axes.push_back(pb.Axis(j));
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            Vec L = Cross(pa.Axis(i), pb.Axis(j));
            if (Norm(L) > 1e-6) axes.push_back(Mul(L, 1.0 / Norm(L)));
        }
    double best = -kInf;
    for (const Vec &L : axes) best = std::max(best, BestSep(a, pa, b, pb, L));
    return best;
}

bool Finite(const CdxContact &c)
{
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(c.position[k]) || !std::isfinite(c.normal[k])) return false;
    return std::isfinite(c.separation);
}

class RandomPairTest : public PrimitiveTest {
protected:
    // Places both solids; the second at a random pose near the first.
    void Setup(const Solid &a, const Solid &b)
    {
        solidA = a, solidB = b;
        modelA = Place(a.Create(), Identity());
        modelB = Place(b.Create(), Identity());
        CdxModelSetContactTolerance(modelA, tolerance);
        CdxModelSetContactTolerance(modelB, tolerance);
    }
    void Pose2(Random *random, double spread)
    {
        Move(modelA, random->RandomPose({0, 0, 0}));
        Move(modelB, random->RandomPose(random->InBox(spread)));
    }
    const Pose &PA() { return PoseOf(modelA); }
    const Pose &PB() { return PoseOf(modelB); }

    // Every contact: finite, unit normal along the result normal, on both
    // surfaces within the pair's deepest separation.
    void CheckContacts(const std::vector<CdxContact> &contacts, const Vec &normal)
    {
        double deepest = std::fabs(Deepest(contacts));
        for (const CdxContact &c : contacts) {
            ASSERT_TRUE(Finite(c));
            EXPECT_NEAR(1.0, Norm(ToVec(c.normal)), 1e-9);
            EXPECT_NEAR(1.0, Dot(ToVec(c.normal), normal), 1e-9);
            Vec p = ToVec(c.position);
            EXPECT_LE(std::fabs(solidA.Sd(p, PA())), deepest + 1e-7);
            EXPECT_LE(std::fabs(solidB.Sd(p, PB())), deepest + 1e-7)
                << "kinds " << solidA.kind << solidB.kind << " contact sep " << c.separation << " count "
                << contacts.size();
        }
    }

    Solid solidA, solidB;
    CdxModelID modelA = nullptr, modelB = nullptr;
    double tolerance = 0.001; // each; the pair's eps is twice this
};

} // namespace

// Sphere against every solid: the separation is the signed distance of the
// centre minus the radius, exactly, at every depth.
TEST_F(RandomPairTest, SphereSeparationsAreExactDistances)
{
    Random random(101);
    const Solid others[] = {MakeSphere(0.6),          MakePlane(),
                            MakeBox({0.5, 0.3, 0.7}), MakeCylinder(0.4, 0.6),
                            MakeCone(1.4, 0.6, 0.0),  MakeCone(1.2, 0.5, 0.25)};
    for (const Solid &other : others) {
        Setup(other, MakeSphere(0.35));
        int touching = 0, apart = 0;
        for (int trial = 0; trial < 1500; ++trial) {
            Pose2(&random, 1.3);
            double truth = solidA.Sd(PB().Origin(), PA()) - solidB.r;
            std::vector<CdxContact> contacts;
            Vec normal;
            int touch = Intersect(modelA, modelB, &contacts, &normal);
            ASSERT_EQ(truth <= 2 * tolerance, touch == 1) << "kind " << other.kind << " truth " << truth;
            if (!touch) {
                ++apart;
                continue;
            }
            ++touching;
            ASSERT_EQ(1u, contacts.size());
            EXPECT_NEAR(truth, contacts[0].separation, 1e-9) << "kind " << other.kind;
            CheckContacts(contacts, normal);
            // The contact is the sphere's point nearest the other solid (the
            // plane pair is registered with the sphere first, so its normal
            // points towards the sphere).
            if (other.kind == Solid::Sphere) continue;
            double towards = other.kind == Solid::Plane ? -1.0 : 1.0;
            Vec expected = Add(PB().Origin(), Mul(ToVec(contacts[0].normal), towards * solidB.r));
            EXPECT_NEAR(0.0, Norm(Sub(ToVec(contacts[0].position), expected)), 1e-9);
        }
        EXPECT_GT(touching, 200) << "kind " << other.kind;
        EXPECT_GT(apart, 200) << "kind " << other.kind;
    }
}

// Box and cylinder on a plane: the deepest contact is the lowest point.
TEST_F(RandomPairTest, SolidsOnAPlaneReachExactlyTheirLowestPoint)
{
    Random random(202);
    const Solid solids[] = {MakeBox({0.5, 0.3, 0.7}), MakeCylinder(0.4, 0.6)};
    for (const Solid &solid : solids) {
        Setup(solid, MakePlane());
        int touching = 0;
        for (int trial = 0; trial < 1500; ++trial) {
            Move(modelB, random.RandomPose(random.InBox(0.2)));
            Move(modelA, random.RandomPose(Add(PB().Origin(), Mul(PB().Axis(2), random.Uniform(0.0, 1.0)))));
            double lowest = kInf;
            if (solid.kind == Solid::Box) {
                for (int corner = 0; corner < 8; ++corner) {
                    Vec local = {(corner & 1) ? 0.5 : -0.5, (corner & 2) ? 0.3 : -0.3, (corner & 4) ? 0.7 : -0.7};
                    lowest = std::min(lowest, SdPlane(PA().ToWorld(local), PB()));
                }
            } else {
                for (int k = 0; k < 3600; ++k) {
                    double t = 2 * M_PI * k / 3600;
                    for (double z : {-0.6, 0.6})
                        lowest = std::min(lowest,
                                          SdPlane(PA().ToWorld({0.4 * std::cos(t), 0.4 * std::sin(t), z}), PB()));
                }
            }
            std::vector<CdxContact> contacts;
            Vec normal;
            int touch = Intersect(modelA, modelB, &contacts, &normal);
            if (lowest < -1e-6) {
                ASSERT_EQ(1, touch);
                ASSERT_FALSE(contacts.empty());
                EXPECT_NEAR(lowest, Deepest(contacts), solid.kind == Solid::Box ? 1e-12 : 1e-6);
                CheckContacts(contacts, normal);
                ++touching;
            } else if (lowest > 2 * tolerance + 1e-6) {
                EXPECT_EQ(0, touch);
            }
        }
        EXPECT_GT(touching, 300);
    }
}

// Box against box agrees with a separating-axis test in world coordinates
// whenever the answer is clear by 1% of the size.
TEST_F(RandomPairTest, BoxBoxAgreesWithTheSeparatingAxisTest)
{
    Random random(303);
    Setup(MakeBox({0.5, 0.3, 0.7}), MakeBox({0.4, 0.6, 0.2}));
    const double margin = 0.01;
    int touching = 0, apart = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        Pose2(&random, 1.4);
        double sat = BoxBoxSat(solidA, PA(), solidB, PB());
        std::vector<CdxContact> contacts;
        Vec normal;
        int touch = Intersect(modelA, modelB, &contacts, &normal);
        if (sat > 2 * tolerance + margin) {
            EXPECT_EQ(0, touch) << "trial " << trial << " sat " << sat;
            ++apart;
        } else if (sat < 2 * tolerance - margin) {
            ASSERT_EQ(1, touch) << "trial " << trial << " sat " << sat;
            ++touching;
            // Shallow overlaps reach the axis separation exactly; deeper
            // ones need not (the deepest point may lie outside the clip).
            if (sat < 0 && sat > -0.05) {
                ASSERT_FALSE(contacts.empty()) << "trial " << trial;
                EXPECT_NEAR(sat, Deepest(contacts), 1e-9) << "trial " << trial;
            }
            CheckContacts(contacts, normal);
        }
    }
    EXPECT_GT(touching, 500);
    EXPECT_GT(apart, 500);
}

// Cylinder pairs and the cone's touch tests against distance bounds.
TEST_F(RandomPairTest, CurvedPairsAgreeWithDistanceBounds)
{
    Random random(404);
    struct Case {
        Solid a, b;
    };
    const Case cases[] = {{MakeBox({0.5, 0.3, 0.4}), MakeCylinder(0.35, 0.5)},
                          {MakeCylinder(0.4, 0.5), MakeCylinder(0.3, 0.6)},
                          {MakeCone(1.2, 0.5, 0.0), MakeBox({0.4, 0.3, 0.5})},
                          {MakeCone(1.2, 0.5, 0.0), MakeCone(1.0, 0.4, 0.2)},
                          {MakeCone(1.2, 0.5, 0.0), MakeCylinder(0.35, 0.5)}};
    const double margin = 0.01;
    for (const Case &c : cases) {
        Setup(c.a, c.b);
        int decided = 0, touching = 0, apart = 0;
        const int trials = 300;
        for (int trial = 0; trial < trials; ++trial) {
            Pose2(&random, 1.3);
            Bounds bounds = DistanceBounds(solidA, PA(), solidB, PB(), &random);
            std::vector<CdxContact> contacts;
            Vec normal;
            int touch = Intersect(modelA, modelB, &contacts, &normal);
            if (bounds.upper < std::min(0.0, 2 * tolerance - margin) || bounds.upper < 2 * tolerance - margin) {
                EXPECT_EQ(1, touch) << "kinds " << c.a.kind << c.b.kind << " trial " << trial;
                ++decided, ++touching;
                CheckContacts(contacts, normal);
            } else if (bounds.lower > 2 * tolerance + margin) {
                EXPECT_EQ(0, touch) << "kinds " << c.a.kind << c.b.kind << " trial " << trial;
                ++decided, ++apart;
            }
        }
        EXPECT_GT(decided, trials * 9 / 10) << "kinds " << c.a.kind << c.b.kind;
        EXPECT_GT(touching, 30);
        EXPECT_GT(apart, 30);
    }
}

// Swapping two models of one type flips every normal and keeps the
// separation; for two types, hello restores the registered order and the
// answer is the same.
TEST_F(RandomPairTest, SwappingTheModelsFlipsNormalsAndKeepsSeparations)
{
    Random random(505);
    const Solid same[] = {MakeSphere(0.5), MakeBox({0.5, 0.3, 0.7}), MakeCylinder(0.4, 0.6)};
    for (const Solid &solid : same) {
        Setup(solid, solid.kind == Solid::Box ? MakeBox({0.4, 0.6, 0.2}) : solid);
        bool curved = solid.kind == Solid::Cylinder;
        double tol = curved ? 1e-6 : 1e-9;
        for (int trial = 0; trial < 200; ++trial) {
            // Random orientations, then the distance along a random
            // direction at which the deepest contact is about -0.005.
            Pose a = random.RandomPose({0, 0, 0}), b = random.RandomPose({0, 0, 0});
            Vec direction = random.UnitVector();
            double near = 0.0, far = 3.0;
            std::vector<CdxContact> ab, ba;
            for (int step = 0; step < 30; ++step) {
                double t = 0.5 * (near + far);
                b.SetOrigin(Mul(direction, t));
                Move(modelA, a);
                Move(modelB, b);
                Intersect(modelA, modelB, &ab);
                (!ab.empty() && Deepest(ab) < -0.005 ? near : far) = t;
            }
            b.SetOrigin(Mul(direction, near));
            Move(modelB, b);
            Vec nab, nba;
            int touchAB = Intersect(modelA, modelB, &ab, &nab);
            int touchBA = Intersect(modelB, modelA, &ba, &nba);
            ASSERT_EQ(touchAB, touchBA) << "kind " << solid.kind << " trial " << trial;
            ASSERT_FALSE(ab.empty());
            ASSERT_FALSE(ba.empty());
            EXPECT_NEAR(-1.0, Dot(nab, nba), tol) << "kind " << solid.kind << " trial " << trial;
            EXPECT_NEAR(Deepest(ab), Deepest(ba), tol) << "kind " << solid.kind << " trial " << trial;
            for (const CdxContact &c : ba) EXPECT_NEAR(-1.0, Dot(ToVec(c.normal), nab), tol);
        }
    }
    const Solid firsts[] = {MakeBox({0.5, 0.3, 0.7}), MakeCylinder(0.4, 0.6), MakeCone(1.2, 0.5, 0.0),
                            MakeBox({0.5, 0.3, 0.7})};
    const Solid seconds[] = {MakeSphere(0.4), MakePlane(), MakeSphere(0.4), MakeCylinder(0.3, 0.5)};
    for (int k = 0; k < 4; ++k) {
        Setup(firsts[k], seconds[k]);
        for (int trial = 0; trial < 300; ++trial) {
            Pose2(&random, 1.2);
            std::vector<CdxContact> ab, ba;
            Vec nab, nba;
            ASSERT_EQ(Intersect(modelA, modelB, &ab, &nab), Intersect(modelB, modelA, &ba, &nba));
            ASSERT_EQ(ab.size(), ba.size());
            for (size_t i = 0; i < ab.size(); ++i) {
                EXPECT_EQ(ab[i].separation, ba[i].separation);
                EXPECT_EQ(ab[i].normal[2], ba[i].normal[2]);
            }
        }
    }
}

// Moving one model by 1e-4 changes the deepest separation by at most that.
TEST_F(RandomPairTest, ATinyMoveChangesSeparationsByAtMostTheMove)
{
    Random random(606);
    struct Case {
        Solid a, b;
    };
    const Case cases[] = {
        {MakeSphere(0.5), MakeSphere(0.4)},          {MakeSphere(0.5), MakePlane()},
        {MakeBox({0.5, 0.3, 0.7}), MakeSphere(0.4)}, {MakeCylinder(0.4, 0.6), MakeSphere(0.4)},
        {MakeCone(1.2, 0.5, 0.0), MakeSphere(0.4)},  {MakeBox({0.5, 0.3, 0.7}), MakePlane()},
        {MakeCylinder(0.4, 0.6), MakePlane()},       {MakeBox({0.5, 0.3, 0.7}), MakeBox({0.4, 0.6, 0.2})}};
    const double step = 1e-4;
    for (const Case &c : cases) {
        Setup(c.a, c.b);
        int compared = 0;
        for (int trial = 0; trial < 1000; ++trial) {
            Pose2(&random, 1.0);
            std::vector<CdxContact> before, after;
            Intersect(modelA, modelB, &before);
            Pose moved = PB();
            moved.SetOrigin(Add(moved.Origin(), Mul(random.UnitVector(), step)));
            Move(modelB, moved);
            Intersect(modelA, modelB, &after);
            if (before.empty() || after.empty()) continue;
            ++compared;
            EXPECT_LE(std::fabs(Deepest(after) - Deepest(before)), step * (1 + 1e-6))
                << "kinds " << c.a.kind << c.b.kind << " trial " << trial;
        }
        EXPECT_GT(compared, 150) << "kinds " << c.a.kind << c.b.kind;
    }
}

// Deep penetrations of every pair give finite contacts with unit normals.
TEST_F(RandomPairTest, DeepPenetrationsGiveFiniteAnswers)
{
    Random random(707);
    const Solid solids[] = {MakeSphere(0.5), MakeBox({0.5, 0.3, 0.7}), MakePlane(), MakeCylinder(0.4, 0.6),
                            MakeCone(1.2, 0.5, 0.0)};
    for (const Solid &a : solids)
        for (const Solid &b : solids) {
            if (a.kind == Solid::Plane && b.kind == Solid::Plane) continue;
            Setup(a, b);
            for (int trial = 0; trial < 100; ++trial) {
                Pose2(&random, 0.05);
                std::vector<CdxContact> contacts;
                Vec normal;
                EXPECT_EQ(1, Intersect(modelA, modelB, &contacts, &normal)) << "kinds " << a.kind << b.kind;
                for (const CdxContact &c : contacts) {
                    ASSERT_TRUE(Finite(c)) << "kinds " << a.kind << b.kind;
                    EXPECT_NEAR(1.0, Norm(ToVec(c.normal)), 1e-9);
                    EXPECT_LT(c.separation, 0.0);
                }
            }
        }
}
