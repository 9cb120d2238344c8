// A lower bound on every pivot of the whole factor, from the Jacobian alone,
// so that an island whose pivots all clear the dependent-row filter need not
// form a factor it would read only for them.
//
// Write A = G + D, G = J M^-1 J^T, D = diag(epsilon + rowEpsilon / h), and
// let a_k be row k of J M^-1/2 (zero off its two bodies). Whatever rows B
// come before row i in the elimination order, its pivot squared is the
// Schur complement
//     s_i = min over c of (e_i - c)^T A (e_i - c),  c on the rows B,
//         = D_i + min over c of |a_i - sum_k c_k a_k|^2 + sum_k D_k c_k^2.
// Only the part of each a_k on row i's bodies can cancel a_i, and that
// minimum is a_i^T (I + S)^-1 a_i for S = sum_k P a_k^T a_k P / D_k (P:
// onto row i's bodies), so it is at least |a_i|^2 / (1 + trace S):
//     s_i >= D_i + G_ii / (1 + Lambda_b0 + Lambda_b1),
//     Lambda_b = sum over the rows k on body b of J_kb M_b^-1 J_kb^T / D_k.
// Summed over the rows before row i alone, Lambda is smallest where the sum
// runs along the elimination order. A few multiply-adds a row in all.
#include <float.h>
#include <math.h>
#include <string.h>
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

namespace {

// J_ib M_b^-1 J_ib^T for side `side` of row i (J and J M^-1 in 4-row
// tiles); with merged, for both sides together, which act on one body.
PxReal sideDiagonal(const PxReal *JMinv, const PxReal *J, int i, int side, int merged)
{
    const PxReal *a = JMinv + tileIndex(i, 6 * side), *j = J + tileIndex(i, 6 * side);
    const PxReal *a1 = JMinv + tileIndex(i, 6), *j1 = J + tileIndex(i, 6);
    PxReal s = 0.0;
    for (int k = 0; k < 6; ++k) s += merged ? (a[4 * k] + a1[4 * k]) * (j[4 * k] + j1[4 * k]) : a[4 * k] * j[4 * k];
    return s;
}

// The bodies of constraint c's two sides (-1: none), the second -1 also
// when it is the first again.
void sideBodies(const ConstraintLayout *layout, int c, int body[2])
{
    body[0] = layout->bodies[2 * c];
    body[1] = layout->bodies[2 * c + 1] == body[0] ? -1 : layout->bodies[2 * c + 1];
}

// Rounding moves a pivot of the formed factor by a few n u A_ii at most:
// the bound is lowered by more than that, so that the pivot formed meets it.
const PxReal kRoundingMargin = 4.0;

} // namespace

void LCPMatrix::boundPivots(PxReal *out) const
{
    const ConstraintLayout *layout = kept_.map->layout;
    PxReal *lambda = kept_.bodyScratch;   // one per body
    PxReal *side = scratch_;              // (2 n) each row's two sides of G_ii
    int32_t *constraintOf = activeStart_; // (n) free between solves
    memset(lambda, 0, sizeof(PxReal) * static_cast<size_t>(kept_.map->bodyCount));
    for (int c = 0; c < layout->constraintCount; ++c) {
        int body[2];
        sideBodies(layout, c, body);
        const int merged = body[0] >= 0 && layout->bodies[2 * c + 1] == body[0];
        for (int r = 0; r < layout->rows[c]; ++r) {
            int i = layout->firstRow[c] + r;
            constraintOf[i] = c;
            for (int s = 0; s < 2; ++s)
                side[2 * i + s] = body[s] < 0 ? 0.0 : sideDiagonal(kept_.JMinv, kept_.J, i, s, merged);
        }
    }
    // Only the rows before row i in the order enter its pivot: the sums
    // over each body run along the order.
    for (int p = 0; p < n_; ++p) {
        int i = rowAt_[p];
        if (i >= layout->rowCount) {
            out[i] = 1.0; // padding rows: 1 on the diagonal
            continue;
        }
        int body[2];
        sideBodies(layout, constraintOf[i], body);
        PxReal d = epsilon_ + kept_.rowEpsilon[i] / h_, g = side[2 * i] + side[2 * i + 1];
        PxReal trace = 1.0 + (body[0] < 0 ? 0.0 : lambda[body[0]]) + (body[1] < 0 ? 0.0 : lambda[body[1]]);
        out[i] = d + g / trace - kRoundingMargin * n_ * DBL_EPSILON * (d + g);
        for (int s = 0; s < 2; ++s)
            if (body[s] >= 0) lambda[body[s]] += side[2 * i + s] / d;
    }
}

int LCPMatrix::deferFactor(PxReal threshold)
{
    if (!kept_.JMinv || !kept_.bodyScratch || diagonalShift_ != 0.0) return 0;
    PxReal *bound = pivot_;
    boundPivots(bound);
    const PxReal least = threshold * threshold;
    for (int i = 0; i < n_; ++i) {
        if (!(bound[i] >= least)) return 0; // a NaN fails too
        bound[i] = sqrt(bound[i]);
    }
    formedWritten_ = formedLent_;
    selectWholeFactor();
    clearInverse();
    pending_ = 0;
    wholeFactored_ = factorValid_ = wholeDeferred_ = 1;
    return 1;
}

int LCPMatrix::formDeferred()
{
    wholeDeferred_ = 0;
    wholeFactored_ = factor(nullptr);
    if (!wholeFactored_) {
        deferredFailed_ = 1;
        return 0;
    }
    for (int p = 0; p < n_; ++p) pivot_[rowAt_[p]] = factorDiagonal(p);
    return 1;
}

} // namespace lcs
