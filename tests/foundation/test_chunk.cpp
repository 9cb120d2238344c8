// Scratch chunks: owned chunks that grow, user chunks with and without an
// overflow callback, and the fatal allocation failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

namespace {

bool IsAligned(const void *p, int alignment)
{
    return reinterpret_cast<uintptr_t>(p) % static_cast<uintptr_t>(alignment) == 0;
}

struct OverflowRecord {
    int calls = 0;
    void *memory = nullptr;
    size_t size = 0;
    size_t needed = 0;
};
OverflowRecord gOverflow;
std::vector<char> gBiggerBuffer;

// Hands the chunk a buffer of the size asked for.
void GiveBiggerBuffer(PxChunk *chunk, void *memory, size_t size, size_t needed)
{
    ++gOverflow.calls;
    gOverflow.memory = memory;
    gOverflow.size = size;
    gOverflow.needed = needed;
    gBiggerBuffer.assign(needed + 64, 0);
    PxChunkSetUser(chunk, gBiggerBuffer.data(), gBiggerBuffer.size(), PxChunkGetAlignment(chunk));
}

void RefuseToHelp(PxChunk *, void *, size_t, size_t)
{
    ++gOverflow.calls;
}

} // namespace

TEST(Chunk, AnOwnedChunkGrowsToTheLargestRequestAndStaysAligned)
{
    CountingAllocator counter;
    PxChunk chunk;
    PxChunkInit(&chunk);
    EXPECT_EQ(PxChunkGetMem(&chunk, 1), nullptr) << "an initialised chunk has no memory yet";
    PxChunkSetAuto(&chunk, 100, 64);
    EXPECT_EQ(chunk.size, 164u);
    EXPECT_TRUE(IsAligned(chunk.alignedMemory, 64));
    EXPECT_EQ(chunk.usableSize,
              chunk.size - static_cast<size_t>(chunk.alignedMemory - static_cast<char *>(chunk.memory)));
    EXPECT_GE(chunk.usableSize, 100u);

    void *small = PxChunkGetMem(&chunk, 50);
    EXPECT_EQ(small, chunk.alignedMemory);
    EXPECT_EQ(CountingAllocator::state().resizes, 0);

    char *big = static_cast<char *>(PxChunkGetMem(&chunk, 10000));
    ASSERT_NE(big, nullptr);
    EXPECT_TRUE(IsAligned(big, 64));
    EXPECT_GE(chunk.usableSize, 10000u);
    std::memset(big, 7, 10000);
    EXPECT_EQ(CountingAllocator::state().resizes, 1);
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 10000u);

    // Smaller requests reuse the grown memory; maxUsed only ever grows.
    EXPECT_EQ(PxChunkGetMem(&chunk, 300), big);
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 10000u);
    EXPECT_EQ(CountingAllocator::state().resizes, 1);
    PxChunkDestroy(&chunk);
    EXPECT_EQ(CountingAllocator::state().destroys, 1);
}

TEST(Chunk, AUserChunkWithoutCallbackRefusesLargeRequestsButRecordsThem)
{
    alignas(64) char buffer[256];
    PxChunk chunk;
    PxChunkInit(&chunk);
    PxChunkSetUser(&chunk, buffer + 1, 255, 16); // misaligned on purpose
    EXPECT_TRUE(IsAligned(chunk.alignedMemory, 16));
    EXPECT_EQ(chunk.alignedMemory, buffer + 16);
    EXPECT_EQ(chunk.usableSize, 240u);
    EXPECT_EQ(PxChunkGetMem(&chunk, 240), buffer + 16);
    EXPECT_EQ(PxChunkGetMem(&chunk, 241), nullptr);
    EXPECT_EQ(PxChunkGetMem(&chunk, 1000), nullptr);
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 1000u);
    PxChunkDestroy(&chunk); // does not free the caller's buffer (ASan would object)
}

TEST(Chunk, TheOverflowCallbackIsAskedForSixteenMoreBytesAndMayReplaceTheBuffer)
{
    alignas(64) char buffer[128];
    PxChunk chunk;
    PxChunkInit(&chunk);
    PxChunkSetUser(&chunk, buffer, sizeof buffer, 32);
    PxChunkSetOverflowCB(&chunk, GiveBiggerBuffer);
    gOverflow = OverflowRecord{};

    char *memory = static_cast<char *>(PxChunkGetMem(&chunk, 500));
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(gOverflow.calls, 1);
    EXPECT_EQ(gOverflow.memory, buffer);
    EXPECT_EQ(gOverflow.size, sizeof buffer);
    EXPECT_EQ(gOverflow.needed, 516u);
    EXPECT_TRUE(IsAligned(memory, 32));
    EXPECT_GE(memory, gBiggerBuffer.data());
    EXPECT_LE(memory + 500, gBiggerBuffer.data() + gBiggerBuffer.size());
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 500u);

    PxChunkSetOverflowCB(&chunk, RefuseToHelp);
    EXPECT_EQ(PxChunkGetMem(&chunk, 100000), nullptr);
    EXPECT_EQ(gOverflow.calls, 2);
    EXPECT_EQ(PxChunkGetMaxUsed(&chunk), 100000u);
    PxChunkDestroy(&chunk);
}

TEST(ChunkDeathTest, AllocationFailuresOfOwnedChunksAreFatal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            CountingAllocator failing(0);
            PxChunk chunk;
            PxChunkInit(&chunk);
            PxChunkSetAuto(&chunk, 100, 0);
        },
        testing::ExitedWithCode(1), "PxChunkSetAuto: Could not allocate memory for PxChunk\\.");
    EXPECT_EXIT(
        {
            CountingAllocator failing(1);
            PxChunk chunk;
            PxChunkInit(&chunk);
            PxChunkSetAuto(&chunk, 100, 0);
            PxChunkGetMem(&chunk, 5000);
        },
        testing::ExitedWithCode(1),
        "PxChunkGetMem: Could not allocate memory to resize PxChunk: old size = 100 new size = 5000");
}
