// The incremental sort-and-sweep space.
//
// Per sorted axis a doubly linked list of interval end points stays sorted
// through insertion-sort moves; whenever the end points of two models pass
// each other, the pair's count of overlapping axes changes. A pair whose
// count reaches the number of sorted axes (and that is not disabled) gets a
// record from the pair table and goes to the new list; one whose count
// drops goes to the old list. Moves cost the number of end points passed,
// so the update follows the motion.
//
// At equal values every max end point sorts before every min end point of
// another model, so boxes that only touch never count as overlapping,
// whichever side they came from.
#ifndef KELMAR_COLLISION_CXSMALLSORT_H
#define KELMAR_COLLISION_CXSMALLSORT_H

#include "space/CxSmallSortBits.h"
#include "space/CxSmallSortPairTable.h"
#include "space/CxSpace.h"

struct CxSmallSortRep;

enum CxEndPointKind : uint8_t { kCxMin = 0, kCxMax = 1, kCxSentinel = 255 };

struct CxEndPoint {
    CxEndPoint *next;
    CxEndPoint *previous;
    PxReal value;        // length
    CxSmallSortRep *rep; // null for sentinels
    int id;              // the rep's id, read without touching the rep
    uint8_t kind;        // CxEndPointKind
};

inline void CxEndPointLinkAfter(CxEndPoint *end, CxEndPoint *after)
{
    end->previous = after;
    end->next = after->next;
    after->next->previous = end;
    after->next = end;
}

inline void CxEndPointUnlink(CxEndPoint *end)
{
    end->previous->next = end->next;
    end->next->previous = end->previous;
}

// One model slot.
struct CxSmallSortRep {
    int id;                // -1 while the slot is free
    void *data;            // the CdxModel
    uint8_t dynamic;       // 0 while frozen
    uint8_t placed;        // 0 until the first box is sorted in
    CxEndPoint ends[3][2]; // per axis: min, then max
};

// Bits of the four-bit pair status.
enum : uint8_t {
    kCxCountMask = 3, // axes on which the two intervals overlap
    kCxDisabled = 4,  // the pair may not begin
    kCxChanged = 8    // the pair changed state in the current update
};

class CxSmallSort final : public CxSpace {
public:
    // Null unless 1 <= axisMask <= 7, 1 <= maxModels <= 65536, maxPairs >= 1
    // and memory suffices.
    static CxSmallSort *New(int axisMask, int maxModels, int maxPairs);

    void Delete() override;
    int GetSize() const override { return size_; }
    void SetInc(int increment) override { increment_ = increment; }
    int GetMaxPairCount() const override { return table_.Capacity(); }
    int GetFree() const override { return freeCount_; }
    int Insert(void *data) override;
    void Remove(int id) override;
    void SetData(void *data) override { userData_ = data; }
    void *GetRepData(int id) const override;
    void *GetData() const override { return userData_; }
    void SetDynamic(int id, bool dynamic) override;
    bool GetDynamic(int id) const override;
    void SetAABBUpdateFn(CdxSpaceAABBFn fn) override { aabbFn_ = fn; }
    void SetBSphereUpdateFn(CxBSphereFn fn) override { sphereFn_ = fn; }
    int Update(int id, PxReal time) override;
    void UpdateBegin() override;
    void UpdateEnd() override;
    int UpdateSingle(int id, PxReal time) override;
    int UpdateAll(PxReal time) override;
    bool ValidID(int id) const override;
    CxPairNode *GetNewPairOverlapList() override { return &lists_[kCxListNew]; }
    CxPairNode *GetPairOverlapList() override { return &lists_[kCxListOverlap]; }
    CxPairNode *GetOldPairOverlapList() override { return &lists_[kCxListOld]; }
    CxPairNode *GetRemovedPairList() override { return &lists_[kCxListRemoved]; }
    int SetPairOverlapEnabled(int a, int b, bool enable) override;
    bool GetPairOverlapEnabled(int a, int b) const override;
    bool GetPairOverlapStatus(int a, int b) const override;
    CdxModelPair *GetPair(int a, int b) override;
    bool IsChanging() const override { return changing_; }
    CdxSpaceAABBFn GetAABBUpdateFn() const override { return aabbFn_; }
    CxPairNode *ResumeReading(int list, void *position) override;
    void NoteReading(int list, CxPairNode *position) override;

private:
    // Sentinels of the pair lists, indexed by CxPairList.
    static const int kListCount = kCxListRemoved + 1;

    CxSmallSort() = default;
    ~CxSmallSort() = default;
    bool Allocate(int maxModels, int maxPairs);
    void Release();
    void InitLists();

