// Structure pools under random get, put and reset: every structure handed
// out is distinct, aligned and untouched by its neighbours; returned ones
// come back last in first out; blocks grow by factor and increment.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

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
