// A kept factor serves an island whose rows moved by less than its drift,
// in any order of equal constraints, and solves the freshly formed matrix's
// system; any other change (more drift, a NaN, softness, a body) forms anew.
#include <gtest/gtest.h>

#include <math.h>

#include <random>
#include <vector>

#include "solver/RbdLcsContext.h"
#include "solver/RbdLcsKeptFactor.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

namespace {

const PxReal kEps = 1e-6, kH = 0.01, kTol = 1e-3, kDelta = kKeptDriftOfTolerance * kTol;
const int kConstraints = 18, kRows = 3 * kConstraints, kPadded = (kRows + 3) & ~3, kBodies = 4;

// Three 3-row constraints on each of six pairs of bodies (or the world);
// J M^-1 is J times a diagonal M^-1.
struct Island {
    std::vector<int32_t> firstRow, rows = std::vector<int32_t>(kConstraints, 3), bodies;
    std::vector<PxReal> J = std::vector<PxReal>(kPadded / kTileRows * kTileSize, 0.0), JMinv;
    std::vector<PxReal> rowEps = std::vector<PxReal>(kPadded, 0.0);
    PxReal eps = kEps;
    Island()
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
struct Formed {
    std::vector<unsigned char> memory = std::vector<unsigned char>(1 << 20);
    PartitionRows rows = {};
    int form(Context &context, Island &s, int scheme, KeptFactor *kept)
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
        void (*change)(Island &);
        int scheme, served;
    };
    const Case cases[] = {
        {"unchanged", [](Island &) {}, 0, 1},
        // Entries lie in [-1, 1]: a row's largest is at least this one, at most 1.
        {"half the drift", [](Island &s) { s.J[tileIndex(4, 2)] *= 1.0 + 0.5 * kDelta; }, 0, 1},
        {"twice the drift", [](Island &s) { s.J[tileIndex(4, 2)] += 2.0 * kDelta; }, 0, 0},
        // J M^-1's entries lie in [-6, 6].
        {"J M^-1 moved", [](Island &s) { s.JMinv[tileIndex(7, 9)] += 7.0 * kDelta; }, 0, 0},
        {"a NaN", [](Island &s) { s.J[tileIndex(0, 0)] = NAN; }, 0, 0},
        {"equal constraints swapped", [](Island &s) { swapConstraints(s, 1, 2), swapConstraints(s, 4, 5); }, 0, 1},
        {"softness", [](Island &s) { s.eps = 2e-6; }, 0, 0},
        {"row softness", [](Island &s) { s.rowEps[5] = 1e-9; }, 0, 0},
        {"another body", [](Island &s) { s.bodies[9] = 3; }, 0, 0},
        {"row by row", [](Island &s) { swapConstraints(s, 1, 2); }, 1, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Island s;
        Context context;
        KeptFactor kept;
        Formed first, again, fresh; // each its own workspace
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
