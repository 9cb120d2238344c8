// Every primitive pair under seeded random poses, through one harness: the
// answer is checked against a truth computed here independently (exact
// signed distances, the lowest point over a plane, a separating-axis test
// written in world coordinates, or distance bounds from sampled surfaces
// and support-point projections), and against invariants that hold for
// every pair: contacts finite, on both surfaces, with unit normals pointing
// from the second model towards the first; the same answer with the models
// given the other way round; a tiny move changing the depth by at most the
// move; deep overlaps still answered.
#include "collision/collision_support.h"

namespace {

const double kInf = std::numeric_limits<double>::infinity();

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

// Lowest signed height over the plane (pose, local z up) of a box, or of a
// cylinder or cone (rims of radius r at local heights z).
double Lowest(const Solid &s, const Pose &pose, const Pose &plane)
{
    Vec up = plane.Axis(2);
    double centre = MakePlane().Sd(pose.Origin(), plane), lowest = kInf;
    if (s.kind == Solid::Box) {
        double reach = 0;
        for (int i = 0; i < 3; ++i) reach += std::fabs(Dot(pose.Axis(i), up)) * s.half[i];
        return centre - reach;
    }
    double along = Dot(pose.Axis(2), up), across = std::sqrt(std::max(0.0, 1 - along * along));
    const bool cone = s.kind == Solid::Cone;
    const double rims[2][2] = {{cone ? s.rb : s.r, cone ? s.zb : -s.hh}, {cone ? s.rt : s.r, cone ? s.zt : s.hh}};
    for (const auto &rim : rims) lowest = std::min(lowest, centre + rim[1] * along - rim[0] * across);
    return lowest;
}

enum class Truth {
    Exact,  // b is a sphere: the other's signed distance at its centre, minus the radius
    Lowest, // b is a plane: a's lowest point
    Sat,    // two boxes
    Bounds  // distance bounds
};

struct PairCase {
    Solid a, b;
    Truth truth;
    int trials;
    bool tinyMove; // the depth is continuous in the poses
};

class RandomPairTest : public PrimitiveTest {
protected:
    const double tolerance = 0.001; // each model's; the pair's is twice this

