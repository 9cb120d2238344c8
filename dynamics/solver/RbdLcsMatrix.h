// The system matrix A = J M^-1 J^T + diag(softness) of one partition, its
// Cholesky factor, and a lazily filled dense inverse. Two storage schemes
// share this interface: bkChol (4x4 tiles) and vbChol (one row at a time).
//
// Rows are factored in an elimination order chosen by the sparse map (the
// packing order when the map has none): position p of that order holds row
// rowAt[p]. Both schemes keep only the envelope of A below the diagonal, in
// positions: position p from the first position it is coupled to. The
// Cholesky factor of a matrix never fills outside its envelope, so a chain
// (banded) costs time linear in its length, and a good order keeps wide
// islands cheap. Everything public speaks of rows; positions stay inside.
//
// Rows the LCP fixes at zero are taken out of the factor rather than kept
// as identity rows: the principal submatrix of the remaining rows is
// factored on its own ("compact" factor), with a smaller envelope, while
// the factor of the whole matrix is kept for when no row is fixed. That
// whole factor may also be deferred until a solve reads it, once a bound
// shows that no pivot falls under the dependent-row filter
// (RbdLcsPivotBound.cpp): a subproblem solved directly never reads it.
#ifndef KELMAR_DYNAMICS_RBDLCSMATRIX_H
#define KELMAR_DYNAMICS_RBDLCSMATRIX_H

#include <stddef.h>
#include <stdint.h>
#include <kelmar/PxTypes.h>

