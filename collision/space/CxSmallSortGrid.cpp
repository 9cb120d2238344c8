// The sort-and-sweep space: many models moving at once in a wide world.
//
// Sorting a list costs the end points that change order in it, and on each
// axis a model's end points lie among those of every model in the slab of
// the world its box spans. A pile twice as wide holds four times the models
// but twice as many end points per metre of a horizontal axis, and four
// times as many on the vertical one while its layers settle past each
// other: the lists cost more per model the wider the world grows.
//
// So when a sort of the lists of a large space crosses many end points per
// model, the next updates of many models find the overlaps in a uniform
// grid instead, and then the lists are sorted again to see whether the
// motion has calmed (a settled pile costs the lists next to nothing). The
// grid's cells are as large as the largest ordinary box (at most a few
// times the median box); each such box is filed under the cell of its
// lowest corner, and two of them can overlap only when their cells are the
// same or neighbours. The few large boxes (ground, walls) are tested
// against every model. The pairs found are compared with the records:
// recorded pairs not found end, pairs found without a record begin, in the
// order of their ids. The cost follows the models, however wide the world.
//
// The pairs are those the lists give: boxes that overlap on every sorted
// axis, strictly (touching boxes are apart), at least one of them dynamic,
// the pair not disabled. Only their order differs. The lists keep their
// values but not their order; they are put in order again, one sort per
// axis, when something next moves a model along them or enters one.
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// A box more than this many times the median box's largest side is large:
// it is tested against every model instead of entering the grid.
const PxReal kLargeShare = 4.0;
// More large boxes than this and the lists are sorted as before.
const int kMaxLarge = 64;
// Updates of many models that go to the grid after a sort of the lists
// that crossed many end points.
const int kGridHold = 16;
// gridLow_ of a large box.
const int32_t kGridLarge = INT32_MIN;
// Cell coordinates are clamped to 21 bits per axis and packed in a key.
const int64_t kCellLimit = (int64_t(1) << 20) - 1;

int32_t CellOf(PxReal value, PxReal inverse)
{
    PxReal cell = std::floor(value * inverse);
    if (!(cell > static_cast<PxReal>(-kCellLimit))) return static_cast<int32_t>(-kCellLimit);
    if (cell > static_cast<PxReal>(kCellLimit)) return static_cast<int32_t>(kCellLimit);
    return static_cast<int32_t>(cell);
}

uint64_t CellKey(int32_t x, int32_t y, int32_t z)
{
    return (static_cast<uint64_t>(x + kCellLimit) << 42) | (static_cast<uint64_t>(y + kCellLimit) << 21) |
           static_cast<uint64_t>(z + kCellLimit);
}

// The cell of a key, on one axis (the inverse of CellKey).
int32_t CellOnAxis(uint64_t key, int axis)
{
    const uint64_t mask = (uint64_t(1) << 21) - 1;
    return static_cast<int32_t>(static_cast<int64_t>((key >> (42 - 21 * axis)) & mask) - kCellLimit);
}

uint32_t BucketOf(uint64_t key, int buckets)
{
    return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & static_cast<uint32_t>(buckets - 1);
}

} // namespace

// Strictly overlapping by the current values on every sorted axis.
bool CxSmallSort::OverlapByValues(const CxSmallSortRep *a, const CxSmallSortRep *b) const
{
    for (int k = 0; k < axisCount_; ++k) {
        const CxEndPoint *ea = a->ends[axes_[k]];
        const CxEndPoint *eb = b->ends[axes_[k]];
        if (!(ea[kCxMin].value < eb[kCxMax].value && eb[kCxMin].value < ea[kCxMax].value)) return false;
    }
    return true;
}

// Lists out of order answer by values, which is what they give once sorted.
bool CxSmallSort::NearbyNow(int a, int b) const
{
    return listsStale_ ? OverlapByValues(reps_[a], reps_[b]) : Nearby(a, b);
}

// Whether this update of many models goes to the grid: for a while after
// a sort of the lists that crossed many end points per model. Then the
// lists are sorted once more, to see whether the motion has calmed.
bool CxSmallSort::GridTurn()
{
    if (gridHold_ == 0 || gridModels_ <= 0 || size_ - freeCount_ < gridModels_) return false;
    --gridHold_;
    return true;
}

void CxSmallSort::GridJudge(int live)
{
    if (gridModels_ > 0 && live >= gridModels_ && crossings_ > static_cast<uint64_t>(gridCrossings_) * live)
        gridHold_ = kGridHold;
}

