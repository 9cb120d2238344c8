// Forming J M^-1 J^T: the route through a body's gathered rows gives the
// very matrix the route straight from the tiles gives (bit for bit), and
// both agree with a dense product formed independently, on random islands
// with crowded bodies (more rows than the gathered table holds), world
// ends, and constraints with both ends on one body.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "solver/RbdLcsAssemble.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

namespace {

typedef std::vector<int32_t> Ints;
typedef std::vector<PxReal> Reals;

struct Island {
    int bodyCount = 0, n = 0;
    Ints rows, bodies, firstRow, position;
    Reals JMinv, J; // 4-row tiles
};

// constraints of 1-6 rows; side 1 is the world with probability 1/4 and the
// side-0 body itself with probability `selfShare`; rows land in a shuffled
// order of positions.
Island randomIsland(std::mt19937 &rng, int bodyCount, int constraints, double selfShare)
{
    Island s;
    s.bodyCount = bodyCount;
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0), unit(0.0, 1.0);
    for (int c = 0; c < constraints; ++c) {
        int a = static_cast<int>(rng() % bodyCount), b = static_cast<int>(rng() % bodyCount);
        if (unit(rng) < 0.25) b = -1;
        if (unit(rng) < selfShare) b = a;
        s.rows.push_back(1 + static_cast<int>(rng() % 6));
        s.bodies.insert(s.bodies.end(), {a, b});
        s.firstRow.push_back(std::exchange(s.n, s.n + s.rows.back()));
    }
    // Each body's M^-1: a symmetric 6 x 6 matrix (definiteness does not matter here).
    std::vector<Reals> Minv(bodyCount, Reals(36));
    for (Reals &m : Minv)
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c <= r; ++c) m[6 * r + c] = m[6 * c + r] = u(rng);
    int padded = (s.n + 3) & ~3;
    s.JMinv.assign(kTileSize * padded / kTileRows, 0.0);
    s.J = s.JMinv;
    for (int c = 0; c < constraints; ++c)
        for (int i = s.firstRow[c]; i < s.firstRow[c] + s.rows[c]; ++i)
            for (int side = 0; side < 2; ++side) {
                int body = s.bodies[2 * c + side];
                if (body < 0) continue;
                for (int k = 0; k < 6; ++k) s.J[tileIndex(i, 6 * side + k)] = u(rng);
                for (int k = 0; k < 6; ++k)
                    for (int m = 0; m < 6; ++m)
                        s.JMinv[tileIndex(i, 6 * side + k)] += s.J[tileIndex(i, 6 * side + m)] *
                                                               Minv[body][6 * m + k];
            }
    for (int i = 0; i < s.n; ++i) s.position.push_back(i);
    std::shuffle(s.position.begin(), s.position.end(), rng);
    return s;
}

// The island's matrix formed by assemble(map, store, rowOf, colOf) into a
// dense n x n array, row-major by positions; the part above the diagonal
// must stay untouched.
template <typename Assemble> Reals form(Island &s, Assemble assemble)
{
    ConstraintLayout layout = {
        static_cast<int32_t>(s.rows.size()), s.n, (s.n + 3) & ~3, s.firstRow.data(), s.rows.data(), s.bodies.data()};
    std::vector<unsigned char> memory(RbdSparseMatrixMapMemoryRequired(s.bodyCount, s.n) + 256);
    MemoryPool pool;
    pool.init(memory.data(), memory.size());
    SparseMatrixMap *map = RbdSparseMatrixMapCreate(pool, s.bodyCount, &layout);
    EXPECT_NE(map, nullptr);
    RbdSparseMatrixMapBuild(map);
    Reals A(static_cast<size_t>(s.n) * s.n, 0.0);
    const ptrdiff_t n = s.n;
    assemble(
        map, A.data(), [n](int p) { return p * n; }, [](int q) { return static_cast<ptrdiff_t>(q); });
    for (int p = 0; p < s.n; ++p)
        for (int q = p + 1; q < s.n; ++q) EXPECT_EQ(A[static_cast<size_t>(p) * s.n + q], 0.0) << p << " " << q;
    return A;
}

// Row i of J on a body's six columns, dotted with row j of J M^-1, summed
// over the bodies the two rows share (a row with both sides on one body
// counts both sides).
PxReal denseElement(const Island &s, int i, int j, int ci, int cj)
{
    PxReal v = 0.0;
    for (int si = 0; si < 2; ++si)
        for (int sj = 0; sj < 2; ++sj) {
            int bi = s.bodies[2 * ci + si], bj = s.bodies[2 * cj + sj];
            if (bi < 0 || bi != bj) continue;
            for (int k = 0; k < 6; ++k) v += s.JMinv[tileIndex(i, 6 * si + k)] * s.J[tileIndex(j, 6 * sj + k)];
        }
    return v;
}

TEST(LcsAssemble, GatheredRowsFormTheMatrixOfTheTilesBitForBitAndTheDenseProduct)
{
    std::mt19937 rng(11);
    const struct {
        const char *what;
        int bodies, constraints;
        double selfShare;
    } cases[] = {
        {"a sparse island", 40, 60, 0.0},
        {"crowded bodies: more rows than the table holds", 3, 60, 0.0},
        {"constraints with both ends on one body", 12, 40, 0.2},
        {"one body", 1, 8, 0.0},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(k.what);
        for (int trial = 0; trial < 5; ++trial) {
            Island s = randomIsland(rng, k.bodies, k.constraints, k.selfShare);
            const int32_t *pos = s.position.data();
            Reals gathered = form(s, [&](const SparseMatrixMap *map, PxReal *store, auto rowOf, auto colOf) {
                assembleProducts(map, pos, s.JMinv.data(), s.J.data(), store, rowOf, colOf);
            });
            Reals tiles = form(s, [&](const SparseMatrixMap *map, PxReal *store, auto rowOf, auto colOf) {
                for (int body = 0; body < map->bodyCount; ++body)
                    assembleBodyTiles(map, pos, s.JMinv.data(), s.J.data(), body, store, rowOf, colOf);
            });
            ASSERT_EQ(gathered.size(), tiles.size());
            EXPECT_TRUE(std::equal(gathered.begin(), gathered.end(), tiles.begin(),
                                   [](PxReal x, PxReal y) { return std::memcmp(&x, &y, sizeof x) == 0; }));
            // Independent truth: (p, q) = sum over shared bodies of J_i M^-1 J_j^T,
            // which rounding aside does not care which row is on the M^-1 side.
            for (int ci = 0; ci < static_cast<int>(s.rows.size()); ++ci)
                for (int cj = 0; cj < static_cast<int>(s.rows.size()); ++cj)
                    for (int ri = 0; ri < s.rows[ci]; ++ri)
                        for (int rj = 0; rj < s.rows[cj]; ++rj) {
                            int i = s.firstRow[ci] + ri, j = s.firstRow[cj] + rj;
                            if (pos[i] < pos[j]) continue;
                            PxReal expected = denseElement(s, i, j, ci, cj);
                            PxReal got = gathered[static_cast<size_t>(pos[i]) * s.n + pos[j]];
                            ASSERT_NEAR(got, expected, 1e-12 * (1.0 + std::fabs(expected))) << i << " " << j;
                        }
        }
    }
}

} // namespace
