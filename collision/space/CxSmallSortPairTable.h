// The pair records of the sort-and-sweep space: a fixed pool of key links,
// each holding one pair node, found through a hash of the two model ids
// and listed with each of its two models. Nothing is allocated after Init:
// a full pool makes Insert return null.
#ifndef KELMAR_COLLISION_CXSMALLSORTPAIRTABLE_H
#define KELMAR_COLLISION_CXSMALLSORTPAIRTABLE_H

#include "space/CxSpace.h"

#include <cstddef>

// Links of a bucket's circular list.
struct CxLinkHead {
    CxLinkHead *next; // null while the link is in no bucket
    CxLinkHead *previous;
};

struct CxKeyLink {
    CxLinkHead bucket; // first member: a head converts to its link
    uint32_t key;      // (lower id << 16) | higher id
    // The pair changed state in the current update (it began or ended);
    // meaningful while the link is in its bucket.
    uint8_t changed;
    // Set by a grid update to its own number when it finds the pair
    // overlapping: the recorded pairs it did not find end.
    uint8_t seen;
    // The lists of the two models' links, [0] for the lower id and [1] for
    // the higher; linked while the link is in its bucket.
    CxKeyLink *modelNext[2];
    CxKeyLink *modelPrevious[2];
    CxPairNode node;
};

class CxPairLinkHashTable {
public:
    // Key of the unordered pair {a, b} of ids below 65536.
    static uint32_t Key(int a, int b);

    // Buckets (the smallest power of two >= capacity), exactly capacity
    // links and a list head per model id below maxModels; false when memory
    // is short (nothing is left allocated).
    bool Init(int capacity, int maxModels);
    void Term();

    // Neighbouring models have near ids, so the ids of a pile's pairs
    // differ in few low bits: the key is mixed as a whole, or those pairs
    // crowd a few buckets and every lookup walks their chains.
    uint32_t Bucket(uint32_t key) const { return static_cast<uint32_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_; }
    // The node of key in bucket, moved to the front of its bucket; null
    // when absent.
    CxPairNode *AccessByIndex(uint32_t bucket, uint32_t key);
    CxPairNode *Find(uint32_t key) { return AccessByIndex(Bucket(key), key); }
    // Read-ahead for a lookup of key a little later: first its bucket's
    // head, then (once the head has arrived) the first link of the bucket,
    // where a pair looked up before sits, its key and its node.
    void PrefetchBucket(uint32_t key) const { __builtin_prefetch(&buckets_[Bucket(key)]); }
    void PrefetchFirst(uint32_t key) const
    {
        const char *link = reinterpret_cast<const char *>(buckets_[Bucket(key)].next);
        __builtin_prefetch(link + offsetof(CxKeyLink, key));
        __builtin_prefetch(link + offsetof(CxKeyLink, node.list));
    }
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
    // Writes the nodes of id's pairs that are in a bucket (one per other
    // model), at most capacity of them, to out; returns how many.
    int CollectOf(int id, CxPairNode **out, int capacity) const;
    static bool Changed(CxPairNode *node) { return LinkOf(node)->changed != 0; }
    static void SetChanged(CxPairNode *node, bool changed) { LinkOf(node)->changed = changed ? 1 : 0; }
    static uint8_t Seen(CxPairNode *node) { return LinkOf(node)->seen; }
    static void SetSeen(CxPairNode *node, uint8_t mark) { LinkOf(node)->seen = mark; }

private:
    static CxKeyLink *LinkOf(CxPairNode *node);
    static int Side(const CxKeyLink *link, int id) { return (link->key >> 16) == static_cast<uint32_t>(id) ? 0 : 1; }
    void LinkToModels(CxKeyLink *link);
    void UnlinkFromModels(CxKeyLink *link);

    CxLinkHead *buckets_ = nullptr;
    uint32_t mask_ = 0;
    CxKeyLink *links_ = nullptr;
    CxKeyLink **free_ = nullptr;
    CxKeyLink **modelHeads_ = nullptr; // per model id: its first link
    int freeCount_ = 0;
    int capacity_ = 0;
    size_t bucketBytes_ = 0; // the sizes PxMemoryDestroyLarge is given
    size_t linkBytes_ = 0;
};

#endif
