// The null space against an independent solver: LAPACK's singular value
// decomposition gives the rank of random 6 x m matrices (full rank and
// rank-deficient ones); the basis must annihilate the matrix and fill the
// rest of the column space. A small case checks the layout by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include <kelmar/GraspMap.h>
#include <kelmar/PxVector.h>

extern "C" void dgesdd_(const char *jobz, const int *m, const int *n, double *a, const int *lda, double *s, double *u,
                        const int *ldu, double *vt, const int *ldvt, double *work, const int *lwork, int *iwork,
                        int *info);

namespace {

const int kRows = 6;
const float kTolerance = 1e-5f; // float data: rounding leaves about 1e-6 after elimination

// Grasp maps of random contacts on a ball of radius 1 cm, with columns
// (f, r x f) for unit forces f: frictional contacts give three columns
// (two tangents and the normal), frictionless ones one. Four kinds, three
// of them rank-deficient by their geometry:
//   0  frictional contacts anywhere with any normals (rank min(6, m));
//   1  frictionless contacts whose normals pass through the centre (no
//      torques: rank <= 3);
//   2  frictional contacts on the x axis (no torque about it: rank <= 5);
//   3  frictional contacts all at (1, 0, 0) (rank <= 3).
// The lines and points lie on axes, so that their zeros are exact in floating
// point and the rank is not a matter of rounding.
struct RandomMap {
    std::vector<float> g; // 6 x columns, column by column
    int columns = 0;
};

void Unit(std::mt19937 &random, double v[3])
{
    std::normal_distribution<double> normal;
    do PxV3Set(v, normal(random), normal(random), normal(random));
    while (PxV3Length(v) < 1e-3);
    PxV3Scale(v, v, 1 / PxV3Length(v));
}

void AddColumn(RandomMap &m, const double r[3], const double f[3])
{
    double torque[3];
    PxV3Cross(torque, r, f);
    m.g.insert(m.g.end(),
               {float(f[0]), float(f[1]), float(f[2]), float(torque[0]), float(torque[1]), float(torque[2])});
    ++m.columns;
}

RandomMap RandomGraspMap(std::mt19937 &random, int kind, int contacts)
{
    RandomMap m;
    std::uniform_real_distribution<double> along(-1.0, 1.0);
    for (int c = 0; c < contacts && m.columns < 30; ++c) {
        double r[3], n[3], a[3], b[3], e[3] = {1, 0, 0};
        Unit(random, r);
        Unit(random, n);
        if (kind == 1) {
            PxV3Scale(n, r, -1);
            AddColumn(m, r, n);
            continue;
        }
        if (kind >= 2) PxV3Set(r, kind == 2 ? along(random) : 1, 0, 0);
        if (std::fabs(n[0]) > 0.9) PxV3Set(e, 0, 1, 0);
        PxV3Cross(a, n, e);
        PxV3Scale(a, a, 1 / PxV3Length(a));
        PxV3Cross(b, n, a);
        AddColumn(m, r, a);
        AddColumn(m, r, b);
        AddColumn(m, r, n);
    }
    return m;
}

// The largest |G n| over the basis vectors n, each scaled to unit length
// (a basis vector is 1 at its free column, so its length is arbitrary).
double LargestResidual(const std::vector<float> &g, const std::vector<float> &n, int columns, int nullity)
{
    auto N = [&](int j, int k) { return double(n[size_t(j * nullity + k)]); };
    double worst = 0;
    for (int k = 0; k < nullity; ++k) {
        double length = 0;
        for (int j = 0; j < columns; ++j) length += N(j, k) * N(j, k);
        for (int i = 0; i < kRows; ++i) {
            double sum = 0;
            for (int j = 0; j < columns; ++j) sum += double(g[size_t(j * kRows + i)]) * N(j, k);
            worst = std::max(worst, std::fabs(sum) / std::sqrt(length));
        }
    }
    return worst;
}

// The rank LAPACK's singular values give: those above 1e-4 of the largest;
// -1 when one lies between 1e-6 and 1e-2 of it, where a float matrix's rank
// is a matter of tolerance (the geometry's zeros are rounding, about 1e-7).
int LapackRank(const std::vector<float> &g, int columns)
{
    std::vector<double> a(g.begin(), g.end()), s(size_t(std::min(kRows, columns))), work(1000);
    std::vector<int> iwork(8 * s.size());
    int rows = kRows, lwork = int(work.size()), info = 0, one = 1, rank = 0;
    double unused = 0; // no singular vectors (jobz "N")
    dgesdd_("N", &rows, &columns, a.data(), &rows, s.data(), &unused, &one, &unused, &one, work.data(), &lwork,
            iwork.data(), &info);
    EXPECT_EQ(info, 0);
    for (double v : s) {
        if (v > 1e-6 * s[0] && v < 1e-2 * s[0]) return -1;
        if (v > 1e-4 * s[0]) ++rank;
    }
    return rank;
}

TEST(NullSpace, RandomGraspMapsAgreeWithLapack)
{
    std::mt19937 random(20261206);
    int deficient = 0, ambiguous = 0;
    for (int trial = 0; trial < 400; ++trial) {
        const int kind = trial % 4;
        RandomMap m = RandomGraspMap(random, kind, 1 + (trial / 4) % 30);
        const int columns = m.columns;
        std::vector<float> n = m.g;
        const int nullity = kelmar::Grasp::ComputeNullSpace(n, kRows, columns, kTolerance);
        const int expected = LapackRank(m.g, columns);
        if (expected < 0) {
            ++ambiguous;
            continue;
        }
        SCOPED_TRACE(testing::Message() << "trial " << trial << ", kind " << kind << ": " << columns
                                        << " columns of rank " << expected);
        if (expected < std::min(kRows, columns)) ++deficient;
        EXPECT_EQ(columns - nullity, expected);
        ASSERT_EQ(n.size(), static_cast<size_t>(columns * nullity));
        EXPECT_LT(LargestResidual(m.g, n, columns, nullity), 1e-5);
        // The basis is independent: read column by column, the stored
        // vectors form the nullity x columns matrix N^T, whose rank must be nullity.
        if (nullity > 0) {
            std::vector<float> basis = n;
            EXPECT_EQ(kelmar::Grasp::ComputeNullSpace(basis, nullity, columns, kTolerance), columns - nullity);
        }
    }
    EXPECT_GT(deficient, 250); // kinds 1 to 3 are rank-deficient by their geometry
    EXPECT_LT(ambiguous, 20);
}

// Small cases by hand: [1 2 3; 2 4 6] has rank 1 and the basis (-2, 1, 0),
// (-3, 0, 1), component j of vector k at j * 2 + k; entries up to the
// tolerance are zero, so a column of them is free; full rank leaves
// nothing; too little data is refused.
TEST(NullSpace, SmallMatricesByHand)
{
    const struct {
        std::vector<float> matrix;
        int rows, columns, nullity;
        std::vector<float> basis;
    } cases[] = {
        {{1, 2, 2, 4, 3, 6}, 2, 3, 2, {-2, -3, 1, 0, 0, 1}},
        {{1, 0, 1e-7f, 1e-7f, 0, 1}, 2, 3, 1, {0, 1, 0}},
        {{1, 0, 0, 1}, 2, 2, 0, {}},
        {{}, 6, 3, -1, {}},
    };
    for (const auto &c : cases) {
        std::vector<float> m = c.matrix;
        EXPECT_EQ(kelmar::Grasp::ComputeNullSpace(m, c.rows, c.columns, 1e-6f), c.nullity);
        ASSERT_EQ(m.size(), c.basis.size());
        for (size_t i = 0; i < m.size(); ++i) EXPECT_NEAR(m[i], c.basis[i], 1e-6) << i;
    }
}

} // namespace
