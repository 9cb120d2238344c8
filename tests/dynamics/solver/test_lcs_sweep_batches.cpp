// The sweeps take constraints of one shape that share no body up to eight
// at a time; the impulses must come out bit for bit as in list order, one row at
// a time.
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

namespace {

const int kBodies = 16;

// Contacts as a pile has them: a normal row and two friction rows that
// follow it, in runs of one to four on one pair of bodies (a box pair's
// corners), a fifth of them against the world; count need not fill the
// batches.
void contactIsland(std::mt19937 &rng, int count, std::vector<RbdLcsBody> &bodies, RowList &rows)
{
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
    bodies.assign(kBodies, RbdLcsBody());
    std::mt19937 moving(static_cast<unsigned>(count)); // apart from rng: the layouts stay as they were
    for (RbdLcsBody &b : bodies) {
        makeBody(b, 1.0 + 0.5 * u(rng), 0.2, 0.3, 0.25);
        for (int k = 0; k < 3; ++k) b.linearVelocity[k] = 0.1 * u(moving), b.angularVelocity[k] = 0.1 * u(moving);
    }
    chainBodies(bodies);
    rows.clear();
    for (int c = 0; c < count;) {
        const int b0 = static_cast<int>(rng() % kBodies),
                  b1 = rng() % 5 == 0 ? -1 : static_cast<int>(rng() % kBodies);
        for (int run = 1 + static_cast<int>(rng() % 4); run > 0 && c < count; --run, ++c) {
            const int first = rows.begin(b0, b1 == b0 ? -1 : b1);
            for (int r = 0; r < 3; ++r) {
                PxReal J[12];
                for (int k = 0; k < 12; ++k) J[k] = (k >= 6 && (b1 < 0 || b1 == b0)) ? 0.0 : u(rng);
                const int row = rows.addRow(J, r == 0 ? 0.01 * u(rng) : 0.0, r == 0 ? 0.0 : -RBD_REAL_MAX);
                if (r > 0) rows.tieFriction(row, first, 0.5);
                if (r == 0) rows.list.correction[row] = RBD_CORRECTION_PENETRATION; // some resting, some apart
            }
            rows.end();
        }
    }
}

// The island's impulses after 40 sweeps (past two fresh sums of u), in list
// order one row at a time or as planned; with a tolerance, after the sweeps
// until settled (sweeps: what the solve returned).
std::vector<PxReal> solve(const RowList &list, std::vector<RbdLcsBody> &island, bool listOrder, bool coloured = false,
                          PxReal tolerance = 1e-12, int *sweeps = nullptr, int iterations = 40)
{
    const Packed p(list, island);
    const RbdLcsConstraints &l = list.list;
    std::vector<BodyInverseMass> invM(kBodies);
    std::vector<BodyLoad> load(kBodies); // weights and a torque, besides the rows' random errors
    std::vector<RbdLcsBody *> bodies(kBodies);
    for (int b = 0; b < kBodies; ++b) {
        PxV3Set(load[b].force, 0.0, 0.0, -9.81 * island[b].mass);
        PxV3Set(load[b].torque, 0.01 * b, -0.02, 0.005 * (b % 3));
        bodies[b] = &island[b], invM[b].invMass = island[b].invMass;
        memcpy(invM[b].invInertia, island[b].invInertiaWorld, sizeof invM[b].invInertia);
    }
    std::vector<PxReal> lambda(p.n);
    PartitionRows rows = {p.layout, p.J.data(),    l.phi,           l.c,        l.lo,
                          l.hi,     lambda.data(), l.rowEpsilon,    l.rowGamma, l.correction,
                          l.mu,     l.state,       l.frictionIndex, 0};
    RbdLcsParameters parameters = defaultParameters(0.01);
    RbdLcsLCPSolverParameters params = parameters.lcp;
    params.iterations = iterations, params.tolerance = tolerance;
    // The workspace as a world's pool leaves it: holding the last island's
    // values, here NaNs, which every row and lane must write over.
    std::vector<unsigned char> memory(iterativeMemoryRequired(p.n, kBodies) + 64, 0xff);
    MemoryPool pool;
    pool.init(memory.data(), memory.size());
    // Resting depths corrected slowly: the rows read the loads' pressing depths.
    SweepOrderCache cache; // a large island's: its plan is coloured
    const IterativeInput in = {bodies.data(),
                               invM.data(),
                               load.data(),
                               kBodies,
                               &parameters,
                               nullptr,
                               1,
                               listOrder,
                               coloured ? &cache : nullptr,
                               0};
    const int ran = solveIteratively(pool, rows, in, params);
    if (sweeps)
        *sweeps = ran;
    else
        EXPECT_EQ(ran, -iterations);
    return lambda;
}

// The plan of an island, with what it batched.
struct Plan {
    std::vector<int32_t> items, lanes, scratch;
    SweepPlan plan;
    int batched, widest = 0; // the most constraints in one batch
    Plan(const ConstraintLayout &layout, const int32_t *friction, bool coloured = false)
        : items(layout.constraintCount), lanes(kBatchLanes * layout.constraintCount),
          scratch(planScratchCount(layout.constraintCount, kBodies))
    {
        plan.items = items.data(), plan.lanes = lanes.data();
        batched = (coloured ? planColouredSweeps : planSweeps)(layout, friction, kBodies, plan, scratch.data());
        for (int b = 0; b < plan.batchCount; ++b)
            widest = std::max(widest, static_cast<int>(std::count_if(lanes.begin() + kBatchLanes * b,
                                                                     lanes.begin() + kBatchLanes * (b + 1),
                                                                     [](int32_t c) { return c >= 0; })));
    }
    // The constraints in the order the sweeps visit them.
    std::vector<int> order() const
    {
        std::vector<int> visit;
        for (int j = 0; j < plan.itemCount; ++j)
            for (int k = 0; k < (items[j] < 0 ? 1 : kBatchLanes); ++k) {
                const int c = items[j] < 0 ? -1 - items[j] : lanes[kBatchLanes * items[j] + k];
                if (c >= 0) visit.push_back(c);
            }
        return visit;
    }
};

// The list's constraints rebuilt in the given order, row by row as they were
// (friction rows tied to their normal rows where those now lie); first: each
// constraint's first row in the new list.
void reorder(const RowList &from, const std::vector<int> &order, RowList &to, std::vector<int> &first)
{
    const RbdLcsConstraints &l = from.list;
    to.clear();
    first.assign(order.size(), -1);
    std::vector<int> newRow(l.rowCount, -1);
    for (int c : order) {
        const int f = l.constraintFirstRow[c];
        first[c] = to.begin(l.constraintBody[0][c], l.constraintBody[1][c]);
        for (int r = 0; r < l.constraintRowCount[c]; ++r) {
            PxReal J[12];
            for (int col = 0; col < 12; ++col) J[col] = l.jacobian[tileIndex(f + r, col)];
            const int row = to.addRow(J, l.phi[f + r], l.lo[f + r], l.hi[f + r]);
            newRow[f + r] = row;
            to.list.correction[row] = l.correction[f + r];
            if (l.frictionIndex[f + r] >= 0) {
                ASSERT_GE(newRow[l.frictionIndex[f + r]], 0); // its normal row comes first
                to.tieFriction(row, newRow[l.frictionIndex[f + r]], l.mu[f + r]);
            }
        }
        to.end();
    }
}

} // namespace

