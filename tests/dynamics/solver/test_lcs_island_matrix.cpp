// Fixed rows left out of the solves of a random island's matrix (constraints
// of 1-6 rows between random bodies or the world), by a correction of the
// whole factor's solves or by a compact factor, keep their right-hand side
// while the free rows solve A_FF x_F = q_F, checked by products that never
// touch a factor.
#include <gtest/gtest.h>

#include <math.h>

#include <random>
#include <vector>

#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

namespace {

// JMinv = J M^-1 for a diagonal M^-1, so that A is positive definite.
struct Island {
    int bodies, n = 0;
    std::vector<int32_t> rows, ends, firstRow;
    std::vector<PxReal> J, JMinv;
    std::vector<unsigned char> memory;
    Context context;
    ConstraintLayout layout;
    SparseMatrixMap *map = nullptr;
    Island(std::mt19937 &rng, int bodyCount, int constraints) : bodies(bodyCount)
    {
        for (int c = 0; c < constraints; ++c, n += rows.back()) {
            int a = static_cast<int>(rng() % bodies), b = static_cast<int>(rng() % (bodies + 1)) - 1;
            ends.insert(ends.end(), {a, b});
            rows.push_back(1 + static_cast<int>(rng() % 6));
            firstRow.push_back(n);
        }
        std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
        J.resize(kTileSize * (n + 3) / kTileRows);
        for (PxReal &e : J) e = u(rng);
        const PxReal w[6] = {1.0, 1.0, 1.0, 3.0, 5.0, 7.0}; // M^-1 of every body
        for (size_t e = 0; e < J.size(); ++e) JMinv.push_back(w[e % kTileSize / kTileRows % 6] * J[e]);
        layout = {constraints, n, (n + 3) & ~3, firstRow.data(), rows.data(), ends.data()};
        // Twice: room for a reordering too.
        memory.resize(2 *
                      (RbdSparseMatrixMapMemoryRequired(bodies, n) + matrixMemoryRequired(layout.paddedRowCount)));
        context.pool().init(memory.data(), memory.size());
        map = RbdSparseMatrixMapCreate(context.pool(), bodies, &layout);
        RbdSparseMatrixMapBuild(map);
    }
};

TEST(LcsIslandMatrix, SolvesHoldFixedRowsOutByCorrectionOrByCompactFactor)
{
    std::mt19937 rng(5);
    int corrected = 0, compact = 0;
    // Fixed rows: `count` random ones; a shifted diagonal (as the descent
    // makes) leaves no whole factor to correct. Count 0: one row repeats the
    // row before it at almost no softness, and is fixed (as the degeneracy
    // filter does), which a correction through A^-1 must not take on.
    for (int count : {0, 1, 2, 3, 8, 20})
        for (PxReal shift : {0.0, 1e-3})
            for (int which = 0; which < kLinearSolverCount; ++which) {
                SCOPED_TRACE(::testing::Message() << count << " fixed, shift " << shift << ", scheme " << which);
                Island s(rng, count == 0 ? 40 : 15, count == 0 ? 12 : 25); // count 0: no other dependence
                int dependent = -1;
                for (int c = 0; count == 0 && dependent < 0; ++c)
                    if (s.rows[c] > 1) dependent = s.firstRow[c] + 1;
                for (int col = 0; dependent >= 0 && col < kTileColumns; ++col)
                    for (std::vector<PxReal> *m : {&s.J, &s.JMinv})
                        (*m)[tileIndex(dependent, col)] = (*m)[tileIndex(dependent - 1, col)];
                LCPMatrix &A = s.context.matrix(which);
                const int n = s.n, np = (n + 3) & ~3;
                std::vector<PxReal> rowEps(np, 0.0), q(np, 0.0), x, column(np), Ax(np);
                ASSERT_TRUE(A.allocate(np, s.map));
                A.setSoftness(count == 0 ? 1e-12 : 1e-6, 0.01);
                A.calcJinvMJT(s.JMinv.data(), s.J.data(), rowEps.data(), s.map);
                ASSERT_TRUE(A.factorize());
                if (shift != 0.0) A.shiftDiagonal(shift, n);
                std::vector<int32_t> state(n, kLcpFree);
                for (int a = 0; a < count; ++a) state[rng() % (n - 1) + 1] = kLcpDegenerate; // row 0 stays free
                if (dependent >= 0) state[dependent] = kLcpDegenerate;
                ASSERT_TRUE(A.selectFixedRows(state.data(), n) && A.ensureFactor());
                (A.fixedRowsCorrected() ? corrected : compact)++;
                EXPECT_FALSE(dependent >= 0 && A.fixedRowsCorrected());
                for (int i = 0; i < n; ++i) q[i] = sin(0.7 * i);
                A.solve((x = q).data(), 1);
                A.solveUnit(column.data(), 0); // row 0's column of A^-1
                // Fixed rows keep their right-hand side, free rows leave no residual.
                for (std::vector<PxReal> *y : {&x, &column}) {
                    std::vector<PxReal> rhs = y == &column ? std::vector<PxReal>(np, 0.0) : q, yF = *y;
                    rhs[0] += y == &column;
                    for (int i = 0; i < n; ++i) yF[i] = state[i] & kLcpFixed ? 0.0 : yF[i];
                    A.multiply(yF.data(), Ax.data()); // the unshifted matrix
                    for (int i = 0; i < n; ++i) {
                        PxReal got = state[i] & kLcpFixed ? (*y)[i] : Ax[i] + shift * yF[i];
                        EXPECT_NEAR(got, rhs[i], 1e-7 * (1.0 + fabs(rhs[i]))) << "row " << i;
                    }
                }
            }
    EXPECT_GT(corrected, 0);
    EXPECT_GT(compact, 0);
}

// The pivots bounded without a factor (deferFactor) never exceed those the
// factor forms, in the packing order or the reordered one, and equal them
// where one row alone comes before (row 1 a tenth of row 0). Where the
// bounds clear a threshold, the factor formed on demand solves, both
// directly for held rows and through the whole factor corrected for fixed
// rows, to the last bit as one formed at once; where a pivot falls under
// it, nothing is deferred.
TEST(LcsIslandMatrix, PivotBoundsStayUnderThePivotsAndADeferredFactorSolvesAsOneFormedAtOnce)
{
    std::mt19937 rng(11);
    int outcomes[2] = {0, 0}, tights = 0; // trials deferred at the threshold or not
    for (int trial = 0; trial < 12; ++trial)
        for (int which = 0; which < kLinearSolverCount; ++which) {
            SCOPED_TRACE(::testing::Message() << "trial " << trial << ", scheme " << which);
            Island s(rng, 12, 18);
            // Row 1 a tenth of row 0 (one constraint, no softness of their
            // own): its pivot squared is some 1.01 epsilon, under the
            // threshold, and in the packing order, after row 0 alone, the
            // bound is that pivot.
            const int n = s.n, np = (n + 3) & ~3, repeat = trial % 3 == 0 && s.rows[0] > 1;
            const int tight = repeat && trial % 2 == 0;
            for (int col = 0; repeat && col < kTileColumns; ++col)
                for (std::vector<PxReal> *m : {&s.J, &s.JMinv})
                    (*m)[tileIndex(1, col)] = 0.1 * (*m)[tileIndex(0, col)];
            if (trial % 2) RbdSparseMatrixMapReorder(s.map);
            tights += tight;
            std::vector<PxReal> rowEps(np), q(np), scratch(6 * s.bodies), bound(n), x[2];
            std::vector<PxReal> storage(static_cast<size_t>(np) * np);
            for (int i = 0; i < np; ++i) rowEps[i] = rng() % 2 || (repeat && i < 2) ? 0.0 : 1e-6, q[i] = sin(0.7 * i);
            std::vector<int32_t> held, state(n, kLcpFree);
            for (int i = 1; i < n; i += 5) held.push_back(i);
            state[n / 2] = kLcpDegenerate;
            LCPMatrix &A = s.context.matrix(which);
            const PxReal threshold = sqrt(1e-6) * 1.01;
            int cleared = 0;
            for (int deferred : {1, 0}) {
                ASSERT_TRUE(s.context.pool().pushFrame() && A.allocate(np, s.map));
                A.setSoftness(1e-6, 0.01);
                A.calcJinvMJT(s.JMinv.data(), s.J.data(), rowEps.data(), s.map);
                A.keepJacobian(s.JMinv.data(), s.J.data(), rowEps.data(), s.map, scratch.data());
                ASSERT_TRUE(!deferred || A.deferFactor(0.0));
                for (int i = 0; deferred && i < n; ++i) bound[i] = A.getDiagInv(i);
                cleared = deferred ? A.deferFactor(threshold) : cleared;
                ASSERT_TRUE((deferred && cleared) || A.factorize());
                for (int i = 0; !deferred && i < n; ++i) {
                    EXPECT_LE(bound[i], A.getDiagInv(i)) << "row " << i;
                    EXPECT_TRUE(!cleared || A.getDiagInv(i) >= threshold) << "row " << i;
                }
                if (!deferred && tight) {
                    EXPECT_NEAR(bound[1] / A.getDiagInv(1), 1.0, 1e-6);
                }
                x[deferred].assign(2 * np, 0.0);
                for (int i : held) x[deferred][i] = 0.5;
                A.heldRowsCost(held.data(), static_cast<int>(held.size()));
                ASSERT_TRUE(A.solveHeldRows(x[deferred].data(), q.data(), n, storage.data()));
                for (int i = 0; i < n; ++i) x[deferred][np + i] = q[i];
                ASSERT_TRUE(A.selectFixedRows(state.data(), n));
                A.solve(x[deferred].data() + np, 1);
                A.destroy();
                s.context.pool().popFrame();
            }
            outcomes[cleared]++;
            for (int i = 0; i < 2 * np; ++i) EXPECT_EQ(x[1][i], x[0][i]) << "element " << i;
        }
    EXPECT_GT(outcomes[0], 0);
    EXPECT_GT(outcomes[1], 0);
    EXPECT_GT(tights, 0);
}

} // namespace
