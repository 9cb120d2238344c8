// Line-segment queries over a space against brute force: every model's
// own segment function (each checked against its solid where the
// primitives are tested) in model order, and for a composite the nearest of
// its two balls by the sphere's function. Models outside the space, without
// geometry or of a type without a segment function are never hit.
#include "collision/collision_support.h"

#include "framework/CdxGeometryRecord.h"

namespace {

const PxReal kClose = 1e-9;

class LineSegScene : public SpaceTest {
protected:
    // A composite of two balls first, then balls and turned boxes, then the
    // ground at z = -5.
    void Build()
    {
        space_ = Space(CdxAllAxes, 128, 1024);
        std::mt19937 rng(1205);
        auto uniform = [&](PxReal lo, PxReal hi) { return std::uniform_real_distribution<PxReal>(lo, hi)(rng); };
        pair_ = Composite(2, 10, 10, 10);
        models_.push_back(pair_);
        for (int side = -1; side <= 1; side += 2) {
            elements_.push_back(Place(CdxSphereCreate(1.5)));
            placements_.push_back(Translation(2.0 * side, 0, 0));
            ASSERT_EQ(1, CdxCompositeModelAddElement(pair_, elements_.back(), &placements_.back().tm));
        }
        CdxModelUpdate(pair_);
        for (int k = 0; k < 100; ++k) {
            PxReal x = uniform(4, 16), y = uniform(4, 16), z = uniform(4, 16);
            if (k % 2) {
                models_.push_back(Ball(uniform(0.3, 1.5), x, y, z));
                continue;
            }
            models_.push_back(Box(uniform(0.3, 1.5), uniform(0.3, 1.5), uniform(0.3, 1.5), x, y, z));
            PxMatrix3 rotation;
            PxMatrix3FromEulerAngles(rotation, uniform(0, 6.3), uniform(0, 6.3), uniform(0, 6.3));
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) Transform(models_.back())[i][j] = rotation[i][j];
        }
        models_.push_back(Plane(-5.0));
        for (CdxModelID model : models_) ASSERT_EQ(1, CdxSpaceInsertModel(space_, model));
        // Never hit: a ball outside the space, a model without geometry
        // and one of a type without a segment function.
        Ball(100, 10, 10, 10);
        ASSERT_EQ(1, CdxSpaceInsertModel(space_, Place(nullptr)));
        CdxGeometryTypeID blob = CdxGeometryRegisterType("Blob", nullptr, nullptr, nullptr, nullptr, nullptr,
                                                         nullptr);
        CdxGeometryInitObject(&blob_, blob);
        ASSERT_EQ(1, CdxSpaceInsertModel(space_, Place(&blob_)));
    }

    // The model's hit by its own type's function; the composite's is the
    // nearer of its accepted balls.
    bool Hit(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *hit) const
    {
        if (model != pair_)
            return CdxLineSegGetIntersectFnPtr(CdxGeometryGetTypeId(CdxModelGetGeometry(model)))(model, p0, p1, hit);
        bool found = false;
        for (int side = 0; side < 2; ++side) {
            CdxLineSegResult ball = {};
            if (!acceptElement_[side] || !CdxSphereLineSegIntersect(elements_[side], p0, p1, &ball)) continue;
            if (found && ball.distance >= hit->distance) continue;
            *hit = ball;
            hit->model = pair_;
            hit->element = elements_[side];
            found = true;
        }
        return found;
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

    static void ExpectHit(const CdxLineSegResult &want, const CdxLineSegResult &hit)
    {
        EXPECT_EQ(want.model, hit.model);
        EXPECT_EQ(want.element, hit.element);
        EXPECT_NEAR(want.distance, hit.distance, kClose);
        EXPECT_NEAR(0, PxV3Distance(want.point, hit.point), kClose);
        EXPECT_NEAR(0, PxV3Distance(want.normal, hit.normal), kClose);
    }

    CdxSpaceID space_ = nullptr;
    CdxModelID pair_ = nullptr;
    std::vector<CdxModelID> models_, elements_;
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

// Each random segment: every hit listed in model order (a short list keeps
// the first ones), and the first hit the nearest, among all models or among
// those the filter accepts.
TEST_F(LineSegScene, EveryHitIsListedInModelOrderAndTheFirstIsTheNearestTheFilterAccepts)
{
    ASSERT_NO_FATAL_FAILURE(Build());
    std::set<CdxModelID> rejected = {elements_[0]};
    for (size_t k = 1; k < models_.size(); k += 3) rejected.insert(models_[k]);
    std::mt19937 rng(42);
    const int kCapacity = 128;
    CdxLineSegResult results[kCapacity];
    int hits = 0, groundHits = 0, pairHits = 0, misses = 0;
    for (int segment = 0; segment < 300; ++segment) {
        SCOPED_TRACE(segment);
        PxVector3 p0, p1;
        RandomSegment(rng, p0, p1);
        if (segment == 0) { // through both of the composite's balls, the first one first
            PxV3Set(p0, -5, 10, 10);
            PxV3Set(p1, 25, 10, 10);
        }
        acceptElement_[0] = true;
        int count = CdxSpaceGetLineSegIntersections(space_, p0, p1, results, kCapacity);
        int k = 0;
        for (CdxModelID model : models_) {
            CdxLineSegResult want = {};
            if (!Hit(model, p0, p1, &want)) continue;
            ASSERT_LT(k, count) << "a model missed";
            ExpectHit(want, results[k++]);
            groundHits += model == models_.back();
            pairHits += model == pair_;
        }
        EXPECT_EQ(k, count);
        hits += count;
        if (count >= 2) {
            CdxLineSegResult two[2];
            ASSERT_EQ(2, CdxSpaceGetLineSegIntersections(space_, p0, p1, two, 2));
            EXPECT_EQ(results[0].model, two[0].model);
            EXPECT_EQ(results[1].model, two[1].model);
        }
        for (bool filtered : {false, true}) {
            acceptElement_[0] = !filtered;
            CdxLineSegResult nearest = {}, hit;
            for (CdxModelID model : models_) {
                CdxLineSegResult want = {};
                if (filtered && rejected.count(model)) continue;
                if (Hit(model, p0, p1, &want) && (!nearest.model || want.distance < nearest.distance)) nearest = want;
            }
            int found = filtered ? CdxSpaceGetLineSegFirstEnabledIntersection(space_, p0, p1, RejectListed, &rejected,
                                                                              &hit)
                                 : CdxSpaceGetLineSegFirstIntersection(space_, p0, p1, &hit);
            ASSERT_EQ(nearest.model != nullptr, found != 0);
            misses += !found;
            if (found) ExpectHit(nearest, hit);
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
