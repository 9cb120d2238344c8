// A kept elimination order: through a run of island layouts, each one a
// small change of the one before (or the same), the order and envelope the
// cache hands out are the ones a fresh reordering of that layout gives.
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"

using namespace lcs;

namespace {

typedef std::vector<int32_t> Ints;

// Constraints of 3 or 5 rows between bodies (-1: the world), packed in order.
struct Layout {
    int bodyCount = 0;
    Ints rows, bodies, firstRow;
};

Layout randomLayout(std::mt19937 &rng, int bodyCount, int constraints, bool chain = false)
{
    Layout l{bodyCount, {}, {}, {}};
    for (int c = 0; c < constraints; ++c) {
        int a = chain ? c : static_cast<int>(rng() % bodyCount), b = chain ? c - 1 : static_cast<int>(rng() % 9) - 1;
        l.rows.push_back(chain || rng() % 2 ? 5 : 3);
        l.bodies.insert(l.bodies.end(), {a, b == a || b >= bodyCount ? -1 : b});
    }
    return l;
}

// position, rowAt (empty for the packing order) and rowStart, one after the other.
Ints order(Layout &l, OrderCache *cache)
{
    l.firstRow.clear();
    int n = 0;
    for (int32_t r : l.rows) l.firstRow.push_back(std::exchange(n, n + r));
    ConstraintLayout layout = {
        static_cast<int32_t>(l.rows.size()), n, (n + 3) & ~3, l.firstRow.data(), l.rows.data(), l.bodies.data()};
    std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(l.bodyCount, n) + 256);
    MemoryPool pool;
    pool.init(memory.data(), memory.size());
    SparseMatrixMap *map = RbdSparseMatrixMapCreate(pool, l.bodyCount, &layout);
    RbdSparseMatrixMapBuild(map);
    EXPECT_EQ(cache ? RbdSparseMatrixMapReorderCached(map, *cache) : RbdSparseMatrixMapReorder(map), 1);
    Ints out;
    for (const int32_t *a : {map->position, map->rowAt, map->rowStart})
        if (a) out.insert(out.end(), a, a + layout.paddedRowCount);
    return out;
}

TEST(LcsOrderCache, AKeptOrderIsTheOrderAFreshReorderingGivesThroughLayoutChanges)
{
    std::mt19937 rng(7);
    const struct {
        const char *what;
        void (*apply)(Layout &, std::mt19937 &);
    } changes[] = {
        {"an island", [](Layout &l, std::mt19937 &rng) { l = randomLayout(rng, 12, 20); }},
        {"unchanged", [](Layout &, std::mt19937 &) {}},
        {"a constraint moves to another body",
         [](Layout &l, std::mt19937 &) { l.bodies[6] = (l.bodies[6] + 5) % 12; }},
        {"a constraint's sides swap", [](Layout &l, std::mt19937 &) { std::swap(l.bodies[2], l.bodies[3]); }},
        {"a contact becomes a joint", [](Layout &l, std::mt19937 &) { l.rows[4] = l.rows[4] == 3 ? 5 : 3; }},
        {"another island", [](Layout &l, std::mt19937 &rng) { l = randomLayout(rng, 30, 45); }},
        {"a chain, packing order kept", [](Layout &l, std::mt19937 &rng) { l = randomLayout(rng, 9, 9, true); }},
        {"the chain again", [](Layout &, std::mt19937 &) {}},
    };
    OrderCache cache;
    Layout l;
    for (const auto &change : changes) {
        change.apply(l, rng);
        EXPECT_EQ(order(l, &cache), order(l, nullptr)) << change.what;
    }
    EXPECT_EQ(order(l, &cache).size(), l.firstRow.size() * 5 + 3) << "the chain keeps its packing order";
}

} // namespace
