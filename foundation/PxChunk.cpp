// Scratch memory that either grows on demand (an owned, "auto" chunk) or
// lives in a caller's buffer with an optional overflow callback.
#include "kelmar/PxMemory.h"

#include <cstdint>

#include "kelmar/PxMessage.h"

namespace {

// Bytes from address to the next multiple of alignment (0 when aligned or
// when no alignment is asked for).
size_t AlignmentPad(const void *address, int alignment)
{
    if (address == nullptr || alignment <= 0) return 0;
    const size_t align = static_cast<size_t>(alignment);
    const size_t pad = align - reinterpret_cast<uintptr_t>(address) % align;
    return pad == align ? 0 : pad;
}

// Points alignedMemory and usableSize at the aligned part of memory/size.
void PlaceAligned(PxChunk *chunk)
{
    const size_t pad = AlignmentPad(chunk->memory, chunk->alignment);
    chunk->alignedMemory = chunk->memory != nullptr ? static_cast<char *>(chunk->memory) + pad : nullptr;
    chunk->usableSize = chunk->size > pad ? chunk->size - pad : 0;
}

size_t AlignmentBytes(int alignment)
{
    return alignment > 0 ? static_cast<size_t>(alignment) : 0;
}

// A negative alignment is reported and treated as none.
int CheckedAlignment(const char *caller, int alignment)
{
    if (alignment >= 0) return alignment;
    PxWarning(3, "%s: Negative alignment %d treated as none.\n", caller, alignment);
    return 0;
}

void ReleaseOwned(PxChunk *chunk)
{
    if (chunk->isAuto && chunk->memory != nullptr) PxMemoryAPI.destroy(chunk->memory);
    chunk->memory = nullptr;
    chunk->alignedMemory = nullptr;
    chunk->size = 0;
    chunk->usableSize = 0;
    chunk->isAuto = 0;
}

} // namespace

void PxChunkInit(PxChunk *chunk)
{
    if (chunk == nullptr) return;
    chunk->memory = nullptr;
    chunk->alignedMemory = nullptr;
    chunk->size = 0;
    chunk->usableSize = 0;
    chunk->maxUsed = 0;
    chunk->alignment = 0;
    chunk->isAuto = 0;
    chunk->overflowCallback = nullptr;
}

void PxChunkSetAuto(PxChunk *chunk, size_t size, int alignment)
{
    if (chunk == nullptr) return;
    ReleaseOwned(chunk);
    chunk->alignment = CheckedAlignment("PxChunkSetAuto", alignment);
    const size_t total = size + AlignmentBytes(chunk->alignment);
    // At least one byte, so that a zero-sized chunk still owns a block.
    void *memory = total >= size ? PxMemoryAPI.create(total > 0 ? total : 1) : nullptr;
    if (memory == nullptr) {
        PxFatalError(3, "PxChunkSetAuto: Could not allocate memory for PxChunk.\n");
        return;
    }
    chunk->memory = memory;
    chunk->size = total;
    chunk->isAuto = 1;
    PlaceAligned(chunk);
}

void PxChunkSetUser(PxChunk *chunk, void *memory, size_t size, int alignment)
{
    if (chunk == nullptr) return;
    ReleaseOwned(chunk);
    chunk->alignment = CheckedAlignment("PxChunkSetUser", alignment);
    chunk->memory = memory;
    chunk->size = memory != nullptr ? size : 0;
    PlaceAligned(chunk);
}

void PxChunkSetOverflowCB(PxChunk *chunk, PxChunkOverflowCB callback)
{
    if (chunk != nullptr) chunk->overflowCallback = callback;
}

PxChunkOverflowCB PxChunkGetOverflowCB(const PxChunk *chunk)
{
    return chunk != nullptr ? chunk->overflowCallback : nullptr;
}

int PxChunkGetAlignment(const PxChunk *chunk)
{
    return chunk != nullptr ? chunk->alignment : 0;
}

size_t PxChunkGetMaxUsed(const PxChunk *chunk)
{
    return chunk != nullptr ? chunk->maxUsed : 0;
}

int PxChunkReserve(PxChunk *chunk, size_t bytes)
{
    if (chunk == nullptr) return 0;
    if (bytes <= chunk->usableSize) return 1;
    const size_t total = bytes + AlignmentBytes(chunk->alignment);
    void *memory = chunk->isAuto && total >= bytes ? PxMemoryAPI.resize(chunk->memory, total) : nullptr;
    if (memory == nullptr) return 0; // the chunk as it was; PxChunkGetMem grows it when it must
    chunk->memory = memory;
    chunk->size = total;
    PlaceAligned(chunk);
    return 1;
}

void *PxChunkGetMem(PxChunk *chunk, size_t bytes)
{
    if (chunk == nullptr) return nullptr;
    if (bytes > chunk->maxUsed) chunk->maxUsed = bytes;
    if (bytes <= chunk->usableSize) return chunk->alignedMemory;

    if (chunk->isAuto) {
        const size_t total = bytes + AlignmentBytes(chunk->alignment);
        const bool sizeOverflows = total < bytes;
        void *memory = sizeOverflows ? nullptr : PxMemoryAPI.resize(chunk->memory, total);
        if (memory == nullptr) {
            PxFatalError(3,
                         "PxChunkGetMem: Could not allocate memory to resize PxChunk: old size = %d new size = %d\n",
                         static_cast<int>(chunk->size), static_cast<int>(bytes));
            return nullptr;
        }
        chunk->memory = memory;
        chunk->size = total;
        PlaceAligned(chunk);
        return chunk->alignedMemory;
    }

    if (chunk->overflowCallback == nullptr) return nullptr;
    // The callback is expected to hand the chunk a larger buffer through
    // PxChunkSetUser; it is asked for a little more than needed.
    chunk->overflowCallback(chunk, chunk->memory, chunk->size, bytes + 16);
    return bytes <= chunk->usableSize ? chunk->alignedMemory : nullptr;
}

void PxChunkDestroy(PxChunk *chunk)
{
    if (chunk == nullptr) return;
    ReleaseOwned(chunk);
}
