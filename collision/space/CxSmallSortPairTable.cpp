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

bool CxPairLinkHashTable::Init(int capacity)
{
    uint32_t bucketCount = BucketCountFor(capacity);
    size_t count = static_cast<size_t>(capacity);
    buckets_ = static_cast<CxLinkHead *>(PxMemoryAPI.create(bucketCount * sizeof(CxLinkHead)));
    links_ = static_cast<CxKeyLink *>(PxMemoryAPI.createZeroed(count * sizeof(CxKeyLink)));
    free_ = static_cast<CxKeyLink **>(PxMemoryAPI.create(count * sizeof(CxKeyLink *)));
    if (!buckets_ || !links_ || !free_) {
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
    PxMemoryAPI.destroy(buckets_);
    PxMemoryAPI.destroy(links_);
    PxMemoryAPI.destroy(free_);
    buckets_ = nullptr;
    links_ = nullptr;
    free_ = nullptr;
    freeCount_ = capacity_ = 0;
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
    link->bucket.next = head->next;
    link->bucket.previous = head;
    head->next->previous = &link->bucket;
    head->next = &link->bucket;
    return &link->node;
}

void CxPairLinkHashTable::Detach(CxPairNode *node)
{
    CxLinkHead *h = &LinkOf(node)->bucket;
    if (!h->next) return;
    h->previous->next = h->next;
    h->next->previous = h->previous;
    h->next = h->previous = nullptr;
}

void CxPairLinkHashTable::Release(CxPairNode *node)
{
    Detach(node);
    free_[freeCount_++] = LinkOf(node);
}
