// The solver's numerical core: the workspace's refusals, held-row solves
// and products through the Jacobian, failing factorisations, and the LCP
// solver on random LCPs against the conditions that define their solution.
#include <gtest/gtest.h>

#include <math.h>

#include <random>
#include <string>
#include <vector>

#include "solver/RbdLcsHash.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSubproblem.h"
#include "test_lcs_support.h"

using namespace lcs;
using lcstest::MessageLog;

namespace {

typedef std::vector<PxReal> Vec;

// The matrices of these tests live in one context, as a world's do.
Context &context()
{
    static Context shared;
    return shared;
}

TEST(LcsWorkspace, BadSizesAndOverflowAreFatalWithTheirMessages)
{
    MessageLog log;
    std::vector<unsigned char> memory(256);
    MemoryPool pool;
    pool.init(memory.data(), 256);
    EXPECT_EQ(pool.alloc(20, "odd block"), nullptr);
    ASSERT_EQ(log.fatals.size(), 1u);
    EXPECT_EQ(log.fatals[0],
              "PoolAlloc: allocating odd block of size 20. Size must be a multiple of 16 bytes (remainder = 4).\n");
    uintptr_t start = (reinterpret_cast<uintptr_t>(memory.data()) + 15) & ~static_cast<uintptr_t>(15);
    size_t usable = reinterpret_cast<uintptr_t>(memory.data()) + 256 - start;
    EXPECT_NE(pool.alloc(64, "first"), nullptr);
    EXPECT_EQ(pool.alloc(256, "too big"), nullptr);
    ASSERT_EQ(log.fatals.size(), 2u);
    char expected[256];
    snprintf(expected, sizeof expected,
             "Lcs error:Memory pool size exceeded when allocating too big of size 256\nPool ends at %08x\nIf memory "
             "were allocated, pool would end at %08x\n",
             static_cast<unsigned>(usable), static_cast<unsigned>(64 + 256));
    EXPECT_EQ(log.fatals[1], expected);
    EXPECT_EQ(pool.used(), 64u) << "a refused block takes nothing";
}

TEST(LcsFactorisation, HeldRowSolvesAndRowProductsGiveTheSameThroughTheJacobian)
{
    // Two bodies under sixteen constraints: every row couples with every
    // other, so the products of many rows take the Jacobian's route.
    std::mt19937 rng(515);
    std::vector<RbdLcsBody> bodies;
    lcstest::RowList list(100);
    lcstest::randomIsland(rng, 2, 16, bodies, list, false);
    const lcstest::Packed island(list, bodies);
    const int n = island.np, rows = island.n;
    ASSERT_GT(rows, 40);
    std::vector<int32_t> held, all;
    for (int i = 0; i < rows; ++i) {
        all.push_back(i);
        if (i % 7 != 3) held.push_back(i);
    }
    Vec x[2], w[2], y[2];
    for (int route = 0; route < 2; ++route) {
        lcstest::Formed formed(island, 0, false);
        ASSERT_TRUE(formed.ok);
        LCPMatrix &A = *formed.A;
        ASSERT_TRUE(A.factorize());
        Vec jm = island.JMinv, bodyScratch(12);
        if (route == 1)
            A.keepJacobian(jm.data(), island.J.data(), island.rowEps.data(), formed.map, bodyScratch.data());
        Vec q(n, 0.0), storage(static_cast<size_t>(n) * n);
        x[route].assign(n, 0.0);
        w[route].assign(n, 0.0);
        for (int i = 0; i < rows; ++i) {
            q[i] = sin(0.9 * i);
            x[route][i] = cos(0.4 * i); // the held rows' values
        }
        A.heldRowsCost(held.data(), static_cast<int>(held.size()));
        ASSERT_TRUE(A.solveHeldRows(x[route].data(), q.data(), rows, storage.data()));
        A.multiplyRows(x[route].data(), all.data(), rows, w[route].data());
        for (int i = 0; i < rows; ++i) {
            if (i % 7 == 3) {
                EXPECT_NEAR(w[route][i], q[i], 1e-8) << "free row " << i << " of route " << route;
            }
        }
        // Projected Gauss-Seidel sweeps stay in their box, either route.
        Vec lo(n, -0.05), hi(n, 0.05), scratch(n);
        std::vector<int32_t> state(n, 0);
        y[route].assign(n, 0.0);
        projectedGaussSeidel(A, y[route].data(), q.data(), lo.data(), hi.data(), state.data(), rows, 5,
                             scratch.data());
        for (int i = 0; i < rows; ++i) EXPECT_LE(fabs(y[route][i]), 0.05) << "row " << i << " of route " << route;
    }
    for (int i = 0; i < rows; ++i) {
        EXPECT_NEAR(x[1][i], x[0][i], 1e-9) << "row " << i;
        EXPECT_NEAR(w[1][i], w[0][i], 1e-9) << "row " << i;
        EXPECT_NEAR(y[1][i], y[0][i], 1e-9) << "row " << i;
    }
}

TEST(LcsFactorisation, NonPositiveDefiniteMatricesAreReportedBySchemeWithTheirMessages)
{
    std::mt19937 rng(3);
    std::vector<RbdLcsBody> bodies;
    lcstest::RowList list(20);
    lcstest::randomIsland(rng, 3, 3, bodies, list, false);
    const lcstest::Packed island(list, bodies);
    for (int which = 0; which < kLinearSolverCount; ++which) {
        MessageLog log;
        lcstest::Formed formed(island, which, false);
        LCPMatrix &A = *formed.A;
        A.setElement(1, 1, -5.0);
        if (which == 0) {
            EXPECT_FALSE(A.factorize());
            EXPECT_TRUE(log.fatals.empty() && log.warnings.empty()) << "the stepper reports it, never fatally";
        } else {
            EXPECT_TRUE(A.factorize()) << "vbChol goes on with epsilon as the pivot";
            ASSERT_GE(log.warnings.size(), 1u);
            EXPECT_EQ(log.warnings[0], "Kelmar internals: Cholesky Factorizer matrix is not positive definite: check "
                                       "your masses and inertia tensors\n");
            EXPECT_NEAR(A.getDiagInv(1), sqrt(1e-6), 1e-15);
        }
    }
}

// ---- LCP solutions ------------------------------------------------------------

const PxReal kInf = RBD_REAL_MAX;

// A dense, symmetric positive definite matrix in factorisation `which`.
LCPMatrix &denseMatrix(const Vec &A, int n, int which, std::vector<unsigned char> &memory,
                       std::vector<int32_t> &start)
{
    int np = (n + 3) / 4 * 4;
    memory.assign(matrixMemoryRequired(np) + lcpSystemMemoryRequired(np) + 64, 0);
    context().pool().init(memory.data(), memory.size());
    start.assign(np, 0);
    for (int i = n; i < np; ++i) start[i] = i; // padding rows stand alone
    SparseMatrixMap map = {&context().pool(), nullptr, 0, nullptr, nullptr, start.data()};
    LCPMatrix &M = context().matrix(which);
    EXPECT_TRUE(M.allocate(np, &map));
    M.setSoftness(1e-6, 0.01);
    M.resetSparseMaps();
    for (int i = 0; i < n; ++i)
        for (int j = 0; j <= i; ++j) M.setElement(i, j, A[i * n + j]);
    for (int i = n; i < np; ++i) M.setElement(i, i, 1.0);
    EXPECT_TRUE(M.factorize());
    return M;
}

RbdLcsLCPSolverParameters tightParameters()
{
    RbdLcsLCPSolverParameters p = lcstest::defaultParameters(0.01).lcp;
    p.tolerance = 1e-9;
    p.maxIterations = 200;
    p.maxBlockIterations = 100;
    return p;
}

struct RandomLcp {
    int n;
    Vec A, q, lo, hi;
    RandomLcp(std::mt19937 &rng, int size) : n(size), A(size * size), q(size), lo(size), hi(size)
    {
        std::normal_distribution<PxReal> g(0.0, 1.0);
        std::uniform_int_distribution<int> kind(0, 5);
        Vec B(size * size);
        for (PxReal &v : B) v = g(rng);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                PxReal s = i == j ? 0.1 : 0.0;
                for (int k = 0; k < n; ++k) s += B[i * n + k] * B[j * n + k];
                A[i * n + j] = s;
            }
        // Bilateral, contact-like, one-sided from above, both zero, a box.
        const PxReal bounds[4][2] = {{-kInf, kInf}, {0.0, kInf}, {-kInf, 0.0}, {0.0, 0.0}};
        for (int i = 0; i < n; ++i) {
            q[i] = 2.0 * g(rng);
            const int k = kind(rng);
            lo[i] = k < 4 ? bounds[k][0] : -0.5 * fabs(g(rng));
            hi[i] = k < 4 ? bounds[k][1] : 0.5 * fabs(g(rng));
        }
    }
    // A symmetric positive definite LCP has one solution, the one x within its
    // bounds where w = A x - q is 0 for rows strictly inside, >= 0 at the lower
    // bound and <= 0 at the upper one (rows with both bounds 0 stay at 0).
    void expectSolvedBy(const Vec &x, const char *where) const
    {
        const PxReal tol = 1e-6;
        for (int i = 0; i < n; ++i) {
            PxReal w = -q[i];
            for (int j = 0; j < n; ++j) w += A[i * n + j] * x[j];
            const bool atLower = x[i] <= lo[i] + tol, atUpper = x[i] >= hi[i] - tol;
            EXPECT_TRUE(x[i] >= lo[i] - tol && x[i] <= hi[i] + tol && (atLower || w <= tol) && (atUpper || w >= -tol))
                << "row " << i << " of " << n << " at " << x[i] << " in [" << lo[i] << ", " << hi[i] << "], w " << w
                << ", " << where;
        }
    }
};

