#include "solver/RbdLcsKeptFactor.h"

#include <math.h>
#include <string.h>
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMatrixKey.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

namespace {

size_t tileReals(int paddedRows)
{
    return static_cast<size_t>(paddedRows / kTileRows) * kTileSize;
}

// delta x the largest |entry| of each row of 4-row tiles: how far each of
// the row's entries may move.
void allowedDrift(const PxReal *tiles, int paddedRows, PxReal delta, PxReal *allowed)
{
    for (int i = 0; i < paddedRows; ++i) {
        PxReal largest = 0.0;
        for (int col = 0; col < kTileColumns; ++col) largest = fmax(largest, fabs(tiles[tileIndex(i, col)]));
        allowed[i] = delta * largest;
    }
}

// Whether row i of now lies within allowed of row k of kept: the sum of
// its entries' changes (a NaN never does).
int rowWithin(const PxReal *now, int i, const PxReal *kept, int k, PxReal allowed)
{
    const PxReal *a = now + tileIndex(i, 0), *b = kept + tileIndex(k, 0);
    PxReal change = 0.0;
    for (int col = 0; col < kTileColumns; ++col) change += fabs(a[col * kTileRows] - b[col * kTileRows]);
    return change <= allowed;
}

// moved[i] = 1 for each row i not within allowed[i] of the same row of
// kept, as rowWithin; tile by tile, four rows side by side.
void rowsMoved(const PxReal *now, const PxReal *kept, const PxReal *allowed, int paddedRows, int32_t *moved)
{
    for (int t = 0; t < paddedRows / kTileRows; ++t) {
        const PxReal *a = now + static_cast<size_t>(t) * kTileSize, *b = kept + static_cast<size_t>(t) * kTileSize;
        PxReal change[kTileRows] = {0.0, 0.0, 0.0, 0.0};
        for (int col = 0; col < kTileColumns; ++col)
            for (int r = 0; r < kTileRows; ++r) change[r] += fabs(a[col * kTileRows + r] - b[col * kTileRows + r]);
        for (int r = 0; r < kTileRows; ++r) moved[kTileRows * t + r] |= !(change[r] <= allowed[kTileRows * t + r]);
    }
}

} // namespace

int KeptFactor::sameRows(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h,
                         PxReal tolerance) const
{
    const ConstraintLayout &layout = rows.layout;
    if (!valid_ || typeid(A) != *scheme_ || epsilon != epsilon_ || h != h_ || tolerance != tolerance_ ||
        A.formedReals() != formed_.size())
        return 0;
    if (!matrixKeyMatches(key_, A, layout)) return 0;
    size_t bytes = sizeof(PxReal) * static_cast<size_t>(layout.rowCount);
    return memcmp(rows.rowEpsilon, rowEpsilon_.data(), bytes) == 0;
}

// The rows of constraint c now within drift of those of kept constraint k.
int KeptFactor::constraintWithin(const PartitionRows &rows, const PxReal *JMinv, int c, int k) const
{
    const ConstraintLayout &layout = rows.layout;
    int first = layout.firstRow[c], kept = layout.firstRow[k];
    for (int r = 0; r < layout.rows[c]; ++r) {
        size_t row = static_cast<size_t>(kept + r);
        if (!rowWithin(rows.J, first + r, J_.data(), kept + r, allowedJ_[row]) ||
            !rowWithin(JMinv, first + r, JMinv_.data(), kept + r, allowedJMinv_[row]))
            return 0;
    }
    return 1;
}

// A constraint whose rows moved is looked for among the kept constraints
// of the same bodies and rows not yet matched. The box-box test may list a
// resting pair's contacts in another order from one step to the next
// (which face it clips against is decided by rounding): the rows then take
// the kept rows' places.
int KeptFactor::matchMoved(const PartitionRows &rows, const PxReal *JMinv, int c)
{
    const ConstraintLayout &layout = rows.layout;
    for (int k = 0; k < layout.constraintCount; ++k) {
        if (taken_[static_cast<size_t>(k)] || layout.rows[k] != layout.rows[c] ||
            layout.bodies[2 * k] != layout.bodies[2 * c] || layout.bodies[2 * k + 1] != layout.bodies[2 * c + 1] ||
            !constraintWithin(rows, JMinv, c, k))
            continue;
        taken_[static_cast<size_t>(k)] = 1;
        for (int r = 0; r < layout.rows[c]; ++r)
            keptRowOf_[static_cast<size_t>(layout.firstRow[c] + r)] = layout.firstRow[k] + r;
        return 1;
    }
    return 0;
}

