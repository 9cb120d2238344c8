// Memory: aligned blocks, growable arrays and scratch chunks (contents kept
// across growth, alignment, and what a failed allocation leaves behind);
// structure pools under random get, put and reset (every structure handed out
// distinct, aligned and untouched by its neighbours, returned ones back last
// in first out, blocks grown by factor and increment); hash tables checked
// against an ordered map under random operations, with chains forced long by
// a narrow hash.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/AllocationCounter.h"
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

constexpr size_t kHuge = size_t{2} << 20;

// Bucket = first character modulo the table size: few buckets, long chains.
unsigned int FirstChar(const void *key, unsigned int size)
{
    return static_cast<unsigned char>(static_cast<const char *>(key)[0]) % size;
}

int gFreedKeys = 0, gFreedData = 0;

std::vector<std::string> Iterate(PxHash *hash)
{
    std::vector<std::string> order;
    PxHashIterator it;
    PxHashInitIterator(&it, hash);
    for (void *d = PxHashGetDatum(&it); d != nullptr; d = PxHashGetDatum(&it))
        order.push_back(static_cast<char *>(d));
    // After the end, iteration starts over.
    const char *again = static_cast<char *>(PxHashGetDatum(&it));
    if (again ? order.empty() || order[0] != again : !order.empty()) order.push_back("(did not start over)");
    return order;
}

// The order iteration must give: by bucket, then by key within a bucket.
std::vector<std::string> Expected(const std::map<std::string, std::string> &model, unsigned int size)
{
    std::vector<std::string> order;
    for (unsigned int b = 0; b < size; ++b)
        for (const auto &entry : model)
            if (FirstChar(entry.first.c_str(), size) == b) order.push_back(entry.second);
    return order;
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

TEST(Pool, RandomGetPutAndResetNeverShareOrLoseAStructure)
{
    struct Setup {
        int count, size, alignment;
    };
    for (const Setup &s : {Setup{1, 24, 0}, Setup{3, 20, 16}, Setup{5, 1, 0}, Setup{2, 40, 8}}) {
        std::mt19937 rng(11u);
        CountingAllocator counter;
        PxPool pool;
        ASSERT_EQ(PxPoolInit(&pool, s.count, s.size, s.alignment), 1);
        std::map<char *, unsigned char> live; // each filled with its own tag
        std::vector<char *> returned;         // most recent last
        for (int step = 0; step < 2000; ++step) {
            const int op = static_cast<int>(rng() % 100);
            if (op < 55 || live.empty()) {
                char *p = static_cast<char *>(PxPoolGetStruct(&pool));
                if (!returned.empty()) {
                    EXPECT_EQ(p, returned.back()) << "the last structure put back comes out first";
                    returned.pop_back();
                }
                ASSERT_TRUE(p && CountingAllocator::Owns(p, static_cast<size_t>(s.size))) << "outside every block";
                ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % static_cast<uintptr_t>(s.alignment ? s.alignment : 1), 0u);
                ASSERT_TRUE(live.emplace(p, static_cast<unsigned char>(step)).second) << "handed out twice";
                std::memset(p, static_cast<unsigned char>(step), static_cast<size_t>(s.size));
            } else if (op < 98) {
                auto it = std::next(live.begin(), static_cast<long>(rng() % live.size()));
                PxPoolPutStruct(&pool, it->first);
                returned.push_back(it->first);
                live.erase(it);
            } else {
                PxPoolReset(&pool);
                live.clear();
                returned.clear();
            }
            ASSERT_EQ(PxPoolGetUsed(&pool), static_cast<int>(live.size()));
            for (const auto &entry : live)
                for (int k = 0; step % 25 == 0 && k < s.size; ++k)
                    ASSERT_EQ(static_cast<unsigned char>(entry.first[k]), entry.second) << "structures overlap";
        }
        PxPoolTerm(&pool);
    }
}

