// vbChol, "variable bandwith cholesky": every row of A and of its factor is
// stored from its first non-zero column ("min_col") to the diagonal, and the
// factor's diagonal apart ("Diag").
#include <math.h>
#include <string.h>
#include <kelmar/PxMessage.h>
#include "RbdLcsMatrix.h"
#include "RbdLcsMemoryPool.h"
#include "RbdLcsSparseMap.h"

namespace lcs {

namespace {

class vbChol : public LCPMatrix {
public:
    int allocate(int n, const SparseMatrixMap *map) override;
    void destroy() override;
    void reset_sparse_maps() override;
    void setElement(int i, int j, PxReal v) override { A_[rowOffset_[i] + (j - min_col_[i])] = v; }
    void addElement(int i, int j, PxReal v) override { A_[rowOffset_[i] + (j - min_col_[i])] += v; }
    PxReal getElement(int i, int j) const override;
    PxReal getElementFactor(int i, int j) const override;
    void multiply(const PxReal *x, PxReal *out) const override;
    void solve(PxReal *x, int columns) const override;
    void solveUnit(PxReal *x, int column) const override;

private:
    int factor(const int32_t *fixed) override;
    PxReal factorDiagonal(int i) const override { return Diag_[i]; }
    // Row i of the factor below the diagonal, indexed by column.
    const PxReal *factorRow(int i) const { return L_ + rowOffset_[i] - min_col_[i]; }
    PxReal *factorRow(int i) { return L_ + rowOffset_[i] - min_col_[i]; }
    void fw_substitution(PxReal *x, int firstRow) const;
    void bk_substitution(PxReal *x) const;

    int32_t *min_col_ = nullptr;   // (n) first stored column of each row
    size_t *rowOffset_ = nullptr;  // (n + 1) elements stored before row i
    PxReal *A_ = nullptr;          // rows of A, diagonal included
    PxReal *L_ = nullptr;          // rows of the factor (the diagonal slot is unused)
    PxReal *Diag_ = nullptr;       // (n) L(i, i)
};

} // namespace

size_t vbCholMemoryRequired(int n)
{
    size_t un = static_cast<size_t>(n);
    size_t elements = un * (un + 1) / 2; // a full lower triangle in the worst case
    return PoolAlignedCost(sizeof(int32_t) * un) + PoolAlignedCost(sizeof(size_t) * (un + 1))
         + 2 * PoolAlignedCost(sizeof(PxReal) * elements) + PoolAlignedCost(sizeof(PxReal) * un)
         + LCPMatrix::inverseMemoryRequired(n);
}

int vbChol::allocate(int n, const SparseMatrixMap *map)
{
    n_ = n;
    size_t un = static_cast<size_t>(n);
    min_col_ = static_cast<int32_t *>(PoolAllocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "min_col"));
    rowOffset_ = static_cast<size_t *>(
        PoolAllocAligned(PoolRound(sizeof(size_t) * (un + 1)), kPoolAlignment, "row offsets"));
    if (!min_col_ || !rowOffset_) return 0;
    rowOffset_[0] = 0;
    for (int i = 0; i < n; ++i) {
        min_col_[i] = map->rowStart[i];
        rowOffset_[i + 1] = rowOffset_[i] + static_cast<size_t>(i - min_col_[i] + 1);
    }
    size_t bytes = PoolRound(sizeof(PxReal) * rowOffset_[n]);
    A_ = static_cast<PxReal *>(PoolAllocAligned(bytes, kPoolAlignment, "vbChol matrix"));
    L_ = static_cast<PxReal *>(PoolAllocAligned(bytes, kPoolAlignment, "vbChol factor"));
    Diag_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * un, kPoolAlignment, "Diag"));
    if (!A_ || !L_ || !Diag_) return 0;
    return allocateInverse(n);
}

void vbChol::destroy()
{
    LCPMatrix::destroy();
    min_col_ = nullptr;
    rowOffset_ = nullptr;
    A_ = L_ = Diag_ = nullptr;
}

