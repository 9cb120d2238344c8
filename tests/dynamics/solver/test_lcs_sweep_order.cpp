// The order the sweeps visit rows in: neighbours that share no body are
// interleaved, every row is visited once, rows that share a body keep their
// order, and the impulses come out bit for bit as in list order.
#include <gtest/gtest.h>

#include <string.h>
#include <random>
#include <vector>

#include "solver/RbdLcsIterative.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

// Rows of a random island: a few constraints between many bodies, so that
// neighbours in the list often share none.
struct Island {
    std::vector<RbdLcsBody> bodies;
    RowList rows{400};
    Island(unsigned seed, int bodyCount, int constraints)
    {
        std::mt19937 rng(seed);
        randomIsland(rng, bodyCount, constraints, bodies, rows, true);
    }
};

bool coupled(const ConstraintLayout &l, const int32_t *frictionRef, int c, int d, int i, int j)
{
    if (c == d || frictionRef[i] == j || frictionRef[j] == i) return true;
    for (int s = 0; s < 2; ++s)
        for (int t = 0; t < 2; ++t)
            if (l.bodies[2 * c + s] >= 0 && l.bodies[2 * c + s] == l.bodies[2 * d + t]) return true;
    return false;
}

} // namespace

TEST(LcsSweepOrder, InterleavesNeighboursThatShareNoBody)
{
    // Rows, side 0, side 1 per constraint (-1 the world). The first two
    // share nothing (the world is no body), nor do the next two; the last
    // two share body 4 and are taken alone.
    const int spec[][3] = {{3, 0, 1}, {2, 2, -1}, {3, 1, 3}, {1, 5, -1}, {2, 4, -1}, {3, 6, 4}};
    std::vector<int32_t> first, counts, bodies, friction(14, -1);
    for (const auto &c : spec)
        first.push_back(first.empty() ? 0 : first.back() + counts.back()), counts.push_back(c[0]),
            bodies.insert(bodies.end(), {c[1], c[2]});
    const ConstraintLayout layout = {6, 14, 16, first.data(), counts.data(), bodies.data()};
    std::vector<int32_t> order(14);
    EXPECT_EQ(sweepOrder(layout, friction.data(), order.data()), 4);
    EXPECT_EQ(order, (std::vector<int32_t>{0, 3, 1, 4, 2, 5, 8, 6, 7, 9, 10, 11, 12, 13}));
}

TEST(LcsSweepOrder, VisitsEveryRowOnceAndKeepsTheOrderOfRowsThatShareABody)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        Island island(seed, 3 + static_cast<int>(seed % 12), 40);
        const Packed p(island.rows, island.bodies);
        const int32_t *frictionRef = island.rows.list.frictionIndex;
        std::vector<int32_t> order(p.n), position(p.n, -1), constraintOf(p.n);
        for (int c = 0; c < p.layout.constraintCount; ++c)
            for (int r = 0; r < p.rowCounts[c]; ++r) constraintOf[p.firstRow[c] + r] = c;
        const int taken = sweepOrder(p.layout, frictionRef, order.data());
        EXPECT_TRUE(seed % 12 < 4 || taken > 0) << seed; // many bodies: some neighbours pair
        for (int k = 0; k < p.n; ++k) {
            ASSERT_TRUE(order[k] >= 0 && order[k] < p.n && position[order[k]] < 0) << seed << " at " << k;
            position[order[k]] = k;
        }
        for (int i = 0; i < p.n; ++i)
            for (int j = i + 1; j < p.n; ++j) {
                if (!coupled(p.layout, frictionRef, constraintOf[i], constraintOf[j], i, j)) continue;
                EXPECT_LT(position[i], position[j]) << seed << ": rows " << i << " and " << j;
            }
    }
}

TEST(LcsSweepOrder, SweepsGiveTheImpulsesOfListOrderBitForBit)
{
    for (unsigned seed = 1; seed <= 6; ++seed) {
        Island island(seed, 16, 30);
        const Packed p(island.rows, island.bodies);
        RbdLcsConstraints &l = island.rows.list;
        std::mt19937 rng(seed);
        std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
        std::vector<BodyInverseMass> invM(16);
        std::vector<BodyLoad> load(16);
        std::vector<RbdLcsBody *> bodies(16);
        for (int b = 0; b < 16; ++b) {
            RbdLcsBody &body = island.bodies[b];
            bodies[b] = &body;
            invM[b].invMass = body.invMass;
            memcpy(invM[b].invInertia, body.invInertiaWorld, sizeof invM[b].invInertia);
            for (PxReal *v : {body.linearVelocity, body.angularVelocity, load[b].force, load[b].torque})
                v[0] = u(rng), v[1] = u(rng), v[2] = u(rng);
        }
        PartitionRows rows = {};
        rows.layout = p.layout, rows.J = p.J.data(), rows.phi = l.phi, rows.c = l.c, rows.lo = l.lo, rows.hi = l.hi;
        rows.rowEpsilon = l.rowEpsilon, rows.rowGamma = l.rowGamma, rows.correction = l.correction, rows.mu = l.mu;
        rows.state = l.state, rows.frictionRef = l.frictionIndex;
        RbdLcsParameters parameters = defaultParameters(0.01);
        RbdLcsLCPSolverParameters params = parameters.lcp;
        params.iterations = 40, params.tolerance = 1e-12; // past two fresh sums of u
        std::vector<PxReal> lambda[2] = {std::vector<PxReal>(p.n), std::vector<PxReal>(p.n)};
        int sweeps[2];
        std::vector<unsigned char> memory(iterativeMemoryRequired(p.n, 16) + 64);
        for (int listOrder = 0; listOrder < 2; ++listOrder) {
            MemoryPool pool;
            pool.init(memory.data(), memory.size());
            const IterativeInput in = {bodies.data(), invM.data(), load.data(), 16,
                                       &parameters,   nullptr,     0,           listOrder};
            rows.lambda = lambda[listOrder].data();
            sweeps[listOrder] = solveIteratively(pool, rows, in, params);
        }
        std::vector<int32_t> order(p.n);
        EXPECT_GT(sweepOrder(p.layout, rows.frictionRef, order.data()), 0) << seed;
        EXPECT_EQ(sweeps[0], sweeps[1]) << seed;
        EXPECT_NE(sweeps[0], 0) << seed;
        EXPECT_EQ(memcmp(lambda[0].data(), lambda[1].data(), sizeof(PxReal) * p.n), 0) << seed;
        PxReal largest = 0.0;
        for (PxReal x : lambda[0]) largest = fabs(x) > largest ? fabs(x) : largest;
        EXPECT_GT(largest, 1e-3) << seed; // the island pushes: the comparison has impulses to compare
    }
}
