// Fixed rows left out of the whole matrix's factor by a correction of its
// solves. A contact that pushed nothing in the first solve of a step has
// friction bounds of zero in the second, and its friction rows are fixed;
// there are usually only a few of them, and a compact factor without them
// costs as much as the whole factorisation again (more, with gathering its
// tiles). With B = A^-1 and X the fixed rows, the inverse of A_FF is the
// Schur complement of B_XX in B:
//   (A_FF)^-1 = B_FF - B_FX (B_XX)^-1 B_XF,
// so a solve over the free rows is a whole solve of (x_F, 0) followed by a
// correction through the columns of B on X, kept from one solve to the next
// while the whole factor stands.
#include <string.h>
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsSolver.h"

namespace lcs {

namespace {

// Condition of A past which fixed rows are factored out rather than
// corrected for: the correction then loses some 1e-8 of a solve's size. A
// softness epsilon keeps A's condition near |A| / epsilon (1e6 to 1e7 for
// stacked 1 kg boxes at epsilon = 1e-6).
const PxReal kMaxCondition = 1e8;

} // namespace

double LCPMatrix::correctionCost(const int32_t *state, int count) const
{
    // A column of B costs two substitutions over the whole envelope, or a
    // copy when a kept factor's columns hold it or have room for it: a
    // resting island fixes the same rows step after step, so a column solved
    // once is read from then on.
    double correction = 0.0;
    int room = keptColumnRoomLeft();
    for (int row = 0; row < count; ++row) {
        if (!(state[row] & kLcpFixed)) continue;
        int kept = keptColumnHolds(row) || room-- > 0;
        correction += kept ? static_cast<double>(n_) : 2.0 * matrixElements();
    }
    return correction;
}

double LCPMatrix::compactCost(const ActiveRows &rows)
{
    // A compact row of width w costs w^2 / 2 to factor and w to gather.
    double compact = 0.0;
    for (int k = 0; k < rows.padded; ++k) {
        double w = k - rows.start[k] + 1;
        compact += 0.5 * w * w + w;
    }
    return compact;
}

double LCPMatrix::compactLeastCost(int fixed, int m) const
{
    // Each fixed row takes its row and its column out of the envelope, at
    // most 2 n elements; and the sum of w^2 over m rows is at least
    // (sum of w)^2 / m.
    double widths = envelopeElements_ - 2.0 * n_ * fixed;
    if (widths < m) widths = m;
    return widths * widths / (2.0 * m) + widths;
}

double LCPMatrix::inverseColumnsCost(const int32_t *rows, int count) const
{
    const bool lent = corrected_ && keptColumns_ && !formedWritten_;
    int missing = 0, kept = 0, room = lent ? keptColumnRoomLeft() : 0;
    for (int a = 0; a < count; ++a) {
        if (columnSolved_[rows[a]]) continue;
        if (lent && (keptColumnHolds(rows[a]) || room-- > 0))
            ++kept;
        else
            ++missing;
    }
    return missing * columnCost() + kept * (n_ + 2.0 * n_ * correctedCount_);
}

void LCPMatrix::selectCorrected(const int32_t *state, int count)
{
    // The whole factor's tables are in place when it is the one in use
    // (as allocate and a served kept factor leave it).
    if (compact_ || corrected_ || factorSize_ != n_)
        selectWholeFactor();
    else
        useWholeFactor();
    correctedCount_ = 0;
    for (int p = 0; p < n_; ++p) {
        int row = rowAt_[p];
        if (row >= count || !(state[row] & kLcpFixed)) continue;
        factorIndex_[row] = -1;
        correctedRow_[correctedCount_++] = row;
    }
    corrected_ = 1;
    pending_ = 1;
    factorValid_ = 0;
}

int LCPMatrix::formCorrection()
{
    const int k = correctedCount_;
    for (int a = 0; a < k; ++a) {
        PxReal *column = correctedColumns_ + static_cast<size_t>(a) * n_;
        solveUnitWhole(column, correctedRow_[a]);
        for (int b = 0; b < k; ++b) correctedFactor_[b * k + a] = column[correctedRow_[b]];
    }
    // A fixed row that depends on the others (what the degeneracy filter
    // fixes) makes B huge along it: A(x, x) B(x, x) bounds the condition of
    // A from below, and past kMaxCondition the whole factor's solves lose
    // the digits the correction would subtract. Those rows, and a B_XX not
    // positive definite in rounding, take the compact factor of the free
    // rows instead, formed now.
    bool wellPosed = true;
    for (int a = 0; a < k; ++a)
        wellPosed = wellPosed &&
                    correctedFactor_[a * k + a] * getElement(correctedRow_[a], correctedRow_[a]) <= kMaxCondition;
    if (wellPosed && factorDense(correctedFactor_, k)) return 1;
    int m = 0;
    for (int p = 0; p < n_; ++p)
        if (factorIndex_[rowAt_[p]] >= 0) activePosition_[m++] = p;
    selectCompact(compactRows(m));
    return 0;
}

void LCPMatrix::solveWhole(PxReal *x)
{
    if (identityOrder_) {
        forward(x, 0);
        backward(x);
        return;
    }
    PxReal *t = scratch_;
    for (int p = 0; p < n_; ++p) t[p] = x[rowAt_[p]];
    forward(t, 0);
    backward(t);
    for (int p = 0; p < n_; ++p) x[rowAt_[p]] = t[p];
}

int LCPMatrix::keptColumnSlot(int column) const
{
    if (!keptColumns_ || formedWritten_) return -1;
    int free = -1;
    for (int k = 0; k < keptColumnRoom_; ++k) {
        if (keptColumnRow_[k] == column) return k;
        if (free < 0 && keptColumnRow_[k] < 0) free = k;
    }
    return free;
}

int LCPMatrix::keptColumnHolds(int column) const
{
    int slot = keptColumnSlot(column);
    return slot >= 0 && keptColumnRow_[slot] == column;
}

int LCPMatrix::keptColumnRoomLeft() const
{
    int free = 0;
    if (!keptColumns_ || formedWritten_) return 0;
    for (int k = 0; k < keptColumnRoom_; ++k) free += keptColumnRow_[k] < 0;
    return free;
}

void LCPMatrix::solveUnitWhole(PxReal *x, int column)
{
    const size_t bytes = sizeof(PxReal) * static_cast<size_t>(n_);
    const int slot = keptColumnSlot(column);
    PxReal *kept = slot >= 0 ? keptColumns_ + static_cast<size_t>(slot) * static_cast<size_t>(n_) : nullptr;
    if (kept && keptColumnRow_[slot] == column) {
        memcpy(x, kept, bytes);
        return;
    }
    solveUnitWholeAnew(x, column);
    if (!kept) return;
    memcpy(kept, x, bytes);
    keptColumnRow_[slot] = column;
}

void LCPMatrix::solveUnitWholeAnew(PxReal *x, int column)
{
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    const int p = pos_[column];
    if (identityOrder_) {
        x[column] = 1.0;
        forward(x, column);
        backward(x);
        return;
    }
    solveUnitAt(x, p, n_, rowAt_);
}

void LCPMatrix::solveUnitAt(PxReal *x, int index, int size, const int32_t *rowOf)
{
    PxReal *t = scratch_;
    memset(t, 0, sizeof(PxReal) * static_cast<size_t>(size));
    t[index] = 1.0;
    forward(t, index);
    backward(t);
    for (int f = 0; f < size; ++f)
        if (rowOf[f] >= 0) x[rowOf[f]] = t[f];
}

void LCPMatrix::applyCorrection(PxReal *y) const
{
    const int k = correctedCount_;
    PxReal z[kMaxCorrectedRows];
    for (int a = 0; a < k; ++a) z[a] = y[correctedRow_[a]];
    solveDense(correctedFactor_, z, k);
    for (int a = 0; a < k; ++a) {
        const PxReal *column = correctedColumns_ + static_cast<size_t>(a) * n_;
        for (int i = 0; i < n_; ++i) y[i] -= column[i] * z[a];
    }
}

} // namespace lcs