// The planned sweeps give the impulses of list order bit for bit. They stop
// at the first sweep that moved no impulse past its tolerance, and a batch's
// lanes are tested as the rows one at a time are, so they stop where list
// order does, with its impulses.
TEST(LcsSweepBatches, SweepsGiveTheImpulsesOfListOrderBitForBit)
{
    for (unsigned seed = 1; seed <= 8; ++seed) { // mixed constraints, then contacts only
        std::mt19937 rng(seed);
        std::vector<RbdLcsBody> island;
        RowList list(400);
        if (seed <= 4)
            randomIsland(rng, kBodies, 30, island, list, true);
        else
            contactIsland(rng, 37 + static_cast<int>(seed), island, list);
        const std::vector<PxReal> listOrder = solve(list, island, true), planned = solve(list, island, false);
        const Packed p(list, island);
        const Plan plan(p.layout, list.list.frictionIndex);
        EXPECT_GT(*std::max_element(listOrder.begin(), listOrder.end()), 1e-3) << seed;
        EXPECT_EQ(memcmp(listOrder.data(), planned.data(), sizeof(PxReal) * p.n), 0) << seed;
        if (seed <= 4) continue;
        EXPECT_GT(plan.batched, p.layout.constraintCount / 2) << seed; // not vacuous
        EXPECT_GT(plan.widest, 4) << seed;                             // eight lanes at once
        int inList = 0, sweeps = 0;
        const std::vector<PxReal> a = solve(list, island, true, false, 1e-3, &inList, 2000),
                                  b = solve(list, island, false, false, 1e-3, &sweeps, 2000);
        EXPECT_GT(inList, 1) << seed; // the first sweep from zero moves
        EXPECT_EQ(inList, sweeps) << seed;
        EXPECT_EQ(memcmp(a.data(), b.data(), sizeof(PxReal) * a.size()), 0) << seed;
    }
}

