// Hash tables: the string hash, sorted chains, duplicate refusal, early
// lookup stop, deletion with free functions, iteration and reset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "foundation_test_support.h"
#include "kelmar/Px.h"

using pxtest::CountingAllocator;

namespace {

// Every key lands in bucket 0, so one chain holds the whole table.
unsigned int OneBucket(const void *, unsigned int)
{
    return 0;
}

// Bucket = first character modulo the table size.
unsigned int FirstChar(const void *key, unsigned int size)
{
    return static_cast<unsigned char>(static_cast<const char *>(key)[0]) % size;
}

int gCompares = 0;
int CountingCompare(const void *a, const void *b)
{
    ++gCompares;
    return std::strcmp(static_cast<const char *>(a), static_cast<const char *>(b));
}

std::vector<void *> gFreedKeys;
std::vector<void *> gFreedData;
void FreeKey(void *p)
{
    gFreedKeys.push_back(p);
    std::free(p);
}
void FreeDatum(void *p)
{
    gFreedData.push_back(p);
    std::free(p);
}

// The data in iteration order, as strings.
std::vector<std::string> Iterate(PxHash *hash)
{
    std::vector<std::string> order;
    PxHashIterator it;
    PxHashInitIterator(&it, hash);
    for (void *d = PxHashGetDatum(&it); d != nullptr; d = PxHashGetDatum(&it))
        order.push_back(static_cast<char *>(d));
    return order;
}

char *Text(const char *s)
{
    return const_cast<char *>(s);
}

} // namespace

TEST(Hash, StringHashIsTimes33PlusSignedBytesModuloSize)
{
    EXPECT_EQ(PxHashString("", 13), 0u);
    EXPECT_EQ(PxHashString("a", 1000), 97u);
    // ((97 * 33) + 98) * 33 + 99 = 108966
    EXPECT_EQ(PxHashString("abc", 1000000), 108966u);
    EXPECT_EQ(PxHashString("abc", 100), 66u);
    // UTF-8 "é" is the bytes -61, -87 as signed chars:
    // -61 * 33 - 87 = -2100, i.e. 4294965196 in unsigned 32 bits.
    EXPECT_EQ(PxHashString("\xc3\xa9", 1000), 196u);
    EXPECT_EQ(PxHashString("\xc3\xa9", 0xffffffffu), 4294965196u);
}

TEST(Hash, ChainsStaySortedAndADuplicateKeyKeepsTheFirstDatum)
{
    PxHash *hash = PxHashCreate(4);
    ASSERT_NE(hash, nullptr);
    PxHashSetHashFunc(hash, OneBucket);
    for (const char *key : {"delta", "bravo", "alpha", "echo", "charlie"})
        EXPECT_EQ(PxHashInsert(Text(key), Text(key), hash), key);
    EXPECT_EQ(PxHashPopulation(hash), 5);
    EXPECT_EQ(Iterate(hash), (std::vector<std::string>{"alpha", "bravo", "charlie", "delta", "echo"}));

    char other[] = "another datum";
    std::string key = "charlie"; // equal text, different pointer
    EXPECT_STREQ(static_cast<char *>(PxHashInsert(Text(key.c_str()), other, hash)), "charlie");
    EXPECT_EQ(PxHashPopulation(hash), 5);
    EXPECT_STREQ(static_cast<char *>(PxHashLookup("charlie", hash)), "charlie");
    PxHashDestroy(hash);
}

TEST(Hash, CollisionsCountOneForEveryChainNodeAnInsertWalksPast)
{
    PxHash *hash = PxHashCreate(1);
    ASSERT_NE(hash, nullptr);
    PxHashInsert(Text("b"), Text("b"), hash);
    PxHashInsert(Text("d"), Text("d"), hash); // passes b
    EXPECT_EQ(hash->collisions, 1);
    PxHashInsert(Text("c"), Text("c"), hash); // after b, before d
    EXPECT_EQ(hash->collisions, 2);
    PxHashInsert(Text("e"), Text("e"), hash); // passes b, c, d
    EXPECT_EQ(hash->collisions, 5);
    PxHashInsert(Text("a"), Text("a"), hash); // new head
    EXPECT_EQ(hash->collisions, 6);
    PxHashInsert(Text("c"), Text("x"), hash); // passes a, b, then matches
    EXPECT_EQ(hash->collisions, 8);
    PxHashDestroy(hash);
}

TEST(Hash, LookupStopsAtTheFirstKeyThatSortsAfterTheOneSought)
{
    PxHash *hash = PxHashCreate(8);
    ASSERT_NE(hash, nullptr);
    PxHashSetHashFunc(hash, OneBucket);
    PxHashSetKeyCompareFunc(hash, CountingCompare);
    for (const char *key : {"mike", "november", "oscar"}) PxHashInsert(Text(key), Text(key), hash);

    gCompares = 0;
    EXPECT_EQ(PxHashLookup("alpha", hash), nullptr);
    EXPECT_EQ(gCompares, 1);
    gCompares = 0;
    EXPECT_EQ(PxHashLookup("nancy", hash), nullptr);
    EXPECT_EQ(gCompares, 2);
    gCompares = 0;
    EXPECT_EQ(PxHashLookup("zulu", hash), nullptr);
    EXPECT_EQ(gCompares, 3);
    gCompares = 0;
    EXPECT_STREQ(static_cast<char *>(PxHashLookup("november", hash)), "november");
    EXPECT_EQ(gCompares, 2);
    EXPECT_EQ(PxHashDelete("nancy", hash), nullptr);
    EXPECT_EQ(PxHashPopulation(hash), 3);
    PxHashDestroy(hash);
}

