// Held-row solves reuse what factor they can: the whole matrix's leading
// rows when every row before the first held one is free, or the rows of
// their own last factor when the free set changes late. Whatever they
// reuse, the free rows must solve A_FF x_F = q_F - A_FH x_H; the check is
// the residual A x - q, formed by products that never touch a factor.
#include <gtest/gtest.h>

#include <math.h>

#include <vector>

#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"
#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

typedef std::vector<PxReal> Vec;

// A hinge chain with a ground contact under every link, in the packing
// order: 5 joint rows a link, then 3 contact rows a link.
struct ChainOnGround {
    std::vector<RbdLcsBody> bodies;
    RowList rows{120};
    std::vector<int32_t> firstRow, counts, bodyOf;
    Vec J, JMinv, rowEps;
    ConstraintLayout layout;

    explicit ChainOnGround(int links)
    {
        std::vector<Joint> joints;
        makeHingeChain(links, bodies, joints);
        buildJointRows(rows, bodies, joints);
        for (int b = 0; b < links; ++b)
            addContactRows(rows, bodies, Contact{{b, -1}, {0.3, -0.05, 0.0}, {0, 1, 0}, 1});
        const RbdLcsConstraints &list = rows.list;
        for (int c = 0; c < list.constraintCount; ++c) {
            firstRow.push_back(list.constraintFirstRow[c]);
            counts.push_back(list.constraintRowCount[c]);
            bodyOf.insert(bodyOf.end(), {list.constraintBody[0][c], list.constraintBody[1][c]});
        }
        int np = (list.rowCount + 3) / 4 * 4;
        J.assign(list.jacobian, list.jacobian + static_cast<size_t>(np) * 12);
        JMinv.assign(J.size(), 0.0);
        rowEps.assign(static_cast<size_t>(np), 0.0);
        for (int c = 0; c < list.constraintCount; ++c)
            for (int side = 0; side < 2; ++side)
                for (int r = 0; bodyOf[2 * c + side] >= 0 && r < counts[c]; ++r)
                    for (int k = 0; k < 6; ++k) {
                        const RbdLcsBody &b = bodies[bodyOf[2 * c + side]];
                        int e = tileIndex(firstRow[c] + r, 6 * side + k);
                        JMinv[e] = (k < 3 ? b.invMass : b.invInertiaWorld[k - 3][k - 3]) * J[e];
                    }
        layout = {list.constraintCount, list.rowCount, np, firstRow.data(), counts.data(), bodyOf.data()};
    }
};

// Held rows from `from` on, every `every`-th; x takes the held values.
std::vector<int32_t> heldFrom(int from, int every, int rows, Vec &x)
{
    std::vector<int32_t> held;
    for (int i = from; i < rows; i += every) {
        held.push_back(i);
        x[i] = 0.1 * cos(1.0 + i);
    }
    return held;
}

TEST(LcsHeldReuse, HeldSolvesStayExactWhicheverFactorRowsTheyReuse)
{
    ChainOnGround chain(8);
    const int n = chain.layout.rowCount, np = chain.layout.paddedRowCount;
    ASSERT_EQ(n, 64);
    // The held sets as a pivoting solve meets them: contact rows only (the
    // joint rows before them come from the whole factor), one that frees a
    // later row (its own last factor serves), one from the first rows, and
    // the first again on a shifted diagonal, before and after its refactor.
    struct Case {
        int from, every;
        PxReal shift; // added to the diagonal before the solve
        bool refactor;
    } cases[] = {
        {41, 3, 0.0, false}, {44, 3, 0.0, false}, {2, 5, 0.0, false}, {41, 3, 1e-3, false}, {41, 3, 0.0, true}};
    for (int which = 0; which < kLinearSolverCount; ++which) {
        std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(static_cast<int>(chain.bodies.size()), n) +
                                          matrixMemoryRequired(np) + 64);
        Context context;
        context.pool().init(memory.data(), memory.size());
        SparseMatrixMap *map = RbdSparseMatrixMapCreate(context.pool(), static_cast<int>(chain.bodies.size()),
                                                        &chain.layout);
        ASSERT_NE(map, nullptr);
        RbdSparseMatrixMapBuild(map);
        LCPMatrix &A = context.matrix(which);
        ASSERT_TRUE(A.allocate(np, map));
        A.setSoftness(1e-6, 0.01);
        A.calcJinvMJT(chain.JMinv.data(), chain.J.data(), chain.rowEps.data(), map);
        ASSERT_TRUE(A.factorize());
        Vec storage(static_cast<size_t>(np) * np), q(np, 0.0), x(np, 0.0), Ax(np);
        for (int i = 0; i < n; ++i) q[i] = sin(0.7 * i);
        PxReal shift = 0.0;
        for (const Case &c : cases) {
            std::vector<int32_t> held = heldFrom(c.from, c.every, n, x);
            if (c.shift != 0.0) A.shiftDiagonal(c.shift, n);
            if (c.refactor) {
                ASSERT_TRUE(A.factorize());
            }
            shift += c.shift;
            double cost = A.heldRowsCost(held.data(), static_cast<int>(held.size()));
            if (c.from == 41 && shift == 0.0) {
                A.shiftDiagonal(0.0, n); // forgets every factor
                double fresh = A.heldRowsCost(held.data(), static_cast<int>(held.size()));
                EXPECT_LT(cost, fresh) << "the joint rows' factor is reused";
                ASSERT_TRUE(A.factorize());
                A.heldRowsCost(held.data(), static_cast<int>(held.size()));
            }
            ASSERT_TRUE(A.solveHeldRows(x.data(), q.data(), n, storage.data()));
            A.multiply(x.data(), Ax.data()); // the unshifted matrix
            size_t next = 0;
            for (int i = 0; i < n; ++i) {
                if (next < held.size() && held[next] == i) {
                    EXPECT_EQ(x[i], 0.1 * cos(1.0 + i)) << "held row " << i;
                    ++next;
                    continue;
                }
                EXPECT_NEAR(Ax[i] + shift * x[i], q[i], 1e-9)
                    << "free row " << i << ", held from " << c.from << ", scheme " << which;
            }
        }
        A.destroy();
    }
}

} // namespace
