// The sort-and-sweep space's pair bookkeeping and its memory. The space keeps
// records only for the pairs that overlap and a set of the disabled ones, so
// (1) after every update of random inserts, removals, moves and pairs
// disabled and enabled, the listed pairs, hello and goodbye are exactly what
// brute force over the boxes gives; (2) with boxes of zero width, where equal
// values leave the order to the lists, the listed pairs are exactly the ones
// the space calls overlapping; (3) the bytes a space allocates grow linearly
// with its models, and updates allocate nothing.
#include "framework/CdxModelRecord.h"
#include "space/CxSmallSort.h"

#include <kelmar/PxMemory.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

// A model the space sees: the record (first, so the handle converts back)
// and its world box.
struct Slot {
    CdxModel model;
    PxReal min[3];
    PxReal max[3];
    int id; // space id, -1 outside
};

int BoxOf(CdxModelID model, PxVector3 min, PxVector3 max, PxReal)
{
    const Slot *slot = reinterpret_cast<const Slot *>(model);
    for (int k = 0; k < 3; ++k) {
        min[k] = slot->min[k];
        max[k] = slot->max[k];
    }
    return 1;
}

using IdPair = std::pair<int, int>; // lower id first

IdPair Ordered(int a, int b)
{
    return a < b ? IdPair{a, b} : IdPair{b, a};
}

// The pairs of one list that still have both models.
std::set<IdPair> Listed(CxPairNode *sentinel)
{
    std::set<IdPair> pairs;
    for (CxPairNode *node = sentinel->next; node != sentinel; node = node->next)
        if (node->id1 >= 0) pairs.insert(Ordered(node->id1, node->id2));
    return pairs;
}

bool OpenOverlap(const Slot &a, const Slot &b, int mask)
{
    for (int k = 0; k < 3; ++k)
        if ((mask >> k & 1) && !(a.min[k] < b.max[k] && b.min[k] < a.max[k])) return false;
    return true;
}

// Whether a min of one box equals a max of the other on a sorted axis.
bool Ties(const Slot &a, const Slot &b, int mask)
{
    for (int k = 0; k < 3; ++k)
        if ((mask >> k & 1) && (a.min[k] == b.max[k] || b.min[k] == a.max[k])) return true;
    return false;
}

std::set<IdPair> Minus(const std::set<IdPair> &a, const std::set<IdPair> &b)
{
    std::set<IdPair> out;
    for (const IdPair &p : a)
        if (!b.count(p)) out.insert(p);
    return out;
}

// A room of models on a grid of half units, so faces touch exactly and
// often; zeroWidth lets some boxes be flat on an axis.
class Room {
public:
    Room(int axisMask, int slots, unsigned seed, bool zeroWidth)
        : mask_(axisMask), slots_(static_cast<size_t>(slots)), random_(seed), zeroWidth_(zeroWidth)
    {
        space_ = CxSmallSort::New(axisMask, slots, slots * (slots - 1) / 2);
        space_->SetAABBUpdateFn(BoxOf);
        for (Slot &slot : slots_) {
            slot = Slot{};
            slot.id = -1;
            Place(slot);
        }
    }
    ~Room() { space_->Delete(); }

    // One update: changes outside the bracket, then inside, then the moves.
    void Round(int inserts, int removals, int toggles, int moves)
    {
        Toggle(toggles);
        space_->UpdateBegin();
        for (int k = 0; k < removals; ++k) Remove();
        for (int k = 0; k < inserts; ++k) Insert();
        Toggle(toggles);
        for (int k = 0; k < moves; ++k) Place(slots_[Pick(slots_.size())]);
        space_->UpdateAll(0.0);
        space_->UpdateEnd();
    }

    // The pairs brute force finds among the models inside.
    std::set<IdPair> Overlapping(bool withDisabled) const
    {
        std::set<IdPair> pairs;
        for (size_t a = 0; a < slots_.size(); ++a)
            for (size_t b = a + 1; b < slots_.size(); ++b) {
                const Slot &p = slots_[a], &q = slots_[b];
                if (p.id < 0 || q.id < 0 || !OpenOverlap(p, q, mask_)) continue;
                IdPair key = Ordered(p.id, q.id);
                if (withDisabled || !disabled_.count(key)) pairs.insert(key);
            }
        return pairs;
    }

