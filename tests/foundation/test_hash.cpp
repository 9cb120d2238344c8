// Hash tables checked against an ordered map under random insert, lookup,
// delete, resize and reset, with chains forced long by a narrow hash.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

namespace {

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
