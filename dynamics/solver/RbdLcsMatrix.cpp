#include "solver/RbdLcsMatrix.h"

#include <math.h>
#include <string.h>
#include "solver/RbdLcsBkChol.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSolver.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsVbChol.h"

namespace lcs {

void LCPMatrix::destroy()
{
    n_ = 0;
    diagonalShift_ = 0.0;
    shiftCount_ = 0;
    kept_ = KeptJacobian();
    Ainv_ = nullptr;
    columnSolved_ = nullptr;
    pivot_ = nullptr;
    pos_ = rowAt_ = rowStart_ = nullptr;
    factorRow_ = factorIndex_ = nullptr;
    activePosition_ = activeStart_ = mark_ = activeBefore_ = compactPosition_ = heldFactored_ = nullptr;
    heldFactoredCount_ = -1;
    heldStorage_ = nullptr;
    compactCount_ = 0;
    pending_ = 0;
    scratch_ = nullptr;
    held_ = nullptr;
    heldCount_ = 0;
    free_ = ActiveRows{nullptr, nullptr, 0, 0};
    identityOrder_ = 1;
    factorSize_ = 0;
    compact_ = 0;
    corrected_ = correctedCount_ = 0;
    correctedColumns_ = nullptr;
    wholeFactored_ = factorValid_ = wholeDeferred_ = deferredFormed_ = deferredFailed_ = 0;
    formedLent_ = formedWritten_ = 0;
    keptColumns_ = nullptr;
    keptColumnRow_ = nullptr;
    keptColumnRoom_ = 0;
}

size_t LCPMatrix::inverseMemoryRequired(int n)
{
    size_t un = static_cast<size_t>(n);
    return PoolAlignedCost(sizeof(PxReal) * un * un) + PoolAlignedCost(sizeof(int32_t) * un) +
           PoolAlignedCost(sizeof(PxReal) * un)                        // pivots
           + 11 * PoolAlignedCost(sizeof(int32_t) * un)                // order, envelope and factor tables
           + PoolAlignedCost(sizeof(PxReal) * 2 * un)                  // substitution scratch
           + PoolAlignedCost(sizeof(PxReal) * kMaxCorrectedRows * un); // columns of corrected rows
}

int LCPMatrix::allocate(int n, const SparseMatrixMap *map)
{
    pool_ = map->pool;
    n_ = n;
    size_t un = static_cast<size_t>(n);
    pos_ = pool_->array<int32_t>(un, "positions");
    rowAt_ = pool_->array<int32_t>(un, "rows at positions");
    rowStart_ = pool_->array<int32_t>(un, "envelope starts");
    factorRow_ = pool_->array<int32_t>(un, "factor rows");
    factorIndex_ = pool_->array<int32_t>(un, "factor indices");
    activePosition_ = pool_->array<int32_t>(un, "active positions");
    activeStart_ = pool_->array<int32_t>(un, "active envelope");
    mark_ = pool_->array<int32_t>(un, "row marks");
    activeBefore_ = pool_->array<int32_t>(un, "active positions before");
    compactPosition_ = pool_->array<int32_t>(un, "compact positions");
    heldFactored_ = pool_->array<int32_t>(un, "held factor positions");
    heldFactoredCount_ = -1;
    formedLent_ = formedWritten_ = 0;
    keptColumns_ = nullptr;
    keptColumnRow_ = nullptr;
    keptColumnRoom_ = 0;
    scratch_ = pool_->array<PxReal>(2 * un, "order scratch");
    if (!pos_ || !rowAt_ || !rowStart_ || !factorRow_ || !factorIndex_ || !activePosition_ || !activeStart_ ||
        !mark_ || !activeBefore_ || !compactPosition_ || !heldFactored_ || !scratch_)
        return 0;
    memset(mark_, 0, sizeof(int32_t) * un);
    identityOrder_ = !(map->position && map->rowAt);
    if (identityOrder_) {
        for (int i = 0; i < n; ++i) pos_[i] = rowAt_[i] = i;
    } else {
        memcpy(pos_, map->position, sizeof(int32_t) * un);
        memcpy(rowAt_, map->rowAt, sizeof(int32_t) * un);
    }
    memcpy(rowStart_, map->rowStart, sizeof(int32_t) * un);
    // A count of elements: summed exactly as integers.
    int64_t elements = 0;
    for (int i = 0; i < n; ++i) elements += i - rowStart_[i] + 1;
    envelopeElements_ = static_cast<PxReal>(elements);
    wholeFactored_ = factorValid_ = pending_ = wholeDeferred_ = deferredFormed_ = deferredFailed_ = 0;
    if (!allocateStorage(rowStart_)) return 0;
    selectWholeFactor();
    return allocateInverse(n);
}

void LCPMatrix::selectWholeFactor()
{
    compact_ = 0;
    corrected_ = 0;
    factorSize_ = n_;
    for (int p = 0; p < n_; ++p) {
        factorRow_[p] = rowAt_[p];
        factorIndex_[rowAt_[p]] = p;
    }
    useWholeFactor();
}

int LCPMatrix::allocateInverse(int n)
{
    size_t un = static_cast<size_t>(n);
    // The inverse is never cleared: column_solved says which columns hold data.
    Ainv_ = pool_->array<PxReal>(un * un, "Ainv");
    columnSolved_ = pool_->array<int32_t>(un, "column_solved");
    pivot_ = pool_->array<PxReal>(un, "pivots");
    correctedColumns_ = pool_->array<PxReal>(kMaxCorrectedRows * un, "corrected columns");
    if (!Ainv_ || !columnSolved_ || !pivot_ || !correctedColumns_) return 0;
    clearInverse();
    return 1;
}

void LCPMatrix::setElement(int i, int j, PxReal v)
{
    int p = pos_[i], q = pos_[j];
    if (p >= q)
        setAt(p, q, v);
    else
        setAt(q, p, v);
}

void LCPMatrix::addElement(int i, int j, PxReal v)
{
    int p = pos_[i], q = pos_[j];
    if (p >= q)
        addAt(p, q, v);
    else
        addAt(q, p, v);
}

PxReal LCPMatrix::getElement(int i, int j) const
{
    int p = pos_[i], q = pos_[j];
    return p >= q ? getAt(p, q) : getAt(q, p);
}

void LCPMatrix::getDiagonal(PxReal *out, int count) const
{
    PxReal *byPosition = scratch_; // free between solves
    diagonalAt(byPosition);
    if (identityOrder_)
        memcpy(out, byPosition, sizeof(PxReal) * static_cast<size_t>(count));
    else
        for (int i = 0; i < count; ++i) out[i] = byPosition[pos_[i]];
}

PxReal LCPMatrix::getElementFactor(int i, int j) const
{
    int p = pos_[i], q = pos_[j];
    return q > p ? 0.0 : getFactorAt(p, q);
}

int LCPMatrix::factorize()
{
    formedWritten_ = formedLent_;
    selectWholeFactor();
    clearInverse();
    pending_ = 0;
    wholeDeferred_ = 0;
    wholeFactored_ = factorValid_ = factor(nullptr);
    if (!wholeFactored_) return 0;
    if (diagonalShift_ == 0.0)
        for (int p = 0; p < n_; ++p) pivot_[rowAt_[p]] = factorDiagonal(p);
    return 1;
}

void LCPMatrix::shiftDiagonal(PxReal rho, int count)
{
    formedWritten_ = formedLent_;
    for (int i = 0; i < count; ++i) addElement(i, i, rho);
    diagonalShift_ += rho;
    shiftCount_ = diagonalShift_ == 0.0 ? 0 : count;
    clearInverse();
    wholeFactored_ = factorValid_ = pending_ = wholeDeferred_ = 0;
    heldFactoredCount_ = -1;
}

int LCPMatrix::factorizeWithFixedRows(const int32_t *state, int count)
{
    return selectFixedRows(state, count) && ensureFactor();
}

int LCPMatrix::selectFixedRows(const int32_t *state, int count)
{
    int m = 0, changed = 0;
    for (int p = 0; p < n_; ++p) {
        int row = rowAt_[p];
        int fixed = row < count && (state[row] & kLcpFixed);
        if (!fixed) activePosition_[m++] = p;
        if (fixed != (factorIndex_[row] < 0)) changed = 1;
    }
    // The factor in use may already leave out exactly these rows; after a
    // shift of the diagonal it is formed again (a correction from scratch).
    if (!changed && corrected_ && !pending_ && !factorValid_) changed = 1;
    if (!changed) {
        if (pending_ || factorValid_) return 1;
        if (!compact_) return factorize();
        pending_ = 1;
        return 1;
    }
    clearInverse();
    pending_ = 0;
    if (m == n_) {
        // Nothing fixed: the whole matrix's factor is still there.
        selectWholeFactor();
        if (!wholeFactored_) return factorize();
        factorValid_ = 1;
        return factorValid_;
    }
    int fixed = n_ - m;
    if (!wholeFactored_ || fixed > kMaxCorrectedRows) {
        selectCompact(compactRows(m));
        return 1;
    }
    double correction = correctionCost(state, count);
    if (m > 0 && correction < compactLeastCost(fixed, m)) {
        selectCorrected(state, count); // no need to shape the compact envelope
        return 1;
    }
    ActiveRows rows = compactRows(m);
    if (correction < compactCost(rows))
        selectCorrected(state, count);
    else
        selectCompact(rows);
    return 1;
}

void LCPMatrix::selectCompact(const ActiveRows &rows)
{
    int m = rows.count;
    for (int i = 0; i < n_; ++i) factorIndex_[i] = -1;
    for (int k = 0; k < rows.padded; ++k) {
        factorRow_[k] = k < m ? rowAt_[activePosition_[k]] : -1;
        if (k < m) factorIndex_[factorRow_[k]] = k;
    }
    memcpy(compactPosition_, activePosition_, sizeof(int32_t) * static_cast<size_t>(m));
    compactCount_ = m;
    factorSize_ = rows.padded;
    compact_ = 1;
    corrected_ = 0;
    shapeCompact(rows);
    pending_ = 1;
    factorValid_ = 0;
}

int LCPMatrix::ensureFactor()
{
    // The whole factor, and a correction of it, read the deferred factor.
    if (wholeDeferred_ && !compact_ && !formDeferred()) {
        factorValid_ = pending_ = 0;
        return 0;
    }
    if (!pending_) return factorValid_;
    pending_ = 0;
    if (corrected_) {
        factorValid_ = formCorrection();
        if (factorValid_ || !pending_) return factorValid_;
        pending_ = 0; // the correction failed: the compact factor it chose instead
    }
    ActiveRows rows = {compactPosition_, nullptr, compactCount_, factorSize_};
    factorValid_ = factor(&rows);
    return factorValid_;
}

LCPMatrix::ActiveRows LCPMatrix::compactRows(int count)
{
    // Each active row's envelope starts at the first active position at or
    // after its own envelope start; mark_ holds, for the moment, the index
    // of the first active position at or after each position.
    int padded = (count + 3) & ~3;
    for (int p = n_ - 1, k = count; p >= 0; --p) {
        if (k > 0 && activePosition_[k - 1] == p) --k;
        mark_[p] = k;
    }
    for (int k = 0; k < count; ++k) activeStart_[k] = mark_[rowStart_[activePosition_[k]]];
    for (int k = count; k < padded; ++k) activeStart_[k] = k;
    memset(mark_, 0, sizeof(int32_t) * static_cast<size_t>(n_));
    return ActiveRows{activePosition_, activeStart_, count, padded};
}

namespace {
const double kFactorWeight = 2.5;
} // namespace

double LCPMatrix::heldRowsCost(const int32_t *held, int count)
{
    held_ = held;
    heldCount_ = count;
    for (int a = 0; a < count; ++a) mark_[held[a]] = 1;
    // One pass over the positions finds the free rows F and their envelope
    // (as compactRows does), how far F agrees with the rows F0 of the kept
    // factor and with the whole matrix's leading rows, and the rows in
    // which F and F0 differ, for a border. A free row's envelope starts at
    // the first free position at or after its own start: the count of free
    // positions before that start.
    const int m0 = heldFactoredCount_;
    const int border = borderFloor_ > 0.0 && m0 >= 0 && borderBaseKept_;
    int m = 0, a = 0, changes = 0, sameAsKept = -1, sameAsWhole = -1;
    int64_t widths = 0;
    for (int p = 0; p < n_; ++p) {
        activeBefore_[p] = m;
        const int row = rowAt_[p];
        const int active = factorIndex_[row] >= 0 && !mark_[row];
        const int kept = a < m0 && heldFactored_[a] == p;
        if (kept != active && m0 >= 0) {
            if (sameAsKept < 0) sameAsKept = m;
            if (border && changes < kMaxBorderRows) {
                borderPosition_[changes] = p;
                borderBaseIndex_[changes] = kept ? a : -1;
            }
            ++changes;
        }
        a += kept;
        if (!active) {
            if (sameAsWhole < 0) sameAsWhole = m;
            continue;
        }
        const int start = activeBefore_[rowStart_[p]];
        activeStart_[m] = start;
        activePosition_[m++] = p;
        widths += m - start; // m - 1 - start + 1
    }
    for (int b = 0; b < count; ++b) mark_[held[b]] = 0;
    const int padded = (m + 3) & ~3;
    for (int k = m; k < padded; ++k) activeStart_[k] = k;
    widths += padded - m;
    free_ = ActiveRows{activePosition_, activeStart_, m, padded};
    // The kept factor serves up to the first free row that differs (a
    // factor row depends on the rows before it only), from a whole tile on.
    heldReuse_ = 0;
    if (m0 >= 0) {
        int same = sameAsKept < 0 ? m : sameAsKept;
        if (same > m0) same = m0;
        heldReuse_ = same & ~3;
    }
    // Free rows that are the whole matrix's leading rows (the held rows come
    // late in the order) factor as the whole matrix's do.
    wholeReuse_ = wholeFactored_ ? (sameAsWhole < 0 ? m : sameAsWhole) & ~3 : 0;
    // A row of width w costs w^2 / 2 to factor and 2 w to substitute; the
    // right-hand side costs one product with A. Counts, summed as integers.
    int reused = heldReuse_ > wholeReuse_ ? heldReuse_ : wholeReuse_;
    int64_t squares = 0;
    for (int k = reused; k < padded; ++k) {
        const int64_t w = k - activeStart_[k] + 1;
        squares += w * w;
    }
    double factorCost = 0.5 * static_cast<double>(squares);
    double cost = heldRowsLeastCost() + 2.0 * static_cast<double>(widths);
    // Or the kept factor with a border of the rows that changed. A
    // multiply-add of the factor's tiles takes some 2.5 times the
    // instructions of one of the substitutions (callgrind, the closing hand).
    borderPlanned_ = 0;
    if (border && changes <= kMaxBorderRows) {
        borderCount_ = changes;
        double bordered = heldRowsLeastCost() + borderCost();
        borderPlanned_ = bordered < cost + kFactorWeight * factorCost;
        if (borderPlanned_) return bordered;
    }
    return cost + factorCost;
}

const PxReal *LCPMatrix::heldProducts(const PxReal *x, int &byRows)
{
    // Column by column of the held rows (y by positions), or as A times x
    // kept on the held rows only, through the Jacobian (y by rows),
    // whichever is cheaper. The shifted diagonal never enters: only the
    // free rows of y are read.
    PxReal *z = scratch_, *y = scratch_ + n_;
    byRows = throughJacobianIsCheaper(heldCount_);
    if (byRows) {
        memset(z, 0, sizeof(PxReal) * static_cast<size_t>(n_));
        for (int a = 0; a < heldCount_; ++a) z[held_[a]] = x[held_[a]];
        multiplyThroughJacobian(z, y);
    } else {
        memset(y, 0, sizeof(PxReal) * static_cast<size_t>(n_));
        for (int a = 0; a < heldCount_; ++a) axpyRow(pos_[held_[a]], x[held_[a]], y);
    }
    return y;
}

int LCPMatrix::solveHeldRows(PxReal *x, const PxReal *q, int qCount, PxReal *storage)
{
    if (borderPlanned_ && storage == heldStorage_ && solveBordered(x, q, qCount)) return 1;
    int byRows = 0;
    const PxReal *y = heldProducts(x, byRows);
    PxReal *z = scratch_;
    // z becomes q_F - A_FH x_H in the compact indices (identity padding 0).
    for (int k = 0; k < free_.padded; ++k) {
        if (k >= free_.count) {
            z[k] = 0.0;
            continue;
        }
        int p = free_.position[k], row = rowAt_[p];
        z[k] = (row < qCount ? q[row] : 0.0) - y[byRows ? row : p];
    }
    int reuse = storage == heldStorage_ ? heldReuse_ : 0;
    heldFactoredCount_ = -1;
    // A deferred whole factor is not formed for the few rows it would lend.
    int lent = wholeFactored_ && !wholeDeferred_ ? wholeReuse_ : 0;
    if (!factorHeld(free_, storage, reuse, lent)) return 0;
    memcpy(heldFactored_, free_.position, sizeof(int32_t) * static_cast<size_t>(free_.count));
    heldFactoredCount_ = free_.count;
    heldStorage_ = storage;
    solveHeld(z);
    keepBorderBase(x, z);
    for (int row = 0; row < n_; ++row)
        if (factorIndex_[row] < 0) x[row] = 0.0;
    for (int k = 0; k < free_.count; ++k) x[rowAt_[free_.position[k]]] = z[k];
    return 1;
}

void LCPMatrix::keepJacobian(const PxReal *JMinv, const PxReal *J, const PxReal *rowEpsilon,
                             const SparseMatrixMap *map, PxReal *bodyScratch)
{
    kept_.JMinv = JMinv;
    kept_.J = J;
    kept_.rowEpsilon = rowEpsilon;
    kept_.map = map;
    kept_.bodyScratch = bodyScratch;
}

// Row i of J M^-1 on side s is J_i M_b^-1 (1 x 6) for the side's body b;
// M_b^-1 is symmetric, so its transpose is the column M_b^-1 J_i^T.
void LCPMatrix::bodyProducts(const PxReal *x, PxReal *u) const
{
    const ConstraintLayout *layout = kept_.map->layout;
    memset(u, 0, sizeof(PxReal) * 6 * static_cast<size_t>(kept_.map->bodyCount));
    for (int c = 0; c < layout->constraintCount; ++c)
        for (int side = 0; side < 2; ++side) {
            int body = layout->bodies[2 * c + side];
            if (body < 0) continue;
            PxReal *ub = u + 6 * body;
            for (int r = 0; r < layout->rows[c]; ++r) {
                int i = layout->firstRow[c] + r;
                const PxReal *a = kept_.JMinv + tileIndex(i, 6 * side);
                for (int k = 0; k < 6; ++k) ub[k] += a[4 * k] * x[i];
            }
        }
}

// (A x)_i = J_i u + (epsilon + rowEpsilon_i / h) x_i, with u = M^-1 J^T x.
PxReal LCPMatrix::rowProduct(int row, int constraint, const PxReal *x, const PxReal *u) const
{
    const ConstraintLayout *layout = kept_.map->layout;
    PxReal v = (epsilon_ + kept_.rowEpsilon[row] / h_) * x[row];
    for (int side = 0; side < 2; ++side) {
        int body = layout->bodies[2 * constraint + side];
        if (body < 0) continue;
        const PxReal *j = kept_.J + tileIndex(row, 6 * side);
        const PxReal *ub = u + 6 * body;
        for (int k = 0; k < 6; ++k) v += j[4 * k] * ub[k];
    }
    return v;
}

void LCPMatrix::multiplyThroughJacobian(const PxReal *x, PxReal *out) const
{
    const ConstraintLayout *layout = kept_.map->layout;
    bodyProducts(x, kept_.bodyScratch);
    for (int c = 0; c < layout->constraintCount; ++c)
        for (int r = 0; r < layout->rows[c]; ++r) {
            int i = layout->firstRow[c] + r;
            out[i] = rowProduct(i, c, x, kept_.bodyScratch);
        }
    for (int i = layout->rowCount; i < n_; ++i) out[i] = x[i]; // padding rows: 1 on the diagonal
}

void LCPMatrix::multiply(const PxReal *x, PxReal *out) const
{
    if (kept_.JMinv) {
        multiplyThroughJacobian(x, out);
        return;
    }
    if (identityOrder_) {
        multiplyOrdered(x, out);
    } else {
        PxReal *xs = scratch_, *ys = scratch_ + n_;
        for (int p = 0; p < n_; ++p) xs[p] = x[rowAt_[p]];
        multiplyOrdered(xs, ys);
        for (int p = 0; p < n_; ++p) out[rowAt_[p]] = ys[p];
    }
    for (int i = 0; i < shiftCount_; ++i) out[i] -= diagonalShift_ * x[i];
}

int LCPMatrix::throughJacobianIsCheaper(int rows) const
{
    // A stored row costs its width twice (the row up to the diagonal and the
    // column below it); the Jacobian route costs some 36 multiply-adds a row
    // of the whole matrix, whatever the count.
    if (!kept_.JMinv || n_ == 0) return 0;
    double width = 2.0 * matrixElements() / n_;
    return rows * width > 36.0 * n_;
}

void LCPMatrix::multiplyRows(const PxReal *x, const int32_t *rows, int count, PxReal *out) const
{
    if (throughJacobianIsCheaper(count)) {
        multiplyThroughJacobian(x, scratch_);
        for (int a = 0; a < count; ++a) out[rows[a]] = scratch_[rows[a]];
        return;
    }
    const PxReal *xs = x;
    if (!identityOrder_) {
        for (int p = 0; p < n_; ++p) scratch_[p] = x[rowAt_[p]];
        xs = scratch_;
    }
    for (int a = 0; a < count; ++a) out[rows[a]] = dotRow(pos_[rows[a]], xs);
}

void LCPMatrix::solve(PxReal *x, int columns)
{
    if (!ensureFactor()) return;
    for (int k = 0; k < columns; ++k, x += n_) {
        if (corrected_) {
            // Identity rows keep their value; the others see them held at 0.
            PxReal keep[kMaxCorrectedRows];
            for (int a = 0; a < correctedCount_; ++a) {
                keep[a] = x[correctedRow_[a]];
                x[correctedRow_[a]] = 0.0;
            }
            solveWhole(x);
            applyCorrection(x);
            for (int a = 0; a < correctedCount_; ++a) x[correctedRow_[a]] = keep[a];
            continue;
        }
        if (identityOrder_ && !compact_) {
            forward(x, 0);
            backward(x);
            continue;
        }
        // Rows outside the factor keep their value: they are identity rows.
        PxReal *t = scratch_;
        for (int f = 0; f < factorSize_; ++f) t[f] = factorRow_[f] >= 0 ? x[factorRow_[f]] : 0.0;
        forward(t, 0);
        backward(t);
        for (int f = 0; f < factorSize_; ++f)
            if (factorRow_[f] >= 0) x[factorRow_[f]] = t[f];
    }
}

void LCPMatrix::solveUnit(PxReal *x, int column)
{
    if (!ensureFactor()) return;
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    int index = factorIndex_[column];
    if (index < 0) {
        x[column] = 1.0;
        return;
    }
    if (corrected_) {
        solveUnitWhole(x, column);
        applyCorrection(x);
        for (int a = 0; a < correctedCount_; ++a) x[correctedRow_[a]] = 0.0;
        return;
    }
    if (identityOrder_ && !compact_) {
        x[column] = 1.0;
        forward(x, column);
        backward(x);
        return;
    }
    solveUnitAt(x, index, factorSize_, factorRow_);
}

void LCPMatrix::clearInverse()
{
    if (columnSolved_) memset(columnSolved_, 0, sizeof(int32_t) * static_cast<size_t>(n_));
}

const PxReal *LCPMatrix::inverseColumn(int j)
{
    PxReal *column = Ainv_ + static_cast<size_t>(j) * static_cast<size_t>(n_);
    if (!columnSolved_[j]) {
        solveUnit(column, j);
        columnSolved_[j] = 1;
    }
    return column;
}

void LCPMatrix::calcJinvMJT(const PxReal *JMinv, const PxReal *J, const PxReal *rowEpsilon,
                            const SparseMatrixMap *map)
{
    const ConstraintLayout *layout = map->layout;
    kept_ = KeptJacobian();
    formedWritten_ = formedLent_;
    resetSparseMaps();
    assemble(JMinv, J, map);
    for (int i = 0; i < n_; ++i) {
        if (i < layout->rowCount)
            addElement(i, i, epsilon_ + rowEpsilon[i] / h_);
        else
            setElement(i, i, 1.0);
    }
    clearInverse();
}

int LCPMatrix::factorDense(PxReal *m, int n)
{
    for (int j = 0; j < n; ++j) {
        PxReal *rowj = m + static_cast<size_t>(j) * n;
        PxReal d = rowj[j];
        for (int k = 0; k < j; ++k) d -= rowj[k] * rowj[k];
        if (!(d > 0.0)) return 0;
        PxReal ljj = sqrt(d);
        rowj[j] = ljj;
        for (int i = j + 1; i < n; ++i) {
            PxReal *rowi = m + static_cast<size_t>(i) * n;
            PxReal s = rowi[j];
            for (int k = 0; k < j; ++k) s -= rowi[k] * rowj[k];
            rowi[j] = s / ljj;
        }
    }
    return 1;
}

void LCPMatrix::solveDense(const PxReal *m, PxReal *x, int n)
{
    for (int i = 0; i < n; ++i) {
        const PxReal *rowi = m + static_cast<size_t>(i) * n;
        PxReal s = x[i];
        for (int k = 0; k < i; ++k) s -= rowi[k] * x[k];
        x[i] = s / rowi[i];
    }
    for (int i = n - 1; i >= 0; --i) {
        PxReal s = x[i];
        for (int k = i + 1; k < n; ++k) s -= m[static_cast<size_t>(k) * n + i] * x[k];
        x[i] = s / m[static_cast<size_t>(i) * n + i];
    }
}

const char *linearSolverDescription(int index)
{
    static const char *const descriptions[kLinearSolverCount + 1] = {
        "block cholesky with no assembler", "variable bandwith cholesky",
        "variable bandwith cholesky for large islands of contacts, block cholesky for the others"};
    return descriptions[index];
}

size_t matrixMemoryRequired(int n)
{
    size_t bk = bkCholMemoryRequired(n), vb = vbCholMemoryRequired(n);
    return bk > vb ? bk : vb;
}

} // namespace lcs
