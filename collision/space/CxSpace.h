// The broad-phase interface behind the CdxSpace handle. Private to the
// collision library.
//
// A space keeps model slots (ids 0..size-1) holding a data pointer each,
// sorts their boxes and keeps pair records for the pairs whose boxes
// overlap, in five lists read by the CdxSpace functions:
//   new list       pairs that began overlapping in the current update (hello)
//   overlap list   pairs that went on overlapping (staying)
//   frozen list    staying pairs of two frozen models, kept off the overlap
//                  list so that a settled pile's step does not walk them
//   old list       pairs that ended (goodbye)
//   removed list   pairs that lost a model and await the next UpdateEnd
// The overlap list runs in the order its pairs joined it; a frozen pair
// whose model thaws goes back to its place in that order, so that which
// models sleep never changes the order of the pairs that are read.
#ifndef KELMAR_COLLISION_CXSPACE_H
#define KELMAR_COLLISION_CXSPACE_H

#include <kelmar/CdxSpace.h>

// The handle type. Spaces derive from it so that a CdxSpaceID converts to
// the space object with a checked static cast. It holds what the space's
// pairs start with: their default request and the hello callback (a
// request table's, which the space then owns). Each space has its own, so
// universes never see each other's.
struct CdxSpace {
    CdxRequest *defaultRequest = nullptr; // null: the library's own {4, 0}
    CdxHelloCallback helloCallback = nullptr;
    void *helloData = nullptr;
    CdxuRequestTable *requestTable = nullptr; // owned
};

// One pair record in the space's lists: the two model ids (id1 < id2;
// id1 is -1 once a model of the pair was removed) and the pair handed to
// the dispatch functions.
struct CxPairNode {
    CxPairNode *next;
    CxPairNode *previous;
    int id1;
    int id2;
    uint8_t list;   // CxPairList: which list holds the node
    int32_t slot;   // its entry in the space's overlap index, if it has one
    uint64_t order; // when it last joined the overlap list: its place there
    CdxModelPair pair;
};

// The overlap list as an array, in the list's order: a walk over it reads
// entries one after the other instead of waiting on each node for the next
// one's address. A null node is a pair that left the list.
struct CxOverlapEntry {
    CxPairNode *node;
    int id1;
    int id2;
};

enum CxPairList : uint8_t {
    kCxListNone,
    kCxListNew,
    kCxListOverlap,
    kCxListOld,
    kCxListPendingEnable,
    kCxListPendingDisable,
    kCxListFrozen,
    kCxListThawing, // left the frozen list, not yet back in the overlap list
    kCxListRemoved
};

// Bounding sphere of a model: world centre and radius; 1 when written.
typedef int (*CxBSphereFn)(CdxModelID model, PxVector3 centre, PxReal *radius);

class CxSpace : public CdxSpace {
public:
    // Frees the space; the object is gone afterwards.
    virtual void Delete() = 0;
    virtual int GetSize() const = 0;        // model slots
    virtual void SetInc(int increment) = 0; // stored only: nothing grows
    virtual int GetMaxPairCount() const = 0;
    virtual int GetFree() const = 0; // free slots
    // A slot for data (dynamic); fatal error 25 when none is free.
    virtual int Insert(void *data) = 0;
    virtual void Remove(int id) = 0;
    virtual void SetData(void *data) = 0;       // user data of the space
    virtual void *GetRepData(int id) const = 0; // data of slot id, null if free
    virtual void *GetData() const = 0;
    virtual void SetDynamic(int id, bool dynamic) = 0;
    virtual bool GetDynamic(int id) const = 0;
    // One bit a slot, set while the slot's model is dynamic (bit id & 31 of
    // word id >> 5): for walks that ask of every pair, without a call each.
    virtual const uint32_t *GetDynamicWords() const = 0;
    virtual void SetAABBUpdateFn(CdxSpaceAABBFn fn) = 0;
    // Stored only: nothing in the space reads bounding spheres.
    virtual void SetBSphereUpdateFn(CxBSphereFn fn) = 0;
    // One model's update with its own bracket; 0 without a box function.
    virtual int Update(int id, PxReal time) = 0;
    virtual void UpdateBegin() = 0;
    virtual void UpdateEnd() = 0;
    // Unbracketed updates, for callers inside a bracket.
    virtual int UpdateSingle(int id, PxReal time) = 0;
    virtual int UpdateAll(PxReal time) = 0;
    virtual bool ValidID(int id) const = 0;
    // List sentinels: a list runs from sentinel->next back to the sentinel.
    virtual CxPairNode *GetNewPairOverlapList() = 0;
    // The overlap list, with the pairs thawed since it was last read or
    // updated back in their places.
    virtual CxPairNode *GetPairOverlapList() = 0;
    virtual CxPairNode *GetFrozenPairList() = 0;
    virtual CxPairNode *GetOldPairOverlapList() = 0;
    virtual CxPairNode *GetRemovedPairList() = 0;
    virtual int SetPairOverlapEnabled(int a, int b, bool enable) = 0;
    virtual bool GetPairOverlapEnabled(int a, int b) const = 0;
    // True when the two boxes overlap on every sorted axis.
    virtual bool GetPairOverlapStatus(int a, int b) const = 0;
    virtual CdxModelPair *GetPair(int a, int b) = 0;
    virtual bool IsChanging() const = 0;
    virtual CdxSpaceAABBFn GetAABBUpdateFn() const = 0;
    // Reading a list in batches while the reader's callbacks change the
    // space (removing a model, disabling a pair): the space keeps the
    // position it last handed out per list and moves it on when its node
    // leaves the list. ResumeReading returns where to go on from position;
    // NoteReading records where a batch stopped.
    virtual CxPairNode *ResumeReading(int list, void *position) = 0;
    virtual void NoteReading(int list, CxPairNode *position) = 0;
    // The overlap list's entries from node (a node of the list, or its
    // sentinel: none) to the end, as [*begin, *end) of the returned array;
    // null when node is not in the list (the list is then walked).
    virtual const CxOverlapEntry *OverlapEntries(CxPairNode *node, int *begin, int *end) = 0;

protected:
    CxSpace() = default;
    ~CxSpace() = default;
};

// Takes a model that is being destroyed out of its space: the space frees
// its slot, and the pairs that end with it (goodbye at the next UpdateEnd,
// or already ended in this update) no longer point at the model.
void CxSpaceRemoveDestroyedModel(CdxModelID model);

#endif
