// Reading a space's transitions into a pair container, resumable through
// the pair iterator when a section fills up.
#include "space/CxSpace.h"

#include <kelmar/CdxModelPairContainer.h>

namespace {

CxSpace *SpaceOf(CdxSpaceID space)
{
    return static_cast<CxSpace *>(space);
}

// Whether slot id holds a dynamic model; a pair whose model was removed
// has id1 -1. Read from the bits directly: a settled pile hands every one
// of its thousands of resting pairs to this test each step.
bool DynamicSlot(const uint32_t *words, int id)
{
    return id >= 0 && ((words[id >> 5] >> (id & 31)) & 1u);
}

bool Frozen(const uint32_t *dynamic, const CxPairNode *node)
{
    return !DynamicSlot(dynamic, node->id1) && !DynamicSlot(dynamic, node->id2);
}

// Where a reading stopped in each list.
struct Positions {
    CxPairNode *hello;
    CxPairNode *staying;
    CxPairNode *goodbye;
    CxPairNode *frozen;
};

// Stores the positions in the iterator and in the space, which moves them
// on should their nodes leave the lists before the next call.
void Note(CxSpace *space, CdxSpacePairIterator *iterator, const Positions &at)
{
    iterator->helloNext = at.hello;
    iterator->stayingNext = at.staying;
    iterator->goodbyeNext = at.goodbye;
    iterator->frozenNext = at.frozen;
    space->NoteReading(kCxListNew, at.hello);
    space->NoteReading(kCxListOverlap, at.staying);
    space->NoteReading(kCxListOld, at.goodbye);
    space->NoteReading(kCxListFrozen, at.frozen);
}

// Appends from node on while the section takes them; returns where it
// stopped (the sentinel when the list is exhausted).
template <typename Add>
CxPairNode *Append(CxPairNode *node, CxPairNode *sentinel, CdxModelPairContainer *container, Add add)
{
    while (node != sentinel && add(container, &node->pair)) node = node->next;
    return node;
}

// Staying pairs; those of two frozen models (the frozen list, and any left
// on the overlap list) are skipped or go to the frozen section. Read from
// the space's index of the list when it has one: its entries lie one after
// the other, where the nodes lie wherever their records were allocated.
CxPairNode *AppendStaying(CxSpace *space, CxPairNode *node, CdxModelPairContainer *container, bool includeFrozen)
{
    CxPairNode *sentinel = space->GetPairOverlapList();
    const uint32_t *dynamic = space->GetDynamicWords();
    int at = 0, end = 0;
    const CxOverlapEntry *entries = space->OverlapEntries(node, &at, &end);
    if (!entries) {
        for (; node != sentinel; node = node->next) {
            if (!Frozen(dynamic, node)) {
                if (!CdxModelPairContainerAddStaying(container, &node->pair)) break;
            } else if (includeFrozen) {
                if (!CdxModelPairContainerAddFrozen(container, &node->pair)) break;
            }
        }
        return node;
    }
    for (; at < end; ++at) {
        const CxOverlapEntry &entry = entries[at];
        if (!entry.node) continue;
        if (DynamicSlot(dynamic, entry.id1) || DynamicSlot(dynamic, entry.id2)) {
            if (!CdxModelPairContainerAddStaying(container, &entry.node->pair)) break;
        } else if (includeFrozen) {
            if (!CdxModelPairContainerAddFrozen(container, &entry.node->pair)) break;
        }
    }
    return at < end ? entries[at].node : sentinel;
}

int FillPairs(CdxSpaceID space, CdxSpacePairIterator *iterator, CdxModelPairContainer *container, bool includeFrozen)
{
    if (!space || !iterator || !container) return 0;
    CxSpace *s = SpaceOf(space);
    Positions at;
    at.goodbye = Append(s->ResumeReading(kCxListOld, iterator->goodbyeNext), s->GetOldPairOverlapList(), container,
                        CdxModelPairContainerAddGoodbye);
    at.staying = AppendStaying(s, s->ResumeReading(kCxListOverlap, iterator->stayingNext), container, includeFrozen);
    at.frozen = s->ResumeReading(kCxListFrozen, iterator->frozenNext);
    if (includeFrozen)
        at.frozen = Append(at.frozen, s->GetFrozenPairList(), container, CdxModelPairContainerAddFrozen);
    at.hello = Append(s->ResumeReading(kCxListNew, iterator->helloNext), s->GetNewPairOverlapList(), container,
                      CdxModelPairContainerAddHello);
    Note(s, iterator, at);
    bool frozenLeft = includeFrozen && at.frozen != s->GetFrozenPairList();
    return at.goodbye != s->GetOldPairOverlapList() || at.staying != s->GetPairOverlapList() || frozenLeft ||
           at.hello != s->GetNewPairOverlapList();
}

} // namespace

extern "C" {

void CdxSpacePairIteratorBegin(CdxSpaceID space, CdxSpacePairIterator *iterator)
{
    if (!space || !iterator) return;
    CxSpace *s = SpaceOf(space);
    Note(s, iterator,
         {s->GetNewPairOverlapList()->next, s->GetPairOverlapList()->next, s->GetOldPairOverlapList()->next,
          s->GetFrozenPairList()->next});
}

int CdxSpaceGetPairs(CdxSpaceID space, CdxSpacePairIterator *iterator, CdxModelPairContainer *container)
{
    return FillPairs(space, iterator, container, false);
}

int CdxSpaceGetPairsIncludingFrozen(CdxSpaceID space, CdxSpacePairIterator *iterator,
                                    CdxModelPairContainer *container)
{
    return FillPairs(space, iterator, container, true);
}

int CdxSpaceGetTransitions(CdxSpaceID space, CdxSpacePairIterator *iterator, CdxModelPairContainer *container)
{
    if (!space || !iterator || !container) return 0;
    CxSpace *s = SpaceOf(space);
    CxPairNode *goodbyeEnd = s->GetOldPairOverlapList();
    CxPairNode *goodbye = s->ResumeReading(kCxListOld, iterator->goodbyeNext);
    if (goodbye != goodbyeEnd && CdxModelPairContainerAddGoodbye(container, &goodbye->pair)) goodbye = goodbye->next;
    CxPairNode *hello = Append(s->ResumeReading(kCxListNew, iterator->helloNext), s->GetNewPairOverlapList(),
                               container, CdxModelPairContainerAddHello);
    Note(s, iterator,
         {hello, s->ResumeReading(kCxListOverlap, iterator->stayingNext), goodbye,
          s->ResumeReading(kCxListFrozen, iterator->frozenNext)});
    return goodbye != goodbyeEnd || hello != s->GetNewPairOverlapList();
}

} // extern "C"
