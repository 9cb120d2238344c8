// The elimination order of the solver's matrix: the order is a permutation
// that keeps constraints whole and covers every coupling, shrinks the
// envelope of scrambled islands, and a kept order is the one a fresh
// reordering of the same layout gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "solver/RbdLcsMemoryPool.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

// An island of boxes on a jittered grid, ny layers of nx x nz: contacts with
// the ground or the box below and with some side neighbours (a normal row
// and two friction rows tied to it), and a few hinges between neighbours.
// Bodies and constraints are numbered in a shuffled order, as no packing
// would number them.
struct ScrambledIsland {
    std::vector<RbdLcsBody> bodies;
    RowList rows;

    ScrambledIsland(std::mt19937 &rng, int nx, int nz, int ny) : rows(60 * nx * nz * ny)
    {
        int count = nx * nz * ny;
        std::vector<int> slot(count);
        for (int i = 0; i < count; ++i) slot[i] = i;
        std::shuffle(slot.begin(), slot.end(), rng);
        std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
        bodies.assign(count, RbdLcsBody());
        for (int k = 0; k < count; ++k) {
            int x = k % nx, z = (k / nx) % nz, y = k / (nx * nz);
            RbdLcsBody &b = bodies[slot[k]];
            makeBody(b, 1.0 + 0.5 * u(rng), 0.15 + 0.02 * u(rng), 0.17, 0.16 + 0.02 * u(rng));
            PxV3Set(b.comTransform[3], x + 0.02 * u(rng), y + 0.5, z + 0.02 * u(rng));
            PxV3Set(b.linearVelocity, 0.1 * u(rng), -0.05 + 0.1 * u(rng), 0.1 * u(rng));
            PxV3Set(b.angularVelocity, u(rng), u(rng), u(rng));
            PxV3Set(b.force, 0.0, -9.81 * b.mass, 0.0);
        }
        chainBodies(bodies);
        // Constraint descriptions first, shuffled, then their rows.
        std::vector<Contact> contacts;
        std::vector<Joint> hinges;
        for (int k = 0; k < count; ++k) {
            int x = k % nx, z = (k / nx) % nz, y = k / (nx * nz);
            int below = y > 0 ? slot[k - nx * nz] : -1;
            for (int c = 0; c < (y == 0 ? 4 : 2); ++c)
                contacts.push_back(
                    Contact{{slot[k], below}, {c & 1 ? 0.4 : -0.4, -0.5, c & 2 ? 0.4 : -0.4}, {0.0, 1.0, 0.0}, 0.5});
            if (x > 0 && rng() % 3 != 0)
                contacts.push_back(Contact{{slot[k], slot[k - 1]}, {-0.5, 0.0, 0.0}, {1.0, 0.0, 0.0}, 0.4});
            if (z > 0 && rng() % 7 == 0) {
                Joint j = {{slot[k], slot[k - nx]},
                           {{0.0, 0.0, -0.5}, {0.0, 0.0, 0.5}},
                           true,
                           {1.0, 0.0, 0.0},
                           {0.0, 1.0, 0.0},
                           {0.0, 0.0, 1.0}};
                hinges.push_back(j);
            }
        }
        std::shuffle(contacts.begin(), contacts.end(), rng);
        for (const Contact &c : contacts) addContactRows(rows, bodies, c);
        buildJointRows(rows, bodies, hinges, true);
    }
};

// Rows i and j are coupled when their constraints share a body.
bool coupled(const Packed &packed, const std::vector<int> &constraintOf, int i, int j)
{
    int a = constraintOf[i], b = constraintOf[j];
    if (a == b) return true;
    for (int s = 0; s < 2; ++s)
        for (int t = 0; t < 2; ++t) {
            int ba = packed.bodyOf[2 * a + s], bb = packed.bodyOf[2 * b + t];
            if (ba >= 0 && ba == bb) return true;
        }
    return false;
}

// The order a map of the layout gets, fresh or through the cache: position,
// rowAt (none for the packing order) and rowStart, one after the other. The
// cache is given a map only linked, its envelope not yet computed.
std::vector<int32_t> orderOf(const ConstraintLayout &layout, int bodyCount, OrderCache *cache)
{
    std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(bodyCount, layout.rowCount) + 256);
    MemoryPool pool;
    pool.init(memory.data(), memory.size());
    SparseMatrixMap *map = RbdSparseMatrixMapCreate(pool, bodyCount, &layout);
    std::fill(map->rowStart, map->rowStart + layout.paddedRowCount, -1);
    (cache ? RbdSparseMatrixMapLink : RbdSparseMatrixMapBuild)(map);
    EXPECT_EQ(cache ? RbdSparseMatrixMapReorderCached(map, *cache) : RbdSparseMatrixMapReorder(map), 1);
    std::vector<int32_t> out;
    for (const int32_t *a : {map->position, map->rowAt, map->rowStart})
        if (a) out.insert(out.end(), a, a + layout.paddedRowCount);
    return out;
}

