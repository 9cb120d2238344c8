// Structure pools: block growth, reuse of returned structures, reset, the
// no-growth configuration and the allocation-free steady state.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;
using pxtest::LevelGuard;
using pxtest::MessageCapture;

namespace {

constexpr int kStructSize = 24;

char *Get(PxPool *pool)
{
    return static_cast<char *>(PxPoolGetStruct(pool));
}

// How many structures each block held more than the one before it.
std::vector<long> Growth()
{
    const std::vector<size_t> &sizes = CountingAllocator::state().sizes;
    std::vector<long> steps;
    for (size_t i = 1; i < sizes.size(); ++i)
        steps.push_back((static_cast<long>(sizes[i]) - static_cast<long>(sizes[i - 1])) / kStructSize);
    return steps;
}

} // namespace

TEST(Pool, APoolOfOneGrowsInBlocksOf1Then2Then4)
{
    CountingAllocator counter;
    PxPool pool;
    ASSERT_EQ(PxPoolInit(&pool, 1, kStructSize, 0), 1);
    EXPECT_EQ(pool.structSize, kStructSize);
    EXPECT_EQ(CountingAllocator::state().creates, 1);

    std::vector<char *> got;
    std::vector<int> createsAfter;
    for (int i = 0; i < 8; ++i) {
        got.push_back(Get(&pool));
        ASSERT_NE(got.back(), nullptr);
        createsAfter.push_back(CountingAllocator::state().creates);
    }
    // Blocks of 1, 2, 4: new blocks on the 2nd, 4th and 8th request.
    EXPECT_EQ(createsAfter, (std::vector<int>{1, 2, 2, 3, 3, 3, 3, 4}));
    EXPECT_EQ(got[2] - got[1], kStructSize);
    for (int i = 4; i < 7; ++i) EXPECT_EQ(got[i] - got[i - 1], kStructSize);
    // Each block differs from the previous only by the structures it holds.
    EXPECT_EQ(Growth(), (std::vector<long>{1, 2, 4}));
    EXPECT_EQ(PxPoolGetUsed(&pool), 8);
    EXPECT_EQ(pool.structCount, 8);

    // Reset keeps only the newest block (of 8) and starts it over.
    PxPoolReset(&pool);
    EXPECT_EQ(CountingAllocator::state().destroys, 3);
    EXPECT_EQ(PxPoolGetUsed(&pool), 0);
    EXPECT_EQ(Get(&pool), got[7]);
    for (int i = 1; i < 8; ++i) ASSERT_NE(Get(&pool), nullptr);
    EXPECT_EQ(CountingAllocator::state().creates, 4) << "the kept block holds 8 structures";

    PxPoolTerm(&pool);
    EXPECT_EQ(CountingAllocator::state().destroys, 4);
    EXPECT_EQ(pool.blocks, nullptr);
}

TEST(Pool, ReturnedStructuresAreReusedLastInFirstOut)
{
    PxPool pool;
    ASSERT_EQ(PxPoolInit(&pool, 4, kStructSize, 0), 1);
    char *a = Get(&pool);
    char *b = Get(&pool);
    char *c = Get(&pool);
    PxPoolPutStruct(&pool, a);
    PxPoolPutStruct(&pool, c);
    EXPECT_EQ(PxPoolGetUsed(&pool), 1);
    EXPECT_EQ(Get(&pool), c);
    EXPECT_EQ(Get(&pool), a);
    char *d = Get(&pool); // from the bump pointer again
    EXPECT_TRUE(d != a && d != b && d != c);
    EXPECT_EQ(PxPoolGetUsed(&pool), 4);

    // A reset forgets the free list: the block is handed out from its start.
    PxPoolPutStruct(&pool, b);
    PxPoolReset(&pool);
    EXPECT_EQ(Get(&pool), a);
    PxPoolTerm(&pool);
}

TEST(Pool, WithFactorZeroAndIncrementZeroThePoolNeverGrows)
{
    CountingAllocator counter;
    PxPool pool;
    ASSERT_EQ(PxPoolInitResizable(&pool, 2, kStructSize, 0, 0.0f, 0), 1);
    ASSERT_NE(Get(&pool), nullptr);
    ASSERT_NE(Get(&pool), nullptr);
    EXPECT_EQ(Get(&pool), nullptr);
    EXPECT_EQ(Get(&pool), nullptr);
    EXPECT_EQ(PxPoolGetUsed(&pool), 2);

    // An increment lets it grow again, by exactly that many structures a block.
    PxPoolSetResizable(&pool, 3, 0.0f);
    for (int i = 0; i < 7; ++i) ASSERT_NE(Get(&pool), nullptr);
    EXPECT_EQ(PxPoolGetUsed(&pool), 9);
    EXPECT_EQ(Growth(), (std::vector<long>{1, 0, 0})) << "blocks of 3 after the first of 2";
    PxPoolTerm(&pool);
    EXPECT_EQ(CountingAllocator::state().destroys, CountingAllocator::state().creates);
}

