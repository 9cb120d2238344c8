// vbChol, "variable bandwith cholesky": every row of A and of its factor is
// stored from its first non-zero column ("min_col") to the diagonal, in
// elimination-order positions, and the factor's diagonal apart ("Diag").
#include <math.h>
#include <string.h>
#include <initializer_list>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"
#include "solver/RbdLcsAssemble.h"
#include "solver/RbdLcsVbChol.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"

namespace lcs {

namespace {

// L y = x in place over the factor (E, L, diagonal D), for x zero before firstRow.
void forwardRows(const RowEnvelope &E, const PxReal *L, const PxReal *D, PxReal *x, int firstRow)
{
    for (int i = firstRow; i < E.n; ++i) {
        const PxReal *Li = E.row(L, i);
        int j0 = E.minCol[i] > firstRow ? E.minCol[i] : firstRow;
        PxReal s = x[i];
        for (int j = j0; j < i; ++j) s -= Li[j] * x[j];
        x[i] = s / D[i];
    }
}

// L^T x = y in place, column by column from the last row.
void backwardRows(const RowEnvelope &E, const PxReal *L, const PxReal *D, PxReal *x)
{
    for (int i = E.n - 1; i >= 0; --i) {
        x[i] /= D[i];
        const PxReal *Li = E.row(L, i);
        PxReal xi = x[i];
        for (int j = E.minCol[i]; j < i; ++j) x[j] -= Li[j] * xi;
    }
}

// last[j] = the last row storing an element in column j (j itself at
// least): the largest i with minCol[i] <= j. Walking back from the last
// row, `low` is the least minCol of the rows from i on, which only falls as
// i does: a pass over the rows, where visiting the envelope cost as much
// as forming a resting stack's right-hand side every step.
void findLastReach(const RowEnvelope &E, int32_t *last)
{
    if (E.n == 0) return;
    int i = E.n - 1, low = E.minCol[i];
    for (int j = E.n - 1; j >= 0; --j) {
        while (low > j) {
            --i;
            if (E.minCol[i] < low) low = E.minCol[i];
        }
        last[j] = i;
    }
}

} // namespace

void VbChol::assemble(const PxReal *JMinv, const PxReal *J, const SparseMatrixMap *map)
{
    // A row's elements start offset[p] - minCol[p] reals into the store.
    auto rowOf = [this](int p) { return static_cast<ptrdiff_t>(A_.offset[p]) - A_.minCol[p]; };
    auto colOf = [](int q) { return static_cast<ptrdiff_t>(q); };
    assembleProducts(map, pos_, JMinv, J, Avalues_, rowOf, colOf);
}

void VbChol::forward(PxReal *x, int first) const
{
    forwardRows(*env_, L_, D_, x, first);
}

void VbChol::backward(PxReal *x) const
{
    backwardRows(*env_, L_, D_, x);
}

void VbChol::solveHeld(PxReal *x) const
{
    forwardRows(H_, heldL_, heldDiag_, x, 0);
    backwardRows(H_, heldL_, heldDiag_, x);
}

size_t vbCholMemoryRequired(int n)
{
    size_t un = static_cast<size_t>(n);
    size_t elements = un * (un + 1) / 2; // a full lower triangle in the worst case
    size_t envelope = PoolAlignedCost(sizeof(int32_t) * un) + PoolAlignedCost(sizeof(size_t) * (un + 1));
    return 3 * envelope + PoolAlignedCost(sizeof(int32_t) * un) + 3 * PoolAlignedCost(sizeof(PxReal) * elements) +
           3 * PoolAlignedCost(sizeof(PxReal) * un) + LCPMatrix::inverseMemoryRequired(n);
}

int VbChol::allocateStorage(const int32_t *rowStart)
{
    size_t un = static_cast<size_t>(n_);
    for (RowEnvelope *env : {&A_, &C_, &H_}) {
        env->minCol = pool_->array<int32_t>(un, "min_col");
        env->offset = pool_->array<size_t>(un + 1, "row offsets");
        if (!env->minCol || !env->offset) return 0;
    }
    A_.shape(rowStart, n_);
    lastReach_ = pool_->array<int32_t>(un, "last reach");
    if (!lastReach_) return 0;
    findLastReach(A_, lastReach_);
    size_t bytes = PoolRound(sizeof(PxReal) * A_.offset[n_]);
    Avalues_ = static_cast<PxReal *>(pool_->allocAligned(bytes, kPoolAlignment, "vbChol matrix"));
    Lvalues_ = static_cast<PxReal *>(pool_->allocAligned(bytes, kPoolAlignment, "vbChol factor"));
    Diag_ = pool_->array<PxReal>(un, "Diag");
    compactL_ = pool_->array<PxReal>(un * (un + 1) / 2, "vbChol compact factor");
    compactDiag_ = pool_->array<PxReal>(un, "compact Diag");
    heldDiag_ = pool_->array<PxReal>(un, "held Diag");
    if (!Avalues_ || !Lvalues_ || !Diag_ || !compactL_ || !compactDiag_ || !heldDiag_) return 0;
    return 1;
}

void VbChol::destroy()
{
    LCPMatrix::destroy();
    A_ = RowEnvelope();
    C_ = RowEnvelope();
    H_ = RowEnvelope();
    Avalues_ = Lvalues_ = Diag_ = compactL_ = compactDiag_ = heldDiag_ = nullptr;
    lastReach_ = nullptr;
    env_ = nullptr;
    L_ = D_ = heldL_ = nullptr;
}

void VbChol::resetSparseMaps()
{
    memset(Avalues_, 0, sizeof(PxReal) * A_.offset[n_]);
}

void VbChol::useWholeFactor()
{
    env_ = &A_;
    L_ = Lvalues_;
    D_ = Diag_;
}

PxReal VbChol::getFactorAt(int p, int q) const
{
    if (q < A_.minCol[p]) return 0.0;
    return p == q ? Diag_[p] : A_.row(Lvalues_, p)[q];
}

// load(i, j), j <= i, gives element (i, j) of the matrix being factored.
template <typename Load>
int VbChol::factorRows(const RowEnvelope &E, PxReal *L, PxReal *diag, Load load, int firstRow)
{
    for (int i = firstRow; i < E.n; ++i) {
        PxReal *Li = E.row(L, i);
        for (int j = E.minCol[i]; j < i; ++j) {
            const PxReal *Lj = E.row(L, j);
            int k0 = E.minCol[i] > E.minCol[j] ? E.minCol[i] : E.minCol[j];
            PxReal s = load(i, j);
            for (int k = k0; k < j; ++k) s -= Li[k] * Lj[k];
            Li[j] = s / diag[j];
        }
        PxReal d = load(i, i);
        for (int k = E.minCol[i]; k < i; ++k) d -= Li[k] * Li[k];
        if (!(d > 0.0)) {
            PxWarning(RBD_MESSAGE_LEVEL,
                      "Kelmar internals: Cholesky Factorizer matrix is not positive definite: check your masses "
                      "and inertia tensors\n");
            // Keep going with the softness as pivot; the LCP then treats the
            // row as degenerate. Without softness there is nothing to go on.
            if (!(epsilon_ > 0.0)) return 0;
            d = epsilon_;
        }
        diag[i] = sqrt(d);
    }
    return 1;
}

int VbChol::factor(const ActiveRows *rows)
{
    if (!rows) {
        return factorRows(A_, Lvalues_, Diag_, [this](int i, int j) { return A_.row(Avalues_, i)[j]; });
    }
    auto compact = [this, rows](int k, int l) { return compactElement(k, l, *rows); };
    return factorRows(C_, compactL_, compactDiag_, compact);
}

void VbChol::shapeCompact(const ActiveRows &rows)
{
    C_.shape(rows.start, rows.padded);
    env_ = &C_;
    L_ = compactL_;
    D_ = compactDiag_;
}

int VbChol::factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow, int wholeRows)
{
    H_.shape(rows.start, rows.padded);
    heldL_ = storage;
    if (wholeRows > firstRow) {
        // Same rows, same envelope: the leading rows lie where the whole factor keeps them.
        memcpy(storage, Lvalues_, sizeof(PxReal) * H_.offset[wholeRows]);
        memcpy(heldDiag_, Diag_, sizeof(PxReal) * static_cast<size_t>(wholeRows));
        firstRow = wholeRows;
    }
    auto compact = [this, &rows](int k, int l) { return compactElement(k, l, rows); };
    return factorRows(H_, storage, heldDiag_, compact, firstRow);
}

