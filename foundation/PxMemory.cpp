// The default allocation table and the (empty) allocation checks.
#include "kelmar/PxMemory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "kelmar/PxMessage.h"

namespace {

// Bytes of the word just before an aligned block that records its pad.
constexpr size_t kPadWordSize = sizeof(uint32_t);
// Alignment used when none is asked for: what malloc itself guarantees.
constexpr int kDefaultAlignment = static_cast<int>(alignof(std::max_align_t));

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
    if (raw == nullptr) return nullptr;

    size_t pad = align - reinterpret_cast<uintptr_t>(raw) % align;
    if (pad == align) pad = 0;
    // Room for the pad word; alignments below 4 may need several steps.
    while (pad < kPadWordSize) pad += align;
    const uint32_t storedPad = static_cast<uint32_t>(pad);
    std::memcpy(raw + pad - kPadWordSize, &storedPad, kPadWordSize);
    return raw + pad;
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
