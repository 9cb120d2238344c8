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
    uint8_t status = Status(a, b);
    bool enabled = !(status & kCxDisabled);
    if (enabled == enable) return 1;
    int done = 1;
    if ((status & kCxCountMask) != axisCount_)
        status ^= kCxDisabled; // not nearby: no record to begin or end
    else
        done = enable ? EnableNearby(a, b, status) : DisableNearby(a, b, status);
    SetStatus(a, b, status);
    return done;
}

int CxSmallSort::EnableNearby(int a, int b, uint8_t &status)
{
    status &= static_cast<uint8_t>(~kCxDisabled);
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(a, b));
    int waitingList = changing_ ? kCxListOld : kCxListPendingDisable;
    if (node && node->list == waitingList) {
        // Its goodbye has not been reported: it simply stays.
        MoveTo(node, kCxListOverlap);
        status &= static_cast<uint8_t>(~kCxChanged);
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
    if (!NewPair(i, j, reps_[a]->data, reps_[b]->data, list)) return 0;
    status |= kCxChanged;
    return 1;
}

int CxSmallSort::DisableNearby(int a, int b, uint8_t &status)
{
    status |= kCxDisabled;
    CxPairNode *node = table_.Find(CxPairLinkHashTable::Key(a, b));
    if (!node) return 1;
    int unreportedList = changing_ ? kCxListNew : kCxListPendingEnable;
    if (node->list == unreportedList) {
        DeletePair(node);
        status &= static_cast<uint8_t>(~kCxChanged);
    } else if (node->list == kCxListOverlap || node->list == kCxListNew) {
        MoveTo(node, changing_ ? kCxListOld : kCxListPendingDisable);
        status |= kCxChanged;
    }
    return 1;
}
