// A kept elimination order: through a run of island layouts, each one a
// small change of the one before (or the same), the order and envelope the
// cache hands out are the ones a fresh reordering of that layout gives.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"

using namespace lcs;

namespace {

struct Layout {
    int bodyCount = 0;
    std::vector<int32_t> rows, bodies; // bodies: two per constraint, -1 for the world
    std::vector<int32_t> firstRow;
    ConstraintLayout layout = {};

    const ConstraintLayout *pack()
    {
        firstRow.clear();
        int n = 0;
        for (int32_t r : rows) {
            firstRow.push_back(n);
            n += r;
        }
        layout = {static_cast<int32_t>(rows.size()), n, (n + 3) & ~3, firstRow.data(), rows.data(), bodies.data()};
        return &layout;
    }
};

// Contacts (3 rows) and joints (5 rows) between random bodies, some on the world.
Layout randomLayout(std::mt19937 &rng, int bodyCount, int constraints)
{
    Layout l;
    l.bodyCount = bodyCount;
    for (int c = 0; c < constraints; ++c) {
        l.rows.push_back(rng() % 2 ? 3 : 5);
        int a = static_cast<int>(rng() % bodyCount), b = static_cast<int>(rng() % (bodyCount + 1)) - 1;
        l.bodies.push_back(a);
        l.bodies.push_back(b == a ? -1 : b);
    }
    return l;
}

// A chain packed in its own order: the packing order is kept.
Layout chain(int bodyCount)
{
    Layout l;
    l.bodyCount = bodyCount;
    for (int b = 0; b < bodyCount; ++b) {
        l.rows.push_back(5);
        l.bodies.push_back(b);
        l.bodies.push_back(b - 1);
    }
    return l;
}

struct Ordered {
    bool reordered;
    std::vector<int32_t> position, rowAt, rowStart;
};

Ordered order(Layout &l, OrderCache *cache)
{
    const ConstraintLayout *layout = l.pack();
    std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(l.bodyCount, layout->rowCount) + 256);
    MemoryPool pool;
    pool.init(memory.data(), memory.size());
    SparseMatrixMap *map = RbdSparseMatrixMapCreate(pool, l.bodyCount, layout);
    EXPECT_NE(map, nullptr);
    RbdSparseMatrixMapBuild(map);
    EXPECT_EQ(cache ? RbdSparseMatrixMapReorderCached(map, *cache) : RbdSparseMatrixMapReorder(map), 1);
    size_t np = static_cast<size_t>(layout->paddedRowCount);
    Ordered o;
    o.reordered = map->position != nullptr;
    if (o.reordered) {
        o.position.assign(map->position, map->position + np);
        o.rowAt.assign(map->rowAt, map->rowAt + np);
    }
    o.rowStart.assign(map->rowStart, map->rowStart + np);
    return o;
}

TEST(LcsOrderCache, AKeptOrderIsTheOrderAFreshReorderingGivesThroughLayoutChanges)
{
    std::mt19937 rng(7);
    Layout first = randomLayout(rng, 12, 20);
    struct Change {
        const char *what;
        void (*apply)(Layout &, std::mt19937 &);
    };
    const Change changes[] = {
        {"unchanged", [](Layout &, std::mt19937 &) {}},
        {"unchanged again", [](Layout &, std::mt19937 &) {}},
        {"a constraint moves to another body",
         [](Layout &l, std::mt19937 &) { l.bodies[6] = (l.bodies[6] + 5) % l.bodyCount; }},
        {"a constraint's sides swap", [](Layout &l, std::mt19937 &) { std::swap(l.bodies[2], l.bodies[3]); }},
        {"a contact becomes a joint", [](Layout &l, std::mt19937 &) { l.rows[4] = l.rows[4] == 3 ? 5 : 3; }},
        {"a constraint is added",
         [](Layout &l, std::mt19937 &) {
             l.rows.push_back(3);
             l.bodies.push_back(0);
             l.bodies.push_back(l.bodyCount - 1);
         }},
        {"a body joins",
         [](Layout &l, std::mt19937 &) {
             l.rows.push_back(3);
             l.bodies.push_back(l.bodyCount++);
             l.bodies.push_back(-1);
         }},
        {"a constraint leaves",
         [](Layout &l, std::mt19937 &) {
             l.rows.pop_back();
             l.bodies.resize(l.bodies.size() - 2);
         }},
        {"another island", [](Layout &l, std::mt19937 &rng) { l = randomLayout(rng, 30, 45); }},
        {"a chain, packing order kept", [](Layout &l, std::mt19937 &) { l = chain(9); }},
        {"the chain again", [](Layout &, std::mt19937 &) {}},
        {"a smaller island", [](Layout &l, std::mt19937 &rng) { l = randomLayout(rng, 5, 6); }},
    };
    OrderCache cache;
    Layout l = first;
    for (const Change &change : changes) {
        change.apply(l, rng);
        Ordered kept = order(l, &cache), fresh = order(l, nullptr);
        EXPECT_EQ(kept.reordered, fresh.reordered) << change.what;
        EXPECT_EQ(kept.position, fresh.position) << change.what;
        EXPECT_EQ(kept.rowAt, fresh.rowAt) << change.what;
        EXPECT_EQ(kept.rowStart, fresh.rowStart) << change.what;
    }
    EXPECT_FALSE(order(l = chain(9), &cache).reordered) << "the chain keeps its packing order";
    EXPECT_TRUE(order(l = first, &cache).reordered) << "the random island is reordered";
}

} // namespace
