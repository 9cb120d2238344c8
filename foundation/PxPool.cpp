// Fixed-size structure pool: blocks of structures handed out by a bump
// pointer, returned structures reused last-in first-out through a free list.
#include "kelmar/PxMemory.h"

#include <climits>
#include <cstdint>
#include <cstring>

#include "kelmar/PxMessage.h"

namespace {

// Header at the start of every block; the structures follow it.
struct PoolBlock {
    PoolBlock *next; // older block
    char *first;     // first structure, aligned
    char *end;       // one past the last structure
    size_t bytes;    // the block's size, for PxMemoryDestroyLarge
};

// Slack kept in every block beyond header, alignment and structures.
constexpr size_t kBlockSlack = 19;
// Returned structures are linked through their first word, so a structure
// must hold at least a pointer (4 bytes on 32-bit targets).
constexpr int kMinStructSize = static_cast<int>(sizeof(void *)) > 4 ? static_cast<int>(sizeof(void *)) : 4;

PoolBlock *NewestBlock(const PxPool *pool)
{
    return static_cast<PoolBlock *>(pool->blocks);
}

// Returns the chain of blocks from block on (older ones follow) to the allocator.
void DestroyBlocks(PoolBlock *block)
{
    while (block != nullptr) {
        PoolBlock *next = block->next;
        PxMemoryDestroyLarge(block, block->bytes);
        block = next;
    }
}

// Allocates a block for count structures and links it at the head of the
// block list; null when count is not positive or memory is short.
PoolBlock *AddBlock(PxPool *pool, int count)
{
    if (count <= 0) return nullptr;
    const size_t align = static_cast<size_t>(pool->alignment);
    const size_t structSize = static_cast<size_t>(pool->structSize);
    const size_t overhead = sizeof(PoolBlock) + align + kBlockSlack;
    if (static_cast<size_t>(count) > (SIZE_MAX - overhead) / structSize) return nullptr;
    // A large pool's records are reached at random: its blocks may take huge pages.
    const size_t bytes = overhead + static_cast<size_t>(count) * structSize;
    char *raw = static_cast<char *>(PxMemoryCreateLarge(bytes, 0));
    if (raw == nullptr) return nullptr;

    PoolBlock *block = reinterpret_cast<PoolBlock *>(raw);
    char *first = raw + sizeof(PoolBlock);
    if (align > 0) {
        const size_t misalignment = reinterpret_cast<uintptr_t>(first) % align;
        if (misalignment != 0) first += align - misalignment;
    }
    block->next = NewestBlock(pool);
    block->first = first;
    block->end = first + static_cast<size_t>(count) * structSize;
    block->bytes = bytes;
    pool->blocks = block;
    pool->structCount = count;
    pool->nextFree = first;
    return block;
}

// newCount = truncate(structCount * growthFactor + 0.5) + growthIncrement,
// formed in single precision; 0 when the result does not fit an int.
int GrownCount(const PxPool *pool)
{
    const float scaled = static_cast<float>(pool->structCount) * pool->growthFactor + 0.5f;
    if (!(scaled < static_cast<float>(INT_MAX)) || !(scaled > static_cast<float>(INT_MIN))) return 0;
    const long long count = static_cast<long long>(scaled) + pool->growthIncrement;
    return count > INT_MAX || count < 0 ? 0 : static_cast<int>(count);
}

void *PopFreeList(PxPool *pool)
{
    void *structure = pool->freeList;
    void *next = nullptr;
    std::memcpy(&next, structure, sizeof next);
    pool->freeList = next;
    return structure;
}

} // namespace

int PxPoolInit(PxPool *pool, int count, int structSize, int alignment)
{
    return PxPoolInitResizable(pool, count, structSize, 0, 2.0f, alignment);
}

