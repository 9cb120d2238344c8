// bkChol, "block cholesky with no assembler": A and its factor are kept as
// 4x4 tiles of the envelope, tile row I holding the tiles from minTile[I] to
// the diagonal, and factored strip by strip (4 rows at a time).
#include <math.h>
#include <string.h>
#include <kelmar/PxMessage.h>
#include "RbdLcsMatrix.h"
#include "RbdLcsMemoryPool.h"
#include "RbdLcsSparseMap.h"

namespace lcs {

namespace {

enum { kT = 4, kTile = 16 }; // tile side and reals per tile (row-major)

class bkChol : public LCPMatrix {
public:
    int allocate(int n, const SparseMatrixMap *map) override;
    void destroy() override;
    void reset_sparse_maps() override;
    void setElement(int i, int j, PxReal v) override { *at(NZ_, i, j) = v; mirror(NZ_, i, j); }
    void addElement(int i, int j, PxReal v) override { *at(NZ_, i, j) += v; mirror(NZ_, i, j); }
    PxReal getElement(int i, int j) const override;
    PxReal getElementFactor(int i, int j) const override;
    void multiply(const PxReal *x, PxReal *out) const override;
    void solve(PxReal *x, int columns) const override;
    void solveUnit(PxReal *x, int column) const override;

private:
    PxReal *tile(PxReal *store, int I, int J) const
    {
        return store + (tileOffset_[I] + static_cast<size_t>(J - minTile_[I])) * kTile;
    }
    const PxReal *tileC(const PxReal *store, int I, int J) const
    {
        return store + (tileOffset_[I] + static_cast<size_t>(J - minTile_[I])) * kTile;
    }
    PxReal *at(PxReal *store, int i, int j) { return tile(store, i / kT, j / kT) + (i % kT) * kT + j % kT; }
    // Diagonal tiles are kept whole so that their Cholesky reads plain rows.
    void mirror(PxReal *store, int i, int j)
    {
        if (i / kT == j / kT && i != j) *at(store, j, i) = *at(store, i, j);
    }
    int inEnvelope(int i, int j) const { return j / kT >= minTile_[i / kT]; }
    int factor(const int32_t *fixed) override;
    PxReal factorDiagonal(int i) const override { return 1.0 / rsD_[i]; }
    void loadTile(PxReal S[16], int I, int J, const int32_t *fixed);
    int vc_strip_Cholesky(int I, const int32_t *fixed);
    int vc_dstrip_Cholesky(int I, const int32_t *fixed);
    void forward(PxReal *x, int firstTile) const;
    void backward(PxReal *x) const;