    CxSmallSort *space_;
    int mask_;
    std::vector<Slot> slots_;
    std::set<IdPair> disabled_;
    std::set<int> removedIds_; // ids that left in the last round

private:
    size_t Pick(size_t n) { return static_cast<size_t>(random_() % n); }
    PxReal Grid(int steps) { return 0.5 * static_cast<PxReal>(steps); }

    void Place(Slot &slot)
    {
        for (int k = 0; k < 3; ++k) {
            slot.min[k] = Grid(static_cast<int>(Pick(16)));
            int width = zeroWidth_ && Pick(4) == 0 ? 0 : 1 + static_cast<int>(Pick(3));
            slot.max[k] = slot.min[k] + Grid(width);
        }
    }

    std::vector<int> Inside() const
    {
        std::vector<int> ids;
        for (const Slot &slot : slots_)
            if (slot.id >= 0) ids.push_back(slot.id);
        return ids;
    }

    void Insert()
    {
        Slot &slot = slots_[Pick(slots_.size())];
        if (slot.id >= 0) return;
        Place(slot);
        slot.id = space_->Insert(&slot.model);
    }

    void Remove()
    {
        Slot &slot = slots_[Pick(slots_.size())];
        if (slot.id < 0) return;
        space_->Remove(slot.id);
        removedIds_.insert(slot.id);
        for (auto it = disabled_.begin(); it != disabled_.end();)
            it = (it->first == slot.id || it->second == slot.id) ? disabled_.erase(it) : std::next(it);
        slot.id = -1;
    }

    void Toggle(int count)
    {
        std::vector<int> ids = Inside();
        if (ids.size() < 2) return;
        for (int k = 0; k < count; ++k) {
            int a = ids[Pick(ids.size())], b = ids[Pick(ids.size())];
            if (a == b) continue;
            bool enable = disabled_.count(Ordered(a, b)) > 0;
            ASSERT_EQ(space_->SetPairOverlapEnabled(a, b, enable), 1);
            if (enable)
                disabled_.erase(Ordered(a, b));
            else
                disabled_.insert(Ordered(a, b));
        }
    }

    std::mt19937 random_;
    bool zeroWidth_;
};

// Drops the pairs of models that left: their goodbyes carry no ids.
std::set<IdPair> WithoutRemoved(const std::set<IdPair> &pairs, const std::set<int> &removed)
{
    std::set<IdPair> out;
    for (const IdPair &p : pairs)
        if (!removed.count(p.first) && !removed.count(p.second)) out.insert(p);
    return out;
}

class PairBookkeeping : public ::testing::TestWithParam<int> {};

TEST_P(PairBookkeeping, MatchesBruteForceThroughRandomChanges)
{
    const int mask = GetParam();
    Room room(mask, 90, 20261206u + static_cast<unsigned>(mask), false);
    room.Round(60, 0, 0, 0); // a group enters at once
    std::set<IdPair> before = room.Overlapping(false);
    for (int round = 0; round < 150; ++round) {
        // Every tenth round a batch enters together among placed models.
        bool batch = round % 10 == 5;
        room.removedIds_.clear();
        room.Round(batch ? 20 : 2, batch ? 12 : 2, 3, 12);
        SCOPED_TRACE(testing::Message() << "axes " << mask << ", round " << round);
        std::set<IdPair> hello = Listed(room.space_->GetNewPairOverlapList());
        std::set<IdPair> staying = Listed(room.space_->GetPairOverlapList());
        std::set<IdPair> goodbye = Listed(room.space_->GetOldPairOverlapList());
        std::set<IdPair> now = hello;
        now.insert(staying.begin(), staying.end());
        ASSERT_EQ(now.size(), hello.size() + staying.size()) << "a pair is both new and staying";
        ASSERT_EQ(now, room.Overlapping(false));
        std::set<IdPair> kept = WithoutRemoved(before, room.removedIds_);
        ASSERT_EQ(hello, Minus(now, kept));
        ASSERT_EQ(goodbye, Minus(kept, now));
        std::set<IdPair> near = room.Overlapping(true);
        for (const Slot &p : room.slots_)
            for (const Slot &q : room.slots_) {
                if (p.id < 0 || q.id < 0 || p.id >= q.id) continue;
                IdPair key{p.id, q.id};
                ASSERT_EQ(room.space_->GetPairOverlapStatus(p.id, q.id), near.count(key) > 0);
                ASSERT_EQ(room.space_->GetPairOverlapEnabled(q.id, p.id), room.disabled_.count(key) == 0);
            }
        before = now;
    }
}

