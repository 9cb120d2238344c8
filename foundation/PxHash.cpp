// Chained hash table with a fixed bucket count. Each chain is kept sorted in
// ascending key order so that lookups stop as soon as they pass the key.
#include "kelmar/PxHash.h"

#include <cstdint>
#include <cstring>

#include "kelmar/PxMemory.h"

namespace {

// Largest bucket count accepted; keeps the bucket array size in range on
// 32-bit targets.
constexpr unsigned int kMaxBuckets = 0x3fffffffu;

int CompareKeys(const void *a, const void *b)
{
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

// A hash function that returns an out-of-range index is folded back into
// the table instead of indexing past it.
unsigned int BucketOf(const PxHash *hash, const void *key)
{
    return hash->hashFunc(key, hash->size) % hash->size;
}

PxHashNode *NewNode(void *key, void *datum, PxHashNode *next)
{
    PxHashNode *node = static_cast<PxHashNode *>(PxMemoryAPI.create(sizeof(PxHashNode)));
    if (node == nullptr) return nullptr;
    node->key = key;
    node->datum = datum;
    node->next = next;
    return node;
}

void FreeNode(PxHash *hash, PxHashNode *node)
{
    if (hash->datumFreeFunc != nullptr) hash->datumFreeFunc(node->datum);
    if (hash->keyFreeFunc != nullptr) hash->keyFreeFunc(node->key);
    PxMemoryAPI.destroy(node);
}

// The link that points at the node holding key, or null when absent; the
// walk stops at the first node whose key sorts after the one sought.
PxHashNode **FindLink(const void *key, PxHash *hash)
{
    PxHashNode **link = &hash->buckets[BucketOf(hash, key)];
    while (*link != nullptr) {
        const int order = hash->keyCompareFunc(key, (*link)->key);
        if (order == 0) return link;
        if (order < 0) return nullptr;
        link = &(*link)->next;
    }
    return nullptr;
}

} // namespace

unsigned int PxHashString(const void *key, unsigned int size)
{
    if (key == nullptr || size == 0) return 0;
    uint32_t h = 0;
    for (const char *c = static_cast<const char *>(key); *c != '\0'; ++c)
        h = h * 33u + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*c)));
    return h % size;
}

PxHash *PxHashCreate(unsigned int size)
{
    if (size == 0 || size > kMaxBuckets) return nullptr;
    PxHash *hash = static_cast<PxHash *>(PxMemoryAPI.create(sizeof(PxHash)));
    if (hash == nullptr) return nullptr;
    hash->buckets = static_cast<PxHashNode **>(PxMemoryAPI.createZeroed(size * sizeof(PxHashNode *)));
    if (hash->buckets == nullptr) {
        PxMemoryAPI.destroy(hash);
        return nullptr;
    }
    hash->size = size;
    hash->population = 0;
    hash->hashFunc = PxHashString;
    hash->keyCompareFunc = CompareKeys;
    hash->keyFreeFunc = nullptr;
    hash->datumFreeFunc = nullptr;
    hash->collisions = 0;
    return hash;
}

// A null function would crash every later call, so the hash and compare
// functions fall back to the string defaults.
void PxHashSetHashFunc(PxHash *hash, PxHashFunc func)
{
    if (hash != nullptr) hash->hashFunc = func != nullptr ? func : PxHashString;
}

void PxHashSetKeyCompareFunc(PxHash *hash, PxHashKeyCompareFunc func)
{
    if (hash != nullptr) hash->keyCompareFunc = func != nullptr ? func : CompareKeys;
}

void PxHashSetKeyFreeFunc(PxHash *hash, PxHashFreeFunc func)
{
    if (hash != nullptr) hash->keyFreeFunc = func;
}

void PxHashSetDatumFreeFunc(PxHash *hash, PxHashFreeFunc func)
{
    if (hash != nullptr) hash->datumFreeFunc = func;
}

