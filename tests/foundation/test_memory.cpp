// Aligned blocks, growable arrays and scratch chunks: contents kept across
// growth, alignment, and what a failed allocation leaves behind.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;
using pxtest::MessageCapture;

namespace {

bool IsAligned(const void *p, size_t alignment)
{
    return reinterpret_cast<uintptr_t>(p) % alignment == 0;
}

size_t gOverflowNeeded = 0;
std::vector<char> gBiggerBuffer;
// Hands the chunk a buffer of the size asked for.
void GiveBiggerBuffer(PxChunk *chunk, void *, size_t, size_t needed)
{
    gOverflowNeeded = needed;
    gBiggerBuffer.assign(needed + 64, 0);
    PxChunkSetUser(chunk, gBiggerBuffer.data(), gBiggerBuffer.size(), PxChunkGetAlignment(chunk));
}
void RefuseToHelp(PxChunk *, void *, size_t, size_t needed)
{
    gOverflowNeeded = needed;
}

} // namespace

TEST(Memory, AlignedBlocksAreAlignedWritableAndFreedThroughTheirPad)
{
    MessageCapture capture;
    for (int alignment : {0, 1, 2, 3, 4, 6, 8, 16, 32, 64, 128}) {
        MessageCapture::pieces().clear();
        for (size_t size : {size_t{1}, size_t{7}, size_t{4096}}) {
            unsigned char *block = static_cast<unsigned char *>(MallocCreateAligned(size, alignment));
            ASSERT_NE(block, nullptr);
            // Alignment 0 asks for what malloc guarantees.
            const size_t effective = alignment > 0 ? static_cast<size_t>(alignment) : alignof(std::max_align_t);
            EXPECT_TRUE(IsAligned(block, effective)) << alignment;
            uint32_t pad = 0;
            std::memcpy(&pad, block - sizeof pad, sizeof pad);
            EXPECT_TRUE(pad >= 4u && pad <= 4u + effective) << "the pad word must lie inside the allocation";
            std::memset(block, 0xab, size); // ASan checks the whole block is ours
            MallocDestroyAligned(block);
        }
        const std::string w =
            "PxWarning{3}: MallocCreateAligned: Alignment must be a multiple of sizeof(unsigned int).\n";
        EXPECT_EQ(MessageCapture::joined("warning"), alignment % 4 != 0 ? w + w + w : "") << alignment;
    }
    EXPECT_EQ(MallocCreateAligned(16, -8), nullptr) << "a negative alignment is refused";
    MallocDestroyAligned(nullptr);
    char *block = static_cast<char *>(MallocCreate(16));
    std::strcpy(block, "still here");
    EXPECT_EQ(MallocResize(block, 0), nullptr) << "resizing to zero is refused";
    block = static_cast<char *>(MallocResize(block, 64));
    EXPECT_STREQ(block, "still here");
    MallocDestroy(block);
    unsigned char *zeroed = static_cast<unsigned char *>(Calloc(33));
    EXPECT_EQ(std::vector<unsigned char>(zeroed, zeroed + 33), std::vector<unsigned char>(33, 0));
    MallocDestroy(zeroed);
}

