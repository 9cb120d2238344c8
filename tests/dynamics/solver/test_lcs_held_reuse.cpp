// Held-row solves reuse what factor they can: the whole matrix's leading
// rows when every row before the first held one is free, or the rows of
// their own last factor when the free set changes late. Whatever they
// reuse, the free rows must solve A_FF x_F = q_F - A_FH x_H; the check is
// the residual A x - q, formed by products that never touch a factor.
#include <gtest/gtest.h>

#include <math.h>

#include <algorithm>

#include "test_lcs_support.h"

using namespace lcs;
using namespace lcstest;

namespace {

// A hinge chain with a ground contact under every link, in the packing
// order: 5 joint rows a link, then 3 contact rows a link.
Packed ChainOnGround()
{
    std::vector<RbdLcsBody> bodies;
    std::vector<Joint> joints;
    RowList rows(120);
    makeHingeChain(8, bodies, joints);
    buildJointRows(rows, bodies, joints);
    for (int b = 0; b < 8; ++b) addContactRows(rows, bodies, Contact{{b, -1}, {0.3, -0.05, 0.0}, {0, 1, 0}, 1});
    return Packed(rows, bodies);
}

// Solves the free rows with the held ones at x, and puts A x in Ax.
// Returns whether a border was cheaper than factoring the free rows anew
// (1 or 0), or -1 if the solve failed.
int solveWithHeld(LCPMatrix &A, const std::vector<int> &isHeld, std::vector<PxReal> &x, const std::vector<PxReal> &q,
                  std::vector<PxReal> &storage, std::vector<PxReal> &Ax)
{
    const int n = static_cast<int>(isHeld.size());
    std::vector<int32_t> held;
    for (int i = 0; i < n; ++i)
        if (isHeld[i]) held.push_back(i);
    const int m = static_cast<int>(held.size());
    A.allowHeldBorder(0.0);
    const double refactor = A.heldRowsCost(held.data(), m);
    A.allowHeldBorder(1e-12);
    const int border = A.heldRowsCost(held.data(), m) < refactor;
    if (!A.solveHeldRows(x.data(), q.data(), n, storage.data())) return -1;
    A.multiply(x.data(), Ax.data());
    return border;
}

TEST(LcsHeldReuse, HeldSolvesStayExactWhicheverFactorRowsTheyReuse)
{
    const Packed packed = ChainOnGround();
    const int n = packed.n, np = packed.np;
    // Held rows from `from` on, every `every`-th, as a pivoting solve meets
    // them: contact rows only (the joint rows before them come from the whole
    // factor), one that frees a later row (its own last factor serves), one
    // from the first rows, and the first again on a shifted diagonal, before
    // and after its refactor.
    const int from[] = {41, 44, 2, 41, 41}, every[] = {3, 3, 5, 3, 3};
    for (int which = 0; which < kLinearSolverCount; ++which) {
        Formed formed(packed, which, false);
        ASSERT_TRUE(formed.ok);
        LCPMatrix &A = *formed.A;
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

// A pivoting solve's single pivots turn one row held or free at a time;
// the kept factor then serves with a border of the changed rows. Every
// solve must still satisfy the free rows' equations, bordered or not. In
// the first run random rows come and go (back to their first state too)
// and held values move to their other bound. In the second, a closing
// hand's, the same few rows go in and out of the held set many times while
// one factor stands: more rows pass through the border than it has slots,
// so their columns and the couplings between new rows are given up and
// found again (kept, or solved anew), while one row stays changed
// throughout.
TEST(LcsHeldReuse, BorderedSolvesStayExactAsRowsTurnHeldAndFree)
{
    const Packed packed = ChainOnGround();
    const int n = packed.n, np = packed.np;
    for (const bool hand : {false, true})
        for (int which = 0; which < kLinearSolverCount; ++which) {
            Formed formed(packed, which, false);
            ASSERT_TRUE(formed.ok);
            LCPMatrix &A = *formed.A;
            std::vector<PxReal> storage(static_cast<size_t>(np) * np), q(np, 0.0), x(np, 0.0), Ax(np);
            std::vector<int> isHeld(n, 0), changed;
            for (int i = 0; i < n; ++i) {
                q[i] = sin(0.7 * i), x[i] = 0.05 * cos(1.0 + i);
                isHeld[i] = hand ? i == 2 || (i >= 40 && i % 3 == 0) : i >= 41 && i % 3 == 2;
            }
            unsigned seed = (hand ? 777u : 12345u) + which;
            int bordered = 0;
            for (int step = 0; step < (hand ? 300 : 40); ++step) {
                seed = seed * 1103515245u + 12345u;
                int row = static_cast<int>((seed >> 8) % static_cast<unsigned>(n));
                if (!hand && step > 0 && step % 9 == 0) {
                    while (!isHeld[row]) row = (row + 1) % n;
                    x[row] = -x[row]; // a held row to its other bound
                } else if (!hand && step > 0) {
                    isHeld[row] = !isHeld[row], x[row] = 0.05 * cos(1.0 + row);
                } else if (hand) {
                    // Row 2 turns free and stays so; another row turns (or
                    // turns back), and past six turned rows the oldest turns back.
                    row = step == 1 ? 2 : 3 + static_cast<int>((seed >> 8) % static_cast<unsigned>(n - 3));
                    auto at = std::find(changed.begin(), changed.end(), row);
                    if (step > 1 && at == changed.end() && changed.size() == 6) at = changed.begin(), row = *at;
                    if (step > 1 && at != changed.end())
                        changed.erase(at);
                    else if (step > 1)
                        changed.push_back(row);
                    if (step > 0) isHeld[row] = !isHeld[row];
                    if (isHeld[row]) x[row] = 0.05 * cos(1.0 + row + step); // held at a new value
                }
                const int border = solveWithHeld(A, isHeld, x, q, storage, Ax);
                ASSERT_GE(border, 0);
                bordered += border;
                for (int i = 0; i < n; ++i) { // the hand's to rounding
                    PxReal scale = hand ? fabs(q[i]) : 1.0;
                    for (int j = 0; j < n && hand; ++j) scale += fabs(A.getElement(i, j) * x[j]);
                    ASSERT_TRUE(isHeld[i] || fabs(Ax[i] - q[i]) < 1e-8 * scale)
                        << "row " << i << " off by " << Ax[i] - q[i] << " of " << scale << " at step " << step
                        << ", scheme " << which << (hand ? ", the hand's run" : "");
                }
            }
            EXPECT_GT(bordered, hand ? 250 : 20) << "scheme " << which;
        }
}

} // namespace
