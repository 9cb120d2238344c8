// The sort-and-sweep space keeps records only for the pairs that overlap and
// a set of the disabled ones. (1) Through random inserts, removals, moves and
// pairs disabled and enabled, the listed pairs are the enabled overlapping
// ones, hello and goodbye the changes, and overlap is what brute force over
// the boxes gives (with flat boxes, where equal values leave the order to
// the lists, wherever no min equals a max). (2) Its bytes grow linearly with
// its models; updates allocate nothing.
//
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
#include "framework/CdxModelRecord.h"
#include "space/CxSmallSort.h"

#include <algorithm>
#include <map>

namespace {

// The record first, so that the handle converts back.
struct Slot {
    CdxModel model;
    PxReal min[3], max[3];
    int id = -1; // -1 outside the space
};

int BoxOf(CdxModelID model, PxVector3 min, PxVector3 max, PxReal)
{
    const Slot *slot = reinterpret_cast<const Slot *>(model);
    for (int k = 0; k < 3; ++k) min[k] = slot->min[k], max[k] = slot->max[k];
    return 1;
}

using Pairs = std::set<std::pair<int, int>>; // lower id first

// The pairs of one list that still have both models.
Pairs Listed(CxPairNode *sentinel)
{
    Pairs pairs;
    for (CxPairNode *node = sentinel->next; node != sentinel; node = node->next)
        if (node->id1 >= 0) pairs.insert({std::min(node->id1, node->id2), std::max(node->id1, node->id2)});
    return pairs;
}

// Open overlap on the axes of mask; with ties, whether a min equals a max.
bool Overlap(const Slot &a, const Slot &b, int mask, bool ties = false)
{
    for (int k = 0; k < 3; ++k) {
        if (!(mask >> k & 1)) continue;
        if (ties && (a.min[k] == b.max[k] || b.min[k] == a.max[k])) return true;
        if (!ties && !(a.min[k] < b.max[k] && b.min[k] < a.max[k])) return false;
    }
    return !ties;
}

// Boxes on a grid of half units, so that faces touch exactly and often;
// with flat, some boxes have no width on an axis.
struct Room {
    Room(int mask, int slots, unsigned seed, bool flat) : slots(slots), random(seed), flat(flat)
    {
        space = CxSmallSort::New(mask, slots, slots * (slots - 1) / 2);
        space->SetAABBUpdateFn(BoxOf);
    }
    ~Room() { space->Delete(); }
    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    Slot &Any() { return slots[random() % slots.size()]; }

    void Place(Slot &slot)
    {
        for (int k = 0; k < 3; ++k)
            slot.min[k] = 0.5 * Pick(16), slot.max[k] = slot.min[k] + 0.5 * (flat && Pick(4) == 0 ? 0 : 1 + Pick(3));
    }

    // Toggles a random pair of models inside the space, as the reference does.
    void Toggle()
    {
        Slot &a = Any(), &b = Any();
        if (a.id < 0 || b.id < 0 || a.id == b.id) return;
        const std::pair<int, int> key = {std::min(a.id, b.id), std::max(a.id, b.id)};
        ASSERT_EQ(space->SetPairOverlapEnabled(a.id, b.id, disabled.count(key) > 0), 1);
        if (!disabled.erase(key)) disabled.insert(key);
    }

    // Models enter and leave (a leaving model's pairs forget being disabled
    // and drop from the listed ones, as they end without ids); pairs are
    // toggled outside and inside the bracket.
    void Round(int enter, int leave, int toggles, int moves)
    {
        for (int k = 0; k < toggles; ++k) Toggle();
        space->UpdateBegin();
        for (int k = 0; k < leave; ++k) {
            Slot &slot = Any();
            if (slot.id < 0) continue;
            space->Remove(slot.id);
            for (Pairs *set : {&disabled, &listed})
                for (auto it = set->begin(); it != set->end();)
                    it = it->first == slot.id || it->second == slot.id ? set->erase(it) : std::next(it);
            slot.id = -1;
        }
        for (int k = 0; k < enter; ++k)
            if (Slot &slot = Any(); slot.id < 0) Place(slot), slot.id = space->Insert(&slot.model);
        for (int k = 0; k < toggles; ++k) Toggle();
        for (int k = 0; k < moves; ++k) Place(Any());
        space->UpdateAll(0.0);
        space->UpdateEnd();
    }

