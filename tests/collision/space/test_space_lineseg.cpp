// Line-segment queries over a space, against hits worked out by hand:
// balls by the quadratic, boxes by slabs in their own frame, the ground by
// its height, a composite by its two balls. Models outside the space,
// without geometry or of a type without a segment function are never hit.
#include "collision/collision_support.h"

#include "framework/CdxGeometryRecord.h"

namespace {

const PxReal kClose = 1e-9;
const PxReal kGroundHeight = -5.0;

struct Shape {
    CdxModelID model;
    enum Kind { kBall, kBox, kGround, kPair } kind;
    PxReal radius = 0;     // ball, and each ball of the pair
    PxVector3 half = {};   // box
    PxVector3 offset = {}; // pair: its balls at centre +- offset
};

// Entry parameter t in [0, 1] of p0 + t d into a ball, or -1.
PxReal BallEntry(const PxVector3 p0, const PxVector3 d, const PxVector3 centre, PxReal radius)
{
    PxVector3 m;
    PxV3Sub(m, p0, centre);
    PxReal a = PxV3Dot(d, d), b = PxV3Dot(m, d), c = PxV3Dot(m, m) - radius * radius;
    PxReal disc = b * b - a * c;
    if (c <= 0 || disc < 0) return -1;
    PxReal t = (-b - std::sqrt(disc)) / a;
    return t >= 0 && t <= 1 ? t : -1;
}

// Entry into a box by slabs in its frame.
PxReal BoxEntry(const PxVector3 p0, const PxVector3 p1, const PxReal tm[4][4], const PxVector3 half)
{
    PxVector3 a, b;
    PxV3MulTMInverse(a, p0, tm);
    PxV3MulTMInverse(b, p1, tm);
    PxReal enter = 0, leave = 1;
    for (int k = 0; k < 3; ++k) {
        PxReal d = b[k] - a[k];
        if (d == 0) {
            if (std::fabs(a[k]) > half[k]) return -1;
            continue;
        }
        PxReal t1 = (-half[k] - a[k]) / d, t2 = (half[k] - a[k]) / d;
        enter = std::max(enter, std::min(t1, t2));
        leave = std::min(leave, std::max(t1, t2));
    }
    return enter <= leave && enter > 0 ? enter : -1;
}

PxReal GroundEntry(const PxVector3 p0, const PxVector3 p1)
{
    if (!(p0[2] > kGroundHeight && p1[2] <= kGroundHeight)) return -1;
    return (p0[2] - kGroundHeight) / (p0[2] - p1[2]);
}

class LineSegScene : public SpaceTest {
protected:
    void Build()
    {
        space_ = Space(CdxAllAxes, 128, 1024);
        std::mt19937 rng(1205);
        auto uniform = [&](PxReal lo, PxReal hi) { return std::uniform_real_distribution<PxReal>(lo, hi)(rng); };
        pair_ = Composite(2, 10, 10, 10);
        Shape pair{pair_, Shape::kPair, 1.5, {0, 0, 0}, {2, 0, 0}};
        shapes_.push_back(pair);
        for (int side = -1; side <= 1; side += 2) {
            CdxModelID ball = Place(CdxSphereCreate(pair.radius));
            elements_.push_back(ball);
            placements_.push_back(Translation(side * pair.offset[0], 0, 0));
            ASSERT_EQ(1, CdxCompositeModelAddElement(pair_, ball, &placements_.back().tm));
        }
        for (int k = 0; k < 100; ++k) {
            PxReal x = uniform(4, 16), y = uniform(4, 16), z = uniform(4, 16);
            Shape s{k % 2 ? Ball(uniform(0.3, 1.5), x, y, z)
                          : Box(uniform(0.3, 1.5), uniform(0.3, 1.5), uniform(0.3, 1.5), x, y, z),
                    k % 2 ? Shape::kBall : Shape::kBox};
            if (k % 2) {
                s.radius = CdxSphereGetRadius(CdxModelGetGeometry(s.model));
            } else {
                PxV3Copy(s.half, CdxBoxGetRadii(CdxModelGetGeometry(s.model)));
                PxMatrix3 rotation;
                PxMatrix3FromEulerAngles(rotation, uniform(0, 6.3), uniform(0, 6.3), uniform(0, 6.3));
                for (int i = 0; i < 3; ++i)
                    for (int j = 0; j < 3; ++j) Transform(s.model)[i][j] = rotation[i][j];
            }
            shapes_.push_back(s);
        }
        shapes_.push_back(Shape{Plane(kGroundHeight), Shape::kGround});
        for (const Shape &s : shapes_) ASSERT_EQ(1, CdxSpaceInsertModel(space_, s.model));
        // Never hit: a ball outside the space, a model without geometry
        // and one of a type without a segment function.
        Ball(100, 10, 10, 10);
        ASSERT_EQ(1, CdxSpaceInsertModel(space_, Place(nullptr)));
        CdxGeometryTypeID blob = CdxGeometryRegisterType("Blob", nullptr, nullptr, nullptr, nullptr, nullptr,
                                                         nullptr);
        CdxGeometryInitObject(&blob_, blob);
        ASSERT_EQ(1, CdxSpaceInsertModel(space_, Place(&blob_)));
    }

