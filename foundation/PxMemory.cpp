// The default allocation table and the (empty) allocation checks.
#include "kelmar/PxMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "kelmar/PxMessage.h"

namespace {

// Bytes of the word just before an aligned block that records its pad.
constexpr size_t kPadWordSize = sizeof(uint32_t);
// Alignment used when none is asked for: what malloc itself guarantees.
constexpr int kDefaultAlignment = static_cast<int>(alignof(std::max_align_t));
// The transparent huge page of x86-64 and of most 64-bit ARM kernels.
constexpr size_t kHugePageBytes = size_t{2} << 20;

// The first address past at least one pad word of raw that is a multiple of
// align, with the pad stored in the word before it (see MallocCreateAligned).
char *PlaceAfterPad(char *raw, size_t align)
{
    size_t pad = align - reinterpret_cast<uintptr_t>(raw) % align;
    if (pad == align) pad = 0;
    // Room for the pad word; alignments below 4 may need several steps.
    while (pad < kPadWordSize) pad += align;
    const uint32_t storedPad = static_cast<uint32_t>(pad);
    std::memcpy(raw + pad - kPadWordSize, &storedPad, kPadWordSize);
    return raw + pad;
}

// MallocCreateAligned's block, zeroed by calloc: a large calloc gets fresh
// pages, which cost memory only where the block is used.
void *CallocCreateAligned(size_t size, size_t align)
{
    if (size > SIZE_MAX - kPadWordSize - align) return nullptr;
    char *raw = static_cast<char *>(std::calloc(1, size + kPadWordSize + align));
    return raw != nullptr ? PlaceAfterPad(raw, align) : nullptr;
}

bool DefaultAlignedTable()
{
    return PxMemoryAPI.createAligned == MallocCreateAligned && PxMemoryAPI.destroyAligned == MallocDestroyAligned;
}

} // namespace

PxMemoryAPIType PxMemoryAPI = {MallocCreate,         Calloc,      MallocCreateAligned, MallocDestroy,
                               MallocDestroyAligned, MallocResize};

void *MallocCreate(size_t size)
{
    return std::malloc(size);
}

void *Calloc(size_t size)
{
    return std::calloc(1, size);
}

// Allocates size + 4 + alignment bytes and returns the first address past
// at least one pad word that is a multiple of alignment; the pad is stored
// in the 32-bit word just before the returned address so that the block can
// be freed.
void *MallocCreateAligned(size_t size, int alignment)
{
    if (alignment < 0) {
        PxWarning(3, "MallocCreateAligned: Alignment must not be negative (%d).\n", alignment);
        return nullptr;
    }
    if (alignment % static_cast<int>(sizeof(unsigned int)) != 0)
        PxWarning(3, "MallocCreateAligned: Alignment must be a multiple of sizeof(unsigned int).\n");
    const size_t align = static_cast<size_t>(alignment > 0 ? alignment : kDefaultAlignment);
    if (size > SIZE_MAX - kPadWordSize - align) return nullptr;
    char *raw = static_cast<char *>(std::malloc(size + kPadWordSize + align));
    return raw != nullptr ? PlaceAfterPad(raw, align) : nullptr;
}

void MallocDestroy(void *pointer)
{
    std::free(pointer);
}

void MallocDestroyAligned(void *pointer)
{
    if (pointer == nullptr) return;
    char *block = static_cast<char *>(pointer);
    uint32_t pad = 0;
    std::memcpy(&pad, block - kPadWordSize, kPadWordSize);
    std::free(block - pad);
}

// A size of 0 is refused (null) and leaves the block allocated, unlike
// realloc, which would free it.
void *MallocResize(void *pointer, size_t size)
{
    if (size == 0) return nullptr;
    return std::realloc(pointer, size);
}

size_t PxMemoryAdviseHugePages(void *block, size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    if (block == nullptr || size > UINTPTR_MAX - start) return 0;
    const uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
    const uintptr_t end = (start + size) / kHugePageBytes * kHugePageBytes;
    if (first < start || end <= first) return 0;
    // Advice only: a kernel without huge pages refuses it and the block stays as it is.
    if (madvise(reinterpret_cast<void *>(first), end - first, MADV_HUGEPAGE) != 0) return 0;
    return end - first;
#else
    (void)block;
    (void)size;
    return 0;
#endif
}

void *PxMemoryCreateLarge(size_t size, int zeroed)
{
    if (size < PX_LARGE_BLOCK_BYTES) return zeroed ? PxMemoryAPI.createZeroed(size) : PxMemoryAPI.create(size);
    if (!DefaultAlignedTable()) {
        void *block = PxMemoryAPI.createAligned(size, 0);
        if (block != nullptr && zeroed) std::memset(block, 0, size);
        return block;
    }
    // Starting on a huge page lets every whole 2 MiB of the block be one.
    void *block = zeroed ? CallocCreateAligned(size, kHugePageBytes)
                         : MallocCreateAligned(size, static_cast<int>(kHugePageBytes));
    PxMemoryAdviseHugePages(block, size);
    return block;
}

void PxMemoryDestroyLarge(void *block, size_t size)
{
    if (size < PX_LARGE_BLOCK_BYTES)
        PxMemoryAPI.destroy(block);
    else
        PxMemoryAPI.destroyAligned(block);
}

int PxMemoryCheckGetAllocatedByteCount(void)
{
    return 0;
}

int PxMemoryCheckGetAllocatedBlockCount(void)
{
    return 0;
}

int PxMemoryCheckMemory(void)
{
    return 0;
}
