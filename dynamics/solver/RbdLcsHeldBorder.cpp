// The bordered solve of an LCP subproblem: the kept factor of the free rows
// F0 of an earlier subproblem solves for free rows F that differ from F0
// in a few rows. A single pivot changes one row, so on a closing hand
// most subproblems differ from the last factored one in one to a few rows,
// where refactoring from the first changed row costs most of a factor.
//
// With A0 = A_F0F0 (factored), the rows D of F0 now held and the rows N new
// to F, x_F solves (a multiplier mu takes the place of D's equations)
//     A0 x0 + A_0N x_N + E_D mu = b_0
//     A_N0 x0 + A_NN x_N        = b_N
//     E_D^T x0                  = 0
// With u = A0^-1 b_0, W = A0^-1 A_0N and V = A0^-1 E_D (one solve a changed
// row, kept while the factor stands), x0 = u - W x_N - V mu and
//     [ A_NN - A_N0 W   -W_D^T ] [x_N]   [ b_N - A_N0 u ]
//     [ -W_D            -V_DD  ] [mu ] = [ -u_D          ]
// a quasi-definite system (positive definite block, negative definite
// block), factored as L D L^T without exchanges. Its first pivots are the
// new rows' pivots squared in a factor of A_FF, at least the softness; the
// held rows' are minus diagonals of inverses of principal submatrices of
// A, of magnitude 1 / A_dd at least. A pivot short of these (rounding)
// sends the subproblem back to refactoring, as do more than
// kMaxBorderRows changed rows, which bounds how far rounding can grow.
// u needs no solve of its own: b_0 differs from the right-hand side F0 was
// factored with, b_then, only through the rows that changed, so
//     u = A0^-1 b_then + W x_N(then) - E_D x_D     (A0^-1 A_0d = e_d)
// and a row held then and now at another value adds its column (as a new
// row's) times the difference.
#include <string.h>
#include "solver/RbdLcsMatrix.h"