int PxPoolInitResizable(PxPool *pool, int count, int structSize, int growthIncrement, float growthFactor,
                        int alignment)
{
    if (pool == nullptr) return 0;
    pool->name = "";
    pool->blocks = nullptr;
    pool->nextFree = nullptr;
    pool->freeList = nullptr;
    pool->structCount = 0;
    pool->used = 0;
    pool->growthFactor = growthFactor;
    pool->growthIncrement = growthIncrement;
    pool->alignment = 0;
    pool->structSize = kMinStructSize;
    if (alignment < 0 || structSize < 0) {
        PxWarning(3, "PxPoolInit(%s): Negative alignment (%d) or structure size (%d).\n", pool->name, alignment,
                  structSize);
        return 0;
    }
    if (alignment % static_cast<int>(sizeof(unsigned int)) != 0)
        PxWarning(3, "PxPoolInit(%s): Alignment must be a multiple of sizeof(unsigned int).\n", pool->name);

    int size = structSize < kMinStructSize ? kMinStructSize : structSize;
    if (alignment > 0 && size % alignment != 0) {
        if (size > INT_MAX - alignment) return 0;
        size += alignment - size % alignment;
    }
    pool->structSize = size;
    pool->alignment = alignment;
    return AddBlock(pool, count) != nullptr ? 1 : 0;
}

void PxPoolSetResizable(PxPool *pool, int growthIncrement, float growthFactor)
{
    if (pool == nullptr) return;
    pool->growthIncrement = growthIncrement;
    pool->growthFactor = growthFactor;
}

// The pool keeps the pointer: name must outlive the pool.
void PxPoolSetPoolName(PxPool *pool, const char *name)
{
    if (pool == nullptr) return;
    pool->name = name != nullptr ? name : "";
}

void *PxPoolGetStruct(PxPool *pool)
{
    if (pool == nullptr) return nullptr;
    if (pool->freeList != nullptr) {
        ++pool->used;
        return PopFreeList(pool);
    }
    PoolBlock *newest = NewestBlock(pool);
    if (newest == nullptr || pool->nextFree >= newest->end) {
        newest = AddBlock(pool, GrownCount(pool));
        if (newest == nullptr) return nullptr;
    }
    void *structure = pool->nextFree;
    pool->nextFree += pool->structSize;
    ++pool->used;
    return structure;
}

void PxPoolPutStruct(PxPool *pool, void *structure)
{
    if (pool == nullptr) return;
    if (structure == nullptr) {
        PxWarning(3, "PxPoolPutStruct(%s): Null structure returned to the pool.\n", pool->name);
        return;
    }
    std::memcpy(structure, &pool->freeList, sizeof pool->freeList);
    pool->freeList = structure;
    --pool->used;
}

void PxPoolReset(PxPool *pool)
{
    if (pool == nullptr) return;
    PoolBlock *newest = NewestBlock(pool);
    if (newest != nullptr) {
        DestroyBlocks(newest->next);
        newest->next = nullptr;
    }
    pool->freeList = nullptr;
    pool->used = 0;
    pool->nextFree = newest != nullptr ? newest->first : nullptr;
}

void PxPoolTerm(PxPool *pool)
{
    if (pool == nullptr) return;
    DestroyBlocks(NewestBlock(pool));
    pool->blocks = nullptr;
    pool->nextFree = nullptr;
    pool->freeList = nullptr;
    pool->structCount = 0;
    pool->used = 0;
}

int PxPoolGetCapacity(const PxPool *pool)
{
    if (pool == nullptr || pool->structSize <= 0) return 0;
    long long count = 0;
    for (const PoolBlock *block = NewestBlock(pool); block != nullptr; block = block->next)
        count += (block->end - block->first) / pool->structSize;
    return count > INT_MAX ? INT_MAX : static_cast<int>(count);
}

int PxPoolReserve(PxPool *pool, int count)
{
    if (pool == nullptr) return 0;
    const int capacity = PxPoolGetCapacity(pool);
    if (count <= capacity) return 1;
    // The newest block's structures never handed out go to the free list,
    // since the new block takes over the bump pointer.
    PoolBlock *newest = NewestBlock(pool);
    char *tail = pool->nextFree;
    if (AddBlock(pool, count - capacity) == nullptr) return 0;
    for (; newest != nullptr && tail != nullptr && tail < newest->end; tail += pool->structSize) {
        std::memcpy(tail, &pool->freeList, sizeof pool->freeList);
        pool->freeList = tail;
    }
    return 1;
}

int PxPoolGetUsed(const PxPool *pool)
{
    return pool != nullptr ? pool->used : 0;
}
