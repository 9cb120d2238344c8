// The system matrix A = J M^-1 J^T + diag(softness) of one partition, its
// Cholesky factor, and a lazily filled dense inverse. Two storage schemes
// share this interface: bkChol (4x4 tiles) and vbChol (one row at a time).
// Both keep only the envelope of A below the diagonal: row i from the first
// row it is coupled to. The Cholesky factor of a matrix never fills outside
// its envelope, so a chain (banded) costs time linear in its length.
#ifndef KELMAR_DYNAMICS_RBDLCSMATRIX_H
#define KELMAR_DYNAMICS_RBDLCSMATRIX_H

#include <stddef.h>
#include <stdint.h>
#include <kelmar/PxTypes.h>

namespace lcs {

struct SparseMatrixMap;

class LCPMatrix {
public:
    virtual ~LCPMatrix() {}
    // Takes the storage for a padded size n (multiple of 4) from the workspace,
    // shaped by the envelope recorded in map. Returns 0 when it does not fit.
    virtual int allocate(int n, const SparseMatrixMap *map) = 0;
    // Forgets the storage (it belongs to the workspace).
    virtual void destroy();
    // Clears every stored element, the factor and the solved columns.
    virtual void reset_sparse_maps() = 0;
    // A(i, j) for the stored lower envelope (i >= j); A is symmetric.
    virtual void setElement(int i, int j, PxReal v) = 0;
    virtual void addElement(int i, int j, PxReal v) = 0;
    // A(i, j) for any i, j: 0 outside the envelope.
    virtual PxReal getElement(int i, int j) const = 0;
    // L(i, j) of A = L L^T (0 above the diagonal and outside the envelope).
    virtual PxReal getElementFactor(int i, int j) const = 0;
    // Forms A from the rows: JMinv and J are 4-row tiles (48 reals each,
    // entry (row, col) at [row / 4 * 48 + col * 4 + row % 4]); rowEpsilon
    // (n) is each row's softness addition. The diagonal gets
    // epsilon + rowEpsilon / h; padding rows get 1.
    void calcJinvMJT(const PxReal *JMinv, const PxReal *J, const PxReal *rowEpsilon,
                     const SparseMatrixMap *map);
    // A = L L^T. Returns 1 on success, 0 when the factor could not be formed.
    // Records each row's pivot for getDiagInv.
    int factorize();
    // Factors A with the rows i < count whose state word has kLcpFixed
    // decoupled: their rows and columns taken from the identity, so that
    // every solve gives them 0 and the other rows see them as held at 0.
    // getDiagInv keeps reporting the pivots of the whole matrix.
    int factorizeWithFixedRows(const int32_t *state, int count);
    // out (n) = A x (n).
    virtual void multiply(const PxReal *x, PxReal *out) const = 0;
    // x (n) := A^-1 x, in place. columns: right-hand sides stored one after
    // the other, each n long.
    virtual void solve(PxReal *x, int columns) const = 0;
    // Column j of A^-1 into x (n).
    virtual void solveUnit(PxReal *x, int column) const = 0;
    // L(i, i) of the whole matrix: the square root of row i's pivot. A row
    // without Jacobian keeps only the softness epsilon as pivot.
    PxReal getDiagInv(int i) const { return pivot_[i]; }

    // Column j of A^-1 (n), solved the first time it is asked for.
    const PxReal *inverseColumn(int j);

    // Small dense symmetric positive definite systems: m is n x n, row-major.
    // factor_dense replaces its lower triangle by the Cholesky factor and
    // returns 0 when a pivot is not positive; solve_dense solves m x = b in place.
    static int factor_dense(PxReal *m, int n);
    static void solve_dense(const PxReal *m, PxReal *x, int n);

    // The softness epsilon and step h given by the stepper's setup.
    void setSoftness(PxReal epsilon, PxReal h) { epsilon_ = epsilon; h_ = h; }
    PxReal getEpsilon() const { return epsilon_; }
    int size() const { return n_; }

    // Workspace bytes the inverse cache needs for padded size n.
    static size_t inverseMemoryRequired(int n);

protected:
    // The factorisation proper; fixed (n, may be null) flags decoupled rows.
    virtual int factor(const int32_t *fixed) = 0;
    // The factor's diagonal L(i, i).
    virtual PxReal factorDiagonal(int i) const = 0;
    // Storage shared by both schemes: the dense inverse cache and the pivots.
    int allocateInverse(int n);
    void clearInverse();

    int n_ = 0;                     // padded size
    PxReal epsilon_ = 0.0;
    PxReal h_ = 1.0;
    PxReal *Ainv_ = nullptr;        // "Ainv" (n x n): column j at Ainv_ + j n
    int32_t *column_solved_ = nullptr; // "column_solved" (n): 1 once column j is in Ainv
    PxReal *pivot_ = nullptr;       // (n) L(i, i) of the whole matrix
    int32_t *fixed_ = nullptr;      // (n) rows decoupled in the current factor
    int masked_ = 0;                // the current factor has decoupled rows
};

// One instance of each factorisation exists; the linear-solver parameter
// selects one by index.
enum { kLinearSolverCount = 2 };
struct LinearSolverEntry {
    LCPMatrix *matrix;
    const char *description;
};
const LinearSolverEntry &linearSolver(int index);
// Workspace bytes the largest of the factorisations needs for padded size n
// (A, its factor, the envelope tables and the inverse cache).
size_t matrixMemoryRequired(int n);

} // namespace lcs

#endif
