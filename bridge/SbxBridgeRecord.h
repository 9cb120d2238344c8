// The records behind SbxBridgeID and SbxResponse, shared by the bridge's
// implementation files only.
#ifndef KELMAR_BRIDGE_SBXBRIDGERECORD_H
#define KELMAR_BRIDGE_SBXBRIDGERECORD_H

#include <kelmar/SbxBridge.h>

// Level of the bridge's warnings about misuse (null handles, bad sizes).
enum { SBX_MESSAGE_LEVEL = 3 };

// What two materials do when they touch.
struct SbxMaterialPair {
    RbdContactParams params;
    SbxPerContactCB perContactCB;
    void *perContactData;
    SbxPerPairCB perPairCB;
    void *perPairData;
    SbxIntersectCB intersectCB;
    void *intersectData;
};

// What happens when models of two response types meet.
struct SbxResponse {
    SbxResponseStartFn start;
    SbxResponseFn response;
    SbxResponseEndFn end;
    void *user;
    CdxRequest request;
    SbxIntersectPairCB intersectNewCB;
    SbxIntersectPairCB intersectActiveCB;
    SbxIntersectInactiveCB intersectInactiveCB;
    void *intersectNewData;
    void *intersectActiveData;
    void *intersectInactiveData;
    SbxDisjointCB disjointCB;
    void *disjointData;
    // Set when the new and active callbacks may run on kept contacts
    // (SbxBridgeSetCallbacksOnKeptContacts).
    int callbacksOnKept;
};

struct SbxBridge {
    int materialCount;
    int materialsUsed;
    // materialCount (materialCount + 1) / 2 entries, packed upper triangle.
    SbxMaterialPair *materialPairs;

    int responseTableSize;
    int responseIdsUsed;
    // Packed upper triangle of entry pointers. Entries are allocated one by
    // one so that their addresses (and the requests that pairs point at)
    // survive the table growing.
    SbxResponse **responses;

    CdxModelPairContainer *pairs;
    CdxContact *contacts;
    int contactCapacity;
    // Scratch of contactCapacity entries each: a pair's contacts of last
    // step while this step's take them over (SbxContactMatch.h).
    RbdContactID *previousContacts;
    PxVector3 *previousPoints;
    RbdContactID *continuingContacts;
    // Whether a pair's contacts continue by place rather than in list order.
    int matchByPlace;
    int inactiveCallbackCount;

    // Set once a model with a material id outside the table was met, so
    // that the warning is given once per bridge and not every step.
    int badMaterialReported;
    // Set once a pair asked for more contacts than the buffer holds.
    int contactBufferReported;
    // Set while the bridge walks a space's pairs: the container and the
    // space's iterator are in use and a nested walk would corrupt them.
    int walking;
    // The step the contacts are made for, while SbxBridgeUpdateContacts
    // runs; null otherwise.
    const RbdStepInfo *step;
    // Set once a material pair was given a callback: till then no pair's
    // keep check need look its materials up.
    int materialCallbacksSet;
    // The keep bounds (turn, shift) of the pair set-ups met so far, each
    // worked out once (SbxContactKeep.cpp).
    static constexpr int kKeepSets = 14; // slots 1-14 of a pair record's low four bits
    PxReal keepBounds[kKeepSets][2];
    int keepRound[kKeepSets]; // the set-up's sphere side, -1 for none
    int keepBoundsUsed;
};

// Index of the unordered pair (a, b) in a packed upper-triangular table of
// side n: with i = min, j = max, j + n i - i (i + 1) / 2.
inline int SbxPairIndex(int a, int b, int n)
{
    const int i = a < b ? a : b;
    const int j = a < b ? b : a;
    return j + n * i - i * (i + 1) / 2;
}

inline int SbxPairCount(int n)
{
    return n * (n + 1) / 2;
}

// A callback of a table entry (material pair or response) with its data:
// stored only in an existing entry, read as null (and null data) from a
// missing one.
template <typename Entry, typename Fn>
void SbxWriteCallback(Entry *entry, Fn Entry::*fnField, void *Entry::*dataField, Fn fn, void *data)
{
    if (!entry) return;
    entry->*fnField = fn;
    entry->*dataField = data;
}

template <typename Entry, typename Fn>
Fn SbxReadCallback(const Entry *entry, Fn Entry::*fnField, void *Entry::*dataField, void **dataOut)
{
    if (dataOut) *dataOut = entry ? entry->*dataField : nullptr;
    return entry ? entry->*fnField : nullptr;
}

// Null with a level-3 warning naming the caller when bridge is null.
bool SbxCheckBridge(const SbxBridge *bridge, const char *function);

// A new response entry: no functions, the default request.
SbxResponse *SbxResponseEntryCreate();

// The entry of two response ids, or null when either is outside the table.
SbxResponse *SbxResponseEntry(SbxBridge *bridge, int id1, int id2);

// The material pair of two material ids; ids outside the table read as
// material 0, with one warning per bridge.
SbxMaterialPair *SbxMaterialPairOf(SbxBridge *bridge, int m1, int m2);

#endif