void VbChol::multiplyOrdered(const PxReal *x, PxReal *out) const
{
    memset(out, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    for (int i = 0; i < n_; ++i) {
        const PxReal *Ai = A_.row(Avalues_, i);
        PxReal s = Ai[i] * x[i];
        for (int j = A_.minCol[i]; j < i; ++j) {
            s += Ai[j] * x[j];
            out[j] += Ai[j] * x[i];
        }
        out[i] += s;
    }
}

// Row p up to the diagonal, then column p in the rows below that store it.
PxReal VbChol::dotRow(int p, const PxReal *x) const
{
    const PxReal *Ap = A_.row(Avalues_, p);
    PxReal s = 0.0;
    for (int j = A_.minCol[p]; j <= p; ++j) s += Ap[j] * x[j];
    for (int i = p + 1; i <= lastReach_[p]; ++i)
        if (A_.minCol[i] <= p) s += A_.row(Avalues_, i)[p] * x[i];
    return s;
}

void VbChol::leadingSquares(const PxReal *w, PxReal *out) const
{
    for (int p = 0; p < n_; ++p) {
        const PxReal *Ap = A_.row(Avalues_, p);
        PxReal s = 0.0;
        for (int q = A_.minCol[p]; q < p; ++q) s += Ap[q] * Ap[q] * w[q];
        out[p] = s;
    }
}

void VbChol::axpyRow(int p, PxReal a, PxReal *y) const
{
    const PxReal *Ap = A_.row(Avalues_, p);
    for (int j = A_.minCol[p]; j <= p; ++j) y[j] += a * Ap[j];
    for (int i = p + 1; i <= lastReach_[p]; ++i)
        if (A_.minCol[i] <= p) y[i] += a * A_.row(Avalues_, i)[p];
}

} // namespace lcs
