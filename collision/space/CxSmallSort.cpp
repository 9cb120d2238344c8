// The sort-and-sweep space: construction, model slots and freezing.
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/PxMemory.h>

#include <algorithm>
#include <cfloat>
#include <functional>
#include <new>

namespace {

// Ids must fit the 16-bit halves of a pair key.
const int kMaxModels = 65536;

void InitSentinels(CxEndPoint *low, CxEndPoint *high)
{
    *low = CxEndPoint{high, nullptr, -DBL_MAX, nullptr, -1, kCxSentinel};
    *high = CxEndPoint{nullptr, low, DBL_MAX, nullptr, -1, kCxSentinel};
}

} // namespace

CxSmallSort *CxSmallSort::New(int axisMask, int maxModels, int maxPairs)
{
    if (axisMask < 1 || axisMask > CdxAllAxes || maxModels < 1 || maxModels > kMaxModels || maxPairs < 1)
        return nullptr;
    void *memory = PxMemoryAPI.create(sizeof(CxSmallSort));
    if (!memory) return nullptr;
    CxSmallSort *space = new (memory) CxSmallSort();
    space->axisMask_ = static_cast<uint8_t>(axisMask);
    for (int axis = 0; axis < 3; ++axis)
        if (axisMask & (1 << axis)) space->axes_[space->axisCount_++] = axis;
    if (!space->Allocate(maxModels, maxPairs)) {
        space->Delete();
        return nullptr;
    }
    space->InitLists();
    return space;
}

bool CxSmallSort::Allocate(int maxModels, int maxPairs)
{
    size_t n = static_cast<size_t>(maxModels);
    reps_ = static_cast<CxSmallSortRep **>(PxMemoryAPI.create(n * sizeof(CxSmallSortRep *)));
    repBlock_ = static_cast<CxSmallSortRep *>(PxMemoryAPI.createZeroed(n * sizeof(CxSmallSortRep)));
    dynamicWords_ = static_cast<uint32_t *>(
        PxMemoryAPI.createZeroed(BitArray::WordCount(maxModels) * sizeof(uint32_t)));
    freeIds_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    forgetScratch_ = static_cast<CxPairNode **>(PxMemoryAPI.create(n * sizeof(CxPairNode *)));
    thawScratch_ = static_cast<CxPairNode **>(
        PxMemoryAPI.create(static_cast<size_t>(maxPairs) * sizeof(CxPairNode *)));
    // Work space for placing many new models at once.
    entering_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    enteringBoxes_ = static_cast<PxReal *>(PxMemoryAPI.create(6 * n * sizeof(PxReal)));
    enteringIndex_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    mergeScratch_ = static_cast<CxEndPoint **>(PxMemoryAPI.create(2 * n * sizeof(CxEndPoint *)));
    active_[0] = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    active_[1] = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    activeSlot_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    maxRank_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    enteringPairs_ = static_cast<EnteringPair *>(
        PxMemoryAPI.create(static_cast<size_t>(maxPairs) * sizeof(EnteringPair)));
    index_ = static_cast<CxOverlapEntry *>(
        PxMemoryAPI.create(static_cast<size_t>(maxPairs) * sizeof(CxOverlapEntry)));
    // The grid: one entry a box, and twice as many buckets as boxes.
    inUse_ = static_cast<uint8_t *>(PxMemoryAPI.createZeroed(n));
    gridBoxes_ = static_cast<PxReal *>(PxMemoryAPI.createZeroed(6 * n * sizeof(PxReal)));
    gridLow_ = static_cast<int32_t *>(PxMemoryAPI.create(3 * n * sizeof(int32_t)));
    gridExtent_ = static_cast<PxReal *>(PxMemoryAPI.create(n * sizeof(PxReal)));
    gridLive_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    gridLarge_ = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    // An entry a cache line.
    gridEntries_ = static_cast<GridEntry *>(PxMemoryAPI.createAligned(n * sizeof(GridEntry), 64));
    gridBuckets_ = 1;
    while (static_cast<size_t>(gridBuckets_) < 2 * n) gridBuckets_ *= 2;
    gridStarts_ = static_cast<uint32_t *>(
        PxMemoryAPI.create((static_cast<size_t>(gridBuckets_) + 1) * sizeof(uint32_t)));
    if (!reps_ || !repBlock_ || !dynamicWords_ || !freeIds_ || !forgetScratch_ || !thawScratch_ || !entering_ ||
        !enteringBoxes_ || !enteringIndex_ || !mergeScratch_ || !active_[0] || !active_[1] || !activeSlot_ ||
        !maxRank_ || !enteringPairs_ || !index_ || !inUse_ || !gridBoxes_ || !gridLow_ || !gridExtent_ ||
        !gridLive_ || !gridLarge_ || !gridEntries_ || !gridStarts_ || !table_.Init(maxPairs, maxModels))
        return false;
    enteringPairCapacity_ = maxPairs;
    indexCapacity_ = maxPairs;
    size_ = maxModels;
    for (int k = 0; k < maxModels; ++k) {
        reps_[k] = &repBlock_[k];
        reps_[k]->id = -1;
        // Ascending ids form a min-heap: 0, 1, 2, ... are handed out first.
        freeIds_[k] = k;
        enteringIndex_[k] = -1;
    }
    freeCount_ = maxModels;
    dynamic_.Init(dynamicWords_, maxModels);
    return true;
}

