// J M^-1 and the right-hand side, taken a whole tile at a time where a
// tile's rows share their bodies, are bit for bit those of one row at a time.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "solver/RbdBcl.h"
#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsTiles.h"

using namespace lcs;

TEST(LcsRowSetup, TiledRowsAreBitForBitThoseOfOneRowAtATime)
{
    // Per constraint: rows, side 0, side 1 (-1 the world). Runs of one pair
    // start and end inside tiles, and tiles mix pairs.
    const std::vector<std::vector<int>> layouts = {{3, 0, 1, 3, 0, 1, 3, 1, 2, 3, 1, 2, 3, 2, -1, 3, 2, -1, 3, 2, -1},
                                                   {1, 0, -1, 6, 0, 1, 2, 0, 1, 7, -1, 2, 3, 1, 2, 1, 2, 0}};
    std::mt19937 rng(7);
    std::uniform_real_distribution<PxReal> u(-1.0, 1.0);
    RbdLcsParameters parameters = {};
    parameters.stepsize = 0.01, parameters.gamma = 0.2, parameters.maxCorrectingVelocity = 0.3;
    parameters.maxCorrectingRate = 10.0;
    for (const std::vector<int> &spec : layouts) {
        std::vector<int32_t> firstRow, counts, pairs;
        int n = 0;
        for (size_t k = 0; k < spec.size(); k += 3, n += spec[k - 3])
            firstRow.push_back(n), counts.push_back(spec[k]), pairs.insert(pairs.end(), {spec[k + 1], spec[k + 2]});
        const int np = (n + 3) / 4 * 4;
        std::vector<PxReal> J(np / 4 * kTileSize, 0.0), JMinv(J.size(), 7.0), rhs(np, 7.0), c(n), phi(n), gamma(n);
        std::vector<int32_t> correction(n);
        for (int i = 0; i < n; ++i)
            for (int col = 0; col < kTileColumns; ++col) J[tileIndex(i, col)] = u(rng);
        for (int i = 0; i < n; ++i)
            c[i] = u(rng), phi[i] = u(rng), correction[i] = i % 3, gamma[i] = i % 5 == 0 ? 0.1 : 0.0;
        BodyInverseMass invM[3];
        RbdLcsBody body[3] = {};
        RbdLcsBody *bodies[3] = {&body[0], &body[1], &body[2]};
        BodyLoad load[3];
        for (int b = 0; b < 3; ++b) {
            invM[b].invMass = 1.0 + u(rng) * u(rng);
            for (int k = 0; k < 9; ++k) invM[b].invInertia[k / 3][k % 3] = invM[b].invInertia[k % 3][k / 3] = u(rng);
            for (int k = 0; k < 3; ++k)
                body[b].linearVelocity[k] = u(rng), body[b].angularVelocity[k] = u(rng), load[b].force[k] = u(rng),
                load[b].torque[k] = u(rng);
        }
        PartitionRows rows = {};
        rows.layout = {static_cast<int32_t>(counts.size()), n, np, firstRow.data(), counts.data(), pairs.data()};
        rows.J = J.data(), rows.c = c.data(), rows.phi = phi.data(), rows.rowGamma = gamma.data();
        rows.correction = correction.data();
        BaseFunctions fn;
        fn.multiplyJacobianAndInverseMatrix(rows, invM, JMinv.data());
        fn.computeRhs(rows, bodies, JMinv.data(), load, parameters, rhs.data());
        for (int i = n; i < np; ++i) {
            EXPECT_EQ(rhs[i], 0.0);
            for (int col = 0; col < kTileColumns; ++col) EXPECT_EQ(JMinv[tileIndex(i, col)], 0.0);
        }
        for (size_t con = 0; con < counts.size(); ++con)
            for (int i = firstRow[con]; i < firstRow[con] + counts[con]; ++i) {
                PxReal value = c[i] - correctingVelocity(rows, i, parameters);
                for (int side = 0; side < 2; ++side) {
                    const int b = pairs[2 * con + side];
                    auto at = [&](const std::vector<PxReal> &m, int col) { return m[tileIndex(i, 6 * side + col)]; };
                    for (int k = 0; k < 3; ++k) {
                        PxReal angular = 0.0;
                        for (int l = 0; l < 3 && b >= 0; ++l) angular += invM[b].invInertia[k][l] * at(J, 3 + l);
                        EXPECT_EQ(at(JMinv, k), b < 0 ? 0.0 : invM[b].invMass * at(J, k)) << "row " << i;
                        EXPECT_EQ(at(JMinv, 3 + k), angular) << "row " << i;
                        if (b < 0) continue;
                        value -= at(J, k) * body[b].linearVelocity[k] + at(J, 3 + k) * body[b].angularVelocity[k];
                        value -= parameters.stepsize *
                                 (at(JMinv, k) * load[b].force[k] + at(JMinv, 3 + k) * load[b].torque[k]);
                    }
                }
                EXPECT_EQ(rhs[i], value) << "row " << i;
            }
    }
}
