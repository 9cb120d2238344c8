// vbChol, "variable bandwith cholesky": every row of A and of its factor is
// stored from its first non-zero column ("min_col") to the diagonal, in
// elimination-order positions, and the factor's diagonal apart ("Diag").
#include <math.h>
#include <string.h>
#include <initializer_list>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsAssemble.h"
#include "solver/RbdLcsMatrix.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"

namespace lcs {

namespace {

// The rows of a lower envelope: row i stores columns minCol[i] .. i.
struct RowEnvelope {
    int n = 0;
    int32_t *minCol = nullptr; // (n) "min_col": first stored column of each row
    size_t *offset = nullptr;  // (n + 1) elements stored before row i

    void shape(const int32_t *start, int size)
    {
        n = size;
        offset[0] = 0;
        for (int i = 0; i < n; ++i) {
            minCol[i] = start[i];
            offset[i + 1] = offset[i] + static_cast<size_t>(i - minCol[i] + 1);
        }
    }
    // Row i of a store, indexed by column.
    PxReal *row(PxReal *store, int i) const { return store + offset[i] - minCol[i]; }
    const PxReal *row(const PxReal *store, int i) const { return store + offset[i] - minCol[i]; }
};

// L y = x in place over the factor (E, L, diagonal D), for x zero before firstRow.
void fw_substitution(const RowEnvelope &E, const PxReal *L, const PxReal *D, PxReal *x, int firstRow)
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
void bk_substitution(const RowEnvelope &E, const PxReal *L, const PxReal *D, PxReal *x)
{
    for (int i = E.n - 1; i >= 0; --i) {
        x[i] /= D[i];
        const PxReal *Li = E.row(L, i);
        PxReal xi = x[i];
        for (int j = E.minCol[i]; j < i; ++j) x[j] -= Li[j] * xi;
    }
}

class vbChol : public LCPMatrix {
public:
    void destroy() override;
    void reset_sparse_maps() override;

private:
    int allocateStorage(const int32_t *rowStart) override;
    void assemble(const PxReal *JMinv, const PxReal *J, const SparseMatrixMap *map) override
    {
        assembleProducts(map, pos_, JMinv, J, [this](int p, int q, PxReal v) { A_.row(Avalues_, p)[q] += v; });
    }
    void setAt(int p, int q, PxReal v) override { A_.row(Avalues_, p)[q] = v; }
    void addAt(int p, int q, PxReal v) override { A_.row(Avalues_, p)[q] += v; }
    PxReal getAt(int p, int q) const override { return q < A_.minCol[p] ? 0.0 : A_.row(Avalues_, p)[q]; }
    PxReal getFactorAt(int p, int q) const override;
    void shapeCompact(const ActiveRows &rows) override;
    int factor(const ActiveRows *rows) override;
    void useWholeFactor() override;
    PxReal factorDiagonal(int p) const override { return Diag_[p]; }
    void multiplyOrdered(const PxReal *x, PxReal *out) const override;
    PxReal dotRow(int p, const PxReal *x) const override;
    void axpyRow(int p, PxReal a, PxReal *y) const override;
    void forward(PxReal *x, int first) const override { fw_substitution(*env_, L_, D_, x, first); }
    void backward(PxReal *x) const override { bk_substitution(*env_, L_, D_, x); }
    double factorElements() const override { return static_cast<double>(env_->offset[env_->n]); }
    double matrixElements() const override { return static_cast<double>(A_.offset[n_]); }
    int factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow) override;
    void solveHeld(PxReal *x) const override
    {
        fw_substitution(H_, heldL_, heldDiag_, x, 0);
        bk_substitution(H_, heldL_, heldDiag_, x);
    }
    // Element (k, l), l <= k, of the compact matrix of rows, gathered from A;
    // the padding up to whole tiles is identity.
    PxReal compactElement(int k, int l, const ActiveRows &rows) const
    {
        if (k >= rows.count) return k == l ? 1.0 : 0.0;
        return getAt(rows.position[k], rows.position[l]);
    }
    // Rows from firstRow on; the rows before it hold their factor already.
    template <typename Load>
    int factorRows(const RowEnvelope &E, PxReal *L, PxReal *diag, Load load, int firstRow = 0);

    RowEnvelope A_;                 // envelope of A and of the whole factor
    int32_t *lastReach_ = nullptr;  // (n) last row storing an element in each column
    PxReal *Avalues_ = nullptr;     // rows of A, diagonal included
    PxReal *Lvalues_ = nullptr;     // rows of the whole factor (the diagonal slot is unused)
    PxReal *Diag_ = nullptr;        // (n) L(p, p) of the whole factor
    RowEnvelope C_;                 // envelope of the compact factor
    PxReal *compactL_ = nullptr;    // its rows (room for a whole lower triangle)
    PxReal *compactDiag_ = nullptr; // (n)
    // The factor the substitutions use.
    const RowEnvelope *env_ = nullptr;
    const PxReal *L_ = nullptr;
    const PxReal *D_ = nullptr;
    // The factor of the free rows of an LCP subproblem, in caller storage.
    RowEnvelope H_;
    const PxReal *heldL_ = nullptr;
    PxReal *heldDiag_ = nullptr; // (n)
};

} // namespace