// Both solvers, in both factorisations: the pivoting from zero, the descent
// from any start (far outside the box, too).
// Two active sets that share a key end the pivoting on a false cycle.
// Every change of one or two rows of a hand-sized island (swaps among
// them) must change its key; an odd count hashes its last row alone.
TEST(LcsSolver, StateKeysTellApartEveryChangeOfOneOrTwoRows)
{
    const int32_t states[] = {kLcpFree, kLcpAtLower, kLcpAtUpper, kLcpDegenerate};
    for (int n : {78, 77}) {
        std::vector<int32_t> base(static_cast<size_t>(n)), s;
        for (int i = 0; i < n; ++i) base[static_cast<size_t>(i)] = states[(7 * i + i / 5) % 4];
        const uint32_t key = hashStates(base.data(), n);
        int changes = 0, shared = 0;
        for (int i = 0; i < n; ++i)
            for (int j = i; j < n; ++j)
                for (int32_t a : states)
                    for (int32_t b : states) {
                        s = base;
                        s[static_cast<size_t>(i)] = a, s[static_cast<size_t>(j)] = b;
                        if (s == base || (i == j && a != b)) continue;
                        ++changes;
                        shared += hashStates(s.data(), n) == key;
                    }
        EXPECT_GT(changes, 40000) << n << " rows";
        EXPECT_EQ(shared, 0) << n << " rows";
    }
}

