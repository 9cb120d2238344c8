// The incremental sort-and-sweep space.
//
// Per sorted axis a doubly linked list of interval end points stays sorted
// through insertion-sort moves. Whenever a min and a max of two models pass
// each other, the two intervals begin or stop overlapping on that axis; if
// they overlap on every other sorted axis (read off the lists at that
// moment), the pair begins: it gets a record from the pair table and goes
// to the new list, unless it is disabled; or it ends and goes to the old
// list. Moves cost the number of end points passed, so the update follows
// the motion (when many models move at once, each list is sorted once over
// the new values instead: CxSmallSortBatch.cpp), and the space keeps state
// only for the pairs that have records and the pairs that are disabled:
// memory grows with the models, not with their square.
//
// At equal values every max end point sorts before every min end point of
// another model, so boxes that only touch never count as overlapping,
// whichever side they came from.
#ifndef KELMAR_COLLISION_CXSMALLSORT_H
#define KELMAR_COLLISION_CXSMALLSORT_H

#include "space/CxPairKeySet.h"
#include "space/CxSmallSortBits.h"
#include "space/CxSmallSortPairTable.h"
#include "space/CxSpace.h"

struct CxSmallSortRep;

// Fewer live models than this and many models' moves always sort the
// lists: smaller scenes keep the lists' order of pairs.
const int kCxGridModels = 2048;
// A sort of the lists costs about as much per crossing of two end points
// as the grid costs per model divided by this.
const int kCxGridCrossings = 20;

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
    const uint32_t *GetDynamicWords() const override { return dynamic_.Words(); }
    void SetAABBUpdateFn(CdxSpaceAABBFn fn) override { aabbFn_ = fn; }
    void SetBSphereUpdateFn(CxBSphereFn fn) override { sphereFn_ = fn; }
    int Update(int id, PxReal time) override;
    void UpdateBegin() override;
    void UpdateEnd() override;
    int UpdateSingle(int id, PxReal time) override;
    int UpdateAll(PxReal time) override;
    bool ValidID(int id) const override;
    CxPairNode *GetNewPairOverlapList() override { return &lists_[kCxListNew]; }
    CxPairNode *GetPairOverlapList() override
    {
        MergeThawed();
        return &lists_[kCxListOverlap];
    }
    CxPairNode *GetFrozenPairList() override { return &lists_[kCxListFrozen]; }
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
    const CxOverlapEntry *OverlapEntries(CxPairNode *node, int *begin, int *end) override;
    // From how many live models, and after how many crossings of end points
    // per model in one sort of the lists, updates that move many models
    // find the overlaps in a grid for a while (CxSmallSortGrid.cpp);
    // models 0: never.
    void SetGrid(int models, int crossingsPerModel)
    {
        gridModels_ = models;
        gridCrossings_ = crossingsPerModel;
    }

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
    // Many models at once (CxSmallSortBatch.cpp).
    int CollectMoves(PxReal time);
    void UpdateAllPlaced(PxReal time);
    void SortAxis(int axis);
    void StoreEntering(int axis, int moves);
    void StoreEnteringEnds(int m, int axis);
    bool ApartOnceSorted(const CxSmallSortRep *a, const CxSmallSortRep *b, int axis) const;
    void MoveEndPoint(CxEndPoint *end, PxReal value, int axis);
    void MoveDown(CxEndPoint *end, PxReal value, int axis);
    void MoveUp(CxEndPoint *end, PxReal value, int axis);
    void Crossing(const CxEndPoint *moving, const CxEndPoint *passed, bool begins, int axis);
    void PairBegins(CxSmallSortRep *a, CxSmallSortRep *b);
    void PairEnds(int i, int j);

    // Many models at once in a wide world (CxSmallSortGrid.cpp): the
    // overlaps found in a grid of cells, the lists left out of order until
    // something reads them.
    bool GridTurn();
    void GridJudge(int live);
    bool GridUpdate(int moves);
    bool GridBoxes(int moves);
    bool GridFill();
    void GridFound(int a, int b);
    void GridPairs();
    void GridMeetNeighbours(uint32_t entry, const bool sorted[3]);
    void GridTest(const PxReal *boxA, int a, const PxReal *boxB, int b);
    void GridQueue(int a, int b);
    void GridDrain();
    void GridEndUnseen();
    void GridBeginQueued();
    void EnsureSorted();
    void ResortAxis(int axis);
    bool OverlapByValues(const CxSmallSortRep *a, const CxSmallSortRep *b) const;
    bool NearbyNow(int a, int b) const;

    // Overlaps in list order (CxSmallSortOverlap.cpp).
    bool OverlapOn(const CxSmallSortRep *a, const CxSmallSortRep *b, int axis) const;
    // On every sorted axis but skipAxis (-1: on every one).
    bool OverlapElsewhere(const CxSmallSortRep *a, const CxSmallSortRep *b, int skipAxis) const;
    bool Nearby(int a, int b) const { return OverlapElsewhere(reps_[a], reps_[b], -1); }
    bool Disabled(int a, int b) const;

    // Models entering together (CxSmallSortEnter.cpp): models that have
    // not been sorted in yet are placed by sorting their boxes and merging
    // them into the lists, with the same lists, counts and pairs (in the
    // same order) as moving them in one by one from the top.
    bool EnteringAtTop() const;
    void AddEntering(CxSmallSortRep *rep, const PxVector3 min, const PxVector3 max);
    void PlaceEntering();
    void MergeEntering(int axis);
    int QuietestAxis();
    uint64_t CountEntering(int axis, bool collect);
    void RankLastAxis();
    void MeetEntering(CxSmallSortRep *a, CxSmallSortRep *b, int axis);
    void BeginEnteringPairs();

    // Pair records and lists (CxSmallSortPairs.cpp).
    void ListAppend(CxPairNode *sentinel, CxPairNode *node);
    void IndexAppend(CxPairNode *node);
    void IndexCompact();
    void IndexRefresh();
    CxPairNode *NewPair(int i, int j, void *data1, void *data2, int list);
    void DeletePair(CxPairNode *node);
    void MoveTo(CxPairNode *node, int list);
    void Unlink(CxPairNode *node);
    void ForgetReading();
    void MoveAll(int from, int to, bool changed);
    void MarkChanged(CxPairNode *node, bool changed);
    void ClearChangedIn(int list);
    void ReleaseOldPairs();
    void ParkPairsOf(int id);
    void ThawPairsOf(int id);
    void MergeThawed()
    {
        if (lists_[kCxListThawing].next != &lists_[kCxListThawing]) MergeThawedPairs();
    }
    void MergeThawedPairs();
    void ForgetPairsOf(int id);
    int CollectNearbyOf(int id);

    // Enabling and disabling nearby pairs (CxSmallSortEnable.cpp).
    int EnableNearby(int a, int b);
    int DisableNearby(int a, int b);

    uint8_t axisMask_ = 0;
    uint8_t axisCount_ = 0;
    int axes_[3] = {0, 0, 0}; // the sorted axes, in increasing order
    int size_ = 0;
    CxSmallSortRep **reps_ = nullptr; // size_ pointers into repBlock_
    CxSmallSortRep *repBlock_ = nullptr;
    uint8_t *inUse_ = nullptr; // per slot: 1 while a model holds it
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
    CxPairKeySet disabled_;                // pairs that may not begin
    CxPairNode **forgetScratch_ = nullptr; // a leaving model's pairs, maxModels
    CxPairNode **thawScratch_ = nullptr;   // thawed pairs being merged, maxPairs
    uint64_t nextOrder_ = 0;               // the order of the next pair to join the overlap list
    CxEndPoint low_[3];
    CxEndPoint high_[3];
    CxPairNode lists_[kListCount];
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
    // The overlap list in order (CxOverlapEntry), up to the pair capacity;
    // stale after a pair was placed between others (a thawed pair merged),
    // and then built from the list when next read.
    CxOverlapEntry *index_ = nullptr;
    int indexCount_ = 0; // entries, those of pairs that left included
    int indexDead_ = 0;  // entries of pairs that left
    int indexCapacity_ = 0;
    bool indexStale_ = false;
    CxPairNode *handedOut_[kListCount] = {}; // last reading position per list
    CxPairNode *cursor_[kListCount] = {};    // the same, moved past nodes that left
    CdxSpaceAABBFn aabbFn_ = nullptr;
    CxBSphereFn sphereFn_ = nullptr;
    void *userData_ = nullptr;
    int increment_ = 0;
    bool changing_ = false;
    bool sortingAll_ = false; // inside SortAxis: every value of the axis is final
    // The grid's work space, allocated with the space (per model slot: a
    // box, its lowest cell, its extent; a cell entry; 2 buckets).
    // An entry carries its box, so the boxes a cell's neighbours are tested
    // against are read from the entries just compared, one line each.
    struct GridEntry {
        uint64_t cell;
        int id;
        PxReal box[6]; // min xyz, max xyz
    };
    // Pairs found overlapping wait this many finds for their records, in
    // order, while their lookups are read ahead (a power of two).
    static const int kGridLag = 16;
    struct GridPending {
        int a;
        int b;
    };
    int gridModels_ = kCxGridModels;
    int gridCrossings_ = kCxGridCrossings;
    int gridHold_ = 0;             // updates left to the grid
    uint64_t crossings_ = 0;       // in the current sort of the lists
    bool listsStale_ = false;      // values current, order not (a grid update)
    PxReal *gridBoxes_ = nullptr;  // per id: min xyz, max xyz
    int32_t *gridLow_ = nullptr;   // per id: its lowest cell, kGridLarge for large boxes
    PxReal *gridExtent_ = nullptr; // per live model
    int *gridLive_ = nullptr;      // live ids, ascending
    int *gridLarge_ = nullptr;     // large ids, ascending
    GridEntry *gridEntries_ = nullptr;
    uint32_t *gridStarts_ = nullptr; // per bucket, and one past the last
    int gridLiveCount_ = 0;
    int gridLargeCount_ = 0;
    int gridBuckets_ = 0;      // allocated
    int gridFilled_ = 0;       // used by the last grid update
    PxReal gridInverse_ = 0.0; // 1 / the cell's side
    uint8_t gridMark_ = 0;
    GridPending gridPending_[kGridLag] = {};
    uint32_t gridQueued_ = 0; // finds queued in this update
};

#endif
