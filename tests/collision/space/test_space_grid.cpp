// The grid that finds the overlaps when many models move at once, against
// brute force: a wide lattice of balls and boxes, whose neighbours' faces
// touch exactly (most of them all along), jostles inside walls on a ground,
// the grid on from the first model and the first crossing. After every update the listed pairs are
// exactly those whose boxes overlap on every sorted axis (touching ones
// apart, disabled ones out), hello and goodbye exactly the changes. Single
// moves, freezing, disabling and nearby queries come between grid updates,
// while the lists are out of order. With more large boxes than the grid
// takes, the lists do the work, with the same pairs. No update allocates.
#include "collision/collision_support.h"
#include "common/AllocationCounter.h"

#include "space/CxSmallSort.h"

namespace {

struct GridCase {
    int mask;
    int walls; // large boxes besides the ground
    unsigned seed;
};

class GridScene : public SpaceTest, public ::testing::WithParamInterface<GridCase> {};

TEST_P(GridScene, ListedPairsEqualTheBruteForceOverlapsAfterEveryUpdate)
{
    const GridCase c = GetParam();
    std::mt19937 rng(c.seed);
    auto uniform = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    CdxSpaceID space = Space(c.mask, 1000, 30000);
    static_cast<CxSmallSort *>(space)->SetGrid(1, 0);
    std::vector<CdxModelID> models = {Plane(0.0)};
    for (int w = 0; w < c.walls; ++w) models.push_back(Box(0.05, 4.0, 1.0, -0.5 + 0.2 * w, 3.0, 1.0));
    const size_t lattice = models.size();
    for (int k = 0; k < 3 * 12 * 12; ++k) {
        PxReal x = 0.5 * (k % 12), y = 0.5 * (k / 12 % 12), z = 0.25 + 0.5 * (k / 144);
        models.push_back(k % 2 ? Ball(0.25, x, y, z) : Box(0.25, 0.25, 0.25, x, y, z));
    }
    for (CdxModelID m : models) CdxSpaceInsertModel(space, m);
    std::vector<std::pair<Vec, Vec>> boxes(models.size());
    std::set<ModelPairKey> previous, disabled;
    int hellos = 0, goodbyes = 0;
    for (int update = 0; update < 40; ++update) {
        const bool few = update % 5 == 4; // a few single moves instead
        testsupport::AllocationCounter counter;
        for (size_t k = few ? lattice + rng() % 64 : lattice; k < models.size(); k += few ? 64 : 1) {
            if (CdxSpaceModelIsFrozen(models[k])) continue;
            for (int a = 0; a < 3; ++a)
                Transform(models[k])[3][a] += update % 2 && k % 3 == 0 ? uniform(-0.04, 0.04)
                                                                       : 0.0625 * (int(rng() % 3) - 1);
            if (few) CdxSpaceUpdateModel(models[k]);
        }
        if (!few) CdxSpaceUpdateAll(space);
        EXPECT_EQ(0, counter.allocations()) << "update " << update;
        for (size_t k = 0; k < models.size(); ++k)
            if (!CdxSpaceModelIsFrozen(models[k]))
                CdxModelGetAABB(models[k], boxes[k].first.data(), boxes[k].second.data());
        CdxSpaceEndChanges(space);
        Transitions t = Read(space, 64, true);
        std::set<ModelPairKey> expected, listed = t.hello;
        listed.insert(t.staying.begin(), t.staying.end());
        listed.insert(t.frozen.begin(), t.frozen.end());
        for (size_t i = 0; i < models.size(); ++i)
            for (size_t j = i + 1; j < models.size(); ++j) {
                const auto &a = boxes[i], &b = boxes[j];
                bool overlap = true;
                for (int axis = 0; axis < 3; ++axis)
                    overlap = overlap && (!(c.mask >> axis & 1) ||
                                          (a.first[axis] < b.second[axis] && b.first[axis] < a.second[axis]));
                ModelPairKey key = PairKey(models[i], models[j]);
                if ((i + 7 * j) % 13 == 0) {
                    EXPECT_EQ(overlap, CdxSpacePairIsNearby(models[i], models[j]) != 0);
                }
                if (overlap && !disabled.count(key) &&
                    (!CdxSpaceModelIsFrozen(key.first) || !CdxSpaceModelIsFrozen(key.second) || previous.count(key)))
                    expected.insert(key);
            }
        ASSERT_EQ(expected, listed) << "update " << update;
        std::set<ModelPairKey> began, ended;
        std::set_difference(listed.begin(), listed.end(), previous.begin(), previous.end(),
                            std::inserter(began, began.end()));
        std::set_difference(previous.begin(), previous.end(), listed.begin(), listed.end(),
                            std::inserter(ended, ended.end()));
        EXPECT_EQ(began, t.hello);
        EXPECT_EQ(ended, t.goodbye);
        hellos += static_cast<int>(began.size());
        goodbyes += static_cast<int>(ended.size());
        previous = listed;
        // Between updates: freeze or thaw, disable a listed pair, enable one.
        CdxSpaceBeginChanges(space);
        CdxModelID turn = models[lattice + rng() % (models.size() - lattice)];
        CdxSpaceModelIsFrozen(turn) ? CdxSpaceUnfreezeModel(turn) : CdxSpaceFreezeModel(turn);
        if (!disabled.empty() && update % 3 == 0) {
            EXPECT_EQ(1, CdxSpaceEnablePair(disabled.begin()->first, disabled.begin()->second));
            disabled.erase(disabled.begin());
        }
        auto pick = std::next(listed.begin(), static_cast<long>(rng() % listed.size()));
        EXPECT_EQ(1, CdxSpaceDisablePair(pick->first, pick->second));
        disabled.insert(*pick);
    }
    EXPECT_GT(hellos, 2000);
    EXPECT_GT(goodbyes, 2000);
}

INSTANTIATE_TEST_SUITE_P(Grids, GridScene,
                         ::testing::Values(GridCase{CdxAllAxes, 4, 1u}, GridCase{CdxAllAxes, 70, 2u},
                                           GridCase{CdxXAxis | CdxYAxis, 4, 3u},
                                           GridCase{CdxYAxis | CdxZAxis, 0, 4u}));

} // namespace
