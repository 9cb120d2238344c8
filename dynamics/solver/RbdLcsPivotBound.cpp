// A lower bound on every pivot of the whole factor, from A without a factor,
// so that an island whose pivots all clear the dependent-row filter need not
// form a factor it would read only for them.
//
// Write A = G + D, G = J M^-1 J^T, D = diag(epsilon + rowEpsilon / h), and
// let a_k be row k of J M^-1/2. With B the rows before row i in the
// elimination order (b_k = a_k their columns), row i's pivot squared is the
// Schur complement
//     s_i = min over c of (e_i - c)^T A (e_i - c),  c on the rows B,
//         = D_i + min over c of |a_i - B c|^2 + c^T D_B c
//         = D_i + a_i^T M^-1 a_i,  M = I + B D_B^-1 B^T.
// By Cauchy-Schwarz, (a^T a)^2 <= (a^T M a)(a^T M^-1 a), and a_i^T b_k =
// A_ik off the diagonal, so
//     s_i >= D_i + G_ii^2 / (G_ii + sum over k in B of A_ik^2 / D_k),
// which is the pivot itself when a single row before row i is coupled to
// it, and costs one pass over the stored rows of A.
#include <float.h>
#include <math.h>
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSparseMap.h"

namespace lcs {

namespace {

// Rounding moves a pivot of the formed factor by a few n u A_ii at most:
// the bound is lowered by more than that, so that the pivot formed meets it.
const PxReal kRoundingMargin = 4.0;

} // namespace

void LCPMatrix::boundPivots(PxReal *out) const
{
    const int rows = kept_.map->layout->rowCount;
    // D_i; padding rows have 1 on the diagonal and nothing else.
    auto softness = [this, rows](int i) { return i < rows ? epsilon_ + kept_.rowEpsilon[i] / h_ : 1.0; };
    PxReal *inverse = scratch_, *squares = scratch_ + n_; // by position
    for (int p = 0; p < n_; ++p) inverse[p] = 1.0 / softness(rowAt_[p]);
    leadingSquares(inverse, squares);
    diagonalAt(inverse); // A_ii, by position
    for (int p = 0; p < n_; ++p) {
        int i = rowAt_[p];
        PxReal d = softness(i), a = inverse[p], g = a - d;
        // A row without Jacobian (g 0 but for rounding) keeps d alone.
        PxReal s = d + (g > 0.0 ? g * g / (g + squares[p]) : 0.0);
        out[i] = s - kRoundingMargin * n_ * DBL_EPSILON * a;
    }
}

int LCPMatrix::deferFactor(PxReal threshold)
{
    if (!kept_.JMinv || diagonalShift_ != 0.0) return 0;
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
    deferredFormed_ = 1;
    wholeFactored_ = factor(nullptr);
    if (!wholeFactored_) {
        deferredFailed_ = 1;
        return 0;
    }
    for (int p = 0; p < n_; ++p) pivot_[rowAt_[p]] = factorDiagonal(p);
    return 1;
}

} // namespace lcs