TEST(Pool, BlocksGrowByFactorAndIncrementAndSteadyStateDoesNotAllocate)
{
    struct Case {
        int count, increment;
        float factor;
        int gets;
        std::vector<long> growth; // structures each block holds more than the last
        std::vector<int> createsAfter;
    };
    const Case cases[] = {
        {1, 0, 2.0f, 8, {1, 2, 4}, {1, 2, 2, 3, 3, 3, 3, 4}},
        // 3 * 1.5 + 0.5 -> 5, + 1 = 6; then 6 * 1.5 + 0.5 -> 9, + 1 = 10.
        {3, 1, 1.5f, 10, {3, 4}, {1, 1, 1, 2, 2, 2, 2, 2, 2, 3}},
        {2, 3, 0.0f, 9, {1, 0, 0}, {1, 1, 2, 2, 2, 3, 3, 3, 4}},
        {2, 0, 0.0f, 3, {}, {1, 1, 1}}, // factor and increment 0: the pool never grows
    };
    for (const Case &c : cases) {
        CountingAllocator counter;
        PxPool pool;
        ASSERT_EQ(PxPoolInitResizable(&pool, c.count, 24, c.increment, c.factor, 0), 1);
        std::vector<int> createsAfter;
        std::vector<void *> got;
        for (int i = 0; i < c.gets; ++i) {
            got.push_back(PxPoolGetStruct(&pool));
            ASSERT_EQ(got.back() == nullptr, c.factor == 0.0f && c.increment == 0 && i >= c.count);
            createsAfter.push_back(CountingAllocator::state().creates);
        }
        const auto &blocks = CountingAllocator::state().blocks;
        std::vector<long> growth;
        for (size_t i = 1; i < blocks.size(); ++i)
            growth.push_back((static_cast<long>(blocks[i].second) - static_cast<long>(blocks[i - 1].second)) / 24);
        EXPECT_EQ(createsAfter, c.createsAfter) << c.count;
        EXPECT_EQ(growth, c.growth) << c.count;
        const int calls = CountingAllocator::allocationCalls();
        for (void *p : got)
            if (p) PxPoolPutStruct(&pool, p);
        for (int round = 0; round < 100; ++round) {
            void *a = PxPoolGetStruct(&pool), *b = PxPoolGetStruct(&pool);
            PxPoolPutStruct(&pool, a);
            PxPoolPutStruct(&pool, b);
        }
        EXPECT_EQ(CountingAllocator::allocationCalls(), calls) << "reuse must not allocate";
        // Reset keeps only the newest block and starts it over.
        PxPoolReset(&pool);
        EXPECT_EQ(CountingAllocator::state().destroys, CountingAllocator::state().creates - 1);
        PxPoolTerm(&pool);
        EXPECT_EQ(CountingAllocator::state().destroys, CountingAllocator::state().creates);
    }
}

TEST(Pool, BadSetUpIsReportedAndLeavesNoBlocks)
{
    pxtest::MessageCapture capture;
    PxPool pool;
    EXPECT_EQ(PxPoolInit(&pool, 2, 24, 6), 1);
    EXPECT_EQ(capture.joined("warning"),
              "PxWarning{3}: PxPoolInit(): Alignment must be a multiple of sizeof(unsigned int).\n");
    EXPECT_EQ(pool.structSize % 6, 0);
    PxPoolTerm(&pool);
    EXPECT_EQ(PxPoolInit(&pool, 0, 24, 0), 0);
    EXPECT_EQ(PxPoolGetStruct(&pool), nullptr) << "a pool of 0 grows to 0 * 2 = 0";
    PxPoolTerm(&pool);
    CountingAllocator failing(0);
    EXPECT_EQ(PxPoolInit(&pool, 4, 24, 0), 0);
    EXPECT_EQ(pool.blocks, nullptr);
    PxPoolTerm(&pool);
}

// Under the default table and a replaced one, below the threshold and from
// it on: the block is whole, zeroed when asked, on a huge page when large
// under the default table, and goes back by its size (a pairing that does not
// match its creation would free a pointer malloc never gave).
TEST(Memory, LargeBlocksTakeTheirPathBySizeAndComeBackByIt)
{
    const size_t t = PX_LARGE_BLOCK_BYTES;
    for (size_t size : {size_t{100}, t - 1, t, 3 * kHuge + 5})
        for (int zeroed : {0, 1})
            for (bool replaced : {false, true}) {
                std::unique_ptr<testsupport::AllocationCounter> counter(replaced ? new testsupport::AllocationCounter
                                                                                 : nullptr);
                std::vector<unsigned char> zeros(size, 0);
                unsigned char *block = static_cast<unsigned char *>(PxMemoryCreateLarge(size, zeroed));
                ASSERT_NE(block, nullptr);
                EXPECT_TRUE(!zeroed || std::memcmp(block, zeros.data(), size) == 0) << size << " not zeroed";
                EXPECT_TRUE(size < t || replaced || IsAligned(block, kHuge)) << size;
                std::memset(block, 0x5a, size); // the whole block is ours (ASan)
                PxMemoryDestroyLarge(block, size);
                EXPECT_TRUE(!replaced || (counter->allocations() == 1 && counter->releases() == 1)) << size;
            }
    PxPool pool; // a pool's large block: made and freed as one
    ASSERT_EQ(PxPoolInit(&pool, static_cast<int>(t / 1344) + 1, 1344, 16), 1);
    PxPoolTerm(&pool);
}

