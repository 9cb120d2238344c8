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
using pxtest::LevelGuard;
using pxtest::MessageCapture;

namespace {

// Structures handed out by the pool, each filled with its own tag.
struct Live {
    std::map<char *, unsigned char> tags;
    ::testing::AssertionResult add(char *p, int size, int alignment, unsigned char tag)
    {
        if (p == nullptr) return ::testing::AssertionFailure() << "pool refused";
        if (alignment > 0 && reinterpret_cast<uintptr_t>(p) % static_cast<uintptr_t>(alignment) != 0)
            return ::testing::AssertionFailure() << "misaligned";
        if (!CountingAllocator::Owns(p, static_cast<size_t>(size)))
            return ::testing::AssertionFailure() << "outside every block";
        if (!tags.emplace(p, tag).second) return ::testing::AssertionFailure() << "handed out twice";
        std::memset(p, tag, static_cast<size_t>(size));
        return ::testing::AssertionSuccess();
    }
    ::testing::AssertionResult intact(int size) const
    {
        for (const auto &entry : tags)
            for (int k = 0; k < size; ++k)
                if (static_cast<unsigned char>(entry.first[k]) != entry.second)
                    return ::testing::AssertionFailure() << "structures overlap";
        return ::testing::AssertionSuccess();
    }
};

// How many structures each new block held more than the one before.
std::vector<long> Growth(int structSize)
{
    const std::vector<size_t> &sizes = CountingAllocator::state().sizes;
    std::vector<long> steps;
    for (size_t i = 1; i < sizes.size(); ++i)
        steps.push_back((static_cast<long>(sizes[i]) - static_cast<long>(sizes[i - 1])) / structSize);
    return steps;
}

} // namespace

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
        ASSERT_GE(pool.structSize, static_cast<int>(sizeof(void *))) << "room for the free-list link";
        Live live;
        std::vector<char *> returned; // most recent last
        for (int step = 0; step < 2000; ++step) {
            const int op = static_cast<int>(rng() % 100);
            if (op < 55 || live.tags.empty()) {
                char *p = static_cast<char *>(PxPoolGetStruct(&pool));
                if (!returned.empty()) {
                    EXPECT_EQ(p, returned.back()) << "the last structure put back comes out first";
                    returned.pop_back();
                }
                ASSERT_TRUE(live.add(p, s.size, s.alignment, static_cast<unsigned char>(step)));
            } else if (op < 98) {
                auto it = live.tags.begin();
                std::advance(it, static_cast<long>(rng() % live.tags.size()));
                PxPoolPutStruct(&pool, it->first);
                returned.push_back(it->first);
                live.tags.erase(it);
            } else {
                PxPoolReset(&pool);
                live.tags.clear();
                returned.clear();
            }
            ASSERT_EQ(PxPoolGetUsed(&pool), static_cast<int>(live.tags.size()));
            if (step % 25 == 0) {
                ASSERT_TRUE(live.intact(s.size)) << "step " << step;
            }
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
    };
    for (const Case &c : cases) {
        CountingAllocator counter;
        PxPool pool;
        ASSERT_EQ(PxPoolInitResizable(&pool, c.count, 24, c.increment, c.factor, 0), 1);
        std::vector<int> createsAfter;
        std::vector<void *> got;
        for (int i = 0; i < c.gets; ++i) {
            got.push_back(PxPoolGetStruct(&pool));
            ASSERT_NE(got.back(), nullptr);
            createsAfter.push_back(CountingAllocator::state().creates);
        }
        EXPECT_EQ(createsAfter, c.createsAfter) << c.count;
        EXPECT_EQ(Growth(24), c.growth) << c.count;
        const int calls = CountingAllocator::allocationCalls();
        for (void *p : got) PxPoolPutStruct(&pool, p);
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

    PxPool fixed; // factor 0 and increment 0: the pool never grows
    ASSERT_EQ(PxPoolInitResizable(&fixed, 2, 24, 0, 0.0f, 0), 1);
    ASSERT_NE(PxPoolGetStruct(&fixed), nullptr);
    ASSERT_NE(PxPoolGetStruct(&fixed), nullptr);
    EXPECT_EQ(PxPoolGetStruct(&fixed), nullptr);
    PxPoolTerm(&fixed);
}

TEST(Pool, BadSetUpIsReportedAndLeavesNoBlocks)
{
    MessageCapture capture;
    PxPool pool;
    LevelGuard level(PxWarningLevel, 3);
    EXPECT_EQ(PxPoolInit(&pool, 2, 24, 6), 1);
    EXPECT_EQ(MessageCapture::joined("warning"),
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