// Every constraint is planned once; a batch's constraints share no body and
// have one shape; two constraints that share a body keep their list order.
TEST(LcsSweepBatches, PlanKeepsEveryBodysConstraintsInListOrder)
{
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 rng(seed);
        std::vector<RbdLcsBody> island;
        RowList list(400);
        contactIsland(rng, 29 + static_cast<int>(seed), island, list);
        list.list.frictionIndex[list.list.constraintFirstRow[3] + 1] = list.list.constraintFirstRow[2];
        const Packed p(list, island);
        const Plan plan(p.layout, list.list.frictionIndex);
        const int cs = p.layout.constraintCount;
        std::vector<int> itemOf(cs, -1);
        for (int j = 0; j < plan.plan.itemCount; ++j) {
            const int item = plan.items[j];
            for (int k = 0; k < (item < 0 ? 1 : kBatchLanes); ++k) {
                const int c = item < 0 ? -1 - item : plan.lanes[kBatchLanes * item + k];
                if (c < 0) continue;
                EXPECT_EQ(itemOf[c], -1) << seed << " " << c;
                itemOf[c] = j;
            }
        }
        for (int a = 0; a < cs; ++a)
            for (int b = a + 1; b < cs; ++b) {
                const int32_t *ba = p.layout.bodies + 2 * a, *bb = p.layout.bodies + 2 * b;
                bool share = false;
                for (int s = 0; s < 2; ++s) share |= ba[s] >= 0 && (ba[s] == bb[0] || ba[s] == bb[1]);
                if (share) {
                    EXPECT_LT(itemOf[a], itemOf[b]) << seed << " " << a << " " << b;
                }
            }
        // Constraints 2 and 3, tied across by a friction row, go alone.
        for (int c = 2; c < 4; ++c) EXPECT_LT(plan.items[itemOf[c]], 0) << seed;
        EXPECT_GT(plan.plan.batchCount, 4) << seed;
    }
}

