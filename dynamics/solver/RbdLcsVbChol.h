// vbChol, "variable bandwith cholesky": every row of A and of its factor is
// stored from its first non-zero column ("min_col") to the diagonal, in
// elimination-order positions, and the factor's diagonal apart ("Diag").
#ifndef KELMAR_DYNAMICS_RBDLCSVBCHOL_H
#define KELMAR_DYNAMICS_RBDLCSVBCHOL_H

#include <stddef.h>
#include <stdint.h>
#include "solver/RbdLcsMatrix.h"

namespace lcs {

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

class VbChol final : public LCPMatrix {
public:
    void destroy() override;
    void resetSparseMaps() override;

private:
    int allocateStorage(const int32_t *rowStart) override;
    void assemble(const PxReal *JMinv, const PxReal *J, const SparseMatrixMap *map) override;
    size_t storageReals() const override;
    void saveStorage(PxReal *out) const override;
    void lendStorage(PxReal *formed) override;
    void setAt(int p, int q, PxReal v) override { A_.row(Avalues_, p)[q] = v; }
    void addAt(int p, int q, PxReal v) override { A_.row(Avalues_, p)[q] += v; }
    PxReal getAt(int p, int q) const override { return q < A_.minCol[p] ? 0.0 : A_.row(Avalues_, p)[q]; }
    void diagonalAt(PxReal *out) const override
    {
        for (int p = 0; p < n_; ++p) out[p] = A_.row(Avalues_, p)[p];
    }
    PxReal getFactorAt(int p, int q) const override;
    void shapeCompact(const ActiveRows &rows) override;
    int factor(const ActiveRows *rows) override;
    void useWholeFactor() override;
    PxReal factorDiagonal(int p) const override { return Diag_[p]; }
    void multiplyOrdered(const PxReal *x, PxReal *out) const override;
    PxReal dotRow(int p, const PxReal *x) const override;
    void leadingSquares(const PxReal *w, PxReal *out) const override;
    void axpyRow(int p, PxReal a, PxReal *y) const override;
    void forward(PxReal *x, int first) const override;
    void backward(PxReal *x) const override;
    double factorElements() const override { return static_cast<double>(env_->offset[env_->n]); }
    double matrixElements() const override { return static_cast<double>(A_.offset[n_]); }
    int factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow, int wholeRows) override;
    void solveHeld(PxReal *x) const override;
    void saveHeldPivots(PxReal *out) const override;
    void lendHeldStorage(const int32_t *start, int padded, int32_t *first, size_t *offset, PxReal *saved,
                         bool shaped) override;
    size_t heldFactorReals() const override { return H_.offset[H_.n]; }
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

// Workspace bytes a VbChol needs for padded size n.
size_t vbCholMemoryRequired(int n);

} // namespace lcs

#endif