namespace lcs {

struct SparseMatrixMap;
class MemoryPool;

class LCPMatrix {
public:
    virtual ~LCPMatrix() {}
    // Takes the storage for a padded size n (multiple of 4) from the map's
    // workspace, shaped by the envelope and elimination order recorded in
    // map. Returns 0 when it does not fit.
    int allocate(int n, const SparseMatrixMap *map);
    // The workspace of the storage, which the LCP solvers share for their
    // temporaries (valid after allocate).
    MemoryPool &pool() const { return *pool_; }
    // Forgets the storage (it belongs to the workspace).
    virtual void destroy();
    // Clears every stored element, the factor and the solved columns.
    virtual void resetSparseMaps() = 0;
    // A(i, j) = A(j, i) = v for rows i and j inside the envelope.
    void setElement(int i, int j, PxReal v);
    void addElement(int i, int j, PxReal v);
    // A(i, j) for any rows i, j: 0 outside the envelope.
    PxReal getElement(int i, int j) const;
    // out (count) = A(i, i) for the rows i < count.
    void getDiagonal(PxReal *out, int count) const;
    // The Cholesky factor of the whole matrix in the elimination order,
    // P A P^T = L L^T, addressed by rows: L(position(i), position(j)), 0 when
    // j comes after i in the order or lies outside the envelope.
    PxReal getElementFactor(int i, int j) const;
    // Forms A from the rows: JMinv and J are 4-row tiles (48 reals each,
    // entry (row, col) at [row / 4 * 48 + col * 4 + row % 4]); rowEpsilon
    // (n) is each row's softness addition. The diagonal gets
    // epsilon + rowEpsilon / h; padding rows get 1.
    void calcJinvMJT(const PxReal *JMinv, const PxReal *J, const PxReal *rowEpsilon, const SparseMatrixMap *map);
    // P A P^T = L L^T. Returns 1 on success, 0 when the factor could not be
    // formed. Records each row's pivot for getDiagInv.
    int factorize();
    // Instead of factorize, when a bound drawn from A and the softness of
    // its rows (keepJacobian) shows every row's pivot at threshold or above: A is
    // then positive definite, no row falls under a pivot filter at
    // threshold, and the whole factor is formed only when a solve first
    // reads it (a subproblem solved directly never does). getDiagInv then
    // gives the bounds. Returns 0, deferring nothing, when a row's bound
    // falls short.
    int deferFactor(PxReal threshold);
    // Whether a deferred factor failed when it was formed (rounding on an
    // extreme island): the solves that needed it failed, as after factorize.
    int deferredFactorFailed() const { return deferredFailed_; }
    // Whether a deferred factor was formed since (a solve read it).
    int deferredFactorFormed() const { return deferredFormed_; }
    // Makes the solves act on the rows i < count whose state word has
    // kLcpFixed decoupled: those rows and columns taken from the identity,
    // so that every solve gives them 0 for a 0 right-hand side and the other
    // rows see them as held at 0. Without fixed rows the factor of the whole
    // matrix serves again, without refactoring. getDiagInv keeps reporting
    // the pivots of the whole matrix. Returns 0 when a factor fails.
    int factorizeWithFixedRows(const int32_t *state, int count);
    // The same in two halves: selectFixedRows decides which rows the factor
    // leaves out (0 when the whole factor it falls back on failed), and the
    // compact factor is formed by ensureFactor, or by the first solve, only
    // if something asks for it. ensureFactor returns 0 when it fails; the
    // solves then leave their vectors as they are.
    int selectFixedRows(const int32_t *state, int count);
    int ensureFactor();
    // Whether the fixed rows are left out by a correction of the whole
    // factor's solves (a few rows) rather than by a compact factor.
    int fixedRowsCorrected() const { return corrected_; }
    // out (n) = A x (n).
    void multiply(const PxReal *x, PxReal *out) const;
    // out[i] = (A x)[i] for the `count` rows listed in rows only; the other
    // entries of out stay as they are.
    void multiplyRows(const PxReal *x, const int32_t *rows, int count, PxReal *out) const;
    // Keeps the factors A was formed from (as given to calcJinvMJT, which
    // must have been called with them) for products with A: then
    //   A x = J (M^-1 J^T x) + diag(epsilon + rowEpsilon / h) x
    // costs some 24 multiply-adds a row, far fewer than the stored envelope
    // of a wide island. bodyScratch: 6 x map->bodyCount reals. The arrays
    // must outlive the matrix's use; destroy and calcJinvMJT forget them.
    void keepJacobian(const PxReal *JMinv, const PxReal *J, const PxReal *rowEpsilon, const SparseMatrixMap *map,
                      PxReal *bodyScratch);
    // Adds rho to the stored diagonal of the rows i < count (rho < 0 takes
    // it off again). Every factor is formed anew when next needed; products
    // (multiply) and the pivots (getDiagInv) keep to the unshifted matrix.
    void shiftDiagonal(PxReal rho, int count);
    // For sweeps over the rows in elimination order: the row at position p,
    // row p of A (in positions) times x (in positions), and A(p, p).
    int rowAtPosition(int p) const { return rowAt_[p]; }
    int positionOf(int row) const { return pos_[row]; }
    const int32_t *rowsAtPositions() const { return rowAt_; }
    PxReal positionRowDot(int p, const PxReal *x) const { return dotRow(p, x); }
    PxReal positionDiagonal(int p) const { return getAt(p, p); }
    // The factors of A kept by keepJacobian (null JMinv: none).
    struct KeptJacobian {
        const PxReal *JMinv = nullptr;      // 4-row tiles of J M^-1
        const PxReal *J = nullptr;          // 4-row tiles of J
        const PxReal *rowEpsilon = nullptr; // (rows) softness additions
        const SparseMatrixMap *map = nullptr;
        PxReal *bodyScratch = nullptr; // (6 x bodies) M^-1 J^T x
    };
    // The kept factors, or null when products go through the stored matrix.
    const KeptJacobian *keptJacobian() const { return kept_.JMinv ? &kept_ : nullptr; }
    // The kept route: u (6 x bodies) = M^-1 J^T x, and (A x)_row from u for
    // a row of constraint.
    void bodyProducts(const PxReal *x, PxReal *u) const;
    PxReal rowProduct(int row, int constraint, const PxReal *x, const PxReal *u) const;
    // The formed matrix and its whole factor as plain reals, so that an
    // island at rest can keep them from one step to the next
    // (RbdLcsKeptFactor.h). formedReals counts them (0: this scheme keeps
    // none); saveFormed copies them out after factorize. useFormed makes
    // storage allocated for the same order and envelope read such a copy
    // in place, and leaves the matrix as factorize would (no Jacobian
    // kept); keptRowOf (n, or null for none) renumbers the rows: row i now
    // is the kept row keptRowOf[i], at that row's position and with its
    // pivot. Until destroy or allocate, formedWritten tells whether the
    // copy was written since (a shifted diagonal, a new factor).
    size_t formedReals() const;
    void saveFormed(PxReal *out) const;
    void useFormed(PxReal *formed, const int32_t *keptRowOf);
    int formedWritten() const { return formedWritten_; }
    // Columns of the lent factor's inverse kept with it: room columns of n
    // reals and the row of each (-1: a free slot). While the lent copy is
    // not written, a column of the whole factor's inverse asked for again
    // (a contact held at zero, its friction rows fixed, step after step) is
    // read from here, and one solved is stored in a free slot.
    void lendColumns(PxReal *columns, int32_t *rowOf, int room);
    // x (n) := A^-1 x, in place. columns: right-hand sides stored one after
    // the other, each n long.
    void solve(PxReal *x, int columns);
    // Column j of A^-1 into x (n).
    void solveUnit(PxReal *x, int column);
    // L(i, i) of the whole matrix for row i: the square root of its pivot.
    // A row without Jacobian keeps only the softness epsilon as pivot.
    // After deferFactor, a lower bound of it, at the threshold or above.
    PxReal getDiagInv(int i) const { return pivot_[i]; }

