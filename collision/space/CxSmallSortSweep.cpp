// The sort-and-sweep space: model updates, insertion-sort moves of the end
// points, and the overlap counts those moves change.
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/CdxModelPair.h>

#include <cfloat>
#include <cmath>

namespace {

// Sentinels hold the extreme finite values: an infinite bound sits next to
// them instead of passing them.
PxReal ClampToFinite(PxReal value)
{
    return value < -DBL_MAX ? -DBL_MAX : (value > DBL_MAX ? DBL_MAX : value);
}

// Whether upper must lie above lower in the list: by value, and at equal
// values a min above the max of another model (touching boxes are apart).
bool Above(const CxEndPoint *upper, PxReal upperValue, const CxEndPoint *lower, PxReal lowerValue)
{
    if (upperValue != lowerValue) return upperValue > lowerValue;
    return upper->kind == kCxMin && lower->kind == kCxMax && upper->rep != lower->rep;
}

} // namespace

int CxSmallSort::Update(int id, PxReal time)
{
    if (!aabbFn_ || !ValidID(id)) return 0;
    // A caller already inside a bracket keeps it; otherwise this update is
    // an update of its own.
    bool ownBracket = !changing_;
    if (ownBracket) UpdateBegin();
    UpdateSingle(id, time);
    if (ownBracket) UpdateEnd();
    return 1;
}

int CxSmallSort::UpdateSingle(int id, PxReal time)
{
    if (!aabbFn_ || !ValidID(id)) return 0;
    CxSmallSortRep *rep = reps_[id];
    if (!rep->dynamic) return 1;
    PxVector3 min, max;
    if (aabbFn_(static_cast<CdxModelID>(rep->data), min, max, time)) UpdateBox(rep, min, max);
    FlushCrossings();
    return 1;
}

int CxSmallSort::UpdateAll(PxReal time)
{
    if (!aabbFn_) return 0;
    // Models that have never been placed enter together.
    if (unplacedCount_ > 0 && EnteringAtTop()) {
        UpdateAllEntering(time);
        return 1;
    }
    size_t words = BitArray::WordCount(size_);
    for (size_t w = 0; w < words; ++w) {
        for (uint32_t bits = dynamic_.Word(w); bits != 0; bits &= bits - 1) {
            int id = static_cast<int>(w * 32) + __builtin_ctz(bits);
            CxSmallSortRep *rep = reps_[id];
            PxVector3 min, max;
            if (aabbFn_(static_cast<CdxModelID>(rep->data), min, max, time)) UpdateBox(rep, min, max);
        }
    }
    FlushCrossings();
    return 1;
}

void CxSmallSort::UpdateBox(CxSmallSortRep *rep, const PxVector3 min, const PxVector3 max)
{
    // A box with a NaN or an inverted side would break the order of the
    // lists for every later move: the model keeps its previous box.
    for (int k = 0; k < axisCount_; ++k) {
        int axis = axes_[k];
        if (std::isnan(min[axis]) || std::isnan(max[axis]) || min[axis] > max[axis]) return;
    }
    if (!rep->placed) {
        rep->placed = 1;
        --unplacedCount_;
    }
    for (int k = 0; k < axisCount_; ++k) {
        int axis = axes_[k];
        CxEndPoint *low = &rep->ends[axis][kCxMin];
        CxEndPoint *high = &rep->ends[axis][kCxMax];
        PxReal newLow = ClampToFinite(min[axis]);
        PxReal newHigh = ClampToFinite(max[axis]);
        // Moving the leading end first keeps the interval the right way
        // round throughout, so a count never wraps in between.
        if (newLow < low->value) {
            MoveEndPoint(low, newLow);
            MoveEndPoint(high, newHigh);
        } else {
            MoveEndPoint(high, newHigh);
            MoveEndPoint(low, newLow);
        }
    }
}

void CxSmallSort::MoveEndPoint(CxEndPoint *end, PxReal value)
{
    if (value < end->value)
        MoveDown(end, value);
    else if (value > end->value)
        MoveUp(end, value);
}

