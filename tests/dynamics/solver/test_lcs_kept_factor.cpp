// A kept factor serves an island whose rows moved by less than its drift,
// in any order of equal constraints, and solves the freshly formed matrix's
// system; any other change (more drift, a NaN, softness, a body) forms anew.
#include <gtest/gtest.h>

#include <math.h>

#include <functional>
#include <random>
#include <vector>

#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsKeptFactor.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

namespace {

const PxReal kEps = 1e-6, kH = 0.01, kTol = 1e-3, kDelta = kKeptDriftOfTolerance * kTol;

// Six 3-row constraints, two on each pair of bodies; J M^-1 = J M^-1 for a
// diagonal M^-1.
struct Island {
    std::vector<int32_t> firstRow{0, 3, 6, 9, 12, 15}, rows{3, 3, 3, 3, 3, 3};
    std::vector<int32_t> bodies{0, -1, 0, -1, 0, 1, 0, 1, 1, 2, 1, 2};
    std::vector<PxReal> J, JMinv, rowEps = std::vector<PxReal>(20, 0.0);
    PxReal eps = kEps;
    explicit Island(std::mt19937 &rng) : J(5 * kTileSize, 0.0)
    {
        std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
        for (int i = 0; i < 18; ++i)
            for (int col = 0; col < kTileColumns; ++col) J[tileIndex(i, col)] = u(rng);
        for (size_t e = 0; e < J.size(); ++e) JMinv.push_back((1.0 + e % kTileSize / kTileRows % 6) * J[e]);
    }
};

// Forms A over a fresh workspace for the island (kept: restores instead).
struct Formed {
    std::vector<unsigned char> memory = std::vector<unsigned char>(1 << 20);
    ConstraintLayout layout;
    PartitionRows rows = {};
    SparseMatrixMap *map = nullptr;
    int form(Context &context, Island &s, int scheme, KeptFactor *kept)
    {
        layout = {6, 18, 20, s.firstRow.data(), s.rows.data(), s.bodies.data()};
        rows.layout = layout;
        rows.J = s.J.data();
        rows.rowEpsilon = s.rowEps.data();
        context.pool().init(memory.data(), memory.size());
        map = RbdSparseMatrixMapCreate(context.pool(), 3, &rows.layout);
        RbdSparseMatrixMapBuild(map);
        LCPMatrix &A = context.matrix(scheme);
        if (!map || !A.allocate(20, map)) return -1;
        A.setSoftness(s.eps, kH);
        if (kept) return kept->restore(A, rows, s.JMinv.data(), s.eps, kH, kTol);
        A.calcJinvMJT(s.JMinv.data(), s.J.data(), s.rowEps.data(), map);
        return A.factorize();
    }
};

// Largest entry of row i of J.
PxReal rowScale(const Island &s, int i)
{
    PxReal m = 0.0;
    for (int col = 0; col < kTileColumns; ++col) m = fmax(m, fabs(s.J[tileIndex(i, col)]));
    return m;
}

void swapConstraints(Island &s, int a, int b)
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
        std::function<void(Island &)> change;
        int scheme, served;
    };
    const Case cases[] = {
        {"unchanged", [](Island &) {}, 0, 1},
        {"half the drift", [](Island &s) { s.J[tileIndex(4, 2)] += 0.5 * kDelta * rowScale(s, 4); }, 0, 1},
        {"twice the drift", [](Island &s) { s.J[tileIndex(4, 2)] += 2.0 * kDelta * rowScale(s, 4); }, 0, 0},
        {"J M^-1 moved", [](Island &s) { s.JMinv[tileIndex(7, 9)] *= 1.0 + 1e-6; }, 0, 0},
        {"a NaN", [](Island &s) { s.J[tileIndex(0, 0)] = NAN; }, 0, 0},
        {"equal constraints swapped", [](Island &s) { swapConstraints(s, 2, 3); }, 0, 1},
        {"two pairs swapped", [](Island &s) { swapConstraints(s, 0, 1), swapConstraints(s, 4, 5); }, 0, 1},
        {"softness", [](Island &s) { s.eps = 2e-6; }, 0, 0},
        {"row softness", [](Island &s) { s.rowEps[5] = 1e-9; }, 0, 0},
        {"another body", [](Island &s) { s.bodies[9] = 0; }, 0, 0},
        {"a scheme that keeps nothing", [](Island &) {}, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::mt19937 rng(3);
        Island s(rng);
        Context context;
        KeptFactor kept;
        Formed first, again, fresh;
        ASSERT_EQ(first.form(context, s, c.scheme, nullptr), 1);
        kept.keep(context.matrix(c.scheme), first.rows, s.JMinv.data(), s.eps, kH, kTol);
        c.change(s);
        ASSERT_EQ(again.form(context, s, c.scheme, &kept), c.served);
        if (!c.served) continue;
        // The kept factor solves the system of the matrix formed anew.
        LCPMatrix &A = context.matrix(0);
        std::vector<PxReal> b(20), x, Bx(20);
        for (PxReal &v : b) v = std::uniform_real_distribution<PxReal>(-1.0, 1.0)(rng);
        x = b;
        A.solve(x.data(), 1);
        Context other;
        ASSERT_EQ(fresh.form(other, s, 0, nullptr), 1);
        other.matrix(0).multiply(x.data(), Bx.data());
        PxReal largest = 0.0;
        for (PxReal v : x) largest = fmax(largest, fabs(v));
        for (int i = 0; i < 18; ++i) EXPECT_NEAR(Bx[i], b[i], 1e-8 * largest) << "row " << i;
        EXPECT_FALSE(A.formedWritten());
        A.shiftDiagonal(1e-3, 18); // as a recovery does: the copy is written
        EXPECT_TRUE(A.formedWritten());
    }
}

} // namespace