TEST(LcsSolver, RandomMixedLcpsUpToEightRowsMeetTheComplementarityConditions)
{
    std::mt19937 rng(1234);
    std::normal_distribution<PxReal> g(0.0, 3.0);
    for (int trial = 0; trial < 120; ++trial) {
        RandomLcp lcp(rng, 1 + trial % 8);
        for (int which = 0; which < 2 * kLinearSolverCount; ++which) {
            const bool descent = which >= kLinearSolverCount;
            std::vector<unsigned char> memory;
            std::vector<int32_t> start;
            LCPMatrix &M = denseMatrix(lcp.A, lcp.n, which % kLinearSolverCount, memory, start);
            Vec x(lcp.n, 0.0);
            if (descent && trial % 3 != 0)
                for (PxReal &v : x) v = g(rng);
            std::vector<int32_t> state(lcp.n, 0);
            int result = (descent ? descentLcpSolver : cycleDetectLcpSolver)(
                M, x.data(), lcp.q.data(), lcp.lo.data(), lcp.hi.data(), state.data(), lcp.n, tightParameters());
            EXPECT_GT(result, 0) << "trial " << trial;
            lcp.expectSolvedBy(x, (std::to_string(trial) + " solver " + std::to_string(which)).c_str());
            for (int i = 0; i < lcp.n && !descent; ++i) {
                if (lcp.lo[i] == 0.0 && lcp.hi[i] == 0.0) {
                    EXPECT_EQ(state[i], kLcpDegenerate);
                }
            }
            M.destroy();
        }
    }
}

