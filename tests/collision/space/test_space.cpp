// Collision spaces: creation, model slots, a pair ending in the bracket it
// began, removal, a model back from minus infinity, destroying a model
// still in a space and the capacity errors. Which pairs are listed
// (touching boxes, freezing, pair filtering, swept and NaN boxes, every
// axis mask, models entering together or one by one, reading while the
// reader changes the space) and the record a pair keeps is the brute-force
// test's.
#include "collision/collision_support.h"

TEST_F(SpaceTest, CreationRefusesBadAxisMasksAndCapacities)
{
    const int refused[5][3] = {
        {0, 10, 10}, {8, 10, 10}, {CdxAllAxes, 0, 10}, {CdxAllAxes, 65537, 10}, {CdxAllAxes, 10, 0}};
    for (const auto &r : refused) EXPECT_EQ(nullptr, Space(r[0], r[1], r[2])) << r[0] << " " << r[1] << " " << r[2];
    CdxSpaceID space = Space(CdxAllAxes, 1, 1);
    ASSERT_NE(nullptr, space);
    EXPECT_TRUE(CdxSpaceIsChanging(space)) << "a new space is inside an update bracket";
}

TEST_F(SpaceTest, IdsAreHandedOutInOrderAndTheLowestFreedIdIsReusedFirst)
{
    CdxSpaceID space = Space(CdxAllAxes, 8, 8), other = Space(CdxAllAxes, 8, 8);
    CdxModelID a = Ball(1, 0, 0, 0), b = Ball(1, 5, 0, 0), c = Ball(1, 10, 0, 0), d = Ball(1, 15, 0, 0);
    for (CdxModelID m : {a, b, c}) ASSERT_EQ(1, CdxSpaceInsertModel(space, m));
    EXPECT_EQ((std::vector<int>{0, 1, 2}),
              (std::vector<int>{CdxModelGetSpaceId(a), CdxModelGetSpaceId(b), CdxModelGetSpaceId(c)}));
    EXPECT_EQ(1, CdxSpaceInsertModel(space, b)) << "already in this space";
    EXPECT_EQ(0, CdxSpaceInsertModel(other, b)) << "in another space";
    ASSERT_EQ(1, CdxSpaceRemoveModel(b));
    EXPECT_EQ(-1, CdxModelGetSpaceId(b));
    EXPECT_EQ(0, CdxSpaceRemoveModel(b)) << "in no space any more";
    ASSERT_EQ(1, CdxSpaceInsertModel(space, d));
    EXPECT_EQ((std::vector<CdxModelID>{a, d, c}), ModelsIn(space)) << "models in id order, the freed id reused";
    ASSERT_EQ(1, CdxSpaceRemoveModel(a));
    ASSERT_EQ(1, CdxSpaceRemoveModel(c));
    ASSERT_EQ(1, CdxSpaceInsertModel(space, c));
    EXPECT_EQ(0, CdxModelGetSpaceId(c)) << "the lowest free id, whatever the order of removal";
}

TEST_F(SpaceTest, APairThatBeginsAndEndsInOneBracketIsNeverReported)
{
    CdxSpaceID space = Space(CdxAllAxes, 4, 4);
    CdxModelID a = Ball(1, 0, 0, 0), b = Ball(1, 5, 0, 0);
    for (CdxModelID m : {a, b}) CdxSpaceInsertModel(space, m);
    Step(space);
    MoveTo(b, 1, 0, 0);
    CdxSpaceUpdateModel(b);
    EXPECT_TRUE(CdxSpacePairIsNearby(a, b));
    MoveTo(b, 5, 0, 0);
    Transitions t = Step(space);
    EXPECT_TRUE(t.records.empty());

    // The reverse: an established pair that parts and meets again stays.
    MoveTo(b, 1, 0, 0);
    CdxModelPair *record = Step(space).records[PairKey(a, b)];
    MoveTo(b, 5, 0, 0);
    CdxSpaceUpdateModel(b);
    MoveTo(b, 1.5, 0, 0);
    t = Step(space);
    EXPECT_EQ(std::set<ModelPairKey>({PairKey(a, b)}), t.staying);
    EXPECT_EQ(record, t.records[PairKey(a, b)]);
    EXPECT_TRUE(t.hello.empty() && t.goodbye.empty());
}

