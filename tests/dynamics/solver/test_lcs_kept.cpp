// A kept factor solves a resting island's LCP step after step as a freshly
// formed one does: a contact parted (its friction rows fixed at zero, their
// columns of the inverse kept) and one held at zero, and when that changes.
// Each step's right-hand side is made from a chosen solution x* and slack,
// q = A x* - w*, so while the index set stays the LCP's one answer is x*.
// And a kept factor serves an island whose rows moved by less than its
// drift, in any order of equal constraints, and solves the freshly formed
// matrix's system; any other change (more drift, a NaN, softness, a body)
// forms anew.
#include <gtest/gtest.h>

#include <math.h>

#include <random>
#include <vector>

#include "solver/RbdLcsKeptFactor.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

const PxReal kH = 0.01, kEps = 1e-6, kTol = 1e-3, kDelta = kKeptDriftOfTolerance * kTol;

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
    // Four unit boxes on the ground and on one another, touching at four
    // corners each: 48 rows, the least an island keeps. Their centres all
    // sit at the origin. Placed one above another, the solves end at
    // another answer than x* whose free rows hold as exactly (friction
    // bounds follow the normal impulses, so the answer need not be one),
    // and x* is what is checked below.
    std::vector<RbdLcsBody> bodies(4);
    RowList list(48);
    for (int b = 0; b < 4; ++b) makeBody(bodies[b], 1.0, 0.17, 0.17, 0.17);
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

const int kConstraints = 18, kRows = 3 * kConstraints, kPadded = (kRows + 3) & ~3, kBodies = 4;

// Three 3-row constraints on each of six pairs of bodies (or the world);
// J M^-1 is J times a diagonal M^-1.
struct SixPairs {
    std::vector<int32_t> firstRow, rows = std::vector<int32_t>(kConstraints, 3), bodies;
    std::vector<PxReal> J = std::vector<PxReal>(kPadded / kTileRows * kTileSize, 0.0), JMinv;
    std::vector<PxReal> rowEps = std::vector<PxReal>(kPadded, 0.0);
    PxReal eps = kEps;
    SixPairs()
    {
        std::mt19937 rng(3);
        const int pairs[6][2] = {{0, -1}, {0, 1}, {1, 2}, {2, 3}, {3, -1}, {1, 3}};
        for (int c = 0; c < kConstraints; ++c)
            firstRow.push_back(3 * c), bodies.insert(bodies.end(), pairs[c / 3], pairs[c / 3] + 2);
        std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
        for (int e = 0; e < kRows * kTileColumns; ++e) J[tileIndex(e / kTileColumns, e % kTileColumns)] = u(rng);
        for (size_t e = 0; e < J.size(); ++e) JMinv.push_back((1.0 + e % kTileSize / kTileRows % 6) * J[e]);
    }
};

// Forms A over a fresh workspace for the island (kept: restores instead).
struct FormedAnew {
    std::vector<unsigned char> memory = std::vector<unsigned char>(1 << 20);
    PartitionRows rows = {};
    int form(Context &context, SixPairs &s, int scheme, KeptFactor *kept)
    {
        rows.layout = {kConstraints, kRows, kPadded, s.firstRow.data(), s.rows.data(), s.bodies.data()};
        rows.J = s.J.data(), rows.rowEpsilon = s.rowEps.data();
        context.pool().init(memory.data(), memory.size());
        SparseMatrixMap *map = RbdSparseMatrixMapCreate(context.pool(), kBodies, &rows.layout);
        RbdSparseMatrixMapBuild(map);
        LCPMatrix &A = context.matrix(scheme);
        if (!map || !A.allocate(kPadded, map)) return -1;
        A.setSoftness(s.eps, kH);
        if (kept) return kept->restore(A, rows, s.JMinv.data(), s.eps, kH, kTol);
        A.calcJinvMJT(s.JMinv.data(), s.J.data(), s.rowEps.data(), map);
        return A.factorize();
    }
};

