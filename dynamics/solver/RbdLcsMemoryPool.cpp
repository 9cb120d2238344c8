#include "solver/RbdLcsMemoryPool.h"

#include <string.h>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"

namespace lcs {

void MemoryPool::init(void *memory, size_t size)
{
    uintptr_t base = reinterpret_cast<uintptr_t>(memory);
    uintptr_t aligned = (base + 15u) & ~static_cast<uintptr_t>(15u);
    end_ = base + size;
    start_ = aligned < end_ ? aligned : end_;
    top_ = start_;
    frameCount_ = 0;
    peak_ = 0;
}

void *MemoryPool::allocAligned(size_t size, size_t alignment, const char *name)
{
    if (size % 16u != 0) {
        PxFatalError(RBD_MESSAGE_LEVEL,
                     "PoolAlloc: allocating %s of size %d. Size must be a multiple of 16 bytes (remainder = %d).\n",
                     name, static_cast<int>(size), static_cast<int>(size % 16u));
        return nullptr;
    }
    uintptr_t mask = alignment > 1 ? static_cast<uintptr_t>(alignment - 1) : 0;
    uintptr_t first = (top_ + mask) & ~mask;
    // Compare sizes, not pointers, so that a huge request cannot wrap around.
    if (first > end_ || size > end_ - first) {
        // Positions are printed as offsets from the workspace start: they
        // say how much was missing and fit 32 bits on every platform.
        PxFatalError(RBD_MESSAGE_LEVEL,
                     "Lcs error:Memory pool size exceeded when allocating %s of size %d\nPool ends at %08x\nIf "
                     "memory were allocated, pool would end at %08x\n",
                     name, static_cast<int>(size), static_cast<unsigned>(end_ - start_),
                     static_cast<unsigned>(first - start_ + size));
        return nullptr;
    }
    top_ = first + size;
    if (top_ - start_ > peak_) peak_ = top_ - start_;
    return reinterpret_cast<void *>(first);
}

void *MemoryPool::allocAlignedZeroed(size_t size, size_t alignment, const char *name)
{
    void *p = allocAligned(size, alignment, name);
    if (p) memset(p, 0, size);
    return p;
}

int MemoryPool::pushFrame()
{
    if (frameCount_ >= kPoolFrameDepth) {
        PxWarning(RBD_MESSAGE_LEVEL, "Lcs: workspace frame stack is full (%d frames)\n", kPoolFrameDepth);
        return 0;
    }
    frames_[frameCount_++] = top_;
    return 1;
}

void MemoryPool::popFrame()
{
    if (frameCount_ > 0) top_ = frames_[--frameCount_];
}

} // namespace lcs
