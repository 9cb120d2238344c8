// The solver's workspace: one bump allocator over the memory the caller hands
// to a solve, with a small stack of frames. Nothing here touches the heap.
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

// Starts a new workspace over memory (size bytes); forgets every frame.
void InitPool(void *memory, size_t size);
// size (bytes) must be a multiple of 16. Returns null after the fatal
// message when the size is bad or the workspace is exhausted.
void *PoolAlloc(size_t size, const char *name);
void *PoolAllocAligned(size_t size, size_t alignment, const char *name);
void *PoolAllocAlignedZeroed(size_t size, size_t alignment, const char *name);
// Individual blocks are never freed; frames release them.
void PoolFreeAligned(void *pointer);
// Saves the current top; PopPoolFrame returns to it, releasing everything
// allocated since. Returns 0 (after a warning) when the stack is full.
int PushPoolFrame();
void PopPoolFrame();
// Bytes handed out since InitPool, padding included, and the largest value
// this ever reached: the measure RbdLcsMemoryRequired is checked against.
size_t PoolUsed();
size_t PoolPeakUsed();

// Size rounded up to the pool's granule of 16 bytes.
inline size_t PoolRound(size_t bytes)
{
    return (bytes + 15u) & ~static_cast<size_t>(15u);
}

// Worst-case bytes one PoolAllocAligned(bytes, kPoolAlignment) can consume:
// the rounded size plus the largest gap alignment can leave before it.
inline size_t PoolAlignedCost(size_t bytes)
{
    return PoolRound(bytes) + (kPoolAlignment - 16);
}

// Bytes InitPool may skip to reach a 16-byte boundary.
enum { kPoolStartSlack = 16 };

} // namespace lcs

#endif