// Every visited node whose key differs counts as one collision. The walk
// looks one node ahead so that the new node lands between its neighbours.
void *PxHashInsert(void *key, void *datum, PxHash *hash)
{
    if (hash == nullptr) return nullptr;
    PxHashNode **link = &hash->buckets[BucketOf(hash, key)];
    while (*link != nullptr) {
        PxHashNode *current = *link;
        const int order = hash->keyCompareFunc(key, current->key);
        if (order == 0) return current->datum;
        ++hash->collisions;
        if (order < 0) break; // only at the chain head: insert before it
        link = &current->next;
        if (*link == nullptr || hash->keyCompareFunc(key, (*link)->key) < 0) break;
    }
    PxHashNode *node = NewNode(key, datum, *link);
    if (node == nullptr) return nullptr;
    *link = node;
    ++hash->population;
    return datum;
}

void *PxHashLookup(const void *key, PxHash *hash)
{
    if (hash == nullptr) return nullptr;
    PxHashNode **link = FindLink(key, hash);
    return link != nullptr ? (*link)->datum : nullptr;
}

// Returns the datum pointer of the removed entry, which the datum free
// function may already have released.
void *PxHashDelete(const void *key, PxHash *hash)
{
    if (hash == nullptr) return nullptr;
    PxHashNode **link = FindLink(key, hash);
    if (link == nullptr) return nullptr;
    PxHashNode *node = *link;
    void *datum = node->datum;
    *link = node->next;
    FreeNode(hash, node);
    --hash->population;
    return datum;
}

int PxHashPopulation(const PxHash *hash)
{
    return hash != nullptr ? hash->population : 0;
}

void PxHashInitIterator(PxHashIterator *iterator, PxHash *hash)
{
    if (iterator == nullptr) return;
    iterator->hash = hash;
    iterator->node = nullptr;
    iterator->bucket = 0;
}

void *PxHashGetDatum(PxHashIterator *iterator)
{
    if (iterator == nullptr || iterator->hash == nullptr) return nullptr;
    const PxHash *hash = iterator->hash;
    PxHashNode *node = iterator->node != nullptr ? iterator->node->next : nullptr;
    unsigned int bucket = iterator->node != nullptr ? iterator->bucket + 1 : 0;
    if (node == nullptr) {
        while (bucket < hash->size && hash->buckets[bucket] == nullptr) ++bucket;
        if (bucket == hash->size) {
            // Exhausted: the next call starts over from the first bucket.
            iterator->node = nullptr;
            iterator->bucket = 0;
            return nullptr;
        }
        node = hash->buckets[bucket];
        iterator->bucket = bucket;
    }
    iterator->node = node;
    return node->datum;
}

// Nodes move, keys and data stay: each node is linked into its new chain
// at its place in key order.
int PxHashResize(PxHash *hash, unsigned int size)
{
    if (hash == nullptr || size == 0 || size > kMaxBuckets) return 0;
    PxHashNode **buckets = static_cast<PxHashNode **>(PxMemoryAPI.createZeroed(size * sizeof(PxHashNode *)));
    if (buckets == nullptr) return 0;
    PxHashNode **old = hash->buckets;
    const unsigned int oldSize = hash->size;
    hash->buckets = buckets;
    hash->size = size;
    for (unsigned int bucket = 0; bucket < oldSize; ++bucket) {
        for (PxHashNode *node = old[bucket], *next; node != nullptr; node = next) {
            next = node->next;
            PxHashNode **link = &buckets[BucketOf(hash, node->key)];
            while (*link != nullptr && hash->keyCompareFunc(node->key, (*link)->key) > 0) link = &(*link)->next;
            node->next = *link;
            *link = node;
        }
    }
    PxMemoryAPI.destroy(old);
    return 1;
}

void PxHashReset(PxHash *hash)
{
    if (hash == nullptr) return;
    for (unsigned int bucket = hash->size; bucket-- > 0;) {
        PxHashNode *node = hash->buckets[bucket];
        while (node != nullptr) {
            PxHashNode *next = node->next;
            FreeNode(hash, node);
            node = next;
        }
        hash->buckets[bucket] = nullptr;
    }
    hash->population = 0;
}

void PxHashDestroy(PxHash *hash)
{
    if (hash == nullptr) return;
    PxHashReset(hash);
    PxMemoryAPI.destroy(hash->buckets);
    PxMemoryAPI.destroy(hash);
}
