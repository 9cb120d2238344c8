// Pair records of the sort-and-sweep space: the key-link pool and its hash.
#include "space/CxSmallSortPairTable.h"

#include <kelmar/PxMemory.h>

#include <cstddef>

namespace {

uint32_t BucketCountFor(int capacity)
{
    uint32_t count = 1;
    while (count < static_cast<uint32_t>(capacity)) count <<= 1;
    return count;
}

void EmptyBucket(CxLinkHead *head)
{
    head->next = head;
    head->previous = head;
}

} // namespace

uint32_t CxPairLinkHashTable::Key(int a, int b)
{
    uint32_t low = static_cast<uint32_t>(a < b ? a : b);
    uint32_t high = static_cast<uint32_t>(a < b ? b : a);
    return (low << 16) | high;
}

bool CxPairLinkHashTable::Init(int capacity, int maxModels)
{
    uint32_t bucketCount = BucketCountFor(capacity);
    size_t count = static_cast<size_t>(capacity);
    // Both are reached at random by pair key: large ones may take huge pages.
    bucketBytes_ = bucketCount * sizeof(CxLinkHead);
    linkBytes_ = count * sizeof(CxKeyLink);
    buckets_ = static_cast<CxLinkHead *>(PxMemoryCreateLarge(bucketBytes_, 0));
    links_ = static_cast<CxKeyLink *>(PxMemoryCreateLarge(linkBytes_, 1));
    free_ = static_cast<CxKeyLink **>(PxMemoryAPI.create(count * sizeof(CxKeyLink *)));
    modelHeads_ = static_cast<CxKeyLink **>(
        PxMemoryAPI.createZeroed(static_cast<size_t>(maxModels) * sizeof(CxKeyLink *)));
    if (!buckets_ || !links_ || !free_ || !modelHeads_) {
        Term();
        return false;
    }
    mask_ = bucketCount - 1;
    for (uint32_t b = 0; b < bucketCount; ++b) EmptyBucket(&buckets_[b]);
    // Handed out from the start of the block first.
    for (int k = 0; k < capacity; ++k) free_[k] = &links_[capacity - 1 - k];
    freeCount_ = capacity;
    capacity_ = capacity;
    return true;
}

void CxPairLinkHashTable::Term()
{
    PxMemoryDestroyLarge(buckets_, bucketBytes_);
    PxMemoryDestroyLarge(links_, linkBytes_);
    PxMemoryAPI.destroy(free_);
    PxMemoryAPI.destroy(modelHeads_);
    buckets_ = nullptr;
    links_ = nullptr;
    free_ = nullptr;
    modelHeads_ = nullptr;
    freeCount_ = capacity_ = 0;
    bucketBytes_ = linkBytes_ = 0;
}

CxKeyLink *CxPairLinkHashTable::LinkOf(CxPairNode *node)
{
    return reinterpret_cast<CxKeyLink *>(reinterpret_cast<char *>(node) - offsetof(CxKeyLink, node));
}

CxPairNode *CxPairLinkHashTable::AccessByIndex(uint32_t bucket, uint32_t key)
{
    CxLinkHead *head = &buckets_[bucket];
    for (CxLinkHead *h = head->next; h != head; h = h->next) {
        CxKeyLink *link = reinterpret_cast<CxKeyLink *>(h);
        if (link->key != key) continue;
        if (head->next != h) {
            // Recently used pairs are looked up again soon: keep them first.
            h->previous->next = h->next;
            h->next->previous = h->previous;
            h->next = head->next;
            h->previous = head;
            head->next->previous = h;
            head->next = h;
        }
        return &link->node;
    }
    return nullptr;
}

CxPairNode *CxPairLinkHashTable::Insert(uint32_t key)
{
    if (freeCount_ == 0) return nullptr;
    CxKeyLink *link = free_[--freeCount_];
    CxLinkHead *head = &buckets_[Bucket(key)];
    link->key = key;
    link->changed = 0;
    link->seen = 0;
    link->bucket.next = head->next;
    link->bucket.previous = head;
    head->next->previous = &link->bucket;
    head->next = &link->bucket;
    LinkToModels(link);
    return &link->node;
}

void CxPairLinkHashTable::LinkToModels(CxKeyLink *link)
{
    int ids[2] = {static_cast<int>(link->key >> 16), static_cast<int>(link->key & 0xFFFFu)};
    for (int side = 0; side < 2; ++side) {
        CxKeyLink *first = modelHeads_[ids[side]];
        link->modelNext[side] = first;
        link->modelPrevious[side] = nullptr;
        if (first) first->modelPrevious[Side(first, ids[side])] = link;
        modelHeads_[ids[side]] = link;
    }
}

void CxPairLinkHashTable::UnlinkFromModels(CxKeyLink *link)
{
    int ids[2] = {static_cast<int>(link->key >> 16), static_cast<int>(link->key & 0xFFFFu)};
    for (int side = 0; side < 2; ++side) {
        CxKeyLink *next = link->modelNext[side];
        CxKeyLink *previous = link->modelPrevious[side];
        if (next) next->modelPrevious[Side(next, ids[side])] = previous;
        if (previous)
            previous->modelNext[Side(previous, ids[side])] = next;
        else
            modelHeads_[ids[side]] = next;
    }
}

int CxPairLinkHashTable::CollectOf(int id, CxPairNode **out, int capacity) const
{
    int count = 0;
    for (CxKeyLink *link = modelHeads_[id]; link && count < capacity; link = link->modelNext[Side(link, id)])
        out[count++] = &link->node;
    return count;
}

void CxPairLinkHashTable::Detach(CxPairNode *node)
{
    CxLinkHead *h = &LinkOf(node)->bucket;
    if (!h->next) return;
    h->previous->next = h->next;
    h->next->previous = h->previous;
    h->next = h->previous = nullptr;
    UnlinkFromModels(LinkOf(node));
}

void CxPairLinkHashTable::Release(CxPairNode *node)
{
    Detach(node);
    free_[freeCount_++] = LinkOf(node);
}