// Destroying a model that is still in a space warns and takes it out: the
// space no longer lists it, its pair ends with a goodbye that no longer
// names it, and the pool record, handed out again, starts outside every
// space and pairs only where its new box says.
TEST_F(SpaceTest, DestroyingAModelStillInASpaceWarnsAndTakesItOut)
{
    CdxSpaceID space = Space(CdxAllAxes, 4, 4);
    CdxModelID a = Ball(1, 0, 0, 0), c = Ball(1, 0, 1, 0);
    for (CdxModelID m : {a, c}) CdxSpaceInsertModel(space, m);
    Pose nearA = Translation(1, 0, 0), farAway = Translation(100, 0, 0);
    CdxGeometryID ball = CdxSphereCreate(1);
    CdxModelID b = CdxModelCreate(ball);
    CdxModelSetTransformPtr(b, &nearA.tm);
    CdxSpaceInsertModel(space, b);
    EXPECT_EQ(3u, Step(space).hello.size());
    EXPECT_EQ(std::set<ModelPairKey>({PairKey(a, b), PairKey(a, c), PairKey(b, c)}), Step(space).staying);

    CdxModelDestroy(b);
    ASSERT_EQ(1u, warnings.size());
    EXPECT_EQ("Cdx: CdxModelDestroy: model being destroyed while still in an CdxSpace.\n", warnings[0]);
    EXPECT_EQ(2, CdxSpaceGetModelCount(space));
    EXPECT_EQ((std::vector<CdxModelID>{a, c}), ModelsIn(space));

    // Its two pairs end; their records name only the model that stays.
    CdxSpaceUpdateAll(space);
    CdxSpaceEndChanges(space);
    Transitions t = Read(space, 64, true);
    EXPECT_EQ(std::set<ModelPairKey>({PairKey(a, c)}), t.staying);
    ASSERT_EQ(2u, t.goodbye.size());
    std::set<CdxModelID> remaining;
    for (const ModelPairKey &key : t.goodbye) {
        const CdxModelPair *record = t.records[key];
        EXPECT_TRUE(record->model1 == nullptr || record->model2 == nullptr);
        EXPECT_NE(b, record->model1);
        EXPECT_NE(b, record->model2);
        remaining.insert(record->model1 ? record->model1 : record->model2);
    }
    EXPECT_EQ((std::set<CdxModelID>{a, c}), remaining);
    CdxSpaceBeginChanges(space);

    // The pool hands the record out again, outside any space; placed far
    // away it meets nothing, and its slot is free for it.
    CdxModelID again = CdxModelCreate(ball);
    ASSERT_EQ(b, again) << "the returned record comes back first";
    EXPECT_EQ(nullptr, CdxModelGetSpace(again));
    EXPECT_EQ(-1, CdxModelGetSpaceId(again));
    CdxModelSetTransformPtr(again, &farAway.tm);
    ASSERT_EQ(1, CdxSpaceInsertModel(space, again));
    EXPECT_EQ(2, CdxModelGetSpaceId(again)) << "the freed id";
    t = Step(space);
    EXPECT_TRUE(t.hello.empty());
    EXPECT_TRUE(t.goodbye.empty());
    EXPECT_EQ(std::set<ModelPairKey>({PairKey(a, c)}), t.staying);
    CdxSpaceRemoveModel(again);
    CdxModelDestroy(again);
    CdxGeometryDestroy(ball);
    EXPECT_EQ(1u, warnings.size()) << "a model out of its space goes quietly";
}