    // Sorting (CxSmallSortSweep.cpp).
    void UpdateBox(CxSmallSortRep *rep, const PxVector3 min, const PxVector3 max);
    void UpdateAllEntering(PxReal time);
    void MoveEndPoint(CxEndPoint *end, PxReal value);
    void MoveDown(CxEndPoint *end, PxReal value);
    void MoveUp(CxEndPoint *end, PxReal value);
    void Crossing(const CxEndPoint *moving, const CxEndPoint *passed, uint8_t change);
    void FlushCrossings();
    void OverlapUpdate(CxSmallSortRep *a, CxSmallSortRep *b, uint8_t change);
    void PairBegins(CxSmallSortRep *a, CxSmallSortRep *b, uint8_t &status);
    void PairEnds(int i, int j, uint8_t &status);

    // Models entering together (CxSmallSortEnter.cpp): models that have
    // not been sorted in yet are placed by sorting their boxes and merging
    // them into the lists, with the same lists, counts and pairs (in the
    // same order) as moving them in one by one from the top.
    bool EnteringAtTop() const;
    void AddEntering(CxSmallSortRep *rep, const PxVector3 min, const PxVector3 max);
    void PlaceEntering();
    void MergeEntering(int axis);
    void CountEntering(int axis, bool lastAxis);
    void BumpEntering(CxSmallSortRep *a, CxSmallSortRep *b, bool lastAxis);
    void BeginEnteringPairs();

    // Pair records and lists (CxSmallSortPairs.cpp).
    uint64_t StatusIndex(int i, int j) const;
    uint8_t Status(int a, int b) const;
    void SetStatus(int a, int b, uint8_t status);
    CxPairNode *NewPair(int i, int j, void *data1, void *data2, int list);
    void DeletePair(CxPairNode *node);
    void MoveTo(CxPairNode *node, int list);
    void Unlink(CxPairNode *node);
    void ForgetReading();
    void MoveAll(int from, int to, bool changed);
    void MarkChanged(CxPairNode *node, bool changed);
    void ClearChangedIn(int list);
    void ReleaseOldPairs();
    void ForgetPairsOf(int id);

    // Enabling and disabling nearby pairs (CxSmallSortEnable.cpp).
    int EnableNearby(int a, int b, uint8_t &status);
    int DisableNearby(int a, int b, uint8_t &status);

    uint8_t axisMask_ = 0;
    uint8_t axisCount_ = 0;
    int axes_[3] = {0, 0, 0}; // the sorted axes, in increasing order
    int size_ = 0;
    CxSmallSortRep **reps_ = nullptr; // size_ pointers into repBlock_
    CxSmallSortRep *repBlock_ = nullptr;
    uint32_t *dynamicWords_ = nullptr;
    BitArray dynamic_;
    // Free slot ids as a min-heap: the lowest is handed out next, so the ids
    // (and with them the order of pairs, contacts and solver rows) do not
    // depend on the order models were removed in. Models removed and added
    // again get the ids they would get in a fresh space, and a scene reset
    // steps exactly as a fresh load.
    int *freeIds_ = nullptr;
    int freeCount_ = 0;
    CxPairLinkHashTable table_;
    uint8_t *statusBytes_ = nullptr;
    NibbleArray status_;
    CxEndPoint low_[3];
    CxEndPoint high_[3];
    CxPairNode lists_[kListCount];
    // Overlap changes of the current moves, applied in order by
    // FlushCrossings; meanwhile their status bytes are being fetched.
    struct PendingCrossing {
        CxSmallSortRep *moving;
        CxSmallSortRep *passed;
        uint8_t change;
    };
    static const int kCrossingCapacity = 64;
    PendingCrossing crossings_[kCrossingCapacity];
    int crossingCount_ = 0;
    // Entering models: how many models have never been placed, the
    // current group (in update order, with their boxes), and the work
    // space of placing them, all allocated with the space.
    struct EnteringPair {
        int mover; // the model whose move begins the pair (model 1)
        int other;
    };
    int unplacedCount_ = 0;
    int enteringCount_ = 0;
    int *entering_ = nullptr;             // ids, in update order
    PxReal *enteringBoxes_ = nullptr;     // per entering model: min xyz, max xyz
    int *enteringIndex_ = nullptr;        // per id: place in entering_, -1 for others
    CxEndPoint **mergeScratch_ = nullptr; // 2 per model
    int *active_[2] = {nullptr, nullptr}; // open intervals of a sweep: entering, placed
    int activeCount_[2] = {0, 0};
    int *activeSlot_ = nullptr;             // per id: its place in its open set
    int *maxRank_ = nullptr;                // per id: rank of its max on the last axis
    EnteringPair *enteringPairs_ = nullptr; // up to the pair capacity
    int enteringPairCount_ = 0;
    int enteringPairCapacity_ = 0;
    CxPairNode *handedOut_[kListCount] = {}; // last reading position per list
    CxPairNode *cursor_[kListCount] = {};    // the same, moved past nodes that left
    CdxSpaceAABBFn aabbFn_ = nullptr;
    CxBSphereFn sphereFn_ = nullptr;
    void *userData_ = nullptr;
    int increment_ = 0;
    bool changing_ = false;
};

#endif