// Passing a lower neighbour: a min passing a max begins an overlap on this
// axis (+1), a max passing a min ends one (-1, 255 modulo 256).
void CxSmallSort::MoveDown(CxEndPoint *end, PxReal value)
{
    CxEndPoint *below = end->previous;
    while (below->kind != kCxSentinel && Above(below, below->value, end, value)) {
        uint8_t change = static_cast<uint8_t>(below->kind - end->kind);
        if (change) Crossing(end, below, change);
        below = below->previous;
    }
    if (below != end->previous) {
        CxEndPointUnlink(end);
        CxEndPointLinkAfter(end, below);
    }
    end->value = value;
}

// Passing an upper neighbour: a max passing a min begins an overlap, a min
// passing a max ends one.
void CxSmallSort::MoveUp(CxEndPoint *end, PxReal value)
{
    CxEndPoint *above = end->next;
    while (above->kind != kCxSentinel && Above(end, value, above, above->value)) {
        uint8_t change = static_cast<uint8_t>(end->kind - above->kind);
        if (change) Crossing(end, above, change);
        above = above->next;
    }
    if (above != end->next) {
        CxEndPointUnlink(end);
        CxEndPointLinkAfter(end, above->previous);
    }
    end->value = value;
}

// Pair statuses are spread over N^2/4 bytes: each crossing would wait for
// memory. Crossings are queued while their bytes are fetched and applied in
// the order they happened, which is all a pair's count depends on.
void CxSmallSort::Crossing(const CxEndPoint *moving, const CxEndPoint *passed, uint8_t change)
{
    if (moving->rep == passed->rep) return;
    int i = moving->id < passed->id ? moving->id : passed->id;
    int j = moving->id < passed->id ? passed->id : moving->id;
    __builtin_prefetch(status_.Address(StatusIndex(i, j)), 1);
    __builtin_prefetch(passed->rep, 0);
    crossings_[crossingCount_++] = {moving->rep, passed->rep, change};
    if (crossingCount_ == kCrossingCapacity) FlushCrossings();
}

void CxSmallSort::FlushCrossings()
{
    for (int k = 0; k < crossingCount_; ++k)
        OverlapUpdate(crossings_[k].moving, crossings_[k].passed, crossings_[k].change);
    crossingCount_ = 0;
}

void CxSmallSort::OverlapUpdate(CxSmallSortRep *a, CxSmallSortRep *b, uint8_t change)
{
    if (a == b) return;
    int i = a->id < b->id ? a->id : b->id;
    int j = a->id < b->id ? b->id : a->id;
    uint64_t index = StatusIndex(i, j);
    uint8_t status = status_.Get(index);
    uint8_t count = status & kCxCountMask;
    uint8_t newCount = static_cast<uint8_t>((count + change) & kCxCountMask);
    bool eligible = !(status & kCxDisabled) && (a->dynamic || b->dynamic);
    bool wasActive = eligible && count == axisCount_;
    bool isActive = eligible && newCount == axisCount_;
    if (wasActive && !isActive)
        PairEnds(i, j, status);
    else if (!wasActive && isActive)
        PairBegins(a, b, status);
    status_.Set(index, static_cast<uint8_t>((status & ~kCxCountMask) | newCount));
}

// a is the model whose end point moved: it becomes model 1 of a new pair.
void CxSmallSort::PairBegins(CxSmallSortRep *a, CxSmallSortRep *b, uint8_t &status)
{
    int i = a->id < b->id ? a->id : b->id;
    int j = a->id < b->id ? b->id : a->id;
    if (status & kCxChanged) {
        // It ended earlier in this update: it was never away.
        CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(i, j));
        if (node && node->list == kCxListOld) {
            MoveTo(node, kCxListOverlap);
            status &= static_cast<uint8_t>(~kCxChanged);
            return;
        }
    }
    if (NewPair(i, j, a->data, b->data, kCxListNew)) status |= kCxChanged;
}

void CxSmallSort::PairEnds(int i, int j, uint8_t &status)
{
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(i, j));
    if (!node) return;
    if (node->list == kCxListNew) {
        // Begun and ended within one update: nobody has seen it.
        DeletePair(node);
        status &= static_cast<uint8_t>(~kCxChanged);
    } else if (node->list == kCxListOverlap) {
        MoveTo(node, kCxListOld);
        status |= kCxChanged;
    }
}