size_t vbCholMemoryRequired(int n)
{
    size_t un = static_cast<size_t>(n);
    size_t elements = un * (un + 1) / 2; // a full lower triangle in the worst case
    size_t envelope = PoolAlignedCost(sizeof(int32_t) * un) + PoolAlignedCost(sizeof(size_t) * (un + 1));
    return 3 * envelope + PoolAlignedCost(sizeof(int32_t) * un) + 3 * PoolAlignedCost(sizeof(PxReal) * elements) +
           3 * PoolAlignedCost(sizeof(PxReal) * un) + LCPMatrix::inverseMemoryRequired(n);
}

int vbChol::allocateStorage(const int32_t *rowStart)
{
    size_t un = static_cast<size_t>(n_);
    for (RowEnvelope *env : {&A_, &C_, &H_}) {
        env->minCol = static_cast<int32_t *>(
            PoolAllocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "min_col"));
        env->offset = static_cast<size_t *>(
            PoolAllocAligned(PoolRound(sizeof(size_t) * (un + 1)), kPoolAlignment, "row offsets"));
        if (!env->minCol || !env->offset) return 0;
    }
    A_.shape(rowStart, n_);
    lastReach_ = static_cast<int32_t *>(
        PoolAllocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "last reach"));
    if (!lastReach_) return 0;
    for (int j = 0; j < n_; ++j) lastReach_[j] = j;
    for (int i = 0; i < n_; ++i)
        for (int j = A_.minCol[i]; j < i; ++j)
            if (i > lastReach_[j]) lastReach_[j] = i;
    size_t bytes = PoolRound(sizeof(PxReal) * A_.offset[n_]);
    Avalues_ = static_cast<PxReal *>(PoolAllocAligned(bytes, kPoolAlignment, "vbChol matrix"));
    Lvalues_ = static_cast<PxReal *>(PoolAllocAligned(bytes, kPoolAlignment, "vbChol factor"));
    Diag_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * un, kPoolAlignment, "Diag"));
    compactL_ = static_cast<PxReal *>(
        PoolAllocAligned(PoolRound(sizeof(PxReal) * un * (un + 1) / 2), kPoolAlignment, "vbChol compact factor"));
    compactDiag_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * un, kPoolAlignment, "compact Diag"));
    heldDiag_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * un, kPoolAlignment, "held Diag"));
    if (!Avalues_ || !Lvalues_ || !Diag_ || !compactL_ || !compactDiag_ || !heldDiag_) return 0;
    return 1;
}

void vbChol::destroy()
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

void vbChol::reset_sparse_maps()
{
    memset(Avalues_, 0, sizeof(PxReal) * A_.offset[n_]);
}

void vbChol::useWholeFactor()
{
    env_ = &A_;
    L_ = Lvalues_;
    D_ = Diag_;
}

PxReal vbChol::getFactorAt(int p, int q) const
{
    if (q < A_.minCol[p]) return 0.0;
    return p == q ? Diag_[p] : A_.row(Lvalues_, p)[q];
}

// load(i, j), j <= i, gives element (i, j) of the matrix being factored.
template <typename Load>
int vbChol::factorRows(const RowEnvelope &E, PxReal *L, PxReal *diag, Load load, int firstRow)
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
            PxWarning(12, "Kelmar internals: Cholesky Factorizer matrix is not positive definite: check your masses "
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

int vbChol::factor(const ActiveRows *rows)
{
    if (!rows) {
        return factorRows(A_, Lvalues_, Diag_, [this](int i, int j) { return A_.row(Avalues_, i)[j]; });
    }
    auto compact = [this, rows](int k, int l) { return compactElement(k, l, *rows); };
    return factorRows(C_, compactL_, compactDiag_, compact);
}

void vbChol::shapeCompact(const ActiveRows &rows)
{
    C_.shape(rows.start, rows.padded);
    env_ = &C_;
    L_ = compactL_;
    D_ = compactDiag_;
}

int vbChol::factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow)
{
    H_.shape(rows.start, rows.padded);
    heldL_ = storage;
    auto compact = [this, &rows](int k, int l) { return compactElement(k, l, rows); };
    return factorRows(H_, storage, heldDiag_, compact, firstRow);
}

void vbChol::multiplyOrdered(const PxReal *x, PxReal *out) const
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
PxReal vbChol::dotRow(int p, const PxReal *x) const
{
    const PxReal *Ap = A_.row(Avalues_, p);
    PxReal s = 0.0;
    for (int j = A_.minCol[p]; j <= p; ++j) s += Ap[j] * x[j];
    for (int i = p + 1; i <= lastReach_[p]; ++i)
        if (A_.minCol[i] <= p) s += A_.row(Avalues_, i)[p] * x[i];
    return s;
}

void vbChol::axpyRow(int p, PxReal a, PxReal *y) const
{
    const PxReal *Ap = A_.row(Avalues_, p);
    for (int j = A_.minCol[p]; j <= p; ++j) y[j] += a * Ap[j];
    for (int i = p + 1; i <= lastReach_[p]; ++i)
        if (A_.minCol[i] <= p) y[i] += a * A_.row(Avalues_, i)[p];
}

LCPMatrix &vbCholInstance()
{
    static vbChol instance;
    return instance;
}

} // namespace lcs