// A kept plan serves only the island it was made for: after each edit of
// what the plan reads, the cache gives planColouredSweeps' new plan.
TEST(LcsSweepBatches, KeptPlanFollowsEveryEditOfTheLayout)
{
    std::mt19937 rng(7);
    std::vector<RbdLcsBody> island;
    RowList list(400);
    contactIsland(rng, 40, island, list);
    const Packed p(list, island);
    std::vector<int32_t> bodies(p.bodyOf), friction(list.list.frictionIndex, list.list.frictionIndex + p.n);
    ConstraintLayout layout = p.layout;
    layout.bodies = bodies.data();
    const std::function<void()> edits[] = {
        [] {},                                                 // made
        [] {},                                                 // kept
        [&] { bodies[2] = bodies[0], bodies[3] = bodies[1]; }, // a constraint on its neighbour's bodies
        [&] { friction[p.firstRow[5] + 1] = p.firstRow[0]; },  // a friction row following another's normal
        [&] { layout.rowCount -= p.rowCounts[--layout.constraintCount]; }, // the last constraint gone
    };
    SweepOrderCache cache;
    std::vector<int32_t> last;
    for (size_t k = 0; k < sizeof edits / sizeof edits[0]; ++k) {
        edits[k]();
        const Plan fresh(layout, friction.data(), true);
        Plan kept(layout, friction.data(), true);
        planSweepsCached(layout, friction.data(), kBodies, cache, kept.plan, kept.scratch.data());
        const std::vector<int32_t> keptItems(kept.plan.items, kept.plan.items + kept.plan.itemCount);
        const std::vector<int32_t> freshItems(fresh.items.begin(), fresh.items.begin() + fresh.plan.itemCount);
        EXPECT_EQ(keptItems, freshItems) << k;
        if (k == 1) {
            EXPECT_EQ(kept.plan.items, cache.items.data()); // the kept plan itself
        }
        EXPECT_EQ(memcmp(kept.plan.lanes, fresh.lanes.data(), sizeof(int32_t) * kBatchLanes * fresh.plan.batchCount),
                  0)
            << k;
        std::vector<int32_t> planned = freshItems; // items, then lanes
        planned.insert(planned.end(), fresh.lanes.begin(), fresh.lanes.begin() + kBatchLanes * fresh.plan.batchCount);
        if (k >= 2) {
            EXPECT_NE(planned, last) << k; // each edit moves some constraint
        }
        last = planned;
    }
}

// The coloured plan (a large island's) sweeps the constraints in its own
// order, not the list's: its impulses equal those of the rows swept one at
// a time in that order, bit for bit (so no batch moves a body twice). On a
// pile's runs of one pair's contacts it needs fewer batches than the
// list-order plan, which opens a batch after another for each run.
TEST(LcsSweepBatches, ColouredPlanGivesTheImpulsesOfItsOwnOrderInFewerBatches)
{
    int fewer = 0;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 rng(seed);
        std::vector<RbdLcsBody> island;
        RowList list(600), inOrder(600);
        contactIsland(rng, 120 + static_cast<int>(seed), island, list);
        // Constraints 2 and 3, tied across by a friction row, go alone.
        list.list.frictionIndex[list.list.constraintFirstRow[3] + 1] = list.list.constraintFirstRow[2];
        const Packed p(list, island);
        const Plan coloured(p.layout, list.list.frictionIndex, true), inList(p.layout, list.list.frictionIndex);
        std::vector<int> first;
        reorder(list, coloured.order(), inOrder, first);
        const std::vector<PxReal> planned = solve(list, island, false, true), ordered = solve(inOrder, island, true);
        std::vector<PxReal> mapped(p.n);
        for (int c = 0; c < p.layout.constraintCount; ++c)
            for (int r = 0; r < p.rowCounts[c]; ++r) mapped[p.firstRow[c] + r] = ordered[first[c] + r];
        EXPECT_EQ(memcmp(planned.data(), mapped.data(), sizeof(PxReal) * p.n), 0) << seed;
        EXPECT_NE(memcmp(planned.data(), solve(list, island, true).data(), sizeof(PxReal) * p.n), 0) << seed;
        EXPECT_LE(coloured.plan.batchCount, inList.plan.batchCount) << seed;
        fewer += coloured.plan.batchCount < inList.plan.batchCount;
    }
    EXPECT_GE(fewer, 4);
}

