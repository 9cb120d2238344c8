// The sort-and-sweep space: models that enter the sort together.
//
// A new model waits at the top of every list until its first update, and
// then moves down past every end point above its box: placing N models one
// after the other costs N^2 passes, several seconds for 10,000 models. A
// group of them is placed instead by sorting its end points, merging them
// into the lists and finding the overlaps in one sweep, along the axis on
// which the fewest intervals overlap.
//
// The result is the one the moves give, down to the order of end points
// with equal values and the order and model order of the new pairs:
// - A moving end point only looks at the end points of its own value once
//   it is below all greater ones, so merging value by value, each group in
//   the order of the moves, reproduces the lists.
// - Whether two intervals overlap depends on the lists only, whatever the
//   moves were.
// - A pair of a new model with a model already in the lists (or placed
//   earlier in the same group) begins while the new model's min moves down
//   the last axis and passes the other's max; pairs that begin and end
//   within the move are never seen. So the new pairs are those overlapping
//   on every axis, begun by the later of the two models, in the order of
//   that model and then of the other's max from the top of the last axis.
// This holds while every end point of an unplaced model lies above every
// placed one, which is how models enter; otherwise the moves are used.
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// Fewer models than this enter one by one: a group costs a sweep of the
// whole lists.
const int kMinGroup = 8;

bool ValidBox(const PxVector3 min, const PxVector3 max, const int *axes, int axisCount)
{
    for (int k = 0; k < axisCount; ++k) {
        int axis = axes[k];
        if (std::isnan(min[axis]) || std::isnan(max[axis]) || min[axis] > max[axis]) return false;
    }
    return true;
}

// Strictly inside the sentinels: such a box leaves the top of every list.
bool FiniteBox(const PxVector3 min, const PxVector3 max, const int *axes, int axisCount)
{
    for (int k = 0; k < axisCount; ++k) {
        int axis = axes[k];
        if (!(min[axis] > -DBL_MAX && max[axis] < DBL_MAX)) return false;
    }
    return true;
}

} // namespace

// Every end point of an unplaced model lies above every placed one, on
// every axis.
bool CxSmallSort::EnteringAtTop() const
{
    for (int k = 0; k < axisCount_; ++k) {
        int found = 0;
        for (const CxEndPoint *end = high_[axes_[k]].previous; end->rep && !end->rep->placed; end = end->previous)
            ++found;
        if (found != 2 * unplacedCount_) return false;
    }
    return true;
}

void CxSmallSort::UpdateAllEntering(PxReal time)
{
    enteringCount_ = 0;
    bool atTop = true;
    size_t words = BitArray::WordCount(size_);
    for (size_t w = 0; w < words; ++w) {
        for (uint32_t bits = dynamic_.Word(w); bits != 0; bits &= bits - 1) {
            int id = static_cast<int>(w * 32) + __builtin_ctz(bits);
            CxSmallSortRep *rep = reps_[id];
            PxVector3 min, max;
            if (!aabbFn_(static_cast<CdxModelID>(rep->data), min, max, time)) continue;
            // A box the lists refuse changes nothing, either way.
            if (!ValidBox(min, max, axes_, axisCount_)) continue;
            if (atTop && !rep->placed && FiniteBox(min, max, axes_, axisCount_)) {
                AddEntering(rep, min, max);
                continue;
            }
            // The models before this one are placed before it moves.
            PlaceEntering();
            bool wasPlaced = rep->placed;
            UpdateBox(rep, min, max);
            // An end point left at the top of a list may sit among the
            // unplaced ones: the rest enter one by one.
            for (int k = 0; k < axisCount_; ++k) {
                const CxEndPoint *ends = rep->ends[axes_[k]];
                if (ends[kCxMin].value == DBL_MAX || (!wasPlaced && ends[kCxMax].value == DBL_MAX)) atTop = false;
            }
        }
    }
    PlaceEntering();
}

void CxSmallSort::AddEntering(CxSmallSortRep *rep, const PxVector3 min, const PxVector3 max)
{
    PxReal *box = &enteringBoxes_[6 * enteringCount_];
    for (int axis = 0; axis < 3; ++axis) {
        box[axis] = min[axis];
        box[3 + axis] = max[axis];
    }
    enteringIndex_[rep->id] = enteringCount_;
    entering_[enteringCount_++] = rep->id;
}

void CxSmallSort::PlaceEntering()
{
    if (enteringCount_ == 0) return;
    if (enteringCount_ < kMinGroup) {
        for (int k = 0; k < enteringCount_; ++k) {
            const PxReal *box = &enteringBoxes_[6 * k];
            UpdateBox(reps_[entering_[k]], box, box + 3);
        }
    } else {
        for (int k = 0; k < axisCount_; ++k) MergeEntering(axes_[k]);
        CountEntering(QuietestAxis(), true);
        RankLastAxis();
        BeginEnteringPairs();
        for (int k = 0; k < enteringCount_; ++k) reps_[entering_[k]]->placed = 1;
        unplacedCount_ -= enteringCount_;
    }
    for (int k = 0; k < enteringCount_; ++k) enteringIndex_[entering_[k]] = -1;
    enteringCount_ = 0;
}

