// Fixed rows left out of the solves, by a correction of the whole factor's
// solves (a few rows) or by a compact factor (many): either way a solve
// keeps the fixed rows' right-hand side and the free rows solve
// A_FF x_F = q_F, and a column of the inverse is zero on the fixed rows
// and a unit column of A_FF on the others. The check is the residual,
// formed by products that never touch a factor.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSolver.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

TEST(LcsFixedRows, SolvesHoldFixedRowsOutByCorrectionOrByCompactFactor)
{
    // A hinge chain with a ground contact under every link (5 joint rows a
    // link, then 3 contact rows a link), as the held-row tests build it.
    std::vector<RbdLcsBody> bodies;
    std::vector<Joint> joints;
    RowList rows(120);
    makeHingeChain(8, bodies, joints);
    buildJointRows(rows, bodies, joints);
    for (int b = 0; b < 8; ++b) addContactRows(rows, bodies, Contact{{b, -1}, {0.3, -0.05, 0.0}, {0, 1, 0}, 1});
    const RbdLcsConstraints &list = rows.list;
    const int n = list.rowCount, np = (n + 3) / 4 * 4;
    std::vector<int32_t> bodyOf;
    for (int c = 0; c < list.constraintCount; ++c)
        bodyOf.insert(bodyOf.end(), {list.constraintBody[0][c], list.constraintBody[1][c]});
    const ConstraintLayout layout = {list.constraintCount, n, np, list.constraintFirstRow, list.constraintRowCount,
                                     bodyOf.data()};
    std::vector<PxReal> J(list.jacobian, list.jacobian + 12 * np), JMinv(J.size()), rowEps(np, 0.0);
    const PxReal w[6] = {1.0, 1.0, 1.0, 100.0, 12.0, 12.0}; // 1 / mass and moments of every link
    for (size_t e = 0; e < J.size(); ++e) JMinv[e] = w[e % kTileSize / kTileRows % 6] * J[e];
    // Fixed rows: every `every`-th from `from`, `count` of them; a shifted
    // diagonal (as the descent makes) leaves no whole factor to correct.
    const struct {
        const char *what;
        int from, every, count;
        PxReal shift;
        int corrected;
    } cases[] = {
        {"one contact friction row", 43, 1, 1, 0.0, 1},
        {"friction rows of two contacts", 44, 3, 2, 0.0, 1},
        {"rows spread over joints and contacts", 1, 29, 3, 0.0, 1},
        {"more rows than a correction takes", 0, 2, 20, 0.0, 0},
        {"a few rows on a shifted diagonal", 44, 3, 3, 1e-3, 0},
    };
    for (int which = 0; which < kLinearSolverCount; ++which)
        for (const auto &k : cases) {
            SCOPED_TRACE(::testing::Message() << k.what << ", scheme " << which);
            std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(8, n) + matrixMemoryRequired(np) + 64);
            Context context;
            context.pool().init(memory.data(), memory.size());
            SparseMatrixMap *map = RbdSparseMatrixMapCreate(context.pool(), 8, &layout);
            RbdSparseMatrixMapBuild(map);
            LCPMatrix &A = context.matrix(which);
            ASSERT_TRUE(A.allocate(np, map));
            A.setSoftness(1e-6, 0.01);
            A.calcJinvMJT(JMinv.data(), J.data(), rowEps.data(), map);
            ASSERT_TRUE(A.factorize());
            if (k.shift != 0.0) A.shiftDiagonal(k.shift, n);
            std::vector<int32_t> state(n, kLcpFree);
            for (int a = 0, i = k.from; a < k.count; ++a, i += k.every) state[i] = kLcpDegenerate;
            ASSERT_TRUE(A.selectFixedRows(state.data(), n));
            ASSERT_TRUE(A.ensureFactor());
            EXPECT_EQ(A.fixedRowsCorrected(), k.corrected);
            // A solve, then the column of the inverse of the first free row.
            int free0 = 0;
            while (state[free0] & kLcpFixed) ++free0;
            std::vector<PxReal> x(np, 0.0), Ax(np);
            for (int i = 0; i < n; ++i) x[i] = sin(0.7 * i);
            const std::vector<PxReal> q = x;
            A.solve(x.data(), 1);
            std::vector<PxReal> column(np);
            A.solveUnit(column.data(), free0);
            for (const std::vector<PxReal> *y : {&x, &column}) {
                const bool unit = y == &column;
                std::vector<PxReal> free = *y;
                for (int i = 0; i < n; ++i) {
                    if (!(state[i] & kLcpFixed)) continue;
                    EXPECT_EQ((*y)[i], unit ? 0.0 : q[i]) << "fixed row " << i << " keeps its right-hand side";
                    free[i] = 0.0;
                }
                A.multiply(free.data(), Ax.data()); // the unshifted matrix
                for (int i = 0; i < n; ++i) {
                    if (state[i] & kLcpFixed) continue;
                    PxReal rhs = unit ? (i == free0 ? 1.0 : 0.0) : q[i];
                    EXPECT_NEAR(Ax[i] + k.shift * free[i], rhs, 1e-8)
                        << "row " << i << (unit ? " of the column" : "");
                }
            }
        }
}

} // namespace