    // Parameter of the hand-worked entry, or -1; element is the ball of
    // the composite that was entered first.
    PxReal Entry(const Shape &s, const PxVector3 p0, const PxVector3 p1, CdxModelID *element) const
    {
        PxVector3 d;
        PxV3Sub(d, p1, p0);
        const PxReal(*tm)[4] = *CdxModelGetTransformPtr(s.model);
        PxVector3 centre = {tm[3][0], tm[3][1], tm[3][2]};
        switch (s.kind) {
        case Shape::kBall: return BallEntry(p0, d, centre, s.radius);
        case Shape::kBox: return BoxEntry(p0, p1, tm, s.half);
        case Shape::kGround: return GroundEntry(p0, p1);
        case Shape::kPair: break;
        }
        PxReal best = -1;
        for (int side = 0; side < 2; ++side) {
            if (!acceptElement_[side]) continue;
            PxVector3 c;
            PxV3AddScaled(c, centre, s.offset, side ? 1.0 : -1.0);
            PxReal t = BallEntry(p0, d, c, s.radius);
            if (t >= 0 && (best < 0 || t < best)) {
                best = t;
                *element = elements_[side];
            }
        }
        return best;
    }

    // A segment between two points on a sphere around the room, starting
    // above the ground and outside every model.
    void RandomSegment(std::mt19937 &rng, PxVector3 p0, PxVector3 p1)
    {
        std::normal_distribution<PxReal> normal;
        for (PxReal *p : {p0, p1}) {
            PxVector3 u = {normal(rng), normal(rng), normal(rng)};
            PxV3Normalize(u);
            PxV3Set(p, 10 + 30 * u[0], 10 + 30 * u[1], 10 + 30 * u[2]);
        }
        // Aim through the room so that most segments hit something.
        p0[2] = std::fabs(p0[2] - 10) + 10;
        PxV3Set(p1, 20 - p0[0] + normal(rng) * 3, 20 - p0[1] + normal(rng) * 3, 20 - p0[2] + normal(rng) * 6);
    }

    void ExpectHit(const CdxLineSegResult &hit, const Shape &s, PxReal t, const PxVector3 p0, const PxVector3 p1)
    {
        PxVector3 point;
        PxV3Sub(point, p1, p0);
        PxReal length = PxV3Length(point);
        PxV3AddScaled(point, p0, point, t);
        EXPECT_EQ(s.model, hit.model);
        EXPECT_NEAR(t * length, hit.distance, kClose * length);
        EXPECT_NEAR(0, PxV3Distance(point, hit.point), kClose * length);
        EXPECT_NEAR(1, PxV3Length(hit.normal), kClose);
        PxVector3 direction;
        PxV3Sub(direction, p1, p0);
        EXPECT_LT(PxV3Dot(hit.normal, direction), 0) << "the normal faces the segment's start";
    }