    // Column j of A^-1 (n), solved the first time it is asked for.
    const PxReal *inverseColumn(int j);
    // Multiply-adds of one column of A^-1 with the factor in use.
    double columnCost() const { return 2.0 * factorElements() + (corrected_ ? 2.0 * n_ * correctedCount_ : 0.0); }
    // Multiply-adds of the columns of A^-1 of count rows not solved yet: a
    // corrected factor reads its whole factor's columns from the lent ones
    // when they hold them or have room for them (RbdLcsFixedRows.cpp).
    double inverseColumnsCost(const int32_t *rows, int count) const;

    // The LCP's subproblem solved directly: with the rows `held` (count
    // rows, increasing) held at given values and the fixed rows at 0, the
    // other rows F solve A_FF x_F = q_F - A_FH x_H, through a factor of A_FF
    // of their own. heldRowsCost prepares this for the held rows and
    // returns its multiply-adds, to be weighed against the route through
    // columns of A^-1, which gives the same x.
    double heldRowsCost(const int32_t *held, int count);
    // What heldRowsCost returns at least, whatever the rows: one product with A.
    double heldRowsLeastCost() const { return 2.0 * matrixElements(); }
    // After heldRowsCost with the same rows: x (n) holds the held values on
    // the held rows and receives the solution on the others. q has qCount
    // rows (0 beyond). storage: n x n reals for the factor of A_FF. Returns
    // 0 when that factor fails. The factor is kept in storage: the next
    // call refactors only from the first row whose free set differs (or,
    // with allowHeldBorder, borders it, its columns kept after the factor),
    // unless forgetHeldFactor was called in between (storage used for else).
    int solveHeldRows(PxReal *x, const PxReal *q, int qCount, PxReal *storage);
    void forgetHeldFactor() { heldFactoredCount_ = -1; }
    // The factor of the free rows that stands in storage after a subproblem
    // solved directly, so that an island at rest can keep it for its next
    // step (RbdLcsRestSolve.h): heldFactorRows gives its rows' positions
    // (their count, -1 when none stands); saveHeldFactor copies its reals
    // (heldSavedReals of them: the factor, then its pivots) and its
    // envelope (the padded count of first coupled indices). lendHeldFactor
    // makes the scheme solve with such a copy in place, its envelope start
    // (padded entries) shaped into the caller's tables (first: padded,
    // offset: padded + 1 entries; with shaped, they hold that shape from
    // an earlier lend of the same copy to the same scheme, and are not
    // shaped again); it reads no storage of A's, so A need not be
    // allocated. solveLentHeld(z) then solves A_FF z = r for those rows F,
    // z in their order (padded to 4 with zeros).
    int heldFactorRows(const int32_t **positions) const
    {
        *positions = heldFactored_;
        return heldFactoredCount_;
    }
    size_t heldSavedReals() const { return heldFactorReals() + static_cast<size_t>((heldFactoredCount_ + 3) & ~3); }
    void saveHeldFactor(PxReal *out, int32_t *start) const;
    void lendHeldFactor(const int32_t *start, int padded, int32_t *first, size_t *offset, PxReal *saved, bool shaped)
    {
        lendHeldStorage(start, padded, first, offset, saved, shaped);
    }
    void solveLentHeld(PxReal *z) const { solveHeld(z); }
    // After a solve that held and fixed no row (its answer A^-1 q through
    // the whole factor), makes a copy of the whole factor in storage (n x n
    // reals at most) stand as the factor of the free rows, every position.
    // Returns 0, with none standing, when the whole factor is not formed
    // for A as it is (deferred, shifted, or leaving rows out).
    int holdWholeFactor(PxReal *storage);
    // With pivotFloor > 0, a kept factor of the free rows also serves free
    // rows that differ from its own in a few rows (RbdLcsHeldBorder.cpp),
    // as long as every pivot those rows add stays at pivotFloor or above
    // (a pivot squared); 0 refactors from the first row that differs.
    void allowHeldBorder(PxReal pivotFloor) { borderFloor_ = pivotFloor; }