INSTANTIATE_TEST_SUITE_P(SortedAxes, PairBookkeeping, ::testing::Values(7, 1, 5));

// Flat boxes meeting others exactly: whether they overlap is the lists'
// order, which the pairs must follow; where no values tie, the values decide.
TEST(PairBookkeepingFlat, ListedPairsAreTheOverlappingOnes)
{
    Room room(CdxAllAxes, 80, 7u, true);
    room.Round(60, 0, 0, 0);
    for (int round = 0; round < 150; ++round) {
        room.Round(2, 2, 2, 15);
        SCOPED_TRACE(testing::Message() << "round " << round);
        std::set<IdPair> now = Listed(room.space_->GetNewPairOverlapList());
        std::set<IdPair> staying = Listed(room.space_->GetPairOverlapList());
        now.insert(staying.begin(), staying.end());
        for (const Slot &p : room.slots_)
            for (const Slot &q : room.slots_) {
                if (p.id < 0 || q.id < 0 || p.id >= q.id) continue;
                IdPair key{p.id, q.id};
                bool status = room.space_->GetPairOverlapStatus(p.id, q.id);
                ASSERT_EQ(now.count(key) > 0, status && !room.disabled_.count(key));
                if (!Ties(p, q, CdxAllAxes)) {
                    ASSERT_EQ(status, OpenOverlap(p, q, CdxAllAxes));
                }
            }
    }
}

// Bytes allocated through the toolkit's table while alive.
class ByteCounter {
public:
    ByteCounter() : saved_(PxMemoryAPI)
    {
        Original() = saved_;
        Bytes() = 0;
        Calls() = 0;
        PxMemoryAPI.create = [](size_t size) { return Count(size), Original().create(size); };
        PxMemoryAPI.createZeroed = [](size_t size) { return Count(size), Original().createZeroed(size); };
        PxMemoryAPI.createAligned = [](size_t size, int alignment) {
            return Count(size), Original().createAligned(size, alignment);
        };
        PxMemoryAPI.resize = [](void *pointer, size_t size) { return Count(size), Original().resize(pointer, size); };
    }
    ~ByteCounter() { PxMemoryAPI = saved_; }
    ByteCounter(const ByteCounter &) = delete;
    ByteCounter &operator=(const ByteCounter &) = delete;
    static size_t &Bytes()
    {
        static size_t bytes = 0;
        return bytes;
    }
    static int &Calls()
    {
        static int calls = 0;
        return calls;
    }

private:
    static void Count(size_t size)
    {
        Bytes() += size;
        ++Calls();
    }
    static PxMemoryAPIType &Original()
    {
        static PxMemoryAPIType api;
        return api;
    }
    PxMemoryAPIType saved_;
};

// Bytes per model of a space for models models and four pair records each.
double BytesPerModel(int models)
{
    ByteCounter counter;
    CxSmallSort *space = CxSmallSort::New(CdxAllAxes, models, 4 * models);
    EXPECT_NE(space, nullptr);
    if (space) space->Delete();
    return static_cast<double>(ByteCounter::Bytes()) / models;
}

TEST(SpaceMemory, BytesGrowLinearlyWithModels)
{
    const double base = BytesPerModel(16000);
    // A status per pair of models would add models / 4 bytes per model:
    // 4,000 at 16,000 models.
    EXPECT_LT(base, 2000.0);
    for (int models : {1000, 4000, 64000}) {
        SCOPED_TRACE(models);
        double perModel = BytesPerModel(models);
        EXPECT_GT(perModel, 0.9 * base);
        EXPECT_LT(perModel, 1.1 * base);
    }
}

// Thousands of boxes drifting through each other: updates allocate nothing.
TEST(SpaceMemory, UpdatesAllocateNothing)
{
    Room room(CdxAllAxes, 400, 11u, false);
    room.Round(400, 0, 0, 0);
    ByteCounter counter;
    for (int round = 0; round < 20; ++round) room.Round(0, 0, 0, 200);
    EXPECT_EQ(ByteCounter::Calls(), 0);
    EXPECT_GT(room.Overlapping(false).size(), 100u); // the room is crowded
}

} // namespace