void CxSmallSort::MergeEntering(int axis)
{
    CxEndPoint **ends = mergeScratch_;
    int n = 0;
    for (int k = 0; k < enteringCount_; ++k) {
        CxSmallSortRep *rep = reps_[entering_[k]];
        for (int side = kCxMin; side <= kCxMax; ++side) {
            CxEndPoint *end = &rep->ends[axis][side];
            CxEndPointUnlink(end);
            end->value = enteringBoxes_[6 * k + 3 * side + axis];
            ends[n++] = end;
        }
    }
    // By value; equal values in the order of the moves (min before max).
    auto order = [this](const CxEndPoint *a, const CxEndPoint *b) {
        if (a->value != b->value) return a->value < b->value;
        return 2 * enteringIndex_[a->id] + a->kind < 2 * enteringIndex_[b->id] + b->kind;
    };
    std::sort(ends, ends + n, order);

    // From the top of the placed end points down, one value at a time.
    CxEndPoint *below = high_[axis].previous;
    while (below->rep && !below->rep->placed) below = below->previous;
    for (int last = n - 1; last >= 0;) {
        PxReal value = ends[last]->value;
        int first = last;
        while (first > 0 && ends[first - 1]->value == value) --first;
        while (below->kind != kCxSentinel && below->value > value) below = below->previous;
        CxEndPoint *above = below->next; // the lowest end point above the value
        for (int g = first; g <= last; ++g) {
            CxEndPoint *end = ends[g];
            // A min stops at the first end point of its value; a max goes
            // on past the mins of other models there.
            CxEndPoint *after = above->previous;
            if (end->kind == kCxMax)
                while (after->kind == kCxMin && after->value == value && after->rep != end->rep)
                    after = after->previous;
            CxEndPointLinkAfter(end, after);
        }
        last = first - 1;
    }
}

// The axis with the fewest overlaps involving an entering model: the sweep
// along it meets the fewest pairs that the other axes then turn down.
int CxSmallSort::QuietestAxis()
{
    int best = axes_[axisCount_ - 1];
    uint64_t fewest = axisCount_ > 1 ? CountEntering(best, false) : 0;
    for (int k = axisCount_ - 2; k >= 0; --k) {
        uint64_t count = CountEntering(axes_[k], false);
        if (count < fewest) {
            fewest = count;
            best = axes_[k];
        }
    }
    return best;
}

// Sweeps one axis: every overlap of an entering model with a placed one or
// another entering one, each pair once, at the later min. Returns how many
// there are; with collect, passes each to MeetEntering.
uint64_t CxSmallSort::CountEntering(int axis, bool collect)
{
    activeCount_[0] = activeCount_[1] = 0;
    uint64_t count = 0;
    for (CxEndPoint *end = low_[axis].next; end->kind != kCxSentinel; end = end->next) {
        CxSmallSortRep *rep = end->rep;
        int id = end->id;
        bool entering = enteringIndex_[id] >= 0;
        if (!entering && !rep->placed) break; // the unplaced models waiting at the top
        int set = entering ? 0 : 1;
        if (end->kind == kCxMin) {
            count += static_cast<uint64_t>(activeCount_[0]) + (entering ? activeCount_[1] : 0);
            if (collect) {
                for (int k = 0; k < activeCount_[0]; ++k) MeetEntering(rep, reps_[active_[0][k]], axis);
                if (entering)
                    for (int k = 0; k < activeCount_[1]; ++k) MeetEntering(rep, reps_[active_[1][k]], axis);
            }
            activeSlot_[id] = activeCount_[set];
            active_[set][activeCount_[set]++] = id;
        } else {
            int slot = activeSlot_[id];
            int moved = active_[set][--activeCount_[set]];
            active_[set][slot] = moved;
            activeSlot_[moved] = slot;
        }
    }
    return count;
}

// The rank of every placed or entering max on the last sorted axis, from
// the bottom: the order in which the moves would have met them.
void CxSmallSort::RankLastAxis()
{
    int rank = 0;
    int axis = axes_[axisCount_ - 1];
    for (CxEndPoint *end = low_[axis].next; end->kind != kCxSentinel; end = end->next, ++rank) {
        if (enteringIndex_[end->id] < 0 && !end->rep->placed) break;
        if (end->kind == kCxMax) maxRank_[end->id] = rank;
    }
}

// Two models whose intervals overlap on the swept axis: a pair begins when
// they overlap on the others too and it is not disabled.
void CxSmallSort::MeetEntering(CxSmallSortRep *a, CxSmallSortRep *b, int axis)
{
    if (!OverlapElsewhere(a, b, axis) || Disabled(a->id, b->id)) return;
    if (enteringPairCount_ == enteringPairCapacity_) {
        // More pairs than records: the table could not hold them either.
        CdxError(nullptr, CdxErrSpacePairsFull, nullptr);
        return;
    }
    // The model placed later (a placed model counts as earliest) moves
    // into the other and begins the pair.
    bool aLater = enteringIndex_[a->id] > enteringIndex_[b->id];
    enteringPairs_[enteringPairCount_++] = {aLater ? a->id : b->id, aLater ? b->id : a->id};
}

void CxSmallSort::BeginEnteringPairs()
{
    auto order = [this](const EnteringPair &p, const EnteringPair &q) {
        if (p.mover != q.mover) return enteringIndex_[p.mover] < enteringIndex_[q.mover];
        return maxRank_[p.other] > maxRank_[q.other];
    };
    std::sort(enteringPairs_, enteringPairs_ + enteringPairCount_, order);
    for (int k = 0; k < enteringPairCount_; ++k) {
        int mover = enteringPairs_[k].mover, other = enteringPairs_[k].other;
        int i = mover < other ? mover : other;
        int j = mover < other ? other : mover;
        if (CxPairNode *created = NewPair(i, j, reps_[mover]->data, reps_[other]->data, kCxListNew))
            MarkChanged(created, true);
    }
    enteringPairCount_ = 0;
}