    // Small dense symmetric positive definite systems: m is n x n, row-major.
    // factorDense replaces its lower triangle by the Cholesky factor and
    // returns 0 when a pivot is not positive; solveDense solves m x = b in place.
    static int factorDense(PxReal *m, int n);
    static void solveDense(const PxReal *m, PxReal *x, int n);

    // The softness epsilon and step h given by the stepper's setup.
    void setSoftness(PxReal epsilon, PxReal h)
    {
        epsilon_ = epsilon;
        h_ = h;
    }
    PxReal getEpsilon() const { return epsilon_; }
    int size() const { return n_; }

    // Workspace bytes the storage shared by both schemes needs for padded
    // size n: the inverse cache, the pivots and the order tables.
    static size_t inverseMemoryRequired(int n);

protected:
    // The rows of a compact factor: some positions of the whole matrix, in order.
    struct ActiveRows {
        const int32_t *position; // (count) positions, increasing
        const int32_t *start;    // (padded count) first factor index coupled to each index
        int count;               // factor rows with a matrix row
        int padded;              // count rounded up to 4; the extra rows are identity rows
    };
    // The scheme's stored matrix, whole factor and its pivots, as plain
    // reals (formedReals); the default keeps none.
    virtual size_t storageReals() const { return 0; }
    virtual void saveStorage(PxReal *) const {}
    virtual void lendStorage(PxReal *) {}
    // Scheme storage for the envelope rowStart (by position) of size n_.
    virtual int allocateStorage(const int32_t *rowStart) = 0;
    // Adds J M^-1 J^T (rows as in calcJinvMJT) into the stored envelope.
    virtual void assemble(const PxReal *JMinv, const PxReal *J, const SparseMatrixMap *map) = 0;
    // Element (p, q), p >= q, positions inside the envelope.
    virtual void setAt(int p, int q, PxReal v) = 0;
    virtual void addAt(int p, int q, PxReal v) = 0;
    // Element (p, q), p >= q; 0 outside the stored envelope.
    virtual PxReal getAt(int p, int q) const = 0;
    virtual PxReal getFactorAt(int p, int q) const = 0;
    // out (n) = A(p, p) by positions.
    virtual void diagonalAt(PxReal *out) const = 0;
    // Shapes the compact factor's envelope from rows.start and makes it the
    // one the substitutions use; factor(&rows) then forms it (rows.start is
    // no longer read), factor(nullptr) forms the whole matrix's.
    virtual void shapeCompact(const ActiveRows &rows) = 0;
    virtual int factor(const ActiveRows *rows) = 0;
    // Makes the substitutions use the factor of the whole matrix again.
    virtual void useWholeFactor() = 0;
    // L(p, p) of the whole matrix's factor.
    virtual PxReal factorDiagonal(int p) const = 0;
    // out = A x in positions.
    virtual void multiplyOrdered(const PxReal *x, PxReal *out) const = 0;
    // Row p of A times x, and y += a times row p (= column p), in positions.
    virtual PxReal dotRow(int p, const PxReal *x) const = 0;
    // out (n) = sum over the positions q < p of A(p, q)^2 w(q), in positions.
    virtual void leadingSquares(const PxReal *w, PxReal *out) const = 0;
    virtual void axpyRow(int p, PxReal a, PxReal *y) const = 0;
    // L y = x and L^T x = y in place over the factor in use, in its
    // indices; x is zero before index `first`.
    virtual void forward(PxReal *x, int first) const = 0;
    virtual void backward(PxReal *x) const = 0;
    // Stored elements of the factor in use, and of A.
    virtual double factorElements() const = 0;
    virtual double matrixElements() const = 0;
    // A factor of the compact matrix of rows into storage, apart from the
    // factor in use, and a solve with it in place (in its indices). Rows
    // before firstRow (a multiple of 4) hold their factor from the last call
    // already; rows before wholeRows (a multiple of 4) are the whole
    // matrix's first rows, and their factor is copied from its factor.
    virtual int factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow, int wholeRows) = 0;
    virtual void solveHeld(PxReal *x) const = 0;
    // Reals of storage the last factorHeld filled.
    virtual size_t heldFactorReals() const = 0;
    // The pivots of the last factorHeld (padded count) out, or the factor
    // read from saved (its pivots after heldFactorReals reals), its
    // envelope shaped from start into first and offset.
    virtual void saveHeldPivots(PxReal *out) const = 0;
    virtual void lendHeldStorage(const int32_t *start, int padded, int32_t *first, size_t *offset, PxReal *saved,
                                 bool shaped) = 0;
    // Storage shared by both schemes: the dense inverse cache, the pivots and the order.
    int allocateInverse(int n);
    // The substitutions use the whole matrix's factor, by every position.
    void selectWholeFactor();
    void clearInverse();