TEST(Memory, ArraysDoubleOnGrowFitExactlyOnEnsureAndSurviveFailure)
{
    CountingAllocator counter;
    PxArray array;
    ASSERT_EQ(PxArrayInit(&array, 0, static_cast<int>(sizeof(double))), 1);
    EXPECT_EQ(PxArrayGetCapacity(&array), 1) << "capacity is at least 1";
    std::vector<int> capacities;
    for (int i = 0; i < 6; ++i) {
        double *added = static_cast<double *>(PxArrayGrow(&array, 1 + i % 2));
        ASSERT_NE(added, nullptr);
        EXPECT_EQ(added + 1 + i % 2, static_cast<double *>(array.data) + PxArrayGetSize(&array));
        for (int k = 0; k <= i % 2; ++k)
            added[k] = static_cast<double>(added - static_cast<double *>(array.data) + k);
        capacities.push_back(PxArrayGetCapacity(&array));
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 4, 4, 8, 8, 16}));
    ASSERT_EQ(PxArrayEnsureSize(&array, 20), 1);
    EXPECT_EQ(PxArrayGetCapacity(&array), 20) << "EnsureSize reallocates to exactly n";
    ASSERT_EQ(PxArrayEnsureSize(&array, 9), 1);
    EXPECT_EQ(PxArrayGetSize(&array), 9);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(static_cast<double *>(array.data)[i], i) << "kept across growth";

    void *data = array.data;
    counter.failFromNowOn();
    EXPECT_EQ(PxArrayGrow(&array, 100), nullptr);
    EXPECT_EQ(PxArrayEnsureSize(&array, 100), 0);
    EXPECT_EQ(PxArrayGetSize(&array), 9);
    EXPECT_EQ(PxArrayGetCapacity(&array), 20);
    EXPECT_EQ(array.data, data);
    PxArrayClear(&array);
    EXPECT_EQ(PxArrayGetSize(&array), 0);
    PxArrayTerm(&array);
    EXPECT_EQ(PxArrayGetCapacity(&array), 0);
    EXPECT_EQ(PxArrayInit(&array, 4, 0), 0) << "elements of size 0 are refused";
}

TEST(Memory, ChunksGrowWhenOwnedAndAskTheCallbackWhenUserMemoryIsShort)
{
    CountingAllocator counter;
    PxChunk chunk;
    PxChunkInit(&chunk);
    EXPECT_EQ(PxChunkGetMem(&chunk, 1), nullptr) << "an initialised chunk has no memory yet";
    PxChunkSetAuto(&chunk, 100, 64);
    EXPECT_EQ(PxChunkGetMem(&chunk, 50), chunk.alignedMemory);
    for (size_t request : {size_t{10000}, size_t{300}, size_t{7000}}) {
        char *memory = static_cast<char *>(PxChunkGetMem(&chunk, request));
        ASSERT_NE(memory, nullptr);
        EXPECT_TRUE(IsAligned(memory, 64));
        std::memset(memory, 7, request);
    }
    EXPECT_EQ(CountingAllocator::state().resizes, 1) << "grown once, to the largest request";
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 10000u);
    PxChunkDestroy(&chunk);
    EXPECT_EQ(CountingAllocator::state().destroys, 1);

    alignas(64) char buffer[256];
    PxChunkInit(&chunk);
    PxChunkSetUser(&chunk, buffer + 1, 255, 16); // misaligned on purpose
    EXPECT_EQ(PxChunkGetMem(&chunk, 240), buffer + 16);
    EXPECT_EQ(PxChunkGetMem(&chunk, 241), nullptr) << "no callback: refused";
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 241u) << "but recorded";

    PxChunkSetOverflowCB(&chunk, GiveBiggerBuffer);
    char *memory = static_cast<char *>(PxChunkGetMem(&chunk, 500));
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(gOverflowNeeded, 516u) << "sixteen bytes more than asked";
    EXPECT_TRUE(IsAligned(memory, 16));
    EXPECT_TRUE(memory >= gBiggerBuffer.data() && memory + 500 <= gBiggerBuffer.data() + gBiggerBuffer.size());
    PxChunkSetOverflowCB(&chunk, RefuseToHelp);
    EXPECT_EQ(PxChunkGetMem(&chunk, 100000), nullptr);
    EXPECT_EQ(gOverflowNeeded, 100016u);
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 100000u);
    PxChunkDestroy(&chunk); // does not free the caller's buffer (ASan would object)
    EXPECT_EQ(CountingAllocator::state().destroys, 1);
}

TEST(MemoryDeathTest, AllocationFailuresOfOwnedChunksAreFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (int succeed : {0, 1})
        EXPECT_EXIT(
            {
                CountingAllocator failing(succeed);
                PxChunk chunk;
                PxChunkInit(&chunk);
                PxChunkSetAuto(&chunk, 100, 0);
                PxChunkGetMem(&chunk, 5000);
            },
            testing::ExitedWithCode(1),
            succeed == 0
                ? "PxChunkSetAuto: Could not allocate memory for PxChunk\\."
                : "PxChunkGetMem: Could not allocate memory to resize PxChunk: old size = 100 new size = 5000");
}