// Box LCPs of 40 and 48 rows that depend on each other but for a small
// softness, as a hand's do: single pivots alone reach the answer. With one
// pivot a row beyond the world's limit, half of them ran out of pivots.
TEST(LcsSolver, SinglePivotsAloneSolveIllConditionedBoxLcps)
{
    std::mt19937 rng(77);
    std::normal_distribution<PxReal> g(0.0, 1.0);
    for (int trial = 0; trial < 8; ++trial) {
        RandomLcp lcp(rng, 40 + trial % 2 * 8);
        const int n = lcp.n, rank = n / 2;
        Vec B(n * rank);
        for (PxReal &v : B) v = g(rng);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                PxReal s = i == j ? 1e-3 : 0.0;
                for (int k = 0; k < rank; ++k) s += B[i * rank + k] * B[j * rank + k];
                lcp.A[i * n + j] = s;
            }
            lcp.q[i] = 3.0 * g(rng);
            lcp.lo[i] = -0.2 - 0.1 * fabs(g(rng));
            lcp.hi[i] = 0.2 + 0.1 * fabs(g(rng));
        }
        for (int which = 0; which < kLinearSolverCount; ++which) {
            std::vector<unsigned char> memory;
            std::vector<int32_t> start, state(n, 0);
            LCPMatrix &M = denseMatrix(lcp.A, n, which, memory, start);
            RbdLcsLCPSolverParameters p = lcstest::defaultParameters(0.01).lcp;
            p.tolerance = 1e-9;
            p.maxBlockIterations = 0;
            Vec x(n, 0.0);
            EXPECT_GT(
                cycleDetectLcpSolver(M, x.data(), lcp.q.data(), lcp.lo.data(), lcp.hi.data(), state.data(), n, p), 0)
                << "trial " << trial << ", " << which;
            lcp.expectSolvedBy(x, (std::to_string(trial) + " solver " + std::to_string(which)).c_str());
            M.destroy();
        }
    }
}

// The answer of a small symmetric positive definite box LCP by brute
// force: of the 3^n ways to hold each row at a bound or leave it free, the
// one whose free rows solve their equations within the bounds and whose
// held rows push outwards (rows with both bounds 0 stay at 0).
Vec enumeratedAnswer(const RandomLcp &lcp)
{
    const int n = lcp.n;
    std::vector<int> way(n, 0);
    for (;;) {
        Vec x(n, 0.0), M, b;
        std::vector<int> freeRows;
        bool possible = true;
        for (int i = 0; i < n; ++i) {
            const bool pinned = lcp.lo[i] == 0.0 && lcp.hi[i] == 0.0;
            if (pinned ? way[i] != 1 : (way[i] == 1 && lcp.lo[i] == -kInf) || (way[i] == 2 && lcp.hi[i] == kInf))
                possible = false;
            if (way[i] == 0) freeRows.push_back(i);
            x[i] = way[i] == 1 ? lcp.lo[i] : (way[i] == 2 ? lcp.hi[i] : 0.0);
        }
        const int f = static_cast<int>(freeRows.size());
        for (int a = 0; a < f && possible; ++a) { // A_FF x_F = q_F - A_FH x_H by Gauss-Jordan
            PxReal r = lcp.q[freeRows[a]];
            for (int j = 0; j < n; ++j)
                if (way[j] != 0) r -= lcp.A[freeRows[a] * n + j] * x[j];
            b.push_back(r);
            for (int c = 0; c < f; ++c) M.push_back(lcp.A[freeRows[a] * n + freeRows[c]]);
        }
        for (int c = 0; c < f && possible; ++c) {
            for (int a = 0; a < f; ++a) {
                if (a == c) continue;
                const PxReal factor = M[a * f + c] / M[c * f + c];
                for (int k = 0; k < f; ++k) M[a * f + k] -= factor * M[c * f + k];
                b[a] -= factor * b[c];
            }
        }
        for (int a = 0; a < f && possible; ++a) x[freeRows[a]] = b[a] / M[a * f + a];
        const PxReal tol = 1e-9;
        for (int i = 0; i < n && possible; ++i) {
            PxReal w = -lcp.q[i];
            for (int j = 0; j < n; ++j) w += lcp.A[i * n + j] * x[j];
            const bool pinned = lcp.lo[i] == 0.0 && lcp.hi[i] == 0.0;
            possible = pinned || (way[i] == 0 ? x[i] >= lcp.lo[i] - tol && x[i] <= lcp.hi[i] + tol
                                              : (way[i] == 1 ? w >= -tol : w <= tol));
        }
        if (possible) return x;
        int i = 0;
        while (i < n && ++way[i] == 3) way[i++] = 0;
        if (i == n) return Vec(); // no way solved it
    }
}

