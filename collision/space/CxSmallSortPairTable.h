// The pair records of the sort-and-sweep space: a fixed pool of key links,
// each holding one pair node, found through a hash of the two model ids.
// Nothing is allocated after Init: a full pool makes Insert return null.
#ifndef KELMAR_COLLISION_CXSMALLSORTPAIRTABLE_H
#define KELMAR_COLLISION_CXSMALLSORTPAIRTABLE_H

#include "space/CxSpace.h"

// Links of a bucket's circular list.
struct CxLinkHead {
    CxLinkHead *next; // null while the link is in no bucket
    CxLinkHead *previous;
};

struct CxKeyLink {
    CxLinkHead bucket; // first member: a head converts to its link
    uint32_t key;      // (lower id << 16) | higher id
    CxPairNode node;
};

class CxPairLinkHashTable {
public:
    // Key of the unordered pair {a, b} of ids below 65536.
    static uint32_t Key(int a, int b);

    // Buckets (the smallest power of two >= capacity) and exactly capacity
    // links; false when memory is short (nothing is left allocated).
    bool Init(int capacity);
    void Term();

    uint32_t Bucket(uint32_t key) const { return (key ^ (key >> 16)) & mask_; }
    // The node of key in bucket, moved to the front of its bucket; null
    // when absent.
    CxPairNode *AccessByIndex(uint32_t bucket, uint32_t key);
    CxPairNode *Find(uint32_t key) { return AccessByIndex(Bucket(key), key); }
    // A free link entered at the head of its bucket; null when all links
    // are in use.
    CxPairNode *Insert(uint32_t key);
    // Takes the node's link out of its bucket (no effect when it is in
    // none); the link stays in use until Release.
    void Detach(CxPairNode *node);
    // Returns the node's link to the free stack, out of its bucket.
    void Release(CxPairNode *node);
    int FreeCount() const { return freeCount_; }
    int Capacity() const { return capacity_; }

private:
    static CxKeyLink *LinkOf(CxPairNode *node);

    CxLinkHead *buckets_ = nullptr;
    uint32_t mask_ = 0;
    CxKeyLink *links_ = nullptr;
    CxKeyLink **free_ = nullptr;
    int freeCount_ = 0;
    int capacity_ = 0;
};

#endif
