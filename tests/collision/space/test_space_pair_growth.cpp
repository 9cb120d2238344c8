// The sort-and-sweep space keeps records only for the pairs that overlap and
// a set of the disabled ones. (1) Through random inserts, removals, moves and
// pairs disabled and enabled, the listed pairs are the enabled overlapping
// ones, hello and goodbye the changes, and overlap is what brute force over
// the boxes gives (with flat boxes, where equal values leave the order to
// the lists, wherever no min equals a max). (2) Its bytes grow linearly with
// its models; updates allocate nothing.
#include "framework/CdxModelRecord.h"
#include "space/CxSmallSort.h"

#include <kelmar/PxMemory.h>

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

namespace {

// The record first, so that the handle converts back.
struct Slot {
    CdxModel model;
    PxReal min[3], max[3];
    int id; // -1 outside the space
};

int BoxOf(CdxModelID model, PxVector3 min, PxVector3 max, PxReal)
{
    const Slot *slot = reinterpret_cast<const Slot *>(model);
    for (int k = 0; k < 3; ++k) min[k] = slot->min[k], max[k] = slot->max[k];
    return 1;
}

using IdPair = std::pair<int, int>; // lower id first
using Pairs = std::set<IdPair>;

IdPair Ordered(int a, int b)
{
    return a < b ? IdPair{a, b} : IdPair{b, a};
}

// The pairs of one list that still have both models.
Pairs Listed(CxPairNode *sentinel)
{
    Pairs pairs;
    for (CxPairNode *node = sentinel->next; node != sentinel; node = node->next)
        if (node->id1 >= 0) pairs.insert(Ordered(node->id1, node->id2));
    return pairs;
}

Pairs Minus(const Pairs &a, const Pairs &b)
{
    Pairs out;
    for (const IdPair &p : a)
        if (!b.count(p)) out.insert(p);
    return out;
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
    Room(int mask, int slots, unsigned seed, bool flat) : mask(mask), slots(slots), random(seed), flat(flat)
    {
        space = CxSmallSort::New(mask, slots, slots * (slots - 1) / 2);
        space->SetAABBUpdateFn(BoxOf);
        for (Slot &slot : this->slots) slot.id = -1;
    }
    ~Room() { space->Delete(); }
    int Pick(int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); }
    Slot &Any() { return slots[random() % slots.size()]; }

    void Place(Slot &slot)
    {
        for (int k = 0; k < 3; ++k) {
            slot.min[k] = 0.5 * Pick(16);
            slot.max[k] = slot.min[k] + 0.5 * (flat && Pick(4) == 0 ? 0 : 1 + Pick(3));
        }
    }

    // Toggles a random pair of models inside the space, as the reference does.
    void Toggle()
    {
        Slot &a = Any(), &b = Any();
        if (a.id < 0 || b.id < 0 || a.id == b.id) return;
        IdPair key = Ordered(a.id, b.id);
        bool enable = disabled.count(key) > 0;
        ASSERT_EQ(space->SetPairOverlapEnabled(a.id, b.id, enable), 1);
        enable ? (void)disabled.erase(key) : (void)disabled.insert(key);
    }

    // Models enter and leave (a leaving model's pairs forget being
    // disabled); pairs are toggled outside and inside the bracket.
    void Round(int enter, int leave, int toggles, int moves)
    {
        left.clear();
        for (int k = 0; k < toggles; ++k) Toggle();
        space->UpdateBegin();
        for (int k = 0; k < leave; ++k) {
            Slot &slot = Any();
            if (slot.id < 0) continue;
            space->Remove(slot.id);
            left.insert(slot.id);
            for (auto it = disabled.begin(); it != disabled.end();)
                it = it->first == slot.id || it->second == slot.id ? disabled.erase(it) : std::next(it);
            slot.id = -1;
        }
        for (int k = 0; k < enter; ++k) {
            Slot &slot = Any();
            if (slot.id >= 0) continue;
            Place(slot);
            slot.id = space->Insert(&slot.model);
        }
        for (int k = 0; k < toggles; ++k) Toggle();
        for (int k = 0; k < moves; ++k) Place(Any());
        space->UpdateAll(0.0);
        space->UpdateEnd();
    }

    CxSmallSort *space;
    int mask;
    std::vector<Slot> slots;
    std::mt19937 random;
    bool flat;
    Pairs disabled;
    std::set<int> left; // ids of the models that left in the last round
};

// Axes sorted, and whether boxes may be flat.
class PairBookkeeping : public ::testing::TestWithParam<std::pair<int, bool>> {};