// Constraints whose rows stayed keep their place; the others are matched
// after them, so that none takes the place of one that stayed.
int KeptFactor::matchConstraints(const PartitionRows &rows, const PxReal *JMinv)
{
    const ConstraintLayout &layout = rows.layout;
    int np = layout.paddedRowCount, renumbered = 0;
    int32_t *moved = rowMoved_.data();
    memset(moved, 0, sizeof(int32_t) * static_cast<size_t>(np));
    rowsMoved(rows.J, J_.data(), allowedJ_.data(), np, moved);
    rowsMoved(JMinv, JMinv_.data(), allowedJMinv_.data(), np, moved);
    int32_t any = 0;
    for (int i = 0; i < np; ++i) any |= moved[i];
    if (!any) return 0; // the usual case at rest: nothing to renumber
    for (int i = layout.rowCount; i < np; ++i)
        if (moved[i]) return -1; // a padding row with entries
    for (int c = 0; c < layout.constraintCount; ++c) {
        int stayed = 1;
        for (int r = 0; r < layout.rows[c]; ++r) stayed = stayed && !moved[layout.firstRow[c] + r];
        taken_[static_cast<size_t>(c)] = static_cast<char>(stayed);
        moved[c] = !stayed; // by constraint from here on (c <= row of c)
        renumbered = renumbered || !stayed;
    }
    if (!renumbered) return 0; // keptRowOf_ is read only for a renumbered island
    for (int i = 0; i < np; ++i) keptRowOf_[static_cast<size_t>(i)] = i;
    for (int c = 0; c < layout.constraintCount; ++c)
        if (moved[c] && !matchMoved(rows, JMinv, c)) return -1;
    return 1;
}

int KeptFactor::restore(LCPMatrix &A, const PartitionRows &rows, const PxReal *JMinv, PxReal epsilon, PxReal h,
                        PxReal tolerance)
{
    int same = sameRows(A, rows, epsilon, h, tolerance);
    int renumbered = same ? matchConstraints(rows, JMinv) : -1;
    misses_ = renumbered < 0 ? misses_ + 1 : 0;
    if (renumbered < 0) return 0;
    A.useFormed(formed_.data(), renumbered ? keptRowOf_.data() : nullptr);
    // The columns are the kept rows': a renumbered island solves its own.
    if (!renumbered) A.lendColumns(columns_.data(), columnRow_.data(), kKeptColumns);
    return 1;
}

// Among many islands (a pile falling apart, several stacks of the same
// shape) keeping each would cost a copy of every factor for nothing: an
// island small enough to form cheaply is never kept, and a kept factor
// gives way to an island of its shape after two solves it did not serve,
// to one of another shape after kKeptPatience.
int KeptFactor::worthKeeping(const LCPMatrix &A, const PartitionRows &rows, PxReal epsilon, PxReal h,
                             PxReal tolerance) const
{
    if (rows.layout.rowCount < kKeptLeastRows) return 0;
    if (!valid_ || misses_ > kKeptPatience) return 1;
    return misses_ >= 2 && sameRows(A, rows, epsilon, h, tolerance);
}

// For n rows, np padded: at most n constraints, so the key is 3 counts, 4
// entries a constraint and the row at each of np positions; J and J M^-1
// are np / 4 tiles; the formed matrix is both copies a scheme stores
// (storageReals: twice the lower triangle, np (np + 4) / 2 reals at most in
// BkChol's tiles, np (np + 1) / 2 in VbChol's envelope, and np more) and np
// reals besides.
void KeptFactor::reserve(int rows)
{
    const size_t n = static_cast<size_t>(rows), np = (n + 3) & ~static_cast<size_t>(3);
    key_.reserve(3 + 4 * n + np);
    J_.reserve(tileReals(static_cast<int>(np)));
    JMinv_.reserve(tileReals(static_cast<int>(np)));
    for (std::vector<PxReal> *v : {&allowedJ_, &allowedJMinv_}) v->reserve(np);
    for (std::vector<int32_t> *v : {&keptRowOf_, &rowMoved_}) v->reserve(np);
    rowEpsilon_.reserve(n);
    formed_.reserve(np * (np + 4) + 2 * np);
    columns_.reserve(static_cast<size_t>(kKeptColumns) * np);
    columnRow_.reserve(static_cast<size_t>(kKeptColumns));
    taken_.reserve(n);
}

void KeptFactor::keep(const LCPMatrix &A, const PartitionRows &rows, const PxReal *JMinv, PxReal epsilon, PxReal h,
                      PxReal tolerance)
{
    size_t reals = A.formedReals();
    if (reals == 0 || !(tolerance > 0.0)) {
        valid_ = false;
        return;
    }
    if (!worthKeeping(A, rows, epsilon, h, tolerance)) return;
    valid_ = false;
    misses_ = 0;
    const ConstraintLayout &layout = rows.layout;
    int np = layout.paddedRowCount;
    PxReal delta = kKeptDriftOfTolerance * tolerance;
    storeMatrixKey(key_, A, layout);
    J_.assign(rows.J, rows.J + tileReals(np));
    JMinv_.assign(JMinv, JMinv + tileReals(np));
    allowedJ_.resize(static_cast<size_t>(np));
    allowedJMinv_.resize(static_cast<size_t>(np));
    allowedDrift(rows.J, np, delta, allowedJ_.data());
    allowedDrift(JMinv, np, delta, allowedJMinv_.data());
    rowEpsilon_.assign(rows.rowEpsilon, rows.rowEpsilon + layout.rowCount);
    formed_.resize(reals);
    A.saveFormed(formed_.data());
    columns_.resize(static_cast<size_t>(kKeptColumns) * static_cast<size_t>(np));
    columnRow_.assign(static_cast<size_t>(kKeptColumns), -1);
    taken_.resize(static_cast<size_t>(layout.constraintCount));
    keptRowOf_.resize(static_cast<size_t>(np));
    rowMoved_.resize(static_cast<size_t>(np));
    epsilon_ = epsilon;
    h_ = h;
    tolerance_ = tolerance;
    scheme_ = &typeid(A);
    valid_ = true;
}

} // namespace lcs