bool CxSmallSort::GridUpdate(int moves)
{
    if (!GridBoxes(moves) || !GridFill()) return false;
    // The new bounds into the end points, all axes of a model at once: one
    // pass over the model records rather than one an axis.
    for (int m = 0; m < moves; ++m)
        for (int k = 0; k < axisCount_; ++k) StoreEnteringEnds(m, axes_[k]);
    listsStale_ = true;
    if (++gridMark_ == 0) gridMark_ = 1;
    enteringPairCount_ = 0;
    gridQueued_ = 0;
    GridPairs();
    GridDrain();
    GridEndUnseen();
    GridBeginQueued();
    return true;
}

// Every live model's new box by id, the cell's side and the large boxes.
// False when the grid does not suit the boxes.
bool CxSmallSort::GridBoxes(int moves)
{
    // The moves come in id order. A moved model's box is its new one; only
    // the others are read from their end points, so a pile on the move
    // leaves its model records (several lines each) untouched.
    gridLiveCount_ = 0;
    int move = 0;
    for (int id = 0; id < size_; ++id) {
        if (!inUse_[id]) continue;
        PxReal *box = &gridBoxes_[6 * id];
        while (move < moves && entering_[move] < id) ++move;
        if (move < moves && entering_[move] == id) {
            std::copy_n(&enteringBoxes_[6 * move], 6, box);
        } else {
            const CxSmallSortRep *rep = reps_[id];
            for (int k = 0; k < axisCount_; ++k) {
                box[axes_[k]] = rep->ends[axes_[k]][kCxMin].value;
                box[3 + axes_[k]] = rep->ends[axes_[k]][kCxMax].value;
            }
        }
        gridLive_[gridLiveCount_++] = id;
    }
    auto extent = [this](int id) {
        const PxReal *box = &gridBoxes_[6 * id];
        PxReal side = 0.0;
        for (int k = 0; k < axisCount_; ++k) side = std::max(side, box[3 + axes_[k]] - box[axes_[k]]);
        return side;
    };
    for (int k = 0; k < gridLiveCount_; ++k) gridExtent_[k] = extent(gridLive_[k]);
    PxReal *middle = gridExtent_ + gridLiveCount_ / 2;
    std::nth_element(gridExtent_, middle, gridExtent_ + gridLiveCount_);
    const PxReal limit = kLargeShare * *middle;
    PxReal cell = 0.0;
    gridLargeCount_ = 0;
    for (int k = 0; k < gridLiveCount_; ++k) {
        int id = gridLive_[k];
        PxReal side = extent(id);
        if (side <= limit) {
            cell = std::max(cell, side);
            continue;
        }
        if (gridLargeCount_ == kMaxLarge) return false;
        gridLarge_[gridLargeCount_++] = id;
    }
    if (!(cell > 0.0) || !std::isfinite(cell)) return false;
    // A little wider than the widest ordinary box, so that rounding never
    // puts two overlapping boxes' corners two cells apart.
    gridInverse_ = 1.0 / (cell * (1.0 + 1e-6));
    return true;
}

// One entry per ordinary box, for the cell of its lowest corner, filed by
// bucket.
bool CxSmallSort::GridFill()
{
    int live = gridLiveCount_ - gridLargeCount_;
    int buckets = 64;
    while (buckets < 2 * live) buckets *= 2;
    if (buckets > gridBuckets_) return false;
    std::fill_n(gridStarts_, buckets + 1, 0u);
    // Both passes visit the same boxes: the first counts, the second files.
    for (int pass = 0; pass < 2; ++pass) {
        int next = 0;
        for (int k = 0; k < gridLiveCount_; ++k) {
            int id = gridLive_[k];
            int32_t *low = &gridLow_[3 * id];
            if (next < gridLargeCount_ && gridLarge_[next] == id) {
                ++next;
                low[0] = kGridLarge;
                continue;
            }
            if (pass == 0) {
                const PxReal *box = &gridBoxes_[6 * id];
                low[0] = low[1] = low[2] = 0;
                for (int j = 0; j < axisCount_; ++j) low[axes_[j]] = CellOf(box[axes_[j]], gridInverse_);
            }
            uint64_t key = CellKey(low[0], low[1], low[2]);
            uint32_t bucket = BucketOf(key, buckets);
            if (pass == 0)
                ++gridStarts_[bucket];
            else {
                GridEntry &entry = gridEntries_[--gridStarts_[bucket]];
                entry.cell = key;
                entry.id = id;
                std::copy_n(&gridBoxes_[6 * id], 6, entry.box);
            }
        }
        // Each bucket's end, filled downwards to its start.
        if (pass == 0)
            for (int b = 1; b <= buckets; ++b) gridStarts_[b] += gridStarts_[b - 1];
    }
    gridFilled_ = buckets;
    return true;
}

