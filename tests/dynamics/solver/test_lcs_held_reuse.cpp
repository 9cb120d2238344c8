// Held-row solves reuse what factor they can: the whole matrix's leading
// rows when every row before the first held one is free, or the rows of
// their own last factor when the free set changes late. Whatever they
// reuse, the free rows must solve A_FF x_F = q_F - A_FH x_H; the check is
// the residual A x - q, formed by products that never touch a factor.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>

#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsMatrix.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

TEST(LcsHeldReuse, HeldSolvesStayExactWhicheverFactorRowsTheyReuse)
{
    // A hinge chain with a ground contact under every link, in the packing
    // order: 5 joint rows a link, then 3 contact rows a link.
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
    // Every link lies along x, its mass and moments those of the chain's maker.
    std::vector<PxReal> J(list.jacobian, list.jacobian + 12 * np), JMinv(J.size()), rowEps(np, 0.0);
    const PxReal w[6] = {1.0, 1.0, 1.0, 100.0, 12.0, 12.0}; // 1 / mass and moments of every link
    for (size_t e = 0; e < J.size(); ++e) JMinv[e] = w[e % kTileSize / kTileRows % 6] * J[e];
    // Held rows from `from` on, every `every`-th, as a pivoting solve meets
    // them: contact rows only (the joint rows before them come from the whole
    // factor), one that frees a later row (its own last factor serves), one
    // from the first rows, and the first again on a shifted diagonal, before
    // and after its refactor.
    const int from[] = {41, 44, 2, 41, 41}, every[] = {3, 3, 5, 3, 3};
    for (int which = 0; which < kLinearSolverCount; ++which) {
        std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(8, n) + matrixMemoryRequired(np) + 64);
        Context context;
        context.pool().init(memory.data(), memory.size());
        SparseMatrixMap *map = RbdSparseMatrixMapCreate(context.pool(), 8, &layout);
        RbdSparseMatrixMapBuild(map);
        LCPMatrix &A = context.matrix(which);
        ASSERT_TRUE(A.allocate(np, map));
        A.setSoftness(1e-6, 0.01);
        A.calcJinvMJT(JMinv.data(), J.data(), rowEps.data(), map);
        std::vector<PxReal> storage(static_cast<size_t>(np) * np), q(np, 0.0), x(np, 0.0), Ax(np);
        for (int i = 0; i < n; ++i) q[i] = sin(0.7 * i);
        PxReal shift = 0.0, fresh = 0.0;
        for (int k = 0; k < 5; ++k) {
            std::vector<int32_t> held;
            for (int i = from[k]; i < n; i += every[k]) held.push_back(i), x[i] = 0.1 * cos(1.0 + i);
            const int m = static_cast<int>(held.size());
            if (k == 0) fresh = A.heldRowsCost(held.data(), m); // nothing factored yet
            ASSERT_TRUE((k != 0 && k != 4) || A.factorize());
            if (k == 3) A.shiftDiagonal(shift = 1e-3, n);
            EXPECT_TRUE(A.heldRowsCost(held.data(), m) < fresh || k > 0) << "the joint rows' factor is reused";
            ASSERT_TRUE(A.solveHeldRows(x.data(), q.data(), n, storage.data()));
            A.multiply(x.data(), Ax.data()); // the unshifted matrix
            for (int i : held) EXPECT_EQ(x[i], 0.1 * cos(1.0 + i)) << "held row " << i;
            for (int i = 0; i < n; ++i) // the free rows' residuals
                EXPECT_TRUE(std::count(held.begin(), held.end(), i) || fabs(Ax[i] + shift * x[i] - q[i]) < 1e-9)
                    << "row " << i << " off by " << Ax[i] + shift * x[i] - q[i] << ", held from " << from[k]
                    << ", scheme " << which;
        }
    }
}

} // namespace