// Both copies of a batch's start and sweep, the baseline's (eight lanes as two halves
// of four) and the one for processors with AVX (eight lanes at once, or
// four when the high half is empty), each with and without the settling
// test, give the same impulses and velocity changes to the bit (the solves
// above run only the copy this processor takes); the slot of the world's
// sides stays zero, and both tested copies give the same verdict. The two
// batches share bodies and are swept as one run (an eight-lane batch, then
// a four-lane one), which must equal sweeping them by a call each in turn.
TEST(LcsSweepBatches, BaselineAndAvxCopiesAgreeBitForBit)
{
    const int sink = 11; // bodies 0..10, then the slot that stays zero
    const BatchHead given[2] = {
        {{{0, 1, 2, 6, 7, 8, sink, sink}, {3, 4, sink, 5, 9, 10, sink, sink}}, {0, 1, 2, 3, 4, 5, -1, -1}, 0, 3},
        {{{0, 1, 2, sink, sink, sink, sink, sink}, {3, 4, sink, sink, sink, sink, sink, sink}},
         {6, 7, 8, -1, -1, -1, -1, -1},
         3,
         3},
    };
    BatchHead heads[2] = {given[0], given[1]}; // slots as the sweeps take them: byte offsets
    for (int b = 0; b < 2; ++b)
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < kBatchLanes; ++k) heads[b].slot[side][k] = slotOffset(given[b].slot[side][k]);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<BatchRow> rows(6);
    for (int r = 0; r < 6; ++r) { // per batch a normal row, then two friction rows following it
        BatchRow &row = rows[r];
        for (int k = 0; k < kBatchLanes; ++k) {
            for (int j = 0; j < 12; ++j) {
                const bool world = given[r / 3].slot[j / 6][k] == sink;
                row.J[j][k] = world ? 0.0f : u(rng), row.MJ[j][k] = world ? 0.0f : u(rng);
            }
            row.q[k] = u(rng), row.softness[k] = 0.1f * (1.0f + u(rng)), row.tolerance[k] = 1e-4f;
            row.lo[k] = r % 3 == 0 ? 0.0f : -1.0f, row.hi[k] = r % 3 == 0 ? 10.0f : 0.5f;
        }
        row.normal = r % 3 == 0 ? -1 : 0;
    }
    // Copy k: the baseline when k is even; tested when k < 2; the run in
    // one call when k < 4, else a call a batch.
    const int copies = 6;
    std::vector<PxReal> x[copies];
    std::vector<SweepVelocity> v[copies];
    int verdict[copies][5];
    PxReal largest[copies];
    for (int copy = 0; copy < copies; ++copy) {
        x[copy].assign(6 * kBatchLanes, 0.25);
        v[copy].assign(sink + 1, SweepVelocity{{0, 0, 0, 0}, {0, 0, 0, 0}});
        for (int b = 0; b < sink; ++b)
            v[copy][b] = SweepVelocity{{0.1f * b, 0.2f, -0.3f, 0}, {0.05f, -0.1f * b, 0.4f, 0}};
        const bool baseline = copy % 2 == 0;
        largest[copy] = 0.0;
        for (const BatchHead &head : heads)
            largest[copy] = std::max(largest[copy],
                                     batchStart(baseline)(head, rows.data(), x[copy].data(), v[copy].data()));
        // A floor that lets the last sweeps settle.
        for (int sweep = 0; sweep < 5; ++sweep) {
            const float floor = sweep < 3 ? 0.0f : 1e3f;
            if (copy < 4)
                verdict[copy][sweep] = batchSweep(baseline)(heads, 0, 2, rows.data(), x[copy].data(), v[copy].data(),
                                                            floor, copy < 2);
            else
                for (int b = 0; b < 2; ++b)
                    batchSweep(baseline)(heads, b, b + 1, rows.data(), x[copy].data(), v[copy].data(), floor, 0);
        }
    }
    for (int copy = 1; copy < copies; ++copy) {
        EXPECT_EQ(memcmp(x[0].data(), x[copy].data(), sizeof(PxReal) * x[0].size()), 0) << copy;
        EXPECT_EQ(memcmp(v[0].data(), v[copy].data(), sizeof(SweepVelocity) * v[0].size()), 0) << copy;
        EXPECT_EQ(largest[0], largest[copy]) << copy;
    }
    for (int sweep = 0; sweep < 5; ++sweep) {
        EXPECT_EQ(verdict[0][sweep], sweep >= 3) << sweep;
        EXPECT_EQ(verdict[1][sweep], verdict[0][sweep]) << sweep;
        EXPECT_EQ(verdict[2][sweep], 0) << sweep; // untested
    }
    for (int r = 0; r < 6; ++r)
        for (int k = 0; k < (r < 3 ? 6 : 3); ++k)
            EXPECT_NE(x[0][r * kBatchLanes + k], 0.25) << r << " " << k; // swept
    for (int part = 0; part < 3; ++part) {
        EXPECT_EQ(v[0][sink].linear[part], 0.0f);
        EXPECT_EQ(v[0][sink].angular[part], 0.0f);
    }
}