// Two ordinary boxes that overlap have their lowest corners in the same or
// neighbouring cells, since no such box is wider than a cell. Each box
// meets the boxes after it in its own cell and those of the 13 neighbours
// that come after its cell; then the large boxes meet every model.
void CxSmallSort::GridPairs()
{
    bool sorted[3] = {false, false, false};
    for (int k = 0; k < axisCount_; ++k) sorted[axes_[k]] = true;
    for (int b = 0; b < gridFilled_; ++b) {
        for (uint32_t p = gridStarts_[b], end = gridStarts_[b + 1]; p < end; ++p) {
            const GridEntry &entry = gridEntries_[p];
            for (uint32_t q = p + 1; q < end; ++q)
                if (gridEntries_[q].cell == entry.cell)
                    GridTest(entry.box, entry.id, gridEntries_[q].box, gridEntries_[q].id);
            GridMeetNeighbours(p, sorted);
        }
    }
    for (int l = 0; l < gridLargeCount_; ++l) {
        int large = gridLarge_[l];
        for (int k = 0; k < gridLiveCount_; ++k) {
            int id = gridLive_[k];
            // Two large boxes meet once, from the lower id.
            if (id != large && !(gridLow_[3 * id] == kGridLarge && id < large))
                GridTest(&gridBoxes_[6 * large], large, &gridBoxes_[6 * id], id);
        }
    }
}

// The entry's box against the boxes of the 13 cells ahead of its own. The
// neighbours' buckets lie anywhere in the table: their starts are all
// asked for before the first is read, and their first entries before the
// first is compared.
void CxSmallSort::GridMeetNeighbours(uint32_t p, const bool sorted[3])
{
    static const int8_t kAhead[13][3] = {{0, 0, 1},  {0, 1, -1}, {0, 1, 0},  {0, 1, 1}, {1, -1, -1},
                                         {1, -1, 0}, {1, -1, 1}, {1, 0, -1}, {1, 0, 0}, {1, 0, 1},
                                         {1, 1, -1}, {1, 1, 0},  {1, 1, 1}};
    const GridEntry &entry = gridEntries_[p];
    const int32_t low[3] = {CellOnAxis(entry.cell, 0), CellOnAxis(entry.cell, 1), CellOnAxis(entry.cell, 2)};
    uint64_t keys[13];
    uint32_t buckets[13];
    int count = 0;
    for (const int8_t *step : kAhead) {
        int32_t cell[3];
        bool inside = true;
        for (int axis = 0; axis < 3; ++axis) {
            cell[axis] = low[axis] + step[axis];
            inside = inside && (sorted[axis] || step[axis] == 0) && cell[axis] <= kCellLimit &&
                     cell[axis] >= -kCellLimit;
        }
        if (!inside) continue;
        keys[count] = CellKey(cell[0], cell[1], cell[2]);
        buckets[count] = BucketOf(keys[count], gridFilled_);
        __builtin_prefetch(&gridStarts_[buckets[count]]);
        ++count;
    }
    for (int n = 0; n < count; ++n) __builtin_prefetch(&gridEntries_[gridStarts_[buckets[n]]]);
    for (int n = 0; n < count; ++n)
        for (uint32_t q = gridStarts_[buckets[n]], last = gridStarts_[buckets[n] + 1]; q < last; ++q)
            if (gridEntries_[q].cell == keys[n])
                GridTest(entry.box, entry.id, gridEntries_[q].box, gridEntries_[q].id);
}

// Strictly overlapping new boxes on every sorted axis.
void CxSmallSort::GridTest(const PxReal *boxA, int a, const PxReal *boxB, int b)
{
    for (int k = 0; k < axisCount_; ++k) {
        int axis = axes_[k];
        if (!(boxA[axis] < boxB[3 + axis] && boxB[axis] < boxA[3 + axis])) return;
    }
    // Pairs of two frozen models never begin: dropped before their lookup.
    if (dynamic_.Get(a) || dynamic_.Get(b)) GridQueue(a, b);
}

// A pair found overlapping waits kGridLag finds for its record, which is
// read ahead in two steps meanwhile: the records of a pile's pairs lie
// anywhere in the table, and each lookup would wait on memory twice. The
// finds are handled in the order they were made.
void CxSmallSort::GridQueue(int a, int b)
{
    const uint32_t slot = gridQueued_ & (kGridLag - 1);
    if (gridQueued_ >= static_cast<uint32_t>(kGridLag)) GridFound(gridPending_[slot].a, gridPending_[slot].b);
    gridPending_[slot] = GridPending{a, b};
    table_.PrefetchBucket(CxPairLinkHashTable::Key(a, b));
    if (gridQueued_ >= static_cast<uint32_t>(kGridLag / 2)) {
        const GridPending &half = gridPending_[(gridQueued_ - kGridLag / 2) & (kGridLag - 1)];
        table_.PrefetchFirst(CxPairLinkHashTable::Key(half.a, half.b));
    }
    ++gridQueued_;
}

