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
    MergeThawed(); // the pairs this move may end are in the overlap list
    PxVector3 min, max;
    if (!aabbFn_(static_cast<CdxModelID>(rep->data), min, max, time)) return 1;
    EnsureSorted();
    UpdateBox(rep, min, max);
    return 1;
}

int CxSmallSort::UpdateAll(PxReal time)
{
    if (!aabbFn_) return 0;
    MergeThawed(); // the pairs these moves may end are in the overlap list
    // Models that have never been placed enter together.
    if (unplacedCount_ > 0) EnsureSorted();
    if (unplacedCount_ > 0 && EnteringAtTop()) {
        UpdateAllEntering(time);
        return 1;
    }
    UpdateAllPlaced(time);
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
        // round throughout: a min never passes its own max.
        if (newLow < low->value) {
            MoveEndPoint(low, newLow, axis);
            MoveEndPoint(high, newHigh, axis);
        } else {
            MoveEndPoint(high, newHigh, axis);
            MoveEndPoint(low, newLow, axis);
        }
    }
}

void CxSmallSort::MoveEndPoint(CxEndPoint *end, PxReal value, int axis)
{
    if (value < end->value)
        MoveDown(end, value, axis);
    else if (value > end->value)
        MoveUp(end, value, axis);
}

// Passing a lower neighbour: a min passing a max begins an overlap on this
// axis, a max passing a min ends one.
void CxSmallSort::MoveDown(CxEndPoint *end, PxReal value, int axis)
{
    CxEndPoint *below = end->previous;
    while (below->kind != kCxSentinel && Above(below, below->value, end, value)) {
        if (below->kind != end->kind) Crossing(end, below, end->kind == kCxMin, axis);
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
void CxSmallSort::MoveUp(CxEndPoint *end, PxReal value, int axis)
{
    CxEndPoint *above = end->next;
    while (above->kind != kCxSentinel && Above(end, value, above, above->value)) {
        if (above->kind != end->kind) Crossing(end, above, end->kind == kCxMax, axis);
        above = above->next;
    }
    if (above != end->next) {
        CxEndPointUnlink(end);
        CxEndPointLinkAfter(end, above->previous);
    }
    end->value = value;
}

// The pair begins or ends when its intervals now overlap, or did until now,
// on every other sorted axis. The other axes are read at once: later moves
// change them. Pairs of two frozen models and disabled pairs do neither.
void CxSmallSort::Crossing(const CxEndPoint *moving, const CxEndPoint *passed, bool begins, int axis)
{
    ++crossings_;
    CxSmallSortRep *a = moving->rep;
    CxSmallSortRep *b = passed->rep;
    if (a == b || !(a->dynamic || b->dynamic) || !OverlapElsewhere(a, b, axis)) return;
    if (Disabled(a->id, b->id)) return;
    // While a whole list is sorted, a model that jumps over another passes
    // its min before its max: the pair would begin only to end a moment
    // later, and many such pairs at once could fill the pair table.
    if (begins && sortingAll_ && ApartOnceSorted(a, b, axis)) return;
    if (begins)
        PairBegins(a, b);
    else
        PairEnds(a->id < b->id ? a->id : b->id, a->id < b->id ? b->id : a->id);
}

// a is the model whose end point moved: it becomes model 1 of a new pair.
void CxSmallSort::PairBegins(CxSmallSortRep *a, CxSmallSortRep *b)
{
    int i = a->id < b->id ? a->id : b->id;
    int j = a->id < b->id ? b->id : a->id;
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(i, j));
    if (node && node->list == kCxListOld && CxPairLinkHashTable::Changed(node)) {
        // It ended earlier in this update: it was never away.
        MoveTo(node, kCxListOverlap);
        MarkChanged(node, false);
        return;
    }
    if (CxPairNode *created = NewPair(i, j, a->data, b->data, kCxListNew)) MarkChanged(created, true);
}

void CxSmallSort::PairEnds(int i, int j)
{
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(i, j));
    if (!node) return;
    if (node->list == kCxListNew) {
        // Begun and ended within one update: nobody has seen it.
        DeletePair(node);
    } else if (node->list == kCxListOverlap) {
        MoveTo(node, kCxListOld);
        MarkChanged(node, true);
    }
}
