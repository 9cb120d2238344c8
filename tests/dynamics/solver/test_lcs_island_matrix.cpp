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
        memory.resize(RbdSparseMatrixMapMemoryRequired(bodies, n) + matrixMemoryRequired(layout.paddedRowCount) + 64);
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

} // namespace