void CxSmallSort::InitLists()
{
    for (int axis = 0; axis < 3; ++axis) InitSentinels(&low_[axis], &high_[axis]);
    for (int list = 0; list < kListCount; ++list) {
        lists_[list].next = lists_[list].previous = &lists_[list];
        lists_[list].id1 = lists_[list].id2 = -1;
        lists_[list].list = static_cast<uint8_t>(list);
    }
}

void CxSmallSort::Release()
{
    table_.Term();
    disabled_.Term();
    PxMemoryAPI.destroy(reps_);
    PxMemoryAPI.destroy(repBlock_);
    PxMemoryAPI.destroy(dynamicWords_);
    PxMemoryAPI.destroy(freeIds_);
    PxMemoryAPI.destroy(forgetScratch_);
    PxMemoryAPI.destroy(thawScratch_);
    PxMemoryAPI.destroy(entering_);
    PxMemoryAPI.destroy(enteringBoxes_);
    PxMemoryAPI.destroy(enteringIndex_);
    PxMemoryAPI.destroy(mergeScratch_);
    PxMemoryAPI.destroy(active_[0]);
    PxMemoryAPI.destroy(active_[1]);
    PxMemoryAPI.destroy(activeSlot_);
    PxMemoryAPI.destroy(maxRank_);
    PxMemoryAPI.destroy(enteringPairs_);
    PxMemoryAPI.destroy(index_);
    PxMemoryAPI.destroy(inUse_);
    PxMemoryAPI.destroy(gridBoxes_);
    PxMemoryAPI.destroy(gridLow_);
    PxMemoryAPI.destroy(gridExtent_);
    PxMemoryAPI.destroy(gridLive_);
    PxMemoryAPI.destroy(gridLarge_);
    PxMemoryAPI.destroyAligned(gridEntries_);
    PxMemoryAPI.destroy(gridStarts_);
}

void CxSmallSort::Delete()
{
    Release();
    this->~CxSmallSort();
    PxMemoryAPI.destroy(this);
}

// From a byte per slot rather than the slot itself: the bridge asks for
// every pair it reads, and the slots of a large space are far apart.
bool CxSmallSort::ValidID(int id) const
{
    return id >= 0 && id < size_ && inUse_[id];
}

void *CxSmallSort::GetRepData(int id) const
{
    return ValidID(id) ? reps_[id]->data : nullptr;
}

int CxSmallSort::Insert(void *data)
{
    if (freeCount_ == 0) {
        CdxError(nullptr, CdxErrSpaceModelsFull, nullptr);
        return -1;
    }
    std::pop_heap(freeIds_, freeIds_ + freeCount_, std::greater<int>());
    int id = freeIds_[--freeCount_];
    // The new end points go to the top of lists in order.
    EnsureSorted();
    CxSmallSortRep *rep = reps_[id];
    rep->id = id;
    inUse_[id] = 1;
    rep->data = data;
    rep->placed = 0;
    ++unplacedCount_;
    // The new box sits at the top of every list and enters the sort, from
    // above, at the model's first update.
    for (int k = 0; k < axisCount_; ++k) {
        int axis = axes_[k];
        for (int side = kCxMin; side <= kCxMax; ++side) {
            CxEndPoint *end = &rep->ends[axis][side];
            *end = CxEndPoint{nullptr, nullptr, DBL_MAX, rep, id, static_cast<uint8_t>(side)};
            CxEndPointLinkAfter(end, high_[axis].previous);
        }
    }
    SetDynamic(id, true);
    return id;
}

void CxSmallSort::Remove(int id)
{
    if (!ValidID(id)) return;
    SetDynamic(id, false);
    CxSmallSortRep *rep = reps_[id];
    if (!rep->placed) --unplacedCount_;
    for (int k = 0; k < axisCount_; ++k) {
        CxEndPointUnlink(&rep->ends[axes_[k]][kCxMin]);
        CxEndPointUnlink(&rep->ends[axes_[k]][kCxMax]);
    }
    ForgetPairsOf(id);
    freeIds_[freeCount_++] = id;
    std::push_heap(freeIds_, freeIds_ + freeCount_, std::greater<int>());
    rep->id = -1;
    inUse_[id] = 0;
    rep->data = nullptr;
}

void CxSmallSort::SetDynamic(int id, bool dynamic)
{
    if (!ValidID(id)) return;
    bool changes = dynamic_.Get(id) != dynamic;
    dynamic_.Set(id, dynamic);
    reps_[id]->dynamic = dynamic ? 1 : 0;
    if (changes && dynamic)
        ThawPairsOf(id);
    else if (changes)
        ParkPairsOf(id);
}

bool CxSmallSort::GetDynamic(int id) const
{
    return ValidID(id) && dynamic_.Get(id);
}