void vbChol::reset_sparse_maps()
{
    memset(A_, 0, sizeof(PxReal) * rowOffset_[n_]);
}

PxReal vbChol::getElement(int i, int j) const
{
    if (j > i) { int t = i; i = j; j = t; }
    if (j < min_col_[i]) return 0.0;
    return A_[rowOffset_[i] + (j - min_col_[i])];
}

PxReal vbChol::getElementFactor(int i, int j) const
{
    if (j > i || j < min_col_[i]) return 0.0;
    return i == j ? Diag_[i] : factorRow(i)[j];
}

// Rows flagged in fixed (when given) are factored as rows of the identity.
int vbChol::factor(const int32_t *fixed)
{
    for (int i = 0; i < n_; ++i) {
        PxReal *Li = factorRow(i);
        const PxReal *Ai = A_ + rowOffset_[i] - min_col_[i];
        int rowFixed = fixed && fixed[i];
        for (int j = min_col_[i]; j < i; ++j) {
            if (rowFixed || (fixed && fixed[j])) {
                Li[j] = 0.0;
                continue;
            }
            const PxReal *Lj = factorRow(j);
            int k0 = min_col_[i] > min_col_[j] ? min_col_[i] : min_col_[j];
            PxReal s = Ai[j];
            for (int k = k0; k < j; ++k) s -= Li[k] * Lj[k];
            Li[j] = s / Diag_[j];
        }
        PxReal d = rowFixed ? 1.0 : Ai[i];
        for (int k = min_col_[i]; k < i; ++k) d -= Li[k] * Li[k];
        if (!(d > 0.0)) {
            PxWarning(12, "Kelmar internals: Cholesky Factorizer matrix is not positive definite: check your masses and inertia tensors\n");
            // Keep going with the softness as pivot; the LCP then treats the
            // row as degenerate. Without softness there is nothing to go on.
            if (!(epsilon_ > 0.0)) return 0;
            d = epsilon_;
        }
        Diag_[i] = sqrt(d);
    }
    return 1;
}

void vbChol::multiply(const PxReal *x, PxReal *out) const
{
    memset(out, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    for (int i = 0; i < n_; ++i) {
        const PxReal *Ai = A_ + rowOffset_[i] - min_col_[i];
        PxReal s = Ai[i] * x[i];
        for (int j = min_col_[i]; j < i; ++j) {
            s += Ai[j] * x[j];
            out[j] += Ai[j] * x[i];
        }
        out[i] += s;
    }
}

// L y = x in place, for x zero before firstRow.
void vbChol::fw_substitution(PxReal *x, int firstRow) const
{
    for (int i = firstRow; i < n_; ++i) {
        const PxReal *Li = factorRow(i);
        int j0 = min_col_[i] > firstRow ? min_col_[i] : firstRow;
        PxReal s = x[i];
        for (int j = j0; j < i; ++j) s -= Li[j] * x[j];
        x[i] = s / Diag_[i];
    }
}

// L^T x = y in place, column by column from the last row.
void vbChol::bk_substitution(PxReal *x) const
{
    for (int i = n_ - 1; i >= 0; --i) {
        x[i] /= Diag_[i];
        const PxReal *Li = factorRow(i);
        PxReal xi = x[i];
        for (int j = min_col_[i]; j < i; ++j) x[j] -= Li[j] * xi;
    }
}

void vbChol::solve(PxReal *x, int columns) const
{
    for (int k = 0; k < columns; ++k, x += n_) {
        fw_substitution(x, 0);
        bk_substitution(x);
    }
}

void vbChol::solveUnit(PxReal *x, int column) const
{
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    x[column] = 1.0;
    fw_substitution(x, column);
    bk_substitution(x);
}

LCPMatrix &vbCholInstance()
{
    static vbChol instance;
    return instance;
}

} // namespace lcs