// The advice covers exactly the whole 2 MiB pages inside the range.
TEST(Memory, HugePageAdviceCoversTheWholeHugePagesInside)
{
    unsigned char *block = static_cast<unsigned char *>(MallocCreateAligned(6 * kHuge, static_cast<int>(kHuge)));
    ASSERT_NE(block, nullptr);
    const bool takesAdvice = PxMemoryAdviseHugePages(block, 6 * kHuge) == 6 * kHuge;
    const struct {
        size_t offset, size, advised;
    } cases[] = {{0, 6 * kHuge - 1, 5 * kHuge},   {1, 4 * kHuge, 3 * kHuge}, {kHuge - 1, 2 * kHuge + 2, 2 * kHuge},
                 {4096, 2 * kHuge - 4096, kHuge}, {1, 2 * kHuge - 2, 0},     {0, 0, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(PxMemoryAdviseHugePages(block + c.offset, c.size), takesAdvice ? c.advised : 0) << c.offset;
    MallocDestroyAligned(block);
}

TEST(Hash, StringHashIsTimes33PlusSignedBytesModuloSize)
{
    EXPECT_EQ(PxHashString("", 13), 0u);
    EXPECT_EQ(PxHashString("abc", 1000000), 108966u); // ((97 * 33) + 98) * 33 + 99
    EXPECT_EQ(PxHashString("abc", 100), 66u);
    // UTF-8 "é" is -61, -87 as signed chars: -2100 in unsigned 32 bits.
    EXPECT_EQ(PxHashString("\xc3\xa9", 0xffffffffu), 4294965196u);
}

TEST(Hash, RandomOperationsAgreeWithAnOrderedMap)
{
    std::mt19937 rng(7u);
    PxHash *hash = PxHashCreate(3);
    ASSERT_NE(hash, nullptr);
    PxHashSetHashFunc(hash, FirstChar);
    PxHashSetKeyFreeFunc(hash, [](void *p) { ++gFreedKeys, std::free(p); });
    PxHashSetDatumFreeFunc(hash, [](void *p) { ++gFreedData, std::free(p); });
    gFreedKeys = gFreedData = 0;
    std::map<std::string, std::string> model;
    int inserted = 0;
    EXPECT_TRUE(Iterate(hash).empty()) << "an empty table ends at once";
    for (int step = 0; step < 3000; ++step) {
        const std::string key = std::string(1, static_cast<char>('a' + rng() % 6)) + std::to_string(rng() % 40);
        const int op = static_cast<int>(rng() % 100);
        if (op < 50) {
            char *k = strdup(key.c_str());
            char *d = strdup((key + "#" + std::to_string(step)).c_str());
            void *got = PxHashInsert(k, d, hash);
            if (model.count(key)) {
                // A duplicate keeps the first datum; the caller still owns the new pair.
                EXPECT_STREQ(static_cast<char *>(got), model[key].c_str());
                std::free(k);
                std::free(d);
            } else {
                EXPECT_EQ(got, d);
                model[key] = d;
                ++inserted;
            }
        } else if (op < 80) {
            void *got = PxHashLookup(key.c_str(), hash);
            if (model.count(key)) {
                ASSERT_NE(got, nullptr) << key;
                EXPECT_EQ(model[key], static_cast<char *>(got));
            } else {
                EXPECT_EQ(got, nullptr) << key;
            }
        } else if (op < 95) {
            const int freedBefore = gFreedData;
            void *got = PxHashDelete(key.c_str(), hash);
            EXPECT_EQ(got != nullptr, model.count(key) == 1) << key;
            EXPECT_EQ(gFreedData - freedBefore, got != nullptr ? 1 : 0);
            model.erase(key);
        } else if (op < 99) {
            ASSERT_EQ(PxHashResize(hash, 1 + rng() % 11), 1);
        } else {
            PxHashReset(hash);
            model.clear();
        }
        ASSERT_EQ(PxHashPopulation(hash), static_cast<int>(model.size()));
        if (step % 50 == 0) {
            ASSERT_EQ(Iterate(hash), Expected(model, hash->size)) << "step " << step;
        }
    }
    EXPECT_EQ(PxHashResize(hash, 0), 0) << "a table of no buckets is refused";
    PxHashDestroy(hash);
    EXPECT_EQ(gFreedKeys, inserted) << "every stored key reaches its free function once";
    EXPECT_EQ(gFreedData, inserted);
}

TEST(Hash, FailuresReturnNullAndLeaveTheTableAsItWas)
{
    PxHash *hash = PxHashCreate(16);
    char key[] = "only", other[] = "other";
    PxHashInsert(key, key, hash);
    {
        CountingAllocator failing(0);
        EXPECT_EQ(PxHashInsert(other, other, hash), nullptr);
    }
    EXPECT_EQ(PxHashPopulation(hash), 1);
    PxHashDestroy(hash);
    EXPECT_EQ(PxHashCreate(0), nullptr);
    EXPECT_EQ(PxHashCreate(0x40000000u), nullptr);
    CountingAllocator failing(1); // the table, but not its buckets
    EXPECT_EQ(PxHashCreate(16), nullptr);
    EXPECT_EQ(CountingAllocator::state().destroys, 1) << "the partly built table is freed";
}