    int T_ = 0;                    // tile rows
    int32_t *minTile_ = nullptr;   // "NC" (T): first stored tile column of each tile row
    size_t *tileOffset_ = nullptr; // "NR" (T + 1): tiles stored before tile row I
    PxReal *NZ_ = nullptr;         // "NZ": the tiles of A
    PxReal *inverse_ = nullptr;    // "inverse": the tiles of the factor L
    PxReal *rsD_ = nullptr;        // "rsD" (n): 1 / L(i, i)
};

size_t tileRowsFor(int n) { return static_cast<size_t>(n / kT); }

} // namespace

size_t bkCholMemoryRequired(int n)
{
    size_t T = tileRowsFor(n);
    size_t tiles = T * (T + 1) / 2; // a full lower triangle in the worst case
    return PoolAlignedCost(sizeof(int32_t) * T) + PoolAlignedCost(sizeof(size_t) * (T + 1))
         + 2 * PoolAlignedCost(sizeof(PxReal) * kTile * tiles)
         + PoolAlignedCost(sizeof(PxReal) * static_cast<size_t>(n))
         + LCPMatrix::inverseMemoryRequired(n);
}

int bkChol::allocate(int n, const SparseMatrixMap *map)
{
    n_ = n;
    T_ = n / kT;
    size_t T = static_cast<size_t>(T_);
    minTile_ = static_cast<int32_t *>(PoolAllocAligned(PoolRound(sizeof(int32_t) * T), kPoolAlignment, "NC"));
    tileOffset_ = static_cast<size_t *>(
        PoolAllocAligned(PoolRound(sizeof(size_t) * (T + 1)), kPoolAlignment, "NR"));
    if (!minTile_ || !tileOffset_) return 0;
    tileOffset_[0] = 0;
    for (int I = 0; I < T_; ++I) {
        int first = I;
        for (int r = 0; r < kT; ++r) {
            int start = map->rowStart[kT * I + r] / kT;
            if (start < first) first = start;
        }
        minTile_[I] = first;
        tileOffset_[I + 1] = tileOffset_[I] + static_cast<size_t>(I - first + 1);
    }
    size_t bytes = sizeof(PxReal) * kTile * tileOffset_[T];
    NZ_ = static_cast<PxReal *>(PoolAllocAligned(bytes, kPoolAlignment, "NZ"));
    inverse_ = static_cast<PxReal *>(PoolAllocAligned(bytes, kPoolAlignment, "inverse"));
    rsD_ = static_cast<PxReal *>(PoolAllocAligned(sizeof(PxReal) * T * kT, kPoolAlignment, "rsD"));
    if (!NZ_ || !inverse_ || !rsD_) return 0;
    return allocateInverse(n);
}

void bkChol::destroy()
{
    LCPMatrix::destroy();
    T_ = 0;
    minTile_ = nullptr;
    tileOffset_ = nullptr;
    NZ_ = inverse_ = rsD_ = nullptr;
}

void bkChol::reset_sparse_maps()
{
    memset(NZ_, 0, sizeof(PxReal) * kTile * tileOffset_[T_]);
}

PxReal bkChol::getElement(int i, int j) const
{
    if (j > i) { int t = i; i = j; j = t; }
    if (!inEnvelope(i, j)) return 0.0;
    return tileC(NZ_, i / kT, j / kT)[(i % kT) * kT + j % kT];
}

PxReal bkChol::getElementFactor(int i, int j) const
{
    if (j > i || !inEnvelope(i, j)) return 0.0;
    return tileC(inverse_, i / kT, j / kT)[(i % kT) * kT + j % kT];
}

// S -= L_IK L_JK^T for every K both tile rows store, up to (not including) J.
static void subtractProducts(PxReal S[kTile], const PxReal *LI, const PxReal *LJ, int count)
{
    for (int K = 0; K < count; ++K, LI += kTile, LJ += kTile)
        for (int r = 0; r < kT; ++r)
            for (int c = 0; c < kT; ++c)
                S[r * kT + c] -= LI[r * kT + 0] * LJ[c * kT + 0] + LI[r * kT + 1] * LJ[c * kT + 1]
                               + LI[r * kT + 2] * LJ[c * kT + 2] + LI[r * kT + 3] * LJ[c * kT + 3];
}

// Tile (I, J) of A, with the rows and columns of fixed rows (when given)
// replaced by those of the identity.
void bkChol::loadTile(PxReal S[kTile], int I, int J, const int32_t *fixed)
{
    memcpy(S, tile(NZ_, I, J), sizeof(PxReal) * kTile);
    if (!fixed) return;
    for (int r = 0; r < kT; ++r)
        for (int c = 0; c < kT; ++c)
            if (fixed[kT * I + r] || fixed[kT * J + c]) S[r * kT + c] = (I == J && r == c) ? 1.0 : 0.0;
}

// Off-diagonal tiles of strip I: L_IJ = (A_IJ - sum_K L_IK L_JK^T) L_JJ^-T.
int bkChol::vc_strip_Cholesky(int I, const int32_t *fixed)
{
    for (int J = minTile_[I]; J < I; ++J) {
        PxReal S[kTile];
        loadTile(S, I, J, fixed);
        int K0 = minTile_[I] > minTile_[J] ? minTile_[I] : minTile_[J];
        subtractProducts(S, tile(inverse_, I, K0), tile(inverse_, J, K0), J - K0);
        const PxReal *LJJ = tile(inverse_, J, J);
        PxReal *LIJ = tile(inverse_, I, J);
        for (int r = 0; r < kT; ++r)
            for (int c = 0; c < kT; ++c) {
                PxReal s = S[r * kT + c];
                for (int m = 0; m < c; ++m) s -= LIJ[r * kT + m] * LJJ[c * kT + m];
                LIJ[r * kT + c] = s * rsD_[kT * J + c];
            }
    }
    return 1;
}

// Diagonal tile of strip I: L_II L_II^T = A_II - sum_K L_IK L_IK^T.
int bkChol::vc_dstrip_Cholesky(int I, const int32_t *fixed)
{
    PxReal S[kTile];
    loadTile(S, I, I, fixed);
    subtractProducts(S, tile(inverse_, I, minTile_[I]), tile(inverse_, I, minTile_[I]), I - minTile_[I]);
    PxReal *L = tile(inverse_, I, I);
    memset(L, 0, sizeof(PxReal) * kTile);
    for (int c = 0; c < kT; ++c) {
        PxReal d = S[c * kT + c];
        for (int m = 0; m < c; ++m) d -= L[c * kT + m] * L[c * kT + m];
        if (!(d > 0.0)) {
            PxFatalError(12, "Kelmar toolkits internals: Cholesky factorizer in vc_dstrip_Cholesky: the system matrix is not positive definite.\n");
            return 0;
        }
        PxReal lcc = sqrt(d);
        L[c * kT + c] = lcc;
        rsD_[kT * I + c] = 1.0 / lcc;
        for (int r = c + 1; r < kT; ++r) {
            PxReal s = S[r * kT + c];
            for (int m = 0; m < c; ++m) s -= L[r * kT + m] * L[c * kT + m];
            L[r * kT + c] = s / lcc;
        }
    }
    return 1;
}

int bkChol::factor(const int32_t *fixed)
{
    for (int I = 0; I < T_; ++I)
        if (!vc_strip_Cholesky(I, fixed) || !vc_dstrip_Cholesky(I, fixed)) return 0;
    return 1;
}

void bkChol::multiply(const PxReal *x, PxReal *out) const
{
    memset(out, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    for (int I = 0; I < T_; ++I) {
        const PxReal *A = tileC(NZ_, I, minTile_[I]);
        for (int J = minTile_[I]; J <= I; ++J, A += kTile) {
            const PxReal *xJ = x + kT * J;
            const PxReal *xI = x + kT * I;
            for (int r = 0; r < kT; ++r)
                out[kT * I + r] += A[r * kT] * xJ[0] + A[r * kT + 1] * xJ[1] + A[r * kT + 2] * xJ[2]
                                 + A[r * kT + 3] * xJ[3];
            if (J == I) continue; // the diagonal tile is stored whole
            for (int c = 0; c < kT; ++c)
                out[kT * J + c] += A[c] * xI[0] + A[kT + c] * xI[1] + A[2 * kT + c] * xI[2]
                                 + A[3 * kT + c] * xI[3];
        }
    }
}

// L y = x in place, for x zero in the tiles before firstTile.
void bkChol::forward(PxReal *x, int firstTile) const
{
    for (int I = firstTile; I < T_; ++I) {
        PxReal *xI = x + kT * I;
        int J0 = minTile_[I] > firstTile ? minTile_[I] : firstTile;
        const PxReal *L = tileC(inverse_, I, J0);
        for (int J = J0; J < I; ++J, L += kTile) {
            const PxReal *xJ = x + kT * J;
            for (int r = 0; r < kT; ++r)
                xI[r] -= L[r * kT] * xJ[0] + L[r * kT + 1] * xJ[1] + L[r * kT + 2] * xJ[2] + L[r * kT + 3] * xJ[3];
        }
        for (int r = 0; r < kT; ++r) {
            PxReal s = xI[r];
            for (int m = 0; m < r; ++m) s -= L[r * kT + m] * xI[m];
            xI[r] = s * rsD_[kT * I + r];
        }
    }
}

// L^T x = y in place.
void bkChol::backward(PxReal *x) const
{
    for (int I = T_ - 1; I >= 0; --I) {
        PxReal *xI = x + kT * I;
        const PxReal *L = tileC(inverse_, I, I);
        for (int r = kT - 1; r >= 0; --r) {
            PxReal s = xI[r];
            for (int m = r + 1; m < kT; ++m) s -= L[m * kT + r] * xI[m];
            xI[r] = s * rsD_[kT * I + r];
        }
        L = tileC(inverse_, I, minTile_[I]);
        for (int J = minTile_[I]; J < I; ++J, L += kTile) {
            PxReal *xJ = x + kT * J;
            for (int c = 0; c < kT; ++c)
                xJ[c] -= L[c] * xI[0] + L[kT + c] * xI[1] + L[2 * kT + c] * xI[2] + L[3 * kT + c] * xI[3];
        }
    }
}

void bkChol::solve(PxReal *x, int columns) const
{
    for (int k = 0; k < columns; ++k, x += n_) {
        forward(x, 0);
        backward(x);
    }
}

void bkChol::solveUnit(PxReal *x, int column) const
{
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    x[column] = 1.0;
    forward(x, column / kT);
    backward(x);
}

LCPMatrix &bkCholInstance()
{
    static bkChol instance;
    return instance;
}

} // namespace lcs
