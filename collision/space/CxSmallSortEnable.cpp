// The sort-and-sweep space: enabling and disabling pairs.
//
// Inside an update bracket the change joins the current transitions.
// Outside one (after UpdateEnd, while the lists are being read) it waits in
// a pending list and joins the transitions at the next UpdateBegin; a
// change undone before then cancels the pending one.
#include "space/CxSmallSort.h"

int CxSmallSort::SetPairOverlapEnabled(int a, int b, bool enable)
{
    if (a == b || !ValidID(a) || !ValidID(b)) return 0;
    MergeThawed();
    uint32_t key = CxPairLinkHashTable::Key(a, b);
    if (!Disabled(a, b) == enable) return 1;
    if (enable)
        disabled_.Erase(key);
    else if (!disabled_.Insert(key))
        return 0;
    // Pairs that are not nearby have no record to begin or end.
    if (!NearbyNow(a, b)) return 1;
    return enable ? EnableNearby(a, b) : DisableNearby(a, b);
}

int CxSmallSort::EnableNearby(int a, int b)
{
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(a, b));
    int waitingList = changing_ ? kCxListOld : kCxListPendingDisable;
    if (node && node->list == waitingList) {
        // Its goodbye has not been reported: it simply stays.
        MoveTo(node, kCxListOverlap);
        MarkChanged(node, false);
        return 1;
    }
    if (node && node->list == kCxListOld) {
        // A reported goodbye awaiting release: it keeps its record, the new
        // pair takes a record of its own.
        table_.Detach(node);
        node->id1 = -1;
    } else if (node) {
        return 1;
    }
    int i = a < b ? a : b, j = a < b ? b : a;
    int list = changing_ ? kCxListNew : kCxListPendingEnable;
    CxPairNode *created = NewPair(i, j, reps_[a]->data, reps_[b]->data, list);
    if (!created) return 0;
    MarkChanged(created, true);
    return 1;
}

int CxSmallSort::DisableNearby(int a, int b)
{
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(a, b));
    if (!node) return 1;
    int unreportedList = changing_ ? kCxListNew : kCxListPendingEnable;
    if (node->list == unreportedList) {
        DeletePair(node);
    } else if (node->list == kCxListOverlap || node->list == kCxListFrozen || node->list == kCxListNew) {
        MoveTo(node, changing_ ? kCxListOld : kCxListPendingDisable);
        MarkChanged(node, true);
    }
    return 1;
}
