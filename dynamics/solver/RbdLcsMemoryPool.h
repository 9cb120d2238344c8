// The solver's workspace: a bump allocator over the memory the caller hands
// to a solve, with a small stack of frames. Nothing here touches the heap.
// Each solver context has its own, so solves of different worlds never
// share one.
#ifndef KELMAR_DYNAMICS_RBDLCSMEMORYPOOL_H
#define KELMAR_DYNAMICS_RBDLCSMEMORYPOOL_H

#include <stddef.h>
#include <stdint.h>

namespace lcs {

// Deepest frame nesting: a solve pushes one frame for each LCP solve.
enum { kPoolFrameDepth = 4 };
// Alignment of the solver's arrays (bytes): a cache line, so 4-row tiles
// never straddle one.
enum { kPoolAlignment = 64 };

class MemoryPool {
public:
    // Starts a new workspace over memory (size bytes); forgets every frame.
    void init(void *memory, size_t size);
    // size (bytes) must be a multiple of 16. Returns null after the fatal
    // message when the size is bad or the workspace is exhausted.
    void *alloc(size_t size, const char *name) { return allocAligned(size, 1, name); }
    void *allocAligned(size_t size, size_t alignment, const char *name);
    void *allocAlignedZeroed(size_t size, size_t alignment, const char *name);
    // count elements of T on a cache line, the size rounded to the granule.
    template <typename T> T *array(size_t count, const char *name);
    // Saves the current top; popFrame returns to it, releasing everything
    // allocated since. Returns 0 (after a warning) when the stack is full.
    int pushFrame();
    void popFrame();
    // Bytes handed out since init, padding included, and the largest value
    // this reached since init: the measure RbdLcsMemoryRequired is checked
    // against.
    size_t used() const { return top_ - start_; }
    size_t peakUsed() const { return peak_; }

private:
    uintptr_t start_ = 0; // first usable byte (16-byte aligned)
    uintptr_t top_ = 0;   // next free byte
    uintptr_t end_ = 0;   // one past the last byte
    uintptr_t frames_[kPoolFrameDepth] = {};
    int frameCount_ = 0;
    size_t peak_ = 0;
};

// Size rounded up to the pool's granule of 16 bytes.
inline size_t PoolRound(size_t bytes)
{
    return (bytes + 15u) & ~static_cast<size_t>(15u);
}

template <typename T> T *MemoryPool::array(size_t count, const char *name)
{
    return static_cast<T *>(allocAligned(PoolRound(sizeof(T) * count), kPoolAlignment, name));
}

// Worst-case bytes one allocAligned(bytes, kPoolAlignment) can consume:
// the rounded size plus the largest gap alignment can leave before it.
inline size_t PoolAlignedCost(size_t bytes)
{
    return PoolRound(bytes) + (kPoolAlignment - 16);
}

// Bytes init may skip to reach a 16-byte boundary.
enum { kPoolStartSlack = 16 };

} // namespace lcs

#endif
