// The sort-and-sweep space: updating many models at once.
//
// Moving models one at a time costs, for each, the end points it passes,
// among them those of models that have not moved yet in this update. A pile
// falling as a lattice shows the worst of it: every ball of a layer has the
// same height, so each ball's move along z passes the end points of its
// layer mates still waiting, and an update costs the models times the balls
// per layer. When many models move, their new boxes are written first and
// each list is insertion-sorted once over the new values instead: the cost
// is the list's length plus the end points that truly change order, and
// models that move together change none.
//
// The axes are sorted one after the other. While one is sorted, the axes
// already done hold their new order and the others their old one, so the
// overlap read off them at a crossing is that of a real intermediate state,
// and every pair of end points that changes order crosses exactly once: the
// pairs that begin and end are the ones single moves give, though they may
// begin in another order and with the other model first.
#include "space/CxSmallSort.h"

#include <cfloat>
#include <cmath>

namespace {

// A model moves with its own end points only when fewer than one in this
// many models move: then the whole lists are not worth a walk.
const int kBatchShare = 4;

PxReal ClampToFinite(PxReal value)
{
    return value < -DBL_MAX ? -DBL_MAX : (value > DBL_MAX ? DBL_MAX : value);
}

bool ValidBox(const PxVector3 min, const PxVector3 max, const int *axes, int axisCount)
{
    for (int k = 0; k < axisCount; ++k) {
        int axis = axes[k];
        if (std::isnan(min[axis]) || std::isnan(max[axis]) || min[axis] > max[axis]) return false;
    }
    return true;
}

} // namespace

// The new boxes of the dynamic models, in id order, into the entering work
// space (unused while every model is placed). Returns how many there are.
int CxSmallSort::CollectMoves(PxReal time)
{
    int count = 0;
    size_t words = BitArray::WordCount(size_);
    for (size_t w = 0; w < words; ++w) {
        for (uint32_t bits = dynamic_.Word(w); bits != 0; bits &= bits - 1) {
            int id = static_cast<int>(w * 32) + __builtin_ctz(bits);
            PxVector3 min, max;
            if (!aabbFn_(static_cast<CdxModelID>(reps_[id]->data), min, max, time)) continue;
            // A box with a NaN or an inverted side keeps the previous one.
            if (!ValidBox(min, max, axes_, axisCount_)) continue;
            PxReal *box = &enteringBoxes_[6 * count];
            for (int axis = 0; axis < 3; ++axis) {
                box[axis] = ClampToFinite(min[axis]);
                box[3 + axis] = ClampToFinite(max[axis]);
            }
            entering_[count++] = id;
        }
    }
    return count;
}

void CxSmallSort::UpdateAllPlaced(PxReal time)
{
    int moves = CollectMoves(time);
    int live = size_ - freeCount_;
    // Models still unplaced sit at the top of the lists with stale values:
    // only their own moves place them.
    if (unplacedCount_ > 0 || moves * kBatchShare < live) {
        if (moves > 0) EnsureSorted();
        for (int k = 0; k < moves; ++k) {
            const PxReal *box = &enteringBoxes_[6 * k];
            UpdateBox(reps_[entering_[k]], box, box + 3);
        }
        return;
    }
    if (GridTurn() && GridUpdate(moves)) return;
    EnsureSorted();
    crossings_ = 0;
    for (int k = 0; k < axisCount_; ++k) {
        int axis = axes_[k];
        StoreEntering(axis, moves);
        SortAxis(axis);
    }
    GridJudge(live);
}

// The moved models' new bounds along axis, written into their end points
// (the lists are sorted afterwards, or left stale for the grid).
void CxSmallSort::StoreEntering(int axis, int moves)
{
    for (int m = 0; m < moves; ++m) StoreEnteringEnds(m, axis);
}

// The m-th moving model's new bounds on axis into its end points.
void CxSmallSort::StoreEnteringEnds(int m, int axis)
{
    CxEndPoint *ends = reps_[entering_[m]]->ends[axis];
    ends[kCxMin].value = enteringBoxes_[6 * m + axis];
    ends[kCxMax].value = enteringBoxes_[6 * m + 3 + axis];
}

// Insertion sort from the bottom: the part below each end point is sorted
// when it moves down, and it passes exactly the end points that now belong
// above it.
void CxSmallSort::SortAxis(int axis)
{
    sortingAll_ = true;
    CxEndPoint *end = low_[axis].next;
    while (end != &high_[axis]) {
        CxEndPoint *next = end->next;
        // Most end points of a scene at rest stay above the one below them:
        // they pass nothing and need no call.
        const CxEndPoint *below = end->previous;
        if (below->kind != kCxSentinel && below->value >= end->value) MoveDown(end, end->value, axis);
        end = next;
    }
    sortingAll_ = false;
}

// Strictly apart by the final values: at equal values the order of the
// list decides, so such pairs begin as usual (and end if they must).
bool CxSmallSort::ApartOnceSorted(const CxSmallSortRep *a, const CxSmallSortRep *b, int axis) const
{
    const CxEndPoint *ea = a->ends[axis];
    const CxEndPoint *eb = b->ends[axis];
    return ea[kCxMax].value < eb[kCxMin].value || eb[kCxMax].value < ea[kCxMin].value;
}