    CdxSpaceID space_ = nullptr;
    CdxModelID pair_ = nullptr;
    std::vector<CdxModelID> elements_;
    std::vector<Shape> shapes_;
    std::deque<Pose> placements_;
    CdxGeometry blob_ = {};
    bool acceptElement_[2] = {true, true};
};

} // namespace

namespace {

// Rejects the models in the set given as data.
int RejectListed(CdxModelID model, void *data)
{
    return !static_cast<std::set<CdxModelID> *>(data)->count(model);
}

} // namespace

// Each random segment: every hit listed in model order at its hand-worked
// entry (a short list keeps the first ones), and the first hit the nearest,
// among all models or among those the filter accepts.
TEST_F(LineSegScene, EveryHitIsListedInModelOrderAndTheFirstIsTheNearestTheFilterAccepts)
{
    ASSERT_NO_FATAL_FAILURE(Build());
    std::set<CdxModelID> rejected = {elements_[0]};
    for (size_t k = 1; k < shapes_.size(); k += 3) rejected.insert(shapes_[k].model);
    std::mt19937 rng(42);
    const int kCapacity = 128;
    CdxLineSegResult results[kCapacity];
    int hits = 0, groundHits = 0, pairHits = 0, misses = 0;
    for (int segment = 0; segment < 300; ++segment) {
        PxVector3 p0, p1;
        RandomSegment(rng, p0, p1);
        acceptElement_[0] = true;
        int count = CdxSpaceGetLineSegIntersections(space_, p0, p1, results, kCapacity);
        int k = 0;
        for (const Shape &s : shapes_) {
            CdxModelID element = nullptr;
            PxReal t = Entry(s, p0, p1, &element);
            if (t < 0) continue;
            ASSERT_LT(k, count) << "segment " << segment << " misses a model";
            ExpectHit(results[k], s, t, p0, p1);
            EXPECT_EQ(element, results[k].element);
            groundHits += s.kind == Shape::kGround;
            pairHits += s.kind == Shape::kPair;
            ++k;
        }
        EXPECT_EQ(k, count) << "segment " << segment;
        hits += count;
        if (count >= 2) {
            CdxLineSegResult two[2];
            ASSERT_EQ(2, CdxSpaceGetLineSegIntersections(space_, p0, p1, two, 2));
            EXPECT_EQ(results[0].model, two[0].model);
            EXPECT_EQ(results[1].model, two[1].model);
        }
        for (bool filtered : {false, true}) {
            acceptElement_[0] = !filtered;
            const Shape *nearest = nullptr;
            PxReal nearestT = 2;
            CdxModelID nearestElement = nullptr;
            for (const Shape &s : shapes_) {
                CdxModelID element = nullptr;
                PxReal t = Entry(s, p0, p1, &element);
                if (t < 0 || t >= nearestT || (filtered && rejected.count(s.model))) continue;
                nearest = &s;
                nearestT = t;
                nearestElement = element;
            }
            CdxLineSegResult hit;
            int found = filtered ? CdxSpaceGetLineSegFirstEnabledIntersection(space_, p0, p1, RejectListed, &rejected,
                                                                              &hit)
                                 : CdxSpaceGetLineSegFirstIntersection(space_, p0, p1, &hit);
            ASSERT_EQ(nearest != nullptr, found != 0) << "segment " << segment;
            misses += !nearest;
            if (!nearest) continue;
            ExpectHit(hit, *nearest, nearestT, p0, p1);
            EXPECT_EQ(nearestElement, hit.element);
        }
    }
    EXPECT_GT(hits, 600);
    EXPECT_GT(groundHits, 30);
    EXPECT_GT(pairHits, 10);
    EXPECT_LT(misses, 100) << "most segments hit something";

    PxVector3 p0 = {-50, -50, 100}, p1 = {50, 50, 100};
    CdxLineSegResult hit;
    EXPECT_EQ(0, CdxSpaceGetLineSegFirstIntersection(space_, p0, p1, &hit)) << "high above the room";
    EXPECT_EQ(0, CdxSpaceGetLineSegIntersections(space_, p0, p1, &hit, 1));
}