TEST(LcsOrder, TheOrderKeepsConstraintsWholeCoversEveryCouplingAndShrinksScrambledEnvelopes)
{
    std::mt19937 rng(41);
    OrderCache cache;
    for (int trial = 0; trial < 6; ++trial) {
        ScrambledIsland island(rng, 2 + trial % 3, 3, 1 + trial % 2);
        Packed packed(island.rows, island.bodies);
        Formed formed(packed, 0, true);
        ASSERT_TRUE(formed.ok);
        const SparseMatrixMap &map = *formed.map;
        ASSERT_NE(map.position, nullptr) << "a scrambled island is reordered";
        std::vector<int> constraintOf(packed.n, -1), seen(packed.np, 0);
        for (int c = 0; c < packed.layout.constraintCount; ++c) {
            int p0 = map.position[packed.firstRow[c]];
            for (int r = 0; r < packed.rowCounts[c]; ++r) {
                constraintOf[packed.firstRow[c] + r] = c;
                EXPECT_EQ(map.position[packed.firstRow[c] + r], p0 + r) << "a constraint's rows stay together";
            }
        }
        for (int i = 0; i < packed.np; ++i) {
            ASSERT_GE(map.position[i], 0);
            ASSERT_LT(map.position[i], packed.np);
            EXPECT_EQ(map.rowAt[map.position[i]], i);
            seen[map.position[i]]++;
            if (i >= packed.n) {
                EXPECT_EQ(map.position[i], i) << "padding rows stay last";
            }
        }
        for (int p = 0; p < packed.np; ++p) EXPECT_EQ(seen[p], 1);
        for (int i = 0; i < packed.n; ++i)
            for (int j = 0; j < packed.n; ++j) {
                int p = map.position[i], q = map.position[j];
                if (q <= p && coupled(packed, constraintOf, i, j)) {
                    ASSERT_LE(map.rowStart[p], q) << "rows " << i << " and " << j << " are coupled";
                }
            }
        // A kept order is the one a fresh reordering gives: for a new layout,
        // its repeat, a constraint moved to another body and one whose sides swap.
        for (int change = 0; change < 4; ++change) {
            if (change == 2) packed.bodyOf[2] = (packed.bodyOf[2] + 1) % packed.bodyCount;
            if (change == 3) std::swap(packed.bodyOf[4], packed.bodyOf[5]);
            EXPECT_EQ(orderOf(packed.layout, packed.bodyCount, &cache),
                      orderOf(packed.layout, packed.bodyCount, nullptr))
                << "change " << change << " of trial " << trial;
        }
    }
    // A chain of 80 bodies whose hinges are packed in a random order: the
    // reordered envelope is the chain's band again (a hinge's 5 rows reach
    // at most its two neighbours' rows back).
    std::vector<RbdLcsBody> bodies;
    std::vector<Joint> joints;
    makeHingeChain(80, bodies, joints);
    std::shuffle(joints.begin(), joints.end(), rng);
    RowList rows(400);
    buildJointRows(rows, bodies, joints);
    Packed chain(rows, bodies);
    Formed packedOrder(chain, 0, false);
    size_t scrambled = RbdSparseMatrixMapEnvelopeSize(packedOrder.map);
    Formed reordered(chain, 0, true);
    int widest = 0;
    for (int p = 0; p < chain.np; ++p) widest = std::max(widest, p - reordered.map->rowStart[p]);
    EXPECT_LT(widest, 15);
    EXPECT_GT(scrambled, 10 * RbdSparseMatrixMapEnvelopeSize(reordered.map));
    // The same chain packed link after link is banded already: its packing
    // order stays.
    makeHingeChain(80, bodies, joints);
    buildJointRows(rows, bodies, joints);
    Packed banded(rows, bodies);
    Formed kept(banded, 0, true);
    EXPECT_EQ(kept.map->position, nullptr);
    EXPECT_EQ(kept.map->rowAt, nullptr);
    for (int repeat = 0; repeat < 2; ++repeat)
        EXPECT_EQ(orderOf(banded.layout, banded.bodyCount, &cache),
                  orderOf(banded.layout, banded.bodyCount, nullptr));
}

} // namespace