TEST_F(SpaceTest, TransitionsComeOneGoodbyeAtATimeWithAllHellosThatFit)
{
    CdxSpaceID space = Space(CdxAllAxes, 8, 16);
    CdxModelID centre = Ball(1, 0, 0, 0);
    std::vector<CdxModelID> leaving, arriving;
    CdxSpaceInsertModel(space, centre);
    for (int k = 0; k < 3; ++k) {
        leaving.push_back(Ball(1, 0, 0.5 * k, 0));
        arriving.push_back(Ball(1, 10, 0.5 * k, 0));
        CdxSpaceInsertModel(space, leaving.back());
        CdxSpaceInsertModel(space, arriving.back());
    }
    Step(space);
    for (int k = 0; k < 3; ++k) {
        MoveTo(leaving[k], 30, 3.0 * k, 0);
        MoveTo(arriving[k], 0.5, 0.5 * k, 0.5);
    }
    CdxSpaceUpdateAll(space);
    CdxSpaceEndChanges(space);
    CdxModelPairContainer *container = CdxModelPairContainerCreate(64);
    CdxSpacePairIterator iterator;
    CdxSpacePairIteratorBegin(space, &iterator);
    std::vector<int> goodbyes, hellos;
    int more = 1;
    while (more) {
        CdxModelPairContainerReset(container);
        more = CdxSpaceGetTransitions(space, &iterator, container);
        goodbyes.push_back(CdxModelPairContainerGetGoodbyeCount(container));
        hellos.push_back(CdxModelPairContainerGetHelloCount(container));
        EXPECT_EQ(0, CdxModelPairContainerGetStayingCount(container));
    }
    // 6 goodbyes (the leaving ones part from the centre and from each
    // other), 3 hellos (the arriving ones meet the centre).
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1, 1}), goodbyes);
    EXPECT_EQ((std::vector<int>{3, 0, 0, 0, 0, 0}), hellos);
    CdxModelPairContainerDestroy(container);
    CdxSpaceBeginChanges(space);
}

// A pair of two frozen models waits apart from the others. When a model
// thaws, its pairs are read again in their former places (the order of
// contacts and solver rows), whatever thaws in what order; when it thaws
// and moves away within one update, they end.
TEST_F(SpaceTest, APairWhoseModelThawsIsReadAgainInItsFormerPlace)
{
    CdxSpaceID space = Space(CdxAllAxes, 12, 64);
    std::vector<CdxModelID> models;
    for (int row = 0; row < 2; ++row, Step(space)) // a row a step: pairs in no order of ids
        for (int k = 0; k < 6; ++k) {
            models.push_back(Ball(1, 1.5 * (row ? 6 - k : k), 1.5 * row, 0));
            CdxSpaceInsertModel(space, models.back());
        }
    const std::vector<ModelPairKey> all = Step(space, 4, false).stayingInOrder;
    ASSERT_EQ(25u, all.size()) << "5 in each row, 15 across";
    for (CdxModelID m : models) CdxSpaceFreezeModel(m);
    std::vector<CdxModelID> thawing = models;
    std::shuffle(thawing.begin(), thawing.end(), std::mt19937(11));
    for (size_t thawed = 0; thawed <= thawing.size(); thawed += 3) {
        std::vector<ModelPairKey> expected;
        auto isThawed = [&](CdxModelID m) {
            return std::find(thawing.begin(), thawing.begin() + thawed, m) != thawing.begin() + thawed;
        };
        for (const ModelPairKey &key : all)
            if (isThawed(key.first) || isThawed(key.second)) expected.push_back(key);
        EXPECT_EQ(expected, Step(space, 4, false).stayingInOrder) << thawed << " models thawed";
        for (size_t k = thawed; k < thawed + 3 && k < thawing.size(); ++k) CdxSpaceUnfreezeModel(thawing[k]);
    }

    for (CdxModelID m : models) CdxSpaceFreezeModel(m);
    Step(space);
    CdxSpaceUnfreezeModel(models[0]);
    MoveTo(models[0], -10, 0, 0);
    Transitions t = Step(space);
    EXPECT_EQ((std::set<ModelPairKey>{PairKey(models[0], models[1]), PairKey(models[0], models[11])}), t.goodbye);
    EXPECT_EQ(23u, t.frozen.size());
}