// Started from random states, as the rows seeded from the last step are,
// and left to the single pivots of a box island from the first iteration
// on: the answer is the one found by trying every way to hold the rows.
TEST(LcsSolver, SinglePivotsOfABoxIslandFromAnyStartReachTheEnumeratedAnswer)
{
    std::mt19937 rng(4321);
    for (int trial = 0; trial < 90; ++trial) {
        RandomLcp lcp(rng, 1 + trial % 6);
        const Vec truth = enumeratedAnswer(lcp);
        ASSERT_EQ(static_cast<int>(truth.size()), lcp.n) << "trial " << trial;
        std::uniform_int_distribution<int> side(0, 2);
        std::vector<int32_t> start(lcp.n);
        for (int i = 0; i < lcp.n; ++i) { // held only at a finite bound
            const int k = side(rng);
            start[i] = k == 1 && lcp.lo[i] > -kInf ? kLcpAtLower
                                                   : (k == 2 && lcp.hi[i] < kInf ? kLcpAtUpper : kLcpFree);
        }
        for (int which = 0; which < kLinearSolverCount; ++which) {
            std::vector<unsigned char> memory;
            std::vector<int32_t> envelope, state = start;
            LCPMatrix &M = denseMatrix(lcp.A, lcp.n, which, memory, envelope);
            RbdLcsLCPSolverParameters p = tightParameters();
            p.maxBlockIterations = 0;
            p.warmStart = 1;
            p.boxIsland = 1;
            Vec x(lcp.n, 0.0);
            EXPECT_GT(
                cycleDetectLcpSolver(M, x.data(), lcp.q.data(), lcp.lo.data(), lcp.hi.data(), state.data(), lcp.n, p),
                0)
                << "trial " << trial << ", " << which;
            for (int i = 0; i < lcp.n; ++i)
                EXPECT_NEAR(x[i], truth[i], 1e-7 * (1.0 + fabs(truth[i])))
                    << "row " << i << " of trial " << trial << ", " << which;
            M.destroy();
        }
    }
}

// Two small LCPs whose answer is not the plain solution. Row 1 of the first has a
// zero Jacobian (a switched-off row): all that is left of it in A is eps,
// so its pivot is sqrt(eps) and, solved freely, it would take q / eps; it
// is fixed at zero and the other rows solve their own 2 x 2 system. Row 0
// of the second has its lower bound above its upper one and never settles:
// the cycle is caught before the iterations run out, and the failed solve
// leaves its first iterate, A^-1 q, which has the fewest infeasible rows.
TEST(LcsSolver, ADependentRowIsFixedAtZeroAndAFailedSolveLeavesItsLeastInfeasibleIterate)
{
    const PxReal eps = 1e-6;
    Vec A = {2.0 + eps, 0.0, 1.0, 0.0, eps, 0.0, 1.0, 0.0, 3.0 + eps};
    Vec q = {1.0, 1.0, 0.5}, lo(3, -kInf), hi(3, kInf), x(3);
    for (int which = 0; which < kLinearSolverCount; ++which) {
        std::vector<unsigned char> memory;
        std::vector<int32_t> start, state(3, 0);
        LCPMatrix &M = denseMatrix(A, 3, which, memory, start);
        EXPECT_GT(
            cycleDetectLcpSolver(M, x.data(), q.data(), lo.data(), hi.data(), state.data(), 3, tightParameters()), 0);
        EXPECT_EQ(state[1], kLcpDegenerate);
        EXPECT_EQ(x[1], 0.0);
        EXPECT_NEAR(A[0] * x[0] + A[2] * x[2], q[0], 1e-9);
        EXPECT_NEAR(A[6] * x[0] + A[8] * x[2], q[2], 1e-9);
        M.destroy();
    }
    A = {1.0, 0.2, 0.2, 1.0}, q = {0.0, 1.0}, lo = {1.0, -kInf}, hi = {-1.0, kInf};
    std::vector<unsigned char> memory;
    std::vector<int32_t> start, state(2, 0);
    LCPMatrix &M = denseMatrix(A, 2, 0, memory, start);
    RbdLcsLCPSolverParameters p = lcstest::defaultParameters(0.01).lcp;
    const int withDetection = cycleDetectLcpSolver(M, x.data(), q.data(), lo.data(), hi.data(), state.data(), 2, p);
    EXPECT_LT(withDetection, 0);
    EXPECT_GT(withDetection, -pivotingIterationLimit(p, 2));
    p.cycleDetection = 0;
    EXPECT_EQ(pivotingIterationLimit(p, 2), 35 + 2 * 17) << "half the world's limit again a row";
    EXPECT_EQ(cycleDetectLcpSolver(M, x.data(), q.data(), lo.data(), hi.data(), state.data(), 2, p),
              -pivotingIterationLimit(p, 2));
    EXPECT_NEAR(x[0], -0.2 / 0.96, 1e-12);
    EXPECT_NEAR(x[1], 1.0 / 0.96, 1e-12);
    M.destroy();
}

} // namespace