    CxSmallSort *space;
    std::vector<Slot> slots;
    std::mt19937 random;
    bool flat;
    Pairs disabled;
    Pairs listed; // as last read, less the pairs of models that left since
};

// Axes sorted, and whether boxes may be flat.
class PairBookkeeping : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(PairBookkeeping, MatchesBruteForceThroughRandomChanges)
{
    const auto [mask, flat] = GetParam();
    Room room(mask, 90, 2026u + static_cast<unsigned>(mask), flat);
    for (int round = 0; round < 150; ++round) {
        // A group enters at once first, later groups among placed models.
        const bool batch = round % 10 == 5;
        room.Round(round == 0 ? 60 : batch ? 20 : 2, batch ? 12 : 2, 3, 12);
        SCOPED_TRACE(testing::Message() << "axes " << mask << (flat ? " flat" : "") << ", round " << round);
        Pairs hello = Listed(room.space->GetNewPairOverlapList());
        Pairs now = Listed(room.space->GetPairOverlapList());
        ASSERT_EQ(Minus(hello, now), hello) << "a pair both new and staying";
        now.insert(hello.begin(), hello.end());
        ASSERT_EQ(Minus(room.listed, now), Listed(room.space->GetOldPairOverlapList()));
        ASSERT_EQ(Minus(now, room.listed), hello);
        for (const Slot &a : room.slots)
            for (const Slot &b : room.slots) {
                if (a.id < 0 || b.id < 0 || a.id >= b.id) continue;
                bool status = room.space->GetPairOverlapStatus(a.id, b.id);
                bool enabled = !room.disabled.count({a.id, b.id});
                ASSERT_EQ(room.space->GetPairOverlapEnabled(b.id, a.id), enabled);
                ASSERT_EQ(now.count({a.id, b.id}) > 0, status && enabled);
                // Flat boxes meeting others leave the order to the lists;
                // elsewhere the values decide.
                ASSERT_TRUE((flat && Overlap(a, b, mask, true)) || status == Overlap(a, b, mask))
                    << a.id << " " << b.id;
            }
        room.listed = now;
    }
}

INSTANTIATE_TEST_SUITE_P(SortedAxes, PairBookkeeping,
                         ::testing::Values(std::make_pair(7, false), std::make_pair(1, false),
                                           std::make_pair(5, false), std::make_pair(7, true)));

double BytesPerModel(int models)
{
    testsupport::AllocationCounter counter;
    CxSmallSort::New(CdxAllAxes, models, 4 * models)->Delete();
    return static_cast<double>(counter.bytes()) / models;
}

TEST(SpaceMemory, BytesGrowLinearlyWithModelsAndUpdatesAllocateNothing)
{
    // A status per pair of models would add models / 4 bytes per model.
    const double base = BytesPerModel(16000);
    EXPECT_LT(base, 2000.0);
    for (int models : {1000, 4000, 64000}) EXPECT_NEAR(BytesPerModel(models), base, 0.1 * base) << models;
    Room room(CdxAllAxes, 400, 11u, false);
    room.Round(400, 0, 0, 0);
    testsupport::AllocationCounter counter;
    for (int round = 0; round < 20; ++round) room.Round(0, 0, 0, 200);
    EXPECT_EQ(counter.allocations(), 0);
    EXPECT_GT(Listed(room.space->GetPairOverlapList()).size(), 50u); // crowded: many pairs stay through a move
}

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
    // Pairs in the order of their models' places in `models`, not of their
    // addresses: which pair is disabled or enabled must not depend on where
    // the models were allocated, or a fault is met on one run and not another.
    std::map<CdxModelID, size_t> place;
    for (size_t k = 0; k < models.size(); ++k) place[models[k]] = k;
    auto byPlace = [&place](const std::set<ModelPairKey> &pairs) {
        std::vector<ModelPairKey> out(pairs.begin(), pairs.end());
        auto rank = [&place](const ModelPairKey &p) { return std::minmax(place[p.first], place[p.second]); };
        std::sort(out.begin(), out.end(),
                  [&rank](const ModelPairKey &a, const ModelPairKey &b) { return rank(a) < rank(b); });
        return out;
    };
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
        std::set<ModelPairKey> expected, listed = Union(Union(t.hello, t.staying), t.frozen);
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
        EXPECT_EQ(Minus(listed, previous), t.hello);
        EXPECT_EQ(Minus(previous, listed), t.goodbye);
        hellos += static_cast<int>(t.hello.size());
        goodbyes += static_cast<int>(t.goodbye.size());
        previous = listed;
        // Between updates: freeze or thaw, disable a listed pair, enable one.
        CdxSpaceBeginChanges(space);
        CdxModelID turn = models[lattice + rng() % (models.size() - lattice)];
        CdxSpaceModelIsFrozen(turn) ? CdxSpaceUnfreezeModel(turn) : CdxSpaceFreezeModel(turn);
        if (!disabled.empty() && update % 3 == 0) {
            const ModelPairKey first = byPlace(disabled).front();
            EXPECT_EQ(1, CdxSpaceEnablePair(first.first, first.second));
            disabled.erase(first);
        }
        const ModelPairKey pick = byPlace(listed)[rng() % listed.size()];
        EXPECT_EQ(1, CdxSpaceDisablePair(pick.first, pick.second));
        disabled.insert(pick);
    }
    EXPECT_GT(hellos, 2000);
    EXPECT_GT(goodbyes, 2000);
}

INSTANTIATE_TEST_SUITE_P(Grids, GridScene,
                         ::testing::Values(GridCase{CdxAllAxes, 4, 1u}, GridCase{CdxAllAxes, 70, 2u},
                                           GridCase{CdxXAxis | CdxYAxis, 4, 3u},
                                           GridCase{CdxYAxis | CdxZAxis, 0, 4u}));

} // namespace
