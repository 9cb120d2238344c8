// The sort-and-sweep space: pair records, the pair lists and the update
// bracket that turns this update's changes into last update's.
#include "space/CxSmallSort.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/CdxModelPair.h>

namespace {

void ListAppend(CxPairNode *sentinel, CxPairNode *node)
{
    node->previous = sentinel->previous;
    node->next = sentinel;
    sentinel->previous->next = node;
    sentinel->previous = node;
    node->list = sentinel->list;
}

} // namespace

uint64_t CxSmallSort::StatusIndex(int i, int j) const
{
    uint64_t n = static_cast<uint64_t>(size_);
    uint64_t row = static_cast<uint64_t>(i);
    return n * row + static_cast<uint64_t>(j) - (row + 1) * (row + 2) / 2;
}

uint8_t CxSmallSort::Status(int a, int b) const
{
    return a < b ? status_.Get(StatusIndex(a, b)) : status_.Get(StatusIndex(b, a));
}

void CxSmallSort::SetStatus(int a, int b, uint8_t status)
{
    if (a < b)
        status_.Set(StatusIndex(a, b), status);
    else
        status_.Set(StatusIndex(b, a), status);
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
    node->previous->next = node->next;
    node->next->previous = node->previous;
}

void CxSmallSort::DeletePair(CxPairNode *node)
{
    Unlink(node);
    node->list = kCxListNone;
    table_.Release(node);
}

void CxSmallSort::MoveTo(CxPairNode *node, int list)
{
    Unlink(node);
    ListAppend(&lists_[list], node);
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
// owns its pair status gets the changed bit set or cleared.
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
    uint8_t status = Status(node->id1, node->id2);
    status = changed ? (status | kCxChanged) : (status & static_cast<uint8_t>(~kCxChanged));
    SetStatus(node->id1, node->id2, status);
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
    MoveAll(kCxListNew, kCxListOverlap, false);
    ReleaseOldPairs();
    MoveAll(kCxListPendingDisable, kCxListOld, true);
    MoveAll(kCxListPendingEnable, kCxListNew, true);
    changing_ = true;
}

void CxSmallSort::UpdateEnd()
{
    ForgetReading();
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
// at the next UpdateEnd), unreported ones vanish. Their keys leave the
// table at once, since the id may be reused before the records are freed.
void CxSmallSort::ForgetPairsOf(int id)
{
    // Pairs that ended already keep their goodbye record.
    CxPairNode *old = &lists_[kCxListOld];
    for (CxPairNode *node = old->next; node != old; node = node->next) {
        if (node->id1 != id && node->id2 != id) continue;
        table_.Detach(node);
        node->id1 = -1;
    }
    // Every other record belongs to a nearby pair.
    for (int k = 0; k < size_; ++k) {
        if (k == id) continue;
        uint8_t status = Status(k, id);
        if (status == 0) continue;
        SetStatus(k, id, 0);
        if ((status & kCxCountMask) != axisCount_) continue;
        CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(k, id));
        if (!node) continue;
        bool unreported = node->list == kCxListPendingEnable || (node->list == kCxListNew && changing_);
        if (unreported) {
            DeletePair(node);
        } else {
            table_.Detach(node);
            MoveTo(node, kCxListRemoved);
        }
    }
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
    return (Status(a, b) & kCxCountMask) == axisCount_;
}

bool CxSmallSort::GetPairOverlapEnabled(int a, int b) const
{
    if (a == b || !ValidID(a) || !ValidID(b)) return false;
    return !(Status(a, b) & kCxDisabled);
}
