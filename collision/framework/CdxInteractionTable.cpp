// The interaction table: pair functions per ordered pair of geometry types,
// and the line-segment function per type.
#include "framework/CdxInteractionTableRecord.h"
#include "framework/CdxGeometryRecord.h"
#include "framework/CdxModelRecord.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/PxMemory.h>

#include <cstdio>

CdxInteractionTable gCdxInteractionTable = {
    0, nullptr, nullptr, {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr}};

namespace {

// What a pair of unknown or unregistered types gets: no functions at all.
// Handed out as a writable record, so it is cleared each time in case a
// caller wrote to it.
CdxInteractions *NoInteractions()
{
    CdxInteractions *none = &gCdxInteractionTable.none;
    *none = CdxInteractions{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    return none;
}

bool InTable(int type)
{
    return type >= 0 && type < gCdxInteractionTable.typeCapacity;
}

CdxInteractionTableElement *Entry(int typeA, int typeB)
{
    if (!InTable(typeA) || !InTable(typeB)) return nullptr;
    return &gCdxInteractionTable.elements[typeA + typeB * gCdxInteractionTable.typeCapacity];
}

// Both types registered; otherwise warning 34 naming the pair.
bool CheckRegistered(int typeA, int typeB)
{
    if (CdxGeometryTypeIdIsValid(static_cast<CdxGeometryTypeID>(typeA)) &&
        CdxGeometryTypeIdIsValid(static_cast<CdxGeometryTypeID>(typeB)) && Entry(typeA, typeB))
        return true;
    char pairText[64];
    std::snprintf(pairText, sizeof pairText, "(%d, %d).", typeA, typeB);
    CdxError(nullptr, CdxErrRegisterUnregisteredType, pairText);
    return false;
}

void WriteEntry(int typeA, int typeB, int swapped, const CdxInteractions *interactions,
                CdxGetInteractionsFn getInteractionsFn)
{
    CdxInteractionTableElement *entry = Entry(typeA, typeB);
    entry->swapped = swapped;
    CdxInteractionsCopy(interactions, &entry->interactions);
    entry->getInteractionsFn = getInteractionsFn;
}

void FreeTable(CdxInteractionTable &t)
{
    PxMemoryAPI.destroy(t.elements);
    PxMemoryAPI.destroy(t.lineSegFns);
    t.elements = nullptr;
    t.lineSegFns = nullptr;
    t.typeCapacity = 0;
}

// All entries zero, all line-segment functions null; 0 (nothing left
// allocated) when memory is short.
int InitTable(CdxInteractionTable &t, int typeCapacity)
{
    size_t entries = static_cast<size_t>(typeCapacity) * static_cast<size_t>(typeCapacity);
    t.elements = static_cast<CdxInteractionTableElement *>(
        PxMemoryAPI.createZeroed(entries * sizeof(CdxInteractionTableElement)));
    t.lineSegFns = static_cast<CdxLineSegIntersectFn *>(
        PxMemoryAPI.createZeroed(static_cast<size_t>(typeCapacity) * sizeof(CdxLineSegIntersectFn)));
    if (!t.elements || !t.lineSegFns) {
        FreeTable(t);
        return 0;
    }
    for (size_t i = 0; i < entries; ++i) {
        t.elements[i].swapped = 0;
        CdxInteractionsInit(&t.elements[i].interactions);
        t.elements[i].getInteractionsFn = nullptr;
    }
    for (int type = 0; type < typeCapacity; ++type) t.lineSegFns[type] = nullptr;
    t.typeCapacity = typeCapacity;
    return 1;
}

} // namespace

int CdxInteractionTableInit(int typeCapacity)
{
    return InitTable(gCdxInteractionTable, typeCapacity);
}

int CdxInteractionTableGrow(int typeCapacity)
{
    CdxInteractionTable &t = gCdxInteractionTable;
    if (typeCapacity <= t.typeCapacity) return 1;
    CdxInteractionTable grown = {};
    if (!InitTable(grown, typeCapacity)) return 0;
    // Entry (a, b) moves from a + b N to a + b N'.
    const int n = t.typeCapacity;
    for (int b = 0; b < n; ++b)
        for (int a = 0; a < n; ++a) grown.elements[a + b * typeCapacity] = t.elements[a + b * n];
    for (int type = 0; type < n; ++type) grown.lineSegFns[type] = t.lineSegFns[type];
    FreeTable(t);
    grown.none = t.none;
    t = grown;
    return 1;
}

void CdxInteractionTableTerm(void)
{
    FreeTable(gCdxInteractionTable);
}

extern "C" {

void CdxInteractionsInit(CdxInteractions *interactions)
{
    if (interactions) *interactions = CdxInteractions{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}

void CdxInteractionsCopy(const CdxInteractions *from, CdxInteractions *to)
{
    if (from && to) *to = *from;
}

int CdxInteractionTableSetElement(CdxGeometryTypeID typeA, CdxGeometryTypeID typeB,
                                  const CdxInteractions *interactions, CdxGetInteractionsFn getInteractionsFn)
{
    if (!interactions || !CheckRegistered(typeA, typeB)) return 0;
    WriteEntry(typeA, typeB, 0, interactions, getInteractionsFn);
    if (typeA != typeB) WriteEntry(typeB, typeA, 1, interactions, getInteractionsFn);
    return 1;
}

CdxInteractionTableElement *CdxInteractionTableGetElementPtr(CdxGeometryTypeID typeA, CdxGeometryTypeID typeB)
{
    return Entry(typeA, typeB);
}

int CdxInteractionTableRegisterDistanceFn(CdxGeometryTypeID a, CdxGeometryTypeID b, CdxDistanceFn fn)
{
    if (!CheckRegistered(a, b)) return 0;
    Entry(a, b)->interactions.distanceFn = fn;
    Entry(b, a)->interactions.distanceFn = fn;
    return 1;
}

int CdxInteractionTableRegisterApproximateDistanceFn(CdxGeometryTypeID a, CdxGeometryTypeID b,
                                                     CdxApproximateDistanceFn fn)
{
    if (!CheckRegistered(a, b)) return 0;
    Entry(a, b)->interactions.approximateDistanceFn = fn;
    Entry(b, a)->interactions.approximateDistanceFn = fn;
    return 1;
}

CdxInteractions *CdxInteractionTableGetInteractions(CdxModelPair *pair, int *swapped)
{
    int localSwapped = 0;
    int *swappedOut = swapped ? swapped : &localSwapped;
    *swappedOut = 0;
    if (!pair || !pair->model1 || !pair->model2 || !pair->model1->geometry || !pair->model2->geometry)
        return NoInteractions();
    CdxInteractionTableElement *entry = Entry(pair->model1->geometry->typeId, pair->model2->geometry->typeId);
    if (!entry) return NoInteractions();
    *swappedOut = entry->swapped;
    if (entry->getInteractionsFn) {
        CdxInteractions *chosen = entry->getInteractionsFn(pair, swappedOut);
        return chosen ? chosen : NoInteractions();
    }
    return &entry->interactions;
}

int CdxLineSegRegisterInteraction(CdxGeometryTypeID type, CdxLineSegIntersectFn fn)
{
    if (!InTable(type)) return 0;
    gCdxInteractionTable.lineSegFns[type] = fn;
    return 1;
}

CdxLineSegIntersectFn CdxLineSegGetIntersectFnPtr(CdxGeometryTypeID type)
{
    return InTable(type) ? gCdxInteractionTable.lineSegFns[type] : nullptr;
}

} // extern "C"