// Staying pairs are read in the order they joined: in the update after
// their hello, in the hellos' order. A pair that ends leaves its place and
// one that thaws takes its old place again. Balls wander, freeze and thaw,
// leave and come back (in updates of their own: a pair that ends and
// begins again within one update silently takes the last place), and
// every other reading stops every three pairs.
TEST_F(SpaceTest, StayingPairsAreReadInTheOrderTheyJoined)
{
    CdxSpaceID space = Space(CdxAllAxes, 48, 600);
    std::mt19937 rng(5);
    auto uniform = [&](PxReal low, PxReal high) { return std::uniform_real_distribution<PxReal>(low, high)(rng); };
    struct Roamer {
        CdxModelID model;
        PxVector3 at;
        bool inside, frozen, placed;
    };
    std::vector<Roamer> balls(48);
    for (Roamer &r : balls) {
        r = {Ball(0.6, 0, 0, 0), {uniform(0, 6), uniform(0, 6), uniform(0, 6)}, true, false, false};
        CdxSpaceInsertModel(space, r.model);
    }
    std::map<ModelPairKey, int> joined;
    std::vector<ModelPairKey> lastHellos;
    int joins = 0, goodbyes = 0, thaws = 0, leaves = 0;
    for (int update = 0; update < 300; ++update) {
        for (Roamer &r : balls) {
            if (update % 5 == 4) { // membership
                if (uniform(0, 1) > 0.1) continue;
                leaves += r.inside ? 1 : 0;
                r.inside ? CdxSpaceRemoveModel(r.model) : CdxSpaceInsertModel(space, r.model);
                r.inside = !r.inside;
                r.frozen = r.placed = false;
                continue;
            }
            if (r.inside && !r.frozen)
                for (int k = 0; k < 3; ++k) r.at[k] = std::min(6.0, std::max(0.0, r.at[k] + uniform(-0.3, 0.3)));
            MoveTo(r.model, r.at[0], r.at[1], r.at[2]);
            if (r.placed && uniform(0, 1) < (r.frozen ? 0.1 : 0.03)) {
                r.frozen = !r.frozen;
                thaws += r.frozen ? 0 : 1;
                (r.frozen ? CdxSpaceFreezeModel : CdxSpaceUnfreezeModel)(r.model);
            }
        }
        Transitions t = Step(space, update % 2 ? 3 : 64, false);
        for (Roamer &r : balls) r.placed = r.inside;
        for (const ModelPairKey &key : lastHellos) joined[key] = joins++;
        std::vector<ModelPairKey> expected = t.stayingInOrder;
        for (const ModelPairKey &key : expected) ASSERT_TRUE(joined.count(key)) << "a staying pair never said hello";
        std::stable_sort(expected.begin(), expected.end(),
                         [&](const ModelPairKey &p, const ModelPairKey &q) { return joined[p] < joined[q]; });
        ASSERT_EQ(expected, t.stayingInOrder) << "update " << update;
        lastHellos = t.helloInOrder;
        goodbyes += static_cast<int>(t.goodbye.size());
    }
    EXPECT_GT(goodbyes, 500) << "pairs came and went";
    EXPECT_GT(thaws, 100);
    EXPECT_GT(leaves, 100);
}

