// The sort-and-sweep space: whether two models' intervals overlap, read
// off the sorted lists.
//
// Two intervals overlap on an axis when each one's min lies below the
// other's max in the list. Values decide wherever they differ. At equal
// values a max usually lies below the mins of other models (touching boxes
// are apart), but not always: a box of zero width on an axis keeps its min
// and max together, and its max can then hold other end points of the same
// value on the other side. So at equal values the list itself is asked;
// runs of equal values are short except in exactly touching grids.
#include "space/CxSmallSort.h"

namespace {

bool InRun(const CxEndPoint *end, PxReal value)
{
    return end->kind != kCxSentinel && end->value == value;
}

// Whether min end point low lies below max end point high of another model.
// Walks up from both at once: the first walk to meet the other end point,
// or to leave the run of equal values, answers.
bool MinBelowMax(const CxEndPoint *low, const CxEndPoint *high)
{
    if (low->value != high->value) return low->value < high->value;
    PxReal value = low->value;
    const CxEndPoint *fromLow = low->next;
    const CxEndPoint *fromHigh = high->next;
    for (;;) {
        if (fromLow == high) return true;
        if (!InRun(fromLow, value)) return false;
        if (fromHigh == low) return false;
        if (!InRun(fromHigh, value)) return true;
        fromLow = fromLow->next;
        fromHigh = fromHigh->next;
    }
}

} // namespace

bool CxSmallSort::OverlapOn(const CxSmallSortRep *a, const CxSmallSortRep *b, int axis) const
{
    const CxEndPoint *ea = a->ends[axis];
    const CxEndPoint *eb = b->ends[axis];
    return MinBelowMax(&ea[kCxMin], &eb[kCxMax]) && MinBelowMax(&eb[kCxMin], &ea[kCxMax]);
}

bool CxSmallSort::OverlapElsewhere(const CxSmallSortRep *a, const CxSmallSortRep *b, int skipAxis) const
{
    for (int k = 0; k < axisCount_; ++k)
        if (axes_[k] != skipAxis && !OverlapOn(a, b, axes_[k])) return false;
    return true;
}

bool CxSmallSort::Disabled(int a, int b) const
{
    return disabled_.Size() > 0 && disabled_.Contains(CxPairLinkHashTable::Key(a, b));
}
