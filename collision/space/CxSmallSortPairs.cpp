// The sort-and-sweep space: pair records, the pair lists and the update
// bracket that turns this update's changes into last update's.
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/CdxModelPair.h>

#include <algorithm>

void CxSmallSort::ListAppend(CxPairNode *sentinel, CxPairNode *node)
{
    node->previous = sentinel->previous;
    node->next = sentinel;
    sentinel->previous->next = node;
    sentinel->previous = node;
    node->list = sentinel->list;
    if (node->list == kCxListOverlap) IndexAppend(node);
}

CxPairNode *CxSmallSort::NewPair(int i, int j, void *data1, void *data2, int list)
{
    CxPairNode *node = table_.Insert(CxPairLinkHashTable::Key(i, j));
    if (!node) {
        CdxError(nullptr, CdxErrSpacePairsFull, nullptr);
        return nullptr;
    }
    node->id1 = i;
    node->id2 = j;
    CdxModelPairReset(&node->pair, static_cast<CdxModelID>(data1), static_cast<CdxModelID>(data2));
    ListAppend(&lists_[list], node);
    return node;
}

// Takes a node out of its list; a reader positioned on it goes on with
// the next one.
void CxSmallSort::Unlink(CxPairNode *node)
{
    if (cursor_[node->list] == node) cursor_[node->list] = node->next;
    if (node->list == kCxListOverlap && !indexStale_) {
        index_[node->slot].node = nullptr;
        ++indexDead_;
    }
    node->previous->next = node->next;
    node->next->previous = node->previous;
}

void CxSmallSort::DeletePair(CxPairNode *node)
{
    Unlink(node);
    node->list = kCxListNone;
    table_.Release(node);
}

// A pair that joins the overlap list takes the next place in its order; one
// of two frozen models goes to the frozen list with that place.
void CxSmallSort::MoveTo(CxPairNode *node, int list)
{
    Unlink(node);
    if (list == kCxListOverlap) {
        node->order = nextOrder_++;
        bool frozen = node->id1 >= 0 && !dynamic_.Get(node->id1) && !dynamic_.Get(node->id2);
        if (frozen) list = kCxListFrozen;
    }
    ListAppend(&lists_[list], node);
}

// id froze: its staying pairs whose other model is frozen too leave the
// overlap list, which a step walks whole.
void CxSmallSort::ParkPairsOf(int id)
{
    int count = table_.CollectOf(id, forgetScratch_, size_);
    for (int k = 0; k < count; ++k) {
        CxPairNode *node = forgetScratch_[k];
        int other = node->id1 == id ? node->id2 : node->id1;
        bool staying = node->list == kCxListOverlap || node->list == kCxListThawing;
        if (!staying || dynamic_.Get(other)) continue;
        Unlink(node);
        ListAppend(&lists_[kCxListFrozen], node);
    }
}

// id thawed: its frozen pairs wait on the thawing list until the overlap
// list is next read or updated, and all that thawed meanwhile are merged
// back in one pass (a whole island wakes one model at a time).
void CxSmallSort::ThawPairsOf(int id)
{
    int count = table_.CollectOf(id, forgetScratch_, size_);
    for (int k = 0; k < count; ++k) {
        CxPairNode *node = forgetScratch_[k];
        if (node->list != kCxListFrozen) continue;
        Unlink(node);
        ListAppend(&lists_[kCxListThawing], node);
    }
}

// The thawed pairs in order, merged into the overlap list (which is in
// order) in one walk. A reader positioned after a merged pair does not
// read it, as it would not have read a pair there that thawed late.
void CxSmallSort::MergeThawedPairs()
{
    CxPairNode *thawing = &lists_[kCxListThawing];
    int count = 0;
    for (CxPairNode *node = thawing->next; node != thawing; node = node->next) thawScratch_[count++] = node;
    std::sort(thawScratch_, thawScratch_ + count,
              [](const CxPairNode *p, const CxPairNode *q) { return p->order < q->order; });
    CxPairNode *overlap = &lists_[kCxListOverlap];
    CxPairNode *place = overlap->next;
    // Placed between entries: the index is built anew when next read.
    if (count > 0) indexStale_ = true;
    for (int k = 0; k < count; ++k) {
        CxPairNode *node = thawScratch_[k];
        while (place != overlap && place->order < node->order) place = place->next;
        Unlink(node);
        node->next = place;
        node->previous = place->previous;
        place->previous->next = node;
        place->previous = node;
        node->list = kCxListOverlap;
    }
}

// A full index holds entries of pairs that left (the table holds the pairs
// and this one is not in yet): it is compacted first.
void CxSmallSort::IndexAppend(CxPairNode *node)
{
    if (indexStale_) return;
    if (indexCount_ == indexCapacity_) IndexCompact();
    node->slot = indexCount_;
    index_[indexCount_++] = CxOverlapEntry{node, node->id1, node->id2};
}

// Drops the entries of pairs that left; the nodes that move down learn
// their new slots, read ahead since they lie anywhere.
void CxSmallSort::IndexCompact()
{
    const int kAhead = 8;
    int live = 0;
    for (int k = 0; k < indexCount_; ++k) {
        if (k + kAhead < indexCount_ && index_[k + kAhead].node) __builtin_prefetch(index_[k + kAhead].node, 1);
        CxOverlapEntry entry = index_[k];
        if (!entry.node) continue;
        if (live != k) entry.node->slot = live;
        index_[live++] = entry;
    }
    indexCount_ = live;
    indexDead_ = 0;
}

