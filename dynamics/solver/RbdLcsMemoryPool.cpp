#include "solver/RbdLcsMemoryPool.h"

#include <string.h>
#include <kelmar/PxMessage.h>

namespace lcs {

namespace {

// The one workspace of the process: solves run one at a time.
struct MemoryPool {
    uintptr_t start = 0; // first usable byte (16-byte aligned)
    uintptr_t top = 0;   // next free byte
    uintptr_t end = 0;   // one past the last byte
    uintptr_t frames[kPoolFrameDepth] = {};
    int frameCount = 0;
    size_t peak = 0; // largest top - start seen since InitPool
};

MemoryPool gPool;

void notePeak()
{
    size_t used = gPool.top - gPool.start;
    if (used > gPool.peak) gPool.peak = used;
}

} // namespace

void InitPool(void *memory, size_t size)
{
    uintptr_t base = reinterpret_cast<uintptr_t>(memory);
    uintptr_t aligned = (base + 15u) & ~static_cast<uintptr_t>(15u);
    gPool.end = base + size;
    gPool.start = aligned < gPool.end ? aligned : gPool.end;
    gPool.top = gPool.start;
    gPool.frameCount = 0;
    gPool.peak = 0;
}

void *PoolAllocAligned(size_t size, size_t alignment, const char *name)
{
    if (size % 16u != 0) {
        PxFatalError(12,
                     "PoolAlloc: allocating %s of size %d. Size must be a multiple of 16 bytes (remainder = %d).\n",
                     name, static_cast<int>(size), static_cast<int>(size % 16u));
        return nullptr;
    }
    uintptr_t mask = alignment > 1 ? static_cast<uintptr_t>(alignment - 1) : 0;
    uintptr_t first = (gPool.top + mask) & ~mask;
    // Compare sizes, not pointers, so that a huge request cannot wrap around.
    if (first > gPool.end || size > gPool.end - first) {
        // Positions are printed as offsets from the workspace start: they
        // say how much was missing and fit 32 bits on every platform.
        PxFatalError(12,
                     "Lcs error:Memory pool size exceeded when allocating %s of size %d\nPool ends at %08x\nIf "
                     "memory were allocated, pool would end at %08x\n",
                     name, static_cast<int>(size), static_cast<unsigned>(gPool.end - gPool.start),
                     static_cast<unsigned>(first - gPool.start + size));
        return nullptr;
    }
    gPool.top = first + size;
    notePeak();
    return reinterpret_cast<void *>(first);
}

void *PoolAlloc(size_t size, const char *name)
{
    return PoolAllocAligned(size, 1, name);
}

void *PoolAllocAlignedZeroed(size_t size, size_t alignment, const char *name)
{
    void *p = PoolAllocAligned(size, alignment, name);
    if (p) memset(p, 0, size);
    return p;
}

void PoolFreeAligned(void *)
{
}

int PushPoolFrame()
{
    if (gPool.frameCount >= kPoolFrameDepth) {
        PxWarning(12, "Lcs: workspace frame stack is full (%d frames)\n", kPoolFrameDepth);
        return 0;
    }
    gPool.frames[gPool.frameCount++] = gPool.top;
    return 1;
}

void PopPoolFrame()
{
    if (gPool.frameCount > 0) gPool.top = gPool.frames[--gPool.frameCount];
}

size_t PoolUsed()
{
    return gPool.top - gPool.start;
}

size_t PoolPeakUsed()
{
    return gPool.peak;
}

} // namespace lcs