TEST(Pool, GrowthFollowsFactorAndIncrementInSinglePrecision)
{
    CountingAllocator counter;
    PxPool pool;
    // 3 * 1.5 + 0.5 = 5.0 -> 5, + 1 = 6; then 6 * 1.5 + 0.5 = 9.5 -> 9, + 1 = 10.
    ASSERT_EQ(PxPoolInitResizable(&pool, 3, kStructSize, 1, 1.5f, 0), 1);
    for (int i = 0; i < 3 + 6 + 1; ++i) ASSERT_NE(Get(&pool), nullptr);
    EXPECT_EQ(Growth(), (std::vector<long>{3, 4}));
    EXPECT_EQ(pool.structCount, 10);
    PxPoolTerm(&pool);
}

TEST(Pool, InSteadyStateGetAndPutNeverCallTheAllocationTable)
{
    PxPool pool;
    CountingAllocator counter;
    ASSERT_EQ(PxPoolInit(&pool, 4, kStructSize, 16), 1);
    std::vector<void *> live;
    for (int i = 0; i < 20; ++i) live.push_back(PxPoolGetStruct(&pool)); // warm up: 4 + 8 + 16
    const int callsAfterWarmUp = CountingAllocator::allocationCalls();
    for (void *p : live) PxPoolPutStruct(&pool, p);
    for (int round = 0; round < 1000; ++round) {
        void *a = PxPoolGetStruct(&pool);
        void *b = PxPoolGetStruct(&pool);
        ASSERT_TRUE(a != nullptr && b != nullptr);
        PxPoolPutStruct(&pool, a);
        void *c = PxPoolGetStruct(&pool);
        EXPECT_EQ(c, a);
        PxPoolPutStruct(&pool, b);
        PxPoolPutStruct(&pool, c);
    }
    EXPECT_EQ(CountingAllocator::allocationCalls(), callsAfterWarmUp);
    EXPECT_EQ(CountingAllocator::state().destroys, 0);
    EXPECT_EQ(PxPoolGetUsed(&pool), 0);
    PxPoolTerm(&pool);
}

TEST(Pool, AlignedStructuresAreAlignedDistinctAndWritable)
{
    PxPool pool;
    ASSERT_EQ(PxPoolInit(&pool, 3, 20, 16), 1);
    EXPECT_EQ(pool.structSize, 32);
    std::set<char *> seen;
    for (int i = 0; i < 50; ++i) {
        char *p = Get(&pool);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16u, 0u);
        EXPECT_TRUE(seen.insert(p).second) << "structure handed out twice";
        for (int k = 0; k < 32; ++k) p[k] = static_cast<char>(i);
    }
    for (char *p : seen) EXPECT_EQ(p[31], p[0]) << "structures overlap";
    PxPoolTerm(&pool);

    // Tiny structures still hold the free-list link.
    ASSERT_EQ(PxPoolInit(&pool, 2, 1, 0), 1);
    EXPECT_GE(pool.structSize, static_cast<int>(sizeof(void *)));
    PxPoolTerm(&pool);
}

TEST(Pool, BadSetUpIsReportedAndLeavesNoBlocks)
{
    MessageCapture capture;
    PxPool pool;
    {
        LevelGuard quiet(PxWarningLevel, 2);
        EXPECT_EQ(PxPoolInit(&pool, 2, kStructSize, 6), 1);
        EXPECT_TRUE(MessageCapture::pieces().empty()) << "a level-3 warning passed a level-2 channel";
        PxPoolTerm(&pool);
    }
    LevelGuard level(PxWarningLevel, 3);
    EXPECT_EQ(PxPoolInit(&pool, 2, kStructSize, 6), 1);
    EXPECT_EQ(MessageCapture::joined("warning"),
              "PxWarning{3}: PxPoolInit(): Alignment must be a multiple of sizeof(unsigned int).\n");
    EXPECT_EQ(pool.structSize % 6, 0);
    PxPoolTerm(&pool);

    EXPECT_EQ(PxPoolInit(&pool, 0, kStructSize, 0), 0);
    EXPECT_EQ(pool.blocks, nullptr);
    EXPECT_EQ(PxPoolGetStruct(&pool), nullptr) << "a pool of 0 grows to 0 * 2 = 0";
    PxPoolTerm(&pool);

    CountingAllocator failing(0);
    EXPECT_EQ(PxPoolInit(&pool, 4, kStructSize, 0), 0);
    EXPECT_EQ(pool.blocks, nullptr);
    PxPoolTerm(&pool);
}
