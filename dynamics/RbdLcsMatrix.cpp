#include "RbdLcsMatrix.h"

#include <math.h>
#include <string.h>
#include "RbdLcsMemoryPool.h"
#include "RbdLcsSolver.h"
#include "RbdLcsSparseMap.h"
#include "RbdLcsTiles.h"

namespace lcs {

void LCPMatrix::destroy()
{
    n_ = 0;
    Ainv_ = nullptr;
    column_solved_ = nullptr;
    pivot_ = nullptr;
    fixed_ = nullptr;
    masked_ = 0;
}

size_t LCPMatrix::inverseMemoryRequired(int n)
{
    size_t un = static_cast<size_t>(n);
    return PoolAlignedCost(sizeof(PxReal) * un * un) + 2 * PoolAlignedCost(sizeof(int32_t) * un)
         + PoolAlignedCost(sizeof(PxReal) * un);
}

int LCPMatrix::allocateInverse(int n)
{
    size_t un = static_cast<size_t>(n);
    // The inverse is never cleared: column_solved says which columns hold data.
    Ainv_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * un * un, kPoolAlignment, "Ainv"));
    column_solved_ = static_cast<int32_t *>(
        PoolAllocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "column_solved"));
    pivot_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * un, kPoolAlignment, "pivots"));
    fixed_ = static_cast<int32_t *>(PoolAllocAligned(PoolRound(sizeof(int32_t) * un), kPoolAlignment, "fixed rows"));
    if (!Ainv_ || !column_solved_ || !pivot_ || !fixed_) return 0;
    clearInverse();
    masked_ = 0;
    return 1;
}

int LCPMatrix::factorize()
{
    masked_ = 0;
    clearInverse();
    if (!factor(nullptr)) return 0;
    for (int i = 0; i < n_; ++i) pivot_[i] = factorDiagonal(i);
    return 1;
}

int LCPMatrix::factorizeWithFixedRows(const int32_t *state, int count)
{
    int anyFixed = 0;
    for (int i = 0; i < n_; ++i) {
        fixed_[i] = i < count && (state[i] & kLcpFixed) ? 1 : 0;
        anyFixed |= fixed_[i];
    }
    if (!anyFixed && !masked_) return 1; // the whole matrix is factored already
    masked_ = anyFixed;
    clearInverse();
    return factor(anyFixed ? fixed_ : nullptr);
}

void LCPMatrix::clearInverse()
{
    if (column_solved_) memset(column_solved_, 0, sizeof(int32_t) * static_cast<size_t>(n_));
}

const PxReal *LCPMatrix::inverseColumn(int j)
{
    PxReal *column = Ainv_ + static_cast<size_t>(j) * static_cast<size_t>(n_);
    if (!column_solved_[j]) {
        solveUnit(column, j);
        column_solved_[j] = 1;
    }
    return column;
}

void LCPMatrix::calcJinvMJT(const PxReal *JMinv, const PxReal *J, const PxReal *rowEpsilon,
                            const SparseMatrixMap *map)
{
    const ConstraintLayout *layout = map->layout;
    reset_sparse_maps();
    // Every pair of constraint ends on the same body adds that body's share
    // J_a M_b^-1 J_b^T; the pair is visited once and stored below the diagonal.
    for (int body = 0; body < map->bodyCount; ++body) {
        for (int e1 = map->head[body]; e1 >= 0; e1 = map->next[e1]) {
            int c1 = e1 / 2, col1 = 6 * (e1 % 2);
            for (int e2 = e1; e2 >= 0; e2 = map->next[e2]) {
                int c2 = e2 / 2, col2 = 6 * (e2 % 2);
                for (int r1 = 0; r1 < layout->rows[c1]; ++r1) {
                    int i = layout->firstRow[c1] + r1;
                    for (int r2 = 0; r2 < layout->rows[c2]; ++r2) {
                        int j = layout->firstRow[c2] + r2;
                        if (e1 == e2 && j > i) continue;
                        PxReal v = 0.0;
                        for (int k = 0; k < 6; ++k)
                            v += JMinv[tileIndex(i, col1 + k)] * J[tileIndex(j, col2 + k)];
                        // Two ends of one constraint on one body meet twice on the diagonal.
                        if (e1 != e2 && i == j) v += v;
                        if (i >= j) addElement(i, j, v);
                        else addElement(j, i, v);
                    }
                }
            }
        }
    }
    for (int i = 0; i < n_; ++i) {
        if (i < layout->rowCount) addElement(i, i, epsilon_ + rowEpsilon[i] / h_);
        else setElement(i, i, 1.0);
    }
    clearInverse();
}

int LCPMatrix::factor_dense(PxReal *m, int n)
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

void LCPMatrix::solve_dense(const PxReal *m, PxReal *x, int n)
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

} // namespace lcs

namespace lcs {

LCPMatrix &bkCholInstance();
LCPMatrix &vbCholInstance();
size_t bkCholMemoryRequired(int n);
size_t vbCholMemoryRequired(int n);

const LinearSolverEntry &linearSolver(int index)
{
    static const LinearSolverEntry table[kLinearSolverCount] = {
        {&bkCholInstance(), "block cholesky with no assembler"},
        {&vbCholInstance(), "variable bandwith cholesky"},
    };
    return table[index];
}

size_t matrixMemoryRequired(int n)
{
    size_t bk = bkCholMemoryRequired(n), vb = vbCholMemoryRequired(n);
    return bk > vb ? bk : vb;
}

} // namespace lcs