// Before a reading: the index built from the list when stale, or compacted
// once the entries of pairs that left are a quarter of it.
void CxSmallSort::IndexRefresh()
{
    if (!indexStale_) {
        if (indexDead_ * 4 > indexCount_) IndexCompact();
        return;
    }
    CxPairNode *overlap = &lists_[kCxListOverlap];
    indexCount_ = indexDead_ = 0;
    for (CxPairNode *node = overlap->next; node != overlap; node = node->next) {
        node->slot = indexCount_;
        index_[indexCount_++] = CxOverlapEntry{node, node->id1, node->id2};
    }
    indexStale_ = false;
}

const CxOverlapEntry *CxSmallSort::OverlapEntries(CxPairNode *node, int *begin, int *end)
{
    MergeThawed();
    IndexRefresh();
    CxPairNode *overlap = &lists_[kCxListOverlap];
    if (node != overlap && node->list != kCxListOverlap) return nullptr;
    *begin = node == overlap ? indexCount_ : node->slot;
    *end = indexCount_;
    return index_;
}

CxPairNode *CxSmallSort::ResumeReading(int list, void *position)
{
    CxPairNode *node = static_cast<CxPairNode *>(position);
    return node && node == handedOut_[list] ? cursor_[list] : node;
}

void CxSmallSort::NoteReading(int list, CxPairNode *position)
{
    handedOut_[list] = cursor_[list] = position;
}

// Readings do not span brackets.
void CxSmallSort::ForgetReading()
{
    for (int list = 0; list < kListCount; ++list) handedOut_[list] = cursor_[list] = nullptr;
}

// Moves every node of one list to the end of another; a node that still
// has both models gets its changed mark set or cleared.
void CxSmallSort::MoveAll(int from, int to, bool changed)
{
    CxPairNode *sentinel = &lists_[from];
    while (sentinel->next != sentinel) {
        CxPairNode *node = sentinel->next;
        if (node->id1 >= 0) MarkChanged(node, changed);
        MoveTo(node, to);
    }
}

void CxSmallSort::MarkChanged(CxPairNode *node, bool changed)
{
    CxPairLinkHashTable::SetChanged(node, changed);
}

void CxSmallSort::ClearChangedIn(int list)
{
    CxPairNode *sentinel = &lists_[list];
    for (CxPairNode *node = sentinel->next; node != sentinel; node = node->next)
        if (node->id1 >= 0) MarkChanged(node, false);
}

void CxSmallSort::ReleaseOldPairs()
{
    CxPairNode *sentinel = &lists_[kCxListOld];
    while (sentinel->next != sentinel) {
        CxPairNode *node = sentinel->next;
        if (node->id1 >= 0) MarkChanged(node, false);
        DeletePair(node);
    }
}

void CxSmallSort::UpdateBegin()
{
    ForgetReading();
    MergeThawed();
    MoveAll(kCxListNew, kCxListOverlap, false);
    ReleaseOldPairs();
    MoveAll(kCxListPendingDisable, kCxListOld, true);
    MoveAll(kCxListPendingEnable, kCxListNew, true);
    changing_ = true;
}

void CxSmallSort::UpdateEnd()
{
    ForgetReading();
    MergeThawed();
    ClearChangedIn(kCxListNew);
    ClearChangedIn(kCxListOld);
    CxPairNode *removed = &lists_[kCxListRemoved];
    while (removed->next != removed) {
        CxPairNode *node = removed->next;
        node->id1 = -1;
        MoveTo(node, kCxListOld);
    }
    changing_ = false;
}

// The pairs of a model that leaves the space: reported ones end (goodbye
// at the next UpdateEnd), unreported ones vanish, in the order of the other
// model's id. Their keys leave the table at once, since the id may be
// reused before the records are freed. Disabled pairs are forgotten: a new
// model in the slot starts with every pair enabled.
void CxSmallSort::ForgetPairsOf(int id)
{
    disabled_.EraseAllOf(id);
    int nearby = CollectNearbyOf(id);
    for (int k = 0; k < nearby; ++k) {
        CxPairNode *node = forgetScratch_[k];
        bool unreported = node->list == kCxListPendingEnable || (node->list == kCxListNew && changing_);
        if (unreported) {
            DeletePair(node);
        } else {
            table_.Detach(node);
            MoveTo(node, kCxListRemoved);
        }
    }
}

// The records of id's nearby pairs, in forgetScratch_ by the other model's
// id; records of pairs that ended already leave the table and keep their
// goodbye.
int CxSmallSort::CollectNearbyOf(int id)
{
    int count = table_.CollectOf(id, forgetScratch_, size_);
    int nearby = 0;
    for (int k = 0; k < count; ++k) {
        CxPairNode *node = forgetScratch_[k];
        if (node->list != kCxListOld) {
            forgetScratch_[nearby++] = node;
            continue;
        }
        table_.Detach(node);
        node->id1 = -1;
    }
    auto other = [id](const CxPairNode *node) { return node->id1 == id ? node->id2 : node->id1; };
    std::sort(forgetScratch_, forgetScratch_ + nearby,
              [&other](const CxPairNode *p, const CxPairNode *q) { return other(p) < other(q); });
    return nearby;
}

CdxModelPair *CxSmallSort::GetPair(int a, int b)
{
    if (a == b || !ValidID(a) || !ValidID(b)) return nullptr;
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(a, b));
    return node ? &node->pair : nullptr;
}

bool CxSmallSort::GetPairOverlapStatus(int a, int b) const
{
    if (a == b || !ValidID(a) || !ValidID(b)) return false;
    return NearbyNow(a, b);
}

bool CxSmallSort::GetPairOverlapEnabled(int a, int b) const
{
    if (a == b || !ValidID(a) || !ValidID(b)) return false;
    return !Disabled(a, b);
}