// The finds still waiting, oldest first.
void CxSmallSort::GridDrain()
{
    const uint32_t waiting = gridQueued_ < static_cast<uint32_t>(kGridLag) ? gridQueued_ : kGridLag;
    for (uint32_t k = gridQueued_ - waiting; k < gridQueued_; ++k) {
        const GridPending &pending = gridPending_[k & (kGridLag - 1)];
        GridFound(pending.a, pending.b);
    }
    gridQueued_ = 0;
}

// A pair found overlapping: its record is marked, or it waits to begin.
void CxSmallSort::GridFound(int a, int b)
{
    if (Disabled(a, b)) return;
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(a, b));
    if (node && (node->list == kCxListNew || node->list == kCxListOverlap)) {
        CxPairLinkHashTable::SetSeen(node, gridMark_);
        return;
    }
    if (node && node->list == kCxListOld && CxPairLinkHashTable::Changed(node)) {
        // It ended earlier in this update: it was never away.
        MoveTo(node, kCxListOverlap);
        MarkChanged(node, false);
        CxPairLinkHashTable::SetSeen(node, gridMark_);
        return;
    }
    if (enteringPairCount_ == enteringPairCapacity_) {
        CdxError(nullptr, CdxErrSpacePairsFull, nullptr);
        return;
    }
    // The moving model is model 1: the dynamic one, or the lower id.
    bool aMoves = dynamic_.Get(a) && (!dynamic_.Get(b) || a < b);
    enteringPairs_[enteringPairCount_++] = aMoves ? EnteringPair{a, b} : EnteringPair{b, a};
}

// Recorded pairs not found end, as when their boxes part in the lists.
void CxSmallSort::GridEndUnseen()
{
    const int lists[2] = {kCxListNew, kCxListOverlap};
    for (int list : lists) {
        CxPairNode *sentinel = &lists_[list];
        for (CxPairNode *node = sentinel->next; node != sentinel;) {
            CxPairNode *next = node->next;
            if (CxPairLinkHashTable::Seen(node) != gridMark_ && node->id1 >= 0 &&
                (dynamic_.Get(node->id1) || dynamic_.Get(node->id2)) && !Disabled(node->id1, node->id2))
                PairEnds(node->id1, node->id2);
            else
                // Every record left carries this update's mark, so no stale
                // mark can equal a later one.
                CxPairLinkHashTable::SetSeen(node, gridMark_);
            node = next;
        }
    }
}

// The new pairs, in the order of their ids.
void CxSmallSort::GridBeginQueued()
{
    auto key = [](const EnteringPair &p) {
        return CxPairLinkHashTable::Key(std::min(p.mover, p.other), std::max(p.mover, p.other));
    };
    std::sort(enteringPairs_, enteringPairs_ + enteringPairCount_,
              [&key](const EnteringPair &p, const EnteringPair &q) { return key(p) < key(q); });
    for (int k = 0; k < enteringPairCount_; ++k)
        PairBegins(reps_[enteringPairs_[k].mover], reps_[enteringPairs_[k].other]);
    enteringPairCount_ = 0;
}

// The lists in order again after grid updates: by value; at equal values
// maxes, then boxes of no width on the axis (min before max), then mins,
// which is an order the moves could have left.
void CxSmallSort::EnsureSorted()
{
    if (!listsStale_) return;
    for (int k = 0; k < axisCount_; ++k) ResortAxis(axes_[k]);
    listsStale_ = false;
}

void CxSmallSort::ResortAxis(int axis)
{
    int count = 0;
    for (CxEndPoint *end = low_[axis].next; end != &high_[axis]; end = end->next) mergeScratch_[count++] = end;
    auto rank = [axis](const CxEndPoint *end) {
        const CxEndPoint *own = end->rep->ends[axis];
        if (own[kCxMin].value == own[kCxMax].value) return 1;
        return end->kind == kCxMax ? 0 : 2;
    };
    std::sort(mergeScratch_, mergeScratch_ + count, [&rank](const CxEndPoint *p, const CxEndPoint *q) {
        if (p->value != q->value) return p->value < q->value;
        int rp = rank(p), rq = rank(q);
        if (rp != rq) return rp < rq;
        if (p->id != q->id) return p->id < q->id;
        return p->kind < q->kind;
    });
    CxEndPoint *previous = &low_[axis];
    for (int k = 0; k < count; ++k) {
        previous->next = mergeScratch_[k];
        mergeScratch_[k]->previous = previous;
        previous = mergeScratch_[k];
    }
    previous->next = &high_[axis];
    high_[axis].previous = previous;
}