void swapConstraints(SixPairs &s, int a, int b)
{
    for (std::vector<PxReal> *m : {&s.J, &s.JMinv})
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < kTileColumns; ++col)
                std::swap((*m)[tileIndex(3 * a + r, col)], (*m)[tileIndex(3 * b + r, col)]);
}

TEST(LcsKeptFactor, ServesRowsWithinDriftInAnyOrderOfEqualConstraintsAndNothingElse)
{
    struct Case {
        const char *what;
        void (*change)(SixPairs &);
        int scheme, served;
    };
    const Case cases[] = {
        {"unchanged", [](SixPairs &) {}, 0, 1},
        // Entries lie in [-1, 1]: a row's largest is at least this one, at most 1.
        {"half the drift", [](SixPairs &s) { s.J[tileIndex(4, 2)] *= 1.0 + 0.5 * kDelta; }, 0, 1},
        {"twice the drift", [](SixPairs &s) { s.J[tileIndex(4, 2)] += 2.0 * kDelta; }, 0, 0},
        // J M^-1's entries lie in [-6, 6].
        {"J M^-1 moved", [](SixPairs &s) { s.JMinv[tileIndex(7, 9)] += 7.0 * kDelta; }, 0, 0},
        {"a NaN", [](SixPairs &s) { s.J[tileIndex(0, 0)] = NAN; }, 0, 0},
        {"equal constraints swapped", [](SixPairs &s) { swapConstraints(s, 1, 2), swapConstraints(s, 4, 5); }, 0, 1},
        {"softness", [](SixPairs &s) { s.eps = 2e-6; }, 0, 0},
        {"row softness", [](SixPairs &s) { s.rowEps[5] = 1e-9; }, 0, 0},
        {"another body", [](SixPairs &s) { s.bodies[9] = 3; }, 0, 0},
        {"row by row", [](SixPairs &s) { swapConstraints(s, 1, 2); }, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        SixPairs s;
        Context context;
        KeptFactor kept;
        FormedAnew first, again, fresh; // each its own workspace
        ASSERT_EQ(first.form(context, s, c.scheme, nullptr), 1);
        kept.keep(context.matrix(c.scheme), first.rows, s.JMinv.data(), s.eps, kH, kTol);
        // Solved as restored (no row fixed), then with rows 4 and 5 fixed (a
        // contact held at zero): the first pass keeps their columns of the
        // inverse, the changed one reads them unless renumbered.
        for (int pass = 0; pass < 2; ++pass) {
            if (pass == 1) c.change(s);
            ASSERT_EQ(again.form(context, s, c.scheme, &kept), pass == 0 || c.served);
            if (pass == 1 && !c.served) break;
            for (int held = 0; held < 2; ++held) {
                // The kept factor solves the system of the matrix formed anew.
                std::vector<int32_t> state(kPadded, kLcpFree);
                std::vector<PxReal> b(s.J.begin(), s.J.begin() + kPadded), x, Bx(kPadded); // b: random entries
                if (held) state[4] = state[5] = kLcpDegenerate, b[4] = b[5] = 0.0;
                ASSERT_TRUE(context.matrix(c.scheme).selectFixedRows(state.data(), kRows));
                context.matrix(c.scheme).solve((x = b).data(), 1);
                ASSERT_EQ(fresh.form(context, s, 1 - c.scheme, nullptr), 1); // the other scheme, formed anew
                context.matrix(1 - c.scheme).multiply(x.data(), Bx.data());
                PxReal largest = 0.0;
                for (PxReal v : x) largest = fmax(largest, fabs(v));
                for (int i = 0; i < kRows; ++i) {
                    if (state[i] != kLcpFree) continue;
                    EXPECT_NEAR(Bx[i], b[i], (1e-8 + kDelta) * largest)
                        << "row " << i << ", pass " << pass << ", held " << held;
                }
            }
        }
        if (!c.served) continue;
        LCPMatrix &A = context.matrix(c.scheme);
        EXPECT_FALSE(A.formedWritten());
        A.shiftDiagonal(1e-3, kRows); // as a recovery does: the copy is written
        EXPECT_TRUE(A.formedWritten());
    }
}

} // namespace