    void Run(const PairCase &c, Random *random)
    {
        SCOPED_TRACE(testing::Message() << "kinds " << c.a.kind << " " << c.b.kind);
        a = c.a, b = c.b;
        modelA = Place(a.Create(), Identity());
        modelB = Place(b.Create(), Identity());
        CdxModelSetContactTolerance(modelA, tolerance);
        CdxModelSetContactTolerance(modelB, tolerance);
        const double margin = 0.01, eps = 2 * tolerance;
        int touching = 0, apart = 0, compared = 0;
        for (int trial = 0; trial < c.trials; ++trial) {
            SCOPED_TRACE(trial);
            // One trial in ten is a deep overlap.
            const bool deep = trial % 10 == 9;
            if (c.truth == Truth::Lowest) {
                Move(modelB, random->RandomPose(random->InBox(0.2)));
                double height = deep ? random->Uniform(-0.2, 0.0) : random->Uniform(0.0, 1.0);
                Move(modelA, random->RandomPose(Add(PB().Origin(), Mul(PB().Axis(2), height))));
            } else {
                Move(modelA, random->RandomPose({0, 0, 0}));
                Move(modelB, random->RandomPose(random->InBox(deep ? 0.05 : 1.3)));
            }
            double lower = -kInf, upper = kInf;
            switch (c.truth) {
            case Truth::Exact: lower = upper = a.Sd(PB().Origin(), PA()) - b.r; break;
            case Truth::Lowest: lower = upper = Lowest(a, PA(), PB()); break;
            case Truth::Sat: lower = upper = BoxBoxSat(a, PA(), b, PB()); break;
            case Truth::Bounds: {
                Bounds bounds = DistanceBounds(a, PA(), b, PB(), random);
                lower = bounds.lower, upper = bounds.upper;
            }
            }
            std::vector<CdxContact> contacts, swapped;
            Vec normal, swappedNormal;
            CdxModelPair pair, swappedPair;
            int touch = Intersect(modelA, modelB, &contacts, &normal, nullptr, 64, &pair);
            ASSERT_EQ(touch, Intersect(modelB, modelA, &swapped, &swappedNormal, nullptr, 64, &swappedPair));
            if (deep) {
                ASSERT_EQ(1, touch) << "truth " << upper;
            }
            if (upper < eps - margin || (c.truth != Truth::Bounds && upper <= eps)) {
                ASSERT_EQ(1, touch) << "truth " << upper;
                ++touching;
            } else if (lower > eps + margin || (c.truth != Truth::Bounds && c.truth != Truth::Sat && lower > eps)) {
                ASSERT_EQ(0, touch) << "truth " << lower;
                ++apart;
            }
            // An overlap a truth states exactly has its contacts.
            if (c.truth != Truth::Bounds && upper < -1e-6) {
                ASSERT_FALSE(contacts.empty()) << "truth " << upper;
            }
            if (contacts.empty()) continue;
            const double deepest = Deepest(contacts);
            const Vec n = NormalFromBToA(modelA, pair, normal);
            // Given the other way round: the same answer (deep overlaps of
            // two boxes may settle on another axis).
            if (!deep && deepest > -0.05) {
                if (a.kind != b.kind) {
                    ASSERT_EQ(contacts.size(), swapped.size());
                }
                EXPECT_NEAR(1.0, Dot(n, NormalFromBToA(modelA, swappedPair, swappedNormal)), 1e-9);
                EXPECT_NEAR(deepest, Deepest(swapped), 1e-9);
            }
            ASSERT_TRUE(AllFinite(contacts, normal));
            for (const CdxContact &contact : contacts) {
                EXPECT_NEAR(1.0, Norm(ToVec(contact.normal)), 1e-9);
                EXPECT_NEAR(1.0, Dot(ToVec(contact.normal), normal), 1e-9);
                // On both surfaces; between boxes and curved solids only in
                // clear overlaps.
                if (deep || ((c.truth == Truth::Bounds || c.truth == Truth::Sat) && upper > eps - margin)) continue;
                Vec p = ToVec(contact.position);
                EXPECT_LE(std::fabs(a.Sd(p, PA())), std::fabs(deepest) + 1e-7) << "on a's surface";
                EXPECT_LE(std::fabs(b.Sd(p, PB())), std::fabs(deepest) + 1e-7) << "on b's surface";
            }
            if (deep) continue;
            // Exact depths; between boxes only shallow ones (the deepest
            // point of a deeper overlap may lie outside the clip).
            const bool exact = c.truth == Truth::Exact || c.truth == Truth::Lowest ||
                               (c.truth == Truth::Sat && upper < 0 && upper > -0.05);
            if (exact) {
                EXPECT_NEAR(upper, deepest, c.truth == Truth::Lowest ? 1e-9 : 1e-9) << "the true depth";
                ++compared;
            }
            // The normal: against a sphere, from its centre's nearest point
            // on a; on a plane, the plane's; otherwise a is no nearer to b
            // along the normal than against it.
            if (c.truth == Truth::Exact) {
                ASSERT_EQ(1u, contacts.size());
                Vec away = a.kind == Solid::Plane ? PA().Axis(2) : Gradient(a, PA(), PB().Origin());
                EXPECT_NEAR(-1.0, Dot(n, away) / Norm(away), 1e-6) << "from the sphere towards a";
                // Between two spheres the point divides the gap instead.
                Vec nearest = Add(PB().Origin(), Mul(n, b.r));
                if (a.kind != Solid::Sphere) {
                    EXPECT_NEAR(0.0, Norm(Sub(ToVec(contacts[0].position), nearest)), 1e-9) << "the sphere's point";
                }
            } else if (c.truth == Truth::Lowest) {
                EXPECT_NEAR(1.0, Dot(n, PB().Axis(2)), 1e-12) << "the plane's normal";
            } else if (deepest > -0.05) {
                EXPECT_GE(SepAlong(a, PA(), b, PB(), n), SepAlong(a, PA(), b, PB(), Mul(n, -1.0)));
            }
            if (!c.tinyMove) continue;
            // Moved by 1e-4, the depth changes by at most that.
            const double step = 1e-4;
            Pose moved = PB();
            moved.SetOrigin(Add(moved.Origin(), Mul(random->UnitVector(), step)));
            Move(modelB, moved);
            std::vector<CdxContact> after;
            Intersect(modelA, modelB, &after);
            if (!after.empty()) {
                EXPECT_LE(std::fabs(Deepest(after) - deepest), step * (1 + 1e-6));
            }
        }
        EXPECT_GT(touching, c.trials / 10);
        EXPECT_GT(apart, c.truth == Truth::Lowest ? 0 : c.trials / 10);
        if (c.truth != Truth::Bounds) {
            EXPECT_GT(compared, c.trials / 25);
        }
    }

    const Pose &PA() { return PoseOf(modelA); }
    const Pose &PB() { return PoseOf(modelB); }

    Solid a, b;
    CdxModelID modelA = nullptr, modelB = nullptr;
};

} // namespace

TEST_F(RandomPairTest, EveryPairAnswersTheTruthAndKeepsItsInvariants)
{
    Random random(101);
    const Solid box = MakeBox({0.5, 0.3, 0.7}), cylinder = MakeCylinder(0.4, 0.6), cone = MakeCone(1.2, 0.5, 0.0);
    const Solid sphere = MakeSphere(0.35);
    const PairCase cases[] = {
        {MakeSphere(0.6), sphere, Truth::Exact, 1000, true},
        {MakePlane(), sphere, Truth::Exact, 1000, true},
        {box, sphere, Truth::Exact, 1000, true},
        {cylinder, sphere, Truth::Exact, 1000, true},
        {MakeCone(1.4, 0.6, 0.0), sphere, Truth::Exact, 1000, true},
        {MakeCone(1.2, 0.5, 0.25), sphere, Truth::Exact, 1000, false},
        {box, MakePlane(), Truth::Lowest, 1000, true},
        {cylinder, MakePlane(), Truth::Lowest, 1000, true},
        {box, MakeBox({0.4, 0.6, 0.2}), Truth::Sat, 3000, true},
        {MakeBox({0.5, 0.3, 0.4}), MakeCylinder(0.35, 0.5), Truth::Bounds, 300, false},
        {MakeCylinder(0.4, 0.5), MakeCylinder(0.3, 0.6), Truth::Bounds, 300, false},
        {cone, MakeBox({0.4, 0.3, 0.5}), Truth::Bounds, 300, false},
        {cone, MakeCone(1.0, 0.4, 0.2), Truth::Bounds, 300, false},
        {cone, MakeCylinder(0.35, 0.5), Truth::Bounds, 300, false},
    };
    for (const PairCase &c : cases) Run(c, &random);
}
