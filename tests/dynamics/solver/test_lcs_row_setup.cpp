// J M^-1 and the right-hand side, taken a whole tile at a time where a
// tile's rows share their bodies, are bit for bit those of one row at a time.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

TEST(LcsRowSetup, TiledRowsAreBitForBitThoseOfOneRowAtATime)
{
    // Triplets per constraint: rows, side 0, side 1 (-1 the world). Runs of one pair
    // start and end inside tiles, tiles mix pairs, the world takes either
    // side of whole tiles, and the last tile is padded.
    const std::vector<int> triplets = {3,  0, 1, 3, 0, 1, 3, 1, 2,  3, 1, 2, 3, 2, -1, 3, 2, -1, 3, 2, -1, 1, 0,
                                       -1, 6, 0, 1, 2, 0, 1, 7, -1, 2, 3, 1, 2, 1, 2,  0, 1, 0,  1, 1, 0,  2};
    auto u = [rng = std::mt19937(7)]() mutable { return std::uniform_real_distribution<PxReal>(-1.0, 1.0)(rng); };
    RbdLcsParameters p = {};
    p.stepsize = 0.01, p.gamma = 0.2, p.maxCorrectingVelocity = 0.3, p.maxCorrectingRate = 10.0;
    std::vector<int32_t> firstRow, counts, pairs;
    int n = 0;
    for (size_t k = 0; k < triplets.size(); k += 3, n += triplets[k - 3])
        firstRow.push_back(n), counts.push_back(triplets[k]),
            pairs.insert(pairs.end(), {triplets[k + 1], triplets[k + 2]});
    const int np = (n + 3) / 4 * 4;
    std::vector<PxReal> J(np / 4 * kTileSize), JM(J.size(), 7.0), rhs(np, 7.0), c(n), f(n), g(n);
    std::vector<int32_t> kind(n); // joint rows: their correction is clamped
    for (PxReal &v : J) v = u();
    for (int i = 0; i < n; ++i) c[i] = u(), f[i] = u();
    BodyInverseMass m[3];
    RbdLcsBody body[3] = {}, *bodies[3] = {&body[0], &body[1], &body[2]};
    BodyLoad load[3];
    for (int b = 0; b < 3; ++b) {
        m[b].invMass = 1.0 + u() * u();
        for (int k = 0; k < 9; ++k) m[b].invInertia[k / 3][k % 3] = m[b].invInertia[k % 3][k / 3] = u();
        for (PxReal *v : {body[b].linearVelocity, body[b].angularVelocity, load[b].force, load[b].torque})
            v[0] = u(), v[1] = u(), v[2] = u();
    }
    PartitionRows rows = {};
    rows.layout = {int32_t(counts.size()), n, np, firstRow.data(), counts.data(), pairs.data()};
    rows.J = J.data(), rows.phi = f.data(), rows.c = c.data(), rows.rowGamma = g.data(),
    rows.correction = kind.data();
    BaseFunctions().multiplyJacobianAndInverseMatrix(rows, m, JM.data());
    BaseFunctions().computeRhs(rows, bodies, JM.data(), load, p, rhs.data());
    for (size_t con = 0; con < counts.size(); ++con)
        for (int i = firstRow[con]; i < firstRow[con] + counts[con]; ++i) {
            PxReal value = c[i] - correctingVelocity(rows, i, p);
            for (int side = 0; side < 2; ++side) {
                const int b = pairs[2 * con + side];
                auto at = [&](const std::vector<PxReal> &t, int col) { return t[tileIndex(i, 6 * side + col)]; };
                for (int k = 0; k < 3; ++k) {
                    PxReal angular = 0.0;
                    for (int l = 0; l < 3 && b >= 0; ++l) angular += m[b].invInertia[k][l] * at(J, 3 + l);
                    EXPECT_TRUE(at(JM, k) == (b < 0 ? 0.0 : m[b].invMass * at(J, k)) && at(JM, 3 + k) == angular);
                    if (b < 0) continue;
                    value -= at(J, k) * body[b].linearVelocity[k] + at(J, 3 + k) * body[b].angularVelocity[k];
                    value -= p.stepsize * (at(JM, k) * load[b].force[k] + at(JM, 3 + k) * load[b].torque[k]);
                }
            }
            EXPECT_EQ(rhs[i], value) << "row " << i;
        }
}