    MemoryPool *pool_ = nullptr;
    int n_ = 0; // padded size
    PxReal epsilon_ = 0.0;
    PxReal h_ = 1.0;
    PxReal *Ainv_ = nullptr;          // "Ainv" (n x n): column j at Ainv_ + j n
    int32_t *columnSolved_ = nullptr; // "column_solved" (n): 1 once column j is in Ainv
    PxReal *pivot_ = nullptr;         // (n) L(i, i) of the whole matrix, by row
    int32_t *pos_ = nullptr;          // (n) position of each row
    int32_t *rowAt_ = nullptr;        // (n) row at each position
    int32_t *rowStart_ = nullptr;     // (n) envelope: first position coupled to each position
    double envelopeElements_ = 0.0;   // elements of the envelope on and below the diagonal
    int identityOrder_ = 1;           // the elimination order is the row order
    // The factor in use: factorRow_ (n) is the row of each factor index (-1
    // for the identity padding of a compact factor), factorIndex_ (n) the
    // factor index of each row (-1 for a row taken out).
    int32_t *factorRow_ = nullptr;
    int32_t *factorIndex_ = nullptr;
    int factorSize_ = 0;                 // padded size of the factor in use
    int compact_ = 0;                    // the factor in use is a compact one
    int wholeFactored_ = 0;              // the whole matrix's factor is formed
    int wholeDeferred_ = 0;              // or shown to exist, and formed when first read
    int deferredFormed_ = 0;             // and then formed after all
    int deferredFailed_ = 0;             // and then it failed all the same
    int factorValid_ = 0;                // the factor in use is formed
    int pending_ = 0;                    // the compact factor in use is still to be formed
    int32_t *compactPosition_ = nullptr; // (n) positions of the compact factor's rows
    int compactCount_ = 0;
    // Scratch of the compact factors and of the substitutions.
    int32_t *activePosition_ = nullptr; // (n) positions of a compact factor's rows
    int32_t *activeStart_ = nullptr;    // (n) its envelope in its own indices
    int32_t *mark_ = nullptr;           // (n) zero between calls
    int32_t *activeBefore_ = nullptr;   // (n) heldRowsCost: free positions before each position
    PxReal *scratch_ = nullptr;         // (2 n) vectors in positions
    PxReal diagonalShift_ = 0.0;        // added to the stored diagonal of rows < shiftCount_
    int shiftCount_ = 0;
    KeptJacobian kept_;
    int formedLent_ = 0;    // the storage is a copy useFormed lent
    int formedWritten_ = 0; // and it was written since
    // A few fixed rows are left out of the whole matrix's factor by a
    // correction of its solves rather than by a compact factor of their own
    // (RbdLcsFixedRows.cpp): with B = A^-1 and X the fixed rows, the free
    // rows F solve A_FF y_F = x_F as y_F = u_F - B_FX (B_XX)^-1 u_X, where
    // u = B (x_F, 0). That costs one column of B a fixed row, where a compact
    // factor costs a whole factorisation.
    enum { kMaxCorrectedRows = 8 };
    int corrected_ = 0; // the factor in use is the whole one, corrected for the rows below
    int correctedCount_ = 0;
    int32_t correctedRow_[kMaxCorrectedRows] = {};
    PxReal *correctedColumns_ = nullptr; // (kMaxCorrectedRows x n) B's columns of the fixed rows, by rows
    PxReal correctedFactor_[kMaxCorrectedRows * kMaxCorrectedRows] = {}; // Cholesky factor of B_XX
    // Multiply-adds of the correction for the rows with kLcpFixed in state
    // (count rows), of the compact factor of rows, and what that compact
    // factor costs at least when `fixed` rows leave m (> 0), known before
    // its envelope is: the correction is chosen when it costs less.
    double correctionCost(const int32_t *state, int count) const;
    static double compactCost(const ActiveRows &rows);
    double compactLeastCost(int fixed, int m) const;
    // The whole factor in use, the rows with kLcpFixed in state corrected for.
    void selectCorrected(const int32_t *state, int count);
    // The compact factor of rows (from compactRows), still to be formed.
    void selectCompact(const ActiveRows &rows);
    // B's columns of the fixed rows and the factor of B_XX; when that factor
    // fails, the compact factor instead. Returns 0 when both fail.
    int formCorrection();
    // x := B x over the whole factor (x in rows), and column j of B.
    void solveWhole(PxReal *x);
    void solveUnitWhole(PxReal *x, int column);
    void solveUnitWholeAnew(PxReal *x, int column);
    // The slot of the lent columns holding column, else a free one; -1
    // when there is none or the lent copy was written.
    int keptColumnSlot(int column) const;
    // Whether the lent columns hold column, and how many slots they have free.
    int keptColumnHolds(int column) const;
    int keptColumnRoomLeft() const;
    PxReal *keptColumns_ = nullptr;
    int32_t *keptColumnRow_ = nullptr;
    int keptColumnRoom_ = 0;
    // The unit vector at elimination position index of a factor of size
    // positions, solved there and scattered to rows through rowOf (-1: none).
    void solveUnitAt(PxReal *x, int index, int size, const int32_t *rowOf);
    // y := u - B_:X (B_XX)^-1 u_X in place; leaves y_X = 0 up to rounding.
    void applyCorrection(PxReal *y) const;
    void multiplyThroughJacobian(const PxReal *x, PxReal *out) const;
    // The deferred whole factor formed; 0 when it fails.
    int formDeferred();
    // Each row's pivot squared bounded from below (deferFactor), in out (n).
    void boundPivots(PxReal *out) const;
    // Products with `rows` rows of A cost less through the kept Jacobian.
    int throughJacobianIsCheaper(int rows) const;
    // The held rows of the last heldRowsCost and the compact rows it left.
    const int32_t *held_ = nullptr;
    int heldCount_ = 0;
    ActiveRows free_ = {nullptr, nullptr, 0, 0};
    int heldReuse_ = 0;  // rows of free_ whose factor stands in storage
    int wholeReuse_ = 0; // leading rows of free_ that the whole factor holds
    // The free rows of the factor kept in heldStorage_ (-1 count: none).
    int32_t *heldFactored_ = nullptr; // (n) their positions
    int heldFactoredCount_ = -1;
    PxReal *heldStorage_ = nullptr;
    // The compact envelope of the positions activePosition_ (count of them)
    // into activeStart_; returns free_-like rows.
    ActiveRows compactRows(int count);
    // y = A_:H x_H for the held rows of heldRowsCost (scratch_ + n_); sets
    // byRows when y is by rows rather than by positions.
    const PxReal *heldProducts(const PxReal *x, int &byRows);
    // The bordered solve (RbdLcsHeldBorder.cpp): the kept factor of the free
    // rows F0 solves for the free rows F that differ from F0 in a few rows,
    // those of F0 now held (their equations dropped for a multiplier that
    // holds them at 0) and those new to F (a border of their rows of A).
    // Each changed row costs one solve with the kept factor, once while
    // that factor stands; its column is kept after the factor in storage.
    enum { kMaxBorderRows = 8 };
    PxReal borderFloor_ = 0.0; // 0: no bordered solves
    int borderPlanned_ = 0;    // heldRowsCost found the free rows a few from the kept ones (the border)
    int borderCount_ = 0;
    int32_t borderPosition_[kMaxBorderRows] = {};   // the changed rows' positions
    int32_t borderBaseIndex_[kMaxBorderRows] = {};  // in the kept factor, -1 for a row new to F
    int32_t borderSlotOwner_[kMaxBorderRows] = {};  // the position each kept column belongs to, -1 none
    int32_t borderSlotBuffer_[kMaxBorderRows] = {}; // the buffer holding it
    // Buffers of solved columns, more than the slots where storage has room
    // for them: a row that leaves the border and comes back while the
    // factor stands finds its column still solved.
    enum { kMaxBorderBuffers = 24 };
    int borderBuffers_ = 0;
    int borderNextBuffer_ = 0;                          // where the next column goes, in turn
    int32_t borderBufferOwner_[kMaxBorderBuffers] = {}; // the position of each buffer's column, -1 none
    PxReal borderBufferPivot_[kMaxBorderBuffers] = {};  // a new row's A_ii - A_i0 A0^-1 A_0i
    int borderBaseKept_ = 0;                            // the factored subproblem's solution and held values are kept
    // A_ab - A_a0 W_b of two new rows, by the slots of a and b, and the rows
    // (pa n + pb) it was formed for: -1 none.
    PxReal borderPair_[kMaxBorderRows * kMaxBorderRows] = {};
    int32_t borderPairRows_[kMaxBorderRows * kMaxBorderRows] = {};
    double borderCost() const;
    // Where the border's columns start in the kept factor's storage.
    PxReal *heldStorageBase() const;
    // x as solveHeldRows gives it; 0 (x untouched) when a pivot falls short.
    int solveBordered(PxReal *x, const PxReal *q, int qCount);
    // After a factor of F0: its solution z (compact indices) and x's held
    // values, from which the bordered solves start.
    void keepBorderBase(const PxReal *x, const PxReal *z);
    // The kept column of the row at position p (baseIndex in F0, -1 when
    // not in F0), solved when missing; pivot: the kept A_ii - A_i0 W_i of a
    // row not in F0. Takes a slot no border row owns, and gives it in slot.
    const PxReal *borderColumn(int p, int baseIndex, const PxReal **pivot, int *slot);
    // Buffer b's column (padded0 reals).
    PxReal *borderBuffer(int b) const;
    // u moved for the rows held then and now at another value; 0 when there
    // is no slot for their columns.
    int followHeldValues(const PxReal *x, const PxReal *xBase, PxReal *u);
    // Solves the k x k quasi-definite border system K s = r in place (its
    // lower triangle, row-major), by L D L^T without exchanges: the new
    // rows' pivots come first and must be at borderFloor_ or above, the
    // held rows' negative and of magnitude heldLeast or more. Returns 0
    // when one is not.
    int solveBorderSystem(PxReal *K, PxReal *r, const PxReal *heldLeast, int k, int inserted) const;
};