TEST_P(PairBookkeeping, MatchesBruteForceThroughRandomChanges)
{
    const int mask = GetParam().first;
    const bool flat = GetParam().second;
    Room room(mask, 90, 2026u + static_cast<unsigned>(mask), flat);
    room.Round(60, 0, 0, 0); // a group enters at once
    Pairs before = Listed(room.space->GetNewPairOverlapList());
    for (int round = 0; round < 150; ++round) {
        bool batch = round % 10 == 5; // a group enters among placed models
        room.Round(batch ? 20 : 2, batch ? 12 : 2, 3, 12);
        SCOPED_TRACE(testing::Message() << "axes " << mask << (flat ? " flat" : "") << ", round " << round);
        Pairs hello = Listed(room.space->GetNewPairOverlapList());
        Pairs now = Listed(room.space->GetPairOverlapList());
        ASSERT_EQ(Minus(hello, now), hello) << "a pair both new and staying";
        now.insert(hello.begin(), hello.end());
        // Pairs of a model that left end without ids: compare the rest.
        Pairs kept;
        for (const IdPair &p : before)
            if (!room.left.count(p.first) && !room.left.count(p.second)) kept.insert(p);
        ASSERT_EQ(Minus(kept, now), Listed(room.space->GetOldPairOverlapList()));
        ASSERT_EQ(Minus(now, kept), hello);
        for (const Slot &a : room.slots)
            for (const Slot &b : room.slots) {
                if (a.id < 0 || b.id < 0 || a.id >= b.id) continue;
                bool status = room.space->GetPairOverlapStatus(a.id, b.id);
                bool enabled = !room.disabled.count({a.id, b.id});
                ASSERT_EQ(room.space->GetPairOverlapEnabled(b.id, a.id), enabled);
                ASSERT_EQ(now.count({a.id, b.id}) > 0, status && enabled);
                // Flat boxes meeting others leave the order to the lists;
                // elsewhere the values decide.
                if (!flat || !Overlap(a, b, mask, true)) {
                    ASSERT_EQ(status, Overlap(a, b, mask)) << a.id << " " << b.id;
                }
            }
        before = now;
    }
}

INSTANTIATE_TEST_SUITE_P(SortedAxes, PairBookkeeping,
                         ::testing::Values(std::make_pair(7, false), std::make_pair(1, false),
                                           std::make_pair(5, false), std::make_pair(7, true)));

// Counts the bytes and calls of the toolkit's allocations while alive.
struct ByteCounter {
    static size_t bytes, calls;
    static PxMemoryAPIType &Saved()
    {
        static PxMemoryAPIType api;
        return api;
    }
    static void Count(size_t size) { bytes += size, ++calls; }
    ByteCounter()
    {
        Saved() = PxMemoryAPI;
        bytes = calls = 0;
        PxMemoryAPI.create = [](size_t size) { return Count(size), Saved().create(size); };
        PxMemoryAPI.createZeroed = [](size_t size) { return Count(size), Saved().createZeroed(size); };
        PxMemoryAPI.createAligned = [](size_t size, int align) {
            return Count(size), Saved().createAligned(size, align);
        };
        PxMemoryAPI.resize = [](void *block, size_t size) { return Count(size), Saved().resize(block, size); };
    }
    ~ByteCounter() { PxMemoryAPI = Saved(); }
};
size_t ByteCounter::bytes = 0, ByteCounter::calls = 0;

double BytesPerModel(int models)
{
    ByteCounter counter;
    CxSmallSort *space = CxSmallSort::New(CdxAllAxes, models, 4 * models);
    EXPECT_NE(space, nullptr);
    if (space) space->Delete();
    return static_cast<double>(ByteCounter::bytes) / models;
}

TEST(SpaceMemory, BytesGrowLinearlyWithModelsAndUpdatesAllocateNothing)
{
    // A status per pair of models would add models / 4 bytes per model.
    const double base = BytesPerModel(16000);
    EXPECT_LT(base, 2000.0);
    for (int models : {1000, 4000, 64000}) {
        EXPECT_GT(BytesPerModel(models), 0.9 * base) << models;
        EXPECT_LT(BytesPerModel(models), 1.1 * base) << models;
    }
    Room room(CdxAllAxes, 400, 11u, false);
    room.Round(400, 0, 0, 0);
    ByteCounter counter;
    for (int round = 0; round < 20; ++round) room.Round(0, 0, 0, 200);
    EXPECT_EQ(ByteCounter::calls, 0u);
    size_t listed = Listed(room.space->GetNewPairOverlapList()).size() +
                    Listed(room.space->GetPairOverlapList()).size();
    EXPECT_GT(listed, 100u); // the room is crowded
}

} // namespace
