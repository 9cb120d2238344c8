// The sweeps visit nearby constraints that share no body interleaved; the
// impulses must come out bit for bit as in list order.
#include <gtest/gtest.h>

#include <string.h>
#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "solver/RbdLcsIterative.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

TEST(LcsSweepOrder, SweepsGiveTheImpulsesOfListOrderBitForBit)
{
    for (unsigned seed = 1; seed <= 6; ++seed) { // 30 constraints on 16 bodies, some with friction rows
        std::mt19937 rng(seed);
        std::vector<RbdLcsBody> island;
        RowList list(400);
        randomIsland(rng, 16, 30, island, list, true);
        const Packed p(list, island);
        const RbdLcsConstraints &l = list.list;
        std::vector<BodyInverseMass> invM(16);
        std::vector<BodyLoad> load(16); // none: the rows' random errors make the right-hand sides
        std::vector<RbdLcsBody *> bodies(16);
        for (int b = 0; b < 16; ++b) {
            bodies[b] = &island[b], invM[b].invMass = island[b].invMass;
            memcpy(invM[b].invInertia, island[b].invInertiaWorld, sizeof invM[b].invInertia);
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
            const IterativeInput in = {bodies.data(), invM.data(), load.data(), 16,     &parameters,
                                       nullptr,       0,           listOrder,   nullptr};
            rows.lambda = lambda[listOrder].data();
            EXPECT_EQ(solveIteratively(pool, rows, in, params), -40) << seed;
        }
        std::vector<int32_t> order(p.n), scratch(p.n);
        EXPECT_GT(sweepOrder(p.layout, l.frictionIndex, order.data(), scratch.data()), 20) << seed; // not vacuous
        EXPECT_GT(*std::max_element(lambda[0].begin(), lambda[0].end()), 1e-3) << seed;
        EXPECT_EQ(memcmp(lambda[0].data(), lambda[1].data(), sizeof(PxReal) * p.n), 0) << seed;
    }
}

// A kept order serves only the layout it was formed for: after each edit of
// what sweepOrder reads, the cache gives sweepOrder's new order.
TEST(LcsSweepOrder, KeptOrderFollowsEveryEditOfTheLayout)
{
    std::mt19937 rng(7);
    std::vector<RbdLcsBody> island;
    RowList list(400);
    randomIsland(rng, 16, 30, island, list, true);
    const Packed p(list, island);
    std::vector<int32_t> bodies(p.bodyOf), friction(list.list.frictionIndex, list.list.frictionIndex + p.n);
    ConstraintLayout layout = p.layout;
    layout.bodies = bodies.data();
    const std::function<void()> edits[] = {
        [] {},                                                             // formed
        [] {},                                                             // kept
        [&] { bodies[2] = bodies[0], bodies[3] = bodies[1]; },             // a constraint on its neighbour's bodies
        [&] { friction[p.firstRow[5]] = p.firstRow[0]; },                  // friction rows following another's normal
        [&] { layout.rowCount -= p.rowCounts[--layout.constraintCount]; }, // the last constraint gone
    };
    SweepOrderCache cache;
    std::vector<int32_t> last;
    for (size_t k = 0; k < sizeof edits / sizeof edits[0]; ++k) {
        edits[k]();
        const size_t n = static_cast<size_t>(layout.rowCount);
        std::vector<int32_t> kept(n), fresh(n), scratch(n);
        sweepOrderCached(layout, friction.data(), cache, kept.data(), scratch.data());
        sweepOrder(layout, friction.data(), fresh.data(), scratch.data());
        EXPECT_EQ(kept, fresh) << k;
        if (k >= 2) {
            EXPECT_NE(fresh, last) << k; // each edit moves some row
        }
        last = fresh;
    }
}