namespace lcs {

namespace {

int paddedCount(int count)
{
    return (count + 3) & ~3;
}

} // namespace

PxReal *LCPMatrix::heldStorageBase() const
{
    return heldStorage_ + ((heldFactorReals() + 3) & ~static_cast<size_t>(3));
}

// Storage after the factor: kMaxBorderRows columns, u, A0^-1 b_then (each
// padded0 long), x as it was then (n_), and up to kMaxBorderBuffers -
// kMaxBorderRows more columns where they fit.
void LCPMatrix::keepBorderBase(const PxReal *x, const PxReal *z)
{
    borderBaseKept_ = 0;
    if (!(borderFloor_ > 0.0)) return; // islands that never border pay nothing more
    const int padded0 = paddedCount(heldFactoredCount_);
    size_t room = static_cast<size_t>(n_) * static_cast<size_t>(n_);
    size_t factor = static_cast<size_t>(heldStorageBase() - heldStorage_);
    size_t need = factor + static_cast<size_t>(kMaxBorderRows + 2) * padded0 + n_;
    if (need > room) return;
    borderBaseKept_ = 1;
    size_t more = padded0 > 0 ? (room - need) / static_cast<size_t>(padded0) : 0;
    borderBuffers_ = kMaxBorderRows + (more < kMaxBorderBuffers - kMaxBorderRows
                                           ? static_cast<int>(more)
                                           : kMaxBorderBuffers - kMaxBorderRows);
    for (int s = 0; s < kMaxBorderRows; ++s) borderSlotOwner_[s] = -1, borderSlotBuffer_[s] = s; // a new factor
    for (int b = 0; b < borderBuffers_; ++b) borderBufferOwner_[b] = -1;
    borderNextBuffer_ = 0;
    for (int s = 0; s < kMaxBorderRows * kMaxBorderRows; ++s) borderPairRows_[s] = -1;
    PxReal *base = heldStorageBase() + static_cast<size_t>(kMaxBorderRows + 1) * padded0;
    memcpy(base, z, sizeof(PxReal) * static_cast<size_t>(padded0));
    memcpy(base + padded0, x, sizeof(PxReal) * static_cast<size_t>(n_));
}

PxReal *LCPMatrix::borderBuffer(int b) const
{
    const size_t padded0 = static_cast<size_t>(paddedCount(heldFactoredCount_));
    if (b < kMaxBorderRows) return heldStorageBase() + b * padded0;
    return heldStorageBase() + (kMaxBorderRows + 2) * padded0 + static_cast<size_t>(n_) +
           static_cast<size_t>(b - kMaxBorderRows) * padded0;
}

double LCPMatrix::borderCost() const
{
    int missing = 0;
    for (int c = 0; c < borderCount_; ++c) {
        int kept = 0;
        for (int s = 0; s < kMaxBorderRows; ++s) kept |= borderSlotOwner_[s] == borderPosition_[c];
        missing += !kept;
    }
    // A missing column is a solve, which reads the factor twice; the
    // border's products and the update of x read some rows of A and the
    // kept columns.
    double k = borderCount_, m0 = heldFactoredCount_;
    return missing * 2.0 * static_cast<double>(heldFactorReals()) + k * (3.0 * m0 + n_) + k * k * k;
}

const PxReal *LCPMatrix::borderColumn(int p, int baseIndex, const PxReal **pivot, int *slotOf)
{
    const int m0 = heldFactoredCount_, padded0 = paddedCount(m0);
    int slot = -1;
    for (int s = 0; s < kMaxBorderRows; ++s)
        if (borderSlotOwner_[s] == p) {
            *slotOf = s;
            *pivot = borderBufferPivot_ + borderSlotBuffer_[s];
            return borderBuffer(borderSlotBuffer_[s]);
        }
    // A slot no changed row owns: there is one, as slots and changed rows are as many.
    for (int s = 0; s < kMaxBorderRows && slot < 0; ++s) {
        int owned = 0;
        for (int d = 0; d < borderCount_; ++d) owned |= borderSlotOwner_[s] == borderPosition_[d];
        if (!owned) slot = s;
    }
    // The slots decide which columns count as kept (borderCost); a column
    // a slot gave up may still stand in a buffer no slot uses, the same
    // reals as a new solve would give.
    int buffer = -1;
    for (int b = 0; b < borderBuffers_ && buffer < 0; ++b)
        if (borderBufferOwner_[b] == p) buffer = b;
    borderSlotOwner_[slot] = p;
    *slotOf = slot;
    if (buffer >= 0) {
        borderSlotBuffer_[slot] = buffer;
        *pivot = borderBufferPivot_ + buffer;
        return borderBuffer(buffer);
    }
    // Else the next buffer in turn that no other slot uses.
    for (buffer = borderNextBuffer_;; buffer = buffer + 1 < borderBuffers_ ? buffer + 1 : 0) {
        int used = 0;
        for (int s = 0; s < kMaxBorderRows; ++s)
            used |= s != slot && borderSlotOwner_[s] >= 0 && borderSlotBuffer_[s] == buffer;
        if (!used) break;
    }
    borderNextBuffer_ = buffer + 1 < borderBuffers_ ? buffer + 1 : 0;
    borderSlotBuffer_[slot] = buffer;
    PxReal *column = borderBuffer(buffer);
    memset(column, 0, sizeof(PxReal) * static_cast<size_t>(padded0));
    if (baseIndex >= 0) {
        column[baseIndex] = 1.0; // V: a column of A0^-1
    } else {
        // W: A0^-1 times the new row's column of A on F0 (the first half of the scratch only).
        PxReal *t = scratch_;
        memset(t, 0, sizeof(PxReal) * static_cast<size_t>(n_));
        axpyRow(p, 1.0, t);
        for (int k = 0; k < m0; ++k) column[k] = t[heldFactored_[k]];
    }
    solveHeld(column);
    borderBufferOwner_[buffer] = p;
    if (baseIndex < 0) {
        // t still holds A_0i by positions.
        PxReal pivot = getAt(p, p);
        for (int k = 0; k < m0; ++k) pivot -= scratch_[heldFactored_[k]] * column[k];
        borderBufferPivot_[buffer] = pivot;
    }
    *pivot = borderBufferPivot_ + buffer;
    return column;
}

int LCPMatrix::solveBorderSystem(PxReal *K, PxReal *r, const PxReal *heldLeast, int k, int inserted) const
{
    PxReal D[kMaxBorderRows];
    for (int j = 0; j < k; ++j) {
        PxReal *Kj = K + j * k;
        PxReal d = Kj[j];
        for (int m = 0; m < j; ++m) d -= Kj[m] * Kj[m] * D[m];
        if (j < inserted ? !(d >= borderFloor_) : !(-d >= heldLeast[j])) return 0;
        D[j] = d;
        for (int i = j + 1; i < k; ++i) {
            PxReal *Ki = K + i * k;
            PxReal s = Ki[j];
            for (int m = 0; m < j; ++m) s -= Ki[m] * Kj[m] * D[m];
            Ki[j] = s / d;
        }
    }
    for (int i = 0; i < k; ++i)
        for (int m = 0; m < i; ++m) r[i] -= K[i * k + m] * r[m];
    for (int i = 0; i < k; ++i) r[i] /= D[i];
    for (int i = k - 1; i >= 0; --i)
        for (int m = i + 1; m < k; ++m) r[i] -= K[m * k + i] * r[m];
    return 1;
}

int LCPMatrix::followHeldValues(const PxReal *x, const PxReal *xBase, PxReal *u)
{
    // A row held then and now, at its other bound (a motor or a friction
    // row from one limit to the other), moves u by A0^-1 A_0h times the
    // difference: a column as a new row's, in a slot the border leaves.
    const int m0 = heldFactoredCount_;
    for (int a = 0; a < heldCount_; ++a) {
        int row = held_[a], p = pos_[row], changed = 0;
        if (x[row] == xBase[row]) continue;
        for (int c = 0; c < borderCount_; ++c) changed |= borderPosition_[c] == p;
        if (changed) continue;
        if (borderCount_ == kMaxBorderRows) return 0;
        int slot;
        const PxReal *pivot, *column = borderColumn(p, -1, &pivot, &slot);
        const PxReal moved = x[row] - xBase[row];
        for (int i = 0; i < m0; ++i) u[i] -= moved * column[i];
    }
    return 1;
}

int LCPMatrix::solveBordered(PxReal *x, const PxReal *q, int qCount)
{
    const int m0 = heldFactoredCount_, padded0 = paddedCount(m0), k = borderCount_;
    PxReal *u = heldStorageBase() + static_cast<size_t>(kMaxBorderRows) * padded0;
    const PxReal *uBase = u + padded0, *xBase = uBase + padded0;
    // The new rows first, then the held ones.
    int order[kMaxBorderRows], inserted = 0, at = 0;
    for (int c = 0; c < k; ++c)
        if (borderBaseIndex_[c] < 0) order[inserted++] = c;
    at = inserted;
    for (int c = 0; c < k; ++c)
        if (borderBaseIndex_[c] >= 0) order[at++] = c;
    const PxReal *column[kMaxBorderRows], *pivot[kMaxBorderRows];
    int slot[kMaxBorderRows];
    for (int a = 0; a < k; ++a) {
        int c = order[a];
        column[a] = borderColumn(borderPosition_[c], borderBaseIndex_[c], &pivot[a], &slot[a]);
    }
    memcpy(u, uBase, sizeof(PxReal) * static_cast<size_t>(padded0));
    for (int a = 0; a < inserted; ++a) {
        const PxReal was = xBase[rowAt_[borderPosition_[order[a]]]];
        for (int i = 0; i < m0; ++i) u[i] += was * column[a][i];
    }
    for (int a = inserted; a < k; ++a) u[borderBaseIndex_[order[a]]] -= x[rowAt_[borderPosition_[order[a]]]];
    if (!followHeldValues(x, xBase, u)) return 0;
    // r_N = q_N - A_NH x_H - A_N0 u: x_H and u side by side by positions
    // (added on the rows of F0 now held, which both have).
    PxReal *t = scratch_;
    memset(t, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    for (int a = 0; a < heldCount_; ++a) t[pos_[held_[a]]] = x[held_[a]];
    for (int i = 0; i < m0; ++i) t[heldFactored_[i]] += u[i];
    PxReal K[kMaxBorderRows * kMaxBorderRows], r[kMaxBorderRows], least[kMaxBorderRows] = {};
    for (int a = 0; a < inserted; ++a) {
        int p = borderPosition_[order[a]], row = rowAt_[p];
        r[a] = (row < qCount ? q[row] : 0.0) - dotRow(p, t);
        K[a * k + a] = *pivot[a];
    }
    // Between two new rows: A_ab - A_a0 W_b, with W_b scattered by positions.
    // Both depend on the kept factor alone, so an entry is kept by the
    // pair of slots while they hold the same two rows' columns: a closing
    // hand's new rows stay in the border for pivot after pivot.
    for (int b = 0; b + 1 < inserted; ++b) {
        int pb = borderPosition_[order[b]], scattered = 0;
        for (int a = b + 1; a < inserted; ++a) {
            int pa = borderPosition_[order[a]];
            const int pair = slot[a] * kMaxBorderRows + slot[b];
            if (borderPairRows_[pair] != pa * n_ + pb) {
                if (!scattered) {
                    memset(t, 0, sizeof(PxReal) * static_cast<size_t>(n_));
                    for (int i = 0; i < m0; ++i) t[heldFactored_[i]] = column[b][i];
                    scattered = 1;
                }
                PxReal Aab = pa >= pb ? getAt(pa, pb) : getAt(pb, pa);
                borderPair_[pair] = Aab - dotRow(pa, t);
                borderPairRows_[pair] = pa * n_ + pb;
            }
            K[a * k + b] = borderPair_[pair];
        }
    }
    for (int a = inserted; a < k; ++a) {
        int d = borderBaseIndex_[order[a]], p = borderPosition_[order[a]];
        for (int b = 0; b <= a; ++b) K[a * k + b] = -column[b][d];
        r[a] = -u[d];
        least[a] = 0.5 / getAt(p, p);
    }
    if (!solveBorderSystem(K, r, least, k, inserted)) return 0;
    for (int a = 0; a < k; ++a)
        for (int i = 0; i < m0; ++i) u[i] -= r[a] * column[a][i];
    // The held rows keep the values they are held at.
    PxReal kept[kMaxBorderRows];
    for (int a = inserted; a < k; ++a) kept[a] = x[rowAt_[borderPosition_[order[a]]]];
    for (int row = 0; row < n_; ++row)
        if (factorIndex_[row] < 0) x[row] = 0.0;
    for (int i = 0; i < m0; ++i) x[rowAt_[heldFactored_[i]]] = u[i];
    for (int a = 0; a < inserted; ++a) x[rowAt_[borderPosition_[order[a]]]] = r[a];
    for (int a = inserted; a < k; ++a) x[rowAt_[borderPosition_[order[a]]]] = kept[a];
    return 1;
}

} // namespace lcs
