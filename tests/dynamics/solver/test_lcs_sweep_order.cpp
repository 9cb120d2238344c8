// The order the sweeps visit rows in: nearby constraints that share no body
// are interleaved, and the impulses come out bit for bit as in list order.
#include <gtest/gtest.h>

#include <string.h>
#include <random>
#include <vector>

#include "solver/RbdLcsIterative.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

TEST(LcsSweepOrder, GroupsConstraintsThatShareNoBodyWithAnythingTheyPass)
{
    // Rows, side 0, side 1 (-1 the world) per constraint. The second shares
    // body 0 with the first; the third no body with the first but body 2
    // with the second, which it would pass; the fourth and fifth join the
    // first; the second and third are left alone.
    const int spec[][3] = {{3, 0, 1}, {3, 0, 2}, {2, 2, -1}, {1, 3, -1}, {2, 4, 5}};
    std::vector<int32_t> first, counts, bodies, friction(11, -1), order(11), scratch(5);
    for (const auto &c : spec)
        first.push_back(first.empty() ? 0 : first.back() + counts.back()), counts.push_back(c[0]),
            bodies.insert(bodies.end(), {c[1], c[2]});
    const ConstraintLayout layout = {5, 11, 12, first.data(), counts.data(), bodies.data()};
    EXPECT_EQ(sweepOrder(layout, friction.data(), order.data(), scratch.data()), 3);
    EXPECT_EQ(order, (std::vector<int32_t>{0, 8, 9, 1, 10, 2, 3, 4, 5, 6, 7}));
}

TEST(LcsSweepOrder, SweepsGiveTheImpulsesOfListOrderBitForBit)
{
    for (unsigned seed = 1; seed <= 6; ++seed) { // random islands: 30 constraints, some with friction rows
        std::mt19937 rng(seed);
        std::vector<RbdLcsBody> island;
        RowList list(400);
        randomIsland(rng, 16, 30, island, list, true);
        const Packed p(list, island);
        RbdLcsConstraints &l = list.list;
        std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
        std::vector<BodyInverseMass> invM(16);
        std::vector<BodyLoad> load(16);
        std::vector<RbdLcsBody *> bodies(16);
        for (int b = 0; b < 16; ++b) {
            bodies[b] = &island[b], invM[b].invMass = island[b].invMass;
            memcpy(invM[b].invInertia, island[b].invInertiaWorld, sizeof invM[b].invInertia);
            for (PxReal *v : {island[b].linearVelocity, island[b].angularVelocity, load[b].force, load[b].torque})
                v[0] = u(rng), v[1] = u(rng), v[2] = u(rng);
        }
        PartitionRows rows = {p.layout, p.J.data(), l.phi,           l.c,        l.lo,
                              l.hi,     nullptr,    l.rowEpsilon,    l.rowGamma, l.correction,
                              l.mu,     l.state,    l.frictionIndex, 0};
        RbdLcsParameters parameters = defaultParameters(0.01);
        RbdLcsLCPSolverParameters params = parameters.lcp;
        params.iterations = 40, params.tolerance = 1e-12; // past two fresh sums of u
        std::vector<PxReal> lambda[2] = {std::vector<PxReal>(p.n), std::vector<PxReal>(p.n)};
        std::vector<unsigned char> memory(iterativeMemoryRequired(p.n, 16) + 64);
        for (int listOrder = 0; listOrder < 2; ++listOrder) {
            MemoryPool pool;
            pool.init(memory.data(), memory.size());
            const IterativeInput in = {bodies.data(), invM.data(), load.data(), 16,
                                       &parameters,   nullptr,     0,           listOrder};
            rows.lambda = lambda[listOrder].data();
            EXPECT_EQ(solveIteratively(pool, rows, in, params), -40) << seed;
        }
        std::vector<int32_t> order(p.n), scratch(p.n);
        EXPECT_GT(sweepOrder(p.layout, l.frictionIndex, order.data(), scratch.data()), 20) << seed;
        EXPECT_EQ(memcmp(lambda[0].data(), lambda[1].data(), sizeof(PxReal) * p.n), 0) << seed;
        EXPECT_GT(fabs(lambda[0][0]) + fabs(lambda[0][p.n - 1]), 1e-3) << seed; // impulses to compare
    }
}