TEST_F(SpaceTest, AModelBackFromMinusInfinitySortsIntoItsPlace)
{
    CdxSpaceID space = Space(CdxAllAxes, 4, 4);
    CdxModelID ground = Plane(0), high = Ball(1, -7, 2, 5);
    for (CdxModelID m : {ground, high}) CdxSpaceInsertModel(space, m);
    EXPECT_TRUE(Step(space).records.empty());
    Transform(high)[3][0] = -std::numeric_limits<PxReal>::infinity();
    EXPECT_TRUE(Step(space).records.empty());
    MoveTo(high, 0, 0, 0.5);
    EXPECT_EQ(std::set<ModelPairKey>({PairKey(ground, high)}), Step(space).hello);
    MoveTo(high, 0, 0, 5);
    EXPECT_EQ(std::set<ModelPairKey>({PairKey(ground, high)}), Step(space).goodbye);
}

TEST_F(SpaceTest, DestroyingASpaceLetsItsModelsGo)
{
    CdxSpaceID space = CdxSpaceAxisSortCreate(CdxAllAxes, 4, 4);
    CdxModelID a = Ball(1, 0, 0, 0), b = Ball(1, 1, 0, 0);
    for (CdxModelID m : {a, b}) CdxSpaceInsertModel(space, m);
    Step(space);
    CdxSpaceDestroy(space);
    EXPECT_EQ(nullptr, CdxModelGetSpace(a));
    EXPECT_EQ(-1, CdxModelGetSpaceId(b));
    EXPECT_EQ(0, CdxSpaceRemoveModel(a));
}

// Refusals, each with its one warning: updates outside the bracket, and a
// full space refusing a model or a pair (a scene's size, not a fault). The
// call fails and the space goes on.
TEST_F(SpaceTest, RefusalsWarnOnceWithTheirMessageAndTheSpaceGoesOn)
{
    const std::string bracket = "Cdx: Attempt to use a state-modification function while CdxSpaceIsChanging() is "
                                "false. Call CdxSpaceBeginChanges() first. Function name: ";
    CdxSpaceID closed = Space(CdxAllAxes, 4, 4), full = Space(CdxAllAxes, 1, 4), crowded = Space(CdxAllAxes, 3, 2);
    CdxModelID a = Ball(1, 0, 0, 0);
    CdxSpaceInsertModel(closed, a);
    CdxSpaceEndChanges(closed);
    CdxSpaceInsertModel(full, Ball(1, 0, 0, 0));
    for (PxReal x : {0.0, 0.5, 1.0}) CdxSpaceInsertModel(crowded, Ball(1, x, 0, 0));
    const struct {
        std::function<int()> call;
        int result;
        std::string warning;
    } rows[] = {
        {[&] { return CdxSpaceUpdateAll(closed); }, 0, bracket + "CdxSpaceUpdateAll\n"},
        {[&] { return CdxSpaceUpdateModel(a); }, 0, bracket + "CdxSpaceUpdateModel\n"},
        {[&] { return CdxSpacePathUpdateAll(closed, 1.0); }, 0, bracket + "CdxSpacePathUpdateAll\n"},
        {[&] { return CdxSpaceInsertModel(full, Ball(1, 0, 0, 0)); }, 0,
         "Cdx: Out of memory for CdxModels in CdxSpace. Resizing not implemented. Please use a larger number of "
         "models in CdxAxisSortCreate.\n"},
        {[&] { return CdxSpaceUpdateAll(crowded); }, 1,
         "Cdx: Out of memory for CdxModelPairs in CdxSpace. Resizing not implemented. Please use a larger number "
         "of pairs in CdxAxisSortCreate.\n"},
    };
    for (const auto &row : rows) {
        warnings.clear();
        EXPECT_EQ(row.result, row.call()) << row.warning;
        EXPECT_EQ(std::vector<std::string>{row.warning}, warnings);
    }
    EXPECT_EQ(1, CdxSpaceGetModelCount(full));
    CdxSpaceBeginChanges(closed);
    EXPECT_EQ(1, CdxSpaceUpdateAll(closed));
}