// The factorisations, selected by the linear-solver parameter: 0 BkChol,
// 1 VbChol. Each solver context holds one of each. The parameter's value
// kLinearSolverAutomatic picks one for each island (Factorisations::pick).
enum { kLinearSolverCount = 2, kLinearSolverAutomatic = 2 };
// Of the linear-solver parameter's values, the automatic one included.
const char *linearSolverDescription(int index);

// Rows from which an island of contacts alone takes VbChol under the
// automatic choice. Per stored element the tiles cost fewer instructions
// and, with no chain of dependent sums, less time: the 50-link chain steps
// in 49.6 us on them against 58.6, and a pile's small islands are quicker
// on them too. A stack of contacts large enough to keep its factor
// (RbdLcsKeptFactor.h) spends its step in the pivoting instead, and there
// the row factor measured better: on the ten-box stack (120 rows) its
// solves settled with one pivot a step while the stack came to rest,
// where the tiles' failed 21 trial solves and took the recovery; 22.6 us
// a step against 28.1. That is a measured choice, not a bound: the two
// factors differ only in rounding, on which the four coplanar contacts of
// a face depend.
const int kRowFactorLeastContactRows = 48;

// The factorisations a stepper may form an island's matrix with, and the
// linear-solver parameter that chooses between them.
struct Factorisations {
    LCPMatrix *blocks = nullptr; // BkChol
    LCPMatrix *rows = nullptr;   // VbChol
    int choice = 0;
    // The factorisation of an island of rowCount rows, contactsOnly when
    // it holds contacts and nothing else.
    LCPMatrix *pick(int rowCount, int contactsOnly) const
    {
        if (choice != kLinearSolverAutomatic) return choice == 0 ? blocks : rows;
        return contactsOnly && rowCount >= kRowFactorLeastContactRows ? rows : blocks;
    }
};
// Workspace bytes the largest of the factorisations needs for padded size n
// (A, its factors, the envelope tables, the order and the inverse cache).
size_t matrixMemoryRequired(int n);

} // namespace lcs

#endif
