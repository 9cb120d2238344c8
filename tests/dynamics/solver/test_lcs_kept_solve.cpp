// A kept factor solves a resting island's LCP step after step as a freshly
// formed one does: a contact parted (its friction rows fixed at zero, their
// columns of the inverse kept) and one held at zero, and when that changes.
// Each step's right-hand side is made from a chosen solution x* and slack,
// q = A x* - w*, so while the index set stays the LCP's one answer is x*.
#include <gtest/gtest.h>

#include <math.h>

#include "solver/RbdLcsKeptFactor.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

const PxReal kH = 0.01, kEps = 1e-6, kTol = 1e-3;

// A workspace with the matrix of p formed and factored, or served by kept.
struct Solved {
    std::vector<unsigned char> memory;
    Context context;
    LCPMatrix *A;
    Solved(const Packed &p, const PartitionRows &rows, KeptFactor *kept)
        : memory(RbdSparseMatrixMapMemoryRequired(p.bodyCount, p.n) + matrixMemoryRequired(p.np) +
                 lcpSystemMemoryRequired(p.np) + 64),
          A(&context.matrix(0))
    {
        context.pool().init(memory.data(), memory.size());
        SparseMatrixMap *map = RbdSparseMatrixMapCreate(context.pool(), p.bodyCount, &p.layout);
        RbdSparseMatrixMapBuild(map);
        EXPECT_TRUE(A->allocate(p.np, map));
        A->setSoftness(kEps, kH);
        if (kept && kept->restore(*A, rows, p.JMinv.data(), kEps, kH, kTol)) return;
        A->calcJinvMJT(p.JMinv.data(), p.J.data(), p.rowEps.data(), map);
        EXPECT_TRUE(A->factorize());
    }
    ~Solved() { A->destroy(); }
};

TEST(LcsKeptSolve, SolvesEachStepAsAFreshFactorWithContactsPartedHeldAndChanging)
{
    // Four unit boxes stacked on the ground, touching at four corners each:
    // 48 rows, the least an island keeps.
    std::vector<RbdLcsBody> bodies(4);
    RowList list(48);
    for (int b = 0; b < 4; ++b) makeBody(bodies[b], 1.0, 0.17, 0.17, 0.17), bodies[b].comTransform[1][3] = 0.5 + b;
    chainBodies(bodies);
    for (int c = 0; c < 16; ++c)
        addContactRows(list, bodies,
                       Contact{{c / 4, c / 4 - 1}, {c % 2 - 0.5, -0.5, c / 2 % 2 - 0.5}, {0, 1, 0}, 0.5});
    const Packed p(list, bodies);
    const RbdLcsConstraints &l = list.list;
    PartitionRows rows = {};
    rows.layout = p.layout, rows.J = p.J.data(), rows.rowEpsilon = p.rowEps.data();
    KeptFactor kept;
    kept.keep(*Solved(p, rows, nullptr).A, rows, p.JMinv.data(), kEps, kH, kTol);
    // Per step, contact `parted` pushes nothing and parts, contact `held`
    // pushes nothing with nothing to part; step 4 changes both.
    const int parted[] = {-1, 5, 5, 5, 9}, held[] = {-1, 14, 14, 14, 2};
    std::vector<PxReal> lo[2] = {{l.lo, l.lo + 48}, {l.lo, l.lo + 48}},
                        hi[2] = {{l.hi, l.hi + 48}, {l.hi, l.hi + 48}};
    std::vector<PxReal> lambda[2] = {std::vector<PxReal>(48), std::vector<PxReal>(48)};
    std::vector<int32_t> state[2] = {std::vector<int32_t>(48, kLcpFree), std::vector<int32_t>(48, kLcpFree)};
    std::mt19937 rng(7);
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
    for (int step = 0; step < 5; ++step) {
        std::vector<PxReal> x(p.np, 0.0), q(p.np);
        for (int i = 0; i < 48; ++i) // normal impulses 0.5-1.5, friction inside mu x_n
            x[i] = i / 3 == parted[step] || i / 3 == held[step] ? 0.0 : i % 3 ? 0.1 * u(rng) : 1.0 + 0.5 * u(rng);
        Solved fresh(p, rows, nullptr), served(p, rows, &kept);
        fresh.A->multiply(x.data(), q.data());
        if (parted[step] >= 0) q[3 * parted[step]] -= 0.5; // parting at 0.5 m/s
        RbdLcsLCPSolverParameters params = defaultParameters(kH).lcp;
        params.warmStart = step > 0;
        for (int k = 0; k < 2; ++k) {
            LcpRows lcp = {48, lo[k].data(), hi[k].data(), lambda[k].data(), state[k].data(), l.frictionIndex, l.mu,
                           32};
            ASSERT_GT(solveLcpSystem(k ? *served.A : *fresh.A, lcp, params, q.data(), lcpSolver(0)), 0);
        }
        // The same answer and states; x* while the index set stays (A's
        // condition, some 1e7, costs digits).
        for (int i = 0; i < 48; ++i) {
            EXPECT_TRUE(step == 4 || fabs(lambda[0][i] - x[i]) < 1e-7)
                << step << ", row " << i << ": " << lambda[0][i];
            EXPECT_NEAR(lambda[1][i], lambda[0][i], 1e-7) << step << ", row " << i;
            EXPECT_EQ(state[1][i], state[0][i]) << step << ", row " << i;
        }
        // The parted contact's friction rows are fixed from the next step on:
        // with their columns kept, correcting the whole factor for them beats
        // a compact factor; without, it does not.
        const bool steady = step == 2 || step == 3;
        EXPECT_TRUE(!steady || (served.A->fixedRowsCorrected() && !fresh.A->fixedRowsCorrected())) << step;
        EXPECT_FALSE(served.A->formedWritten());
        for (int k = 0; k < 2; ++k) // the next step's friction bounds follow these impulses
            for (int i = 0; i < 48; ++i)
                if (l.frictionIndex[i] >= 0) hi[k][i] = -(lo[k][i] = -0.5 * lambda[k][l.frictionIndex[i]]);
    }
}

} // namespace