TEST(Hash, DeleteResetAndDestroyHandEveryKeyAndDatumToTheFreeFunctions)
{
    PxHash *hash = PxHashCreate(5);
    ASSERT_NE(hash, nullptr);
    PxHashSetKeyFreeFunc(hash, FreeKey);
    PxHashSetDatumFreeFunc(hash, FreeDatum);
    gFreedKeys.clear();
    gFreedData.clear();
    std::vector<void *> keys, data;
    for (const char *name : {"hinge", "slider", "ball", "wheel"}) {
        keys.push_back(strdup(name));
        data.push_back(strdup(name));
        ASSERT_EQ(PxHashInsert(keys.back(), data.back(), hash), data.back());
    }

    EXPECT_EQ(PxHashDelete("slider", hash), data[1]);
    EXPECT_EQ(gFreedKeys, (std::vector<void *>{keys[1]}));
    EXPECT_EQ(gFreedData, (std::vector<void *>{data[1]}));
    EXPECT_EQ(PxHashPopulation(hash), 3);
    EXPECT_EQ(PxHashLookup("slider", hash), nullptr);
    EXPECT_NE(PxHashLookup("wheel", hash), nullptr);

    PxHashReset(hash);
    EXPECT_EQ(PxHashPopulation(hash), 0);
    EXPECT_EQ(gFreedKeys.size(), 4u);
    EXPECT_EQ(gFreedData.size(), 4u);
    EXPECT_EQ(PxHashLookup("hinge", hash), nullptr);

    char *key = strdup("again");
    char *datum = strdup("again");
    PxHashInsert(key, datum, hash);
    PxHashDestroy(hash);
    EXPECT_EQ(gFreedKeys.back(), key);
    EXPECT_EQ(gFreedData.back(), datum);
}

TEST(Hash, IterationRunsInBucketOrderThenKeyOrderAndRestartsAfterTheEnd)
{
    PxHash *hash = PxHashCreate(3);
    ASSERT_NE(hash, nullptr);
    PxHashSetHashFunc(hash, FirstChar);
    PxHashIterator it;
    PxHashInitIterator(&it, hash);
    EXPECT_EQ(PxHashGetDatum(&it), nullptr) << "an empty table ends at once";

    // 'a' = 97 -> bucket 1, 'b' = 98 -> bucket 2, 'c' = 99 -> bucket 0.
    for (const char *key : {"b2", "a1", "c1", "b1", "a3", "a2"}) PxHashInsert(Text(key), Text(key), hash);
    const std::vector<std::string> expected{"c1", "a1", "a2", "a3", "b1", "b2"};
    EXPECT_EQ(Iterate(hash), expected);

    PxHashInitIterator(&it, hash);
    for (size_t i = 0; i < expected.size(); ++i) ASSERT_NE(PxHashGetDatum(&it), nullptr);
    EXPECT_EQ(PxHashGetDatum(&it), nullptr);
    EXPECT_STREQ(static_cast<char *>(PxHashGetDatum(&it)), "c1") << "after the end iteration starts over";
    PxHashDestroy(hash);
}

TEST(Hash, CreationAndInsertionFailuresReturnNull)
{
    EXPECT_EQ(PxHashCreate(0), nullptr);
    EXPECT_EQ(PxHashCreate(0x40000000u), nullptr);
    {
        CountingAllocator failing(1); // the table, but not its buckets
        EXPECT_EQ(PxHashCreate(16), nullptr);
        EXPECT_EQ(CountingAllocator::state().destroys, 1) << "the partly built table is freed";
    }
    PxHash *hash = PxHashCreate(16);
    ASSERT_NE(hash, nullptr);
    {
        CountingAllocator failing(0);
        EXPECT_EQ(PxHashInsert(Text("key"), Text("datum"), hash), nullptr);
    }
    EXPECT_EQ(PxHashPopulation(hash), 0);
    EXPECT_EQ(PxHashLookup("key", hash), nullptr);
    PxHashDestroy(hash);
}

TEST(Hash, ResizeKeepsEveryEntryAndEveryChainInKeyOrder)
{
    PxHash *hash = PxHashCreate(3);
    std::vector<std::string> keys;
    for (int i = 0; i < 500; ++i) keys.push_back("k" + std::to_string((i * 7919) % 1000));
    for (std::string &k : keys) PxHashInsert(Text(k.c_str()), Text(k.c_str()), hash);
    ASSERT_EQ(PxHashResize(hash, 101), 1);
    EXPECT_EQ(hash->size, 101u);
    EXPECT_EQ(PxHashPopulation(hash), 500);
    for (std::string &k : keys) EXPECT_EQ(PxHashLookup(k.c_str(), hash), static_cast<void *>(Text(k.c_str())));
    for (unsigned int b = 0; b < hash->size; ++b)
        for (PxHashNode *n = hash->buckets[b]; n && n->next; n = n->next)
            EXPECT_LT(std::strcmp(static_cast<char *>(n->key), static_cast<char *>(n->next->key)), 0);
    EXPECT_EQ(PxHashResize(hash, 0), 0);
    EXPECT_EQ(hash->size, 101u);
    PxHashDestroy(hash);
}
