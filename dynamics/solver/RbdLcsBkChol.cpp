// bkChol, "block cholesky with no assembler": A and its factor are kept as
// 4x4 tiles of the envelope (in elimination-order positions), tile row I
// holding the tiles from minTile[I] to the diagonal, and factored strip by
// strip (4 rows at a time). A tile is stored column by column, so that the
// products of the factorisation, the bulk of the work, are sums of outer
// products of contiguous tile columns.
#include <math.h>
#include <string.h>
#include <algorithm>
#include <initializer_list>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"
#include "solver/RbdLcsAssemble.h"
#include "solver/RbdLcsBkChol.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

namespace {

// L y = x in place over the factor (E, L, 1 / diagonal rs), for x zero
// before index `first`. A tile row's four unknowns are kept in locals while
// the tiles before the diagonal are taken off, in the same order as
// element by element (x may alias nothing the compiler can see otherwise).
void forwardTiles(const TileEnvelope &E, const PxReal *Lstore, const PxReal *rs, PxReal *x, int first)
{
    int firstTile = first / kT;
    for (int I = firstTile; I < E.T; ++I) {
        PxReal *xI = x + kT * I;
        // Rows 0-1 and 2-3 of the tile row, each a pair.
        Pair s01 = load2(xI), s23 = load2(xI + 2);
        int J0 = E.minTile[I] > firstTile ? E.minTile[I] : firstTile;
        const PxReal *L = E.tile(Lstore, I, J0);
        for (int J = J0; J < I; ++J, L += kTile) {
            const PxReal *xJ = x + kT * J;
            for (int c = 0; c < kT; ++c) {
                const Pair v = splat(xJ[c]);
                s01 -= load2(L + ix(0, c)) * v;
                s23 -= load2(L + ix(2, c)) * v;
            }
        }
        PxReal s[kT];
        store2(s, s01);
        store2(s + 2, s23);
        for (int c = 0; c < kT; ++c) {
            s[c] *= rs[kT * I + c];
            for (int r = c + 1; r < kT; ++r) s[r] -= L[ix(r, c)] * s[c];
        }
        for (int r = 0; r < kT; ++r) xI[r] = s[r];
    }
}

// L^T x = y in place.
void backwardTiles(const TileEnvelope &E, const PxReal *Lstore, const PxReal *rs, PxReal *x)
{
    for (int I = E.T - 1; I >= 0; --I) {
        PxReal *xI = x + kT * I;
        const PxReal *L = E.tile(Lstore, I, I);
        for (int r = kT - 1; r >= 0; --r) {
            PxReal s = xI[r];
            for (int m = r + 1; m < kT; ++m) s -= L[ix(m, r)] * xI[m];
            xI[r] = s * rs[kT * I + r];
        }
        const PxReal x0 = xI[0], x1 = xI[1], x2 = xI[2], x3 = xI[3];
        L = E.tile(Lstore, I, E.minTile[I]);
        for (int J = E.minTile[I]; J < I; ++J, L += kTile) {
            PxReal *xJ = x + kT * J;
            for (int c = 0; c < kT; ++c)
                xJ[c] -= L[ix(0, c)] * x0 + L[ix(1, c)] * x1 + L[ix(2, c)] * x2 + L[ix(3, c)] * x3;
        }
    }
}

size_t tileRowsFor(int n)
{
    return static_cast<size_t>(n / kT);
}

} // namespace

void BkChol::assemble(const PxReal *JMinv, const PxReal *J, const SparseMatrixMap *map)
{
    // Element (p, q), p >= q, is NZ_[tileRow_[P] + 16 Q + ix(p % 4, q % 4)]. The
    // diagonal tiles get their lower halves only, and their upper halves
    // once at the end.
    const ptrdiff_t *tileRow = tileRow_;
    auto rowOf = [tileRow](int p) { return tileRow[tileOf(p)] + inTile(p); };
    auto colOf = [](int q) { return static_cast<ptrdiff_t>(kTile * tileOf(q) + kT * inTile(q)); };
    assembleProducts(map, pos_, JMinv, J, NZ_, rowOf, colOf);
    for (int I = 0; I < A_.T; ++I) {
        PxReal *D = A_.tile(NZ_, I, I);
        for (int c = 0; c < kT; ++c)
            for (int r = c + 1; r < kT; ++r) D[ix(c, r)] = D[ix(r, c)];
    }
}

void BkChol::forward(PxReal *x, int first) const
{
    forwardTiles(*env_, L_, rs_, x, first);
}

void BkChol::backward(PxReal *x) const
{
    backwardTiles(*env_, L_, rs_, x);
}

void BkChol::solveHeld(PxReal *x) const
{
    forwardTiles(H_, heldL_, heldRsD_, x, 0);
    backwardTiles(H_, heldL_, heldRsD_, x);
}

size_t bkCholMemoryRequired(int n)
{
    size_t T = tileRowsFor(n);
    size_t tiles = T * (T + 1) / 2; // a full lower triangle in the worst case
    size_t envelope = PoolAlignedCost(sizeof(int32_t) * T) + PoolAlignedCost(sizeof(size_t) * (T + 1));
    size_t reals = PoolAlignedCost(sizeof(PxReal) * static_cast<size_t>(n));
    return 3 * envelope + PoolAlignedCost(sizeof(int32_t) * T) + PoolAlignedCost(sizeof(ptrdiff_t) * T) +
           3 * PoolAlignedCost(sizeof(PxReal) * kTile * tiles) + 3 * reals +
           PoolAlignedCost(sizeof(CompactTileIndex) * static_cast<size_t>(n)) + LCPMatrix::inverseMemoryRequired(n);
}

int BkChol::allocateStorage(const int32_t *rowStart)
{
    size_t T = static_cast<size_t>(n_ / kT);
    for (TileEnvelope *env : {&A_, &C_, &H_}) {
        env->minTile = pool_->array<int32_t>(T, "NC");
        env->offset = pool_->array<size_t>(T + 1, "NR");
        if (!env->minTile || !env->offset) return 0;
    }
    A_.shape(rowStart, n_);
    lastReach_ = pool_->array<int32_t>(T, "last reach");
    tileRow_ = pool_->array<ptrdiff_t>(T, "tile rows");
    if (!lastReach_ || !tileRow_) return 0;
    // Tile rows come in increasing order: the last that reaches P is the
    // last to write it.
    // That is the largest I whose minTile is at most P (I = P itself
    // qualifies): a running maximum over minTile values, linear in T where
    // walking every reach is quadratic on a dense envelope.
    for (int P = 0; P < A_.T; ++P) lastReach_[P] = P;
    for (int I = 0; I < A_.T; ++I) lastReach_[A_.minTile[I]] = I;
    for (int P = 1; P < A_.T; ++P) lastReach_[P] = std::max(lastReach_[P], lastReach_[P - 1]);
    size_t bytes = sizeof(PxReal) * kTile * A_.tiles();
    NZ_ = static_cast<PxReal *>(pool_->allocAligned(bytes, kPoolAlignment, "NZ"));
    inverse_ = static_cast<PxReal *>(pool_->allocAligned(bytes, kPoolAlignment, "inverse"));
    rsD_ = pool_->array<PxReal>(T * kT, "rsD");
    compactL_ = pool_->array<PxReal>(kTile * (T * (T + 1) / 2), "compact factor");
    compactRsD_ = pool_->array<PxReal>(T * kT, "compact rsD");
    heldRsD_ = pool_->array<PxReal>(T * kT, "held rsD");
    compactIndex_ = pool_->array<CompactTileIndex>(T * kT, "compact index");
    if (!NZ_ || !inverse_ || !rsD_ || !compactL_ || !compactRsD_ || !heldRsD_ || !compactIndex_) return 0;
    for (int I = 0; I < A_.T; ++I)
        tileRow_[I] = kTile * (static_cast<ptrdiff_t>(A_.offset[I]) - static_cast<ptrdiff_t>(A_.minTile[I]));
    return 1;
}

void BkChol::destroy()
{
    LCPMatrix::destroy();
    A_ = TileEnvelope();
    C_ = TileEnvelope();
    H_ = TileEnvelope();
    NZ_ = inverse_ = rsD_ = compactL_ = compactRsD_ = heldRsD_ = nullptr;
    compactIndex_ = nullptr;
    lastReach_ = nullptr;
    tileRow_ = nullptr;
    env_ = nullptr;
    L_ = rs_ = heldL_ = nullptr;
}

void BkChol::resetSparseMaps()
{
    memset(NZ_, 0, sizeof(PxReal) * kTile * A_.tiles());
}

void BkChol::useWholeFactor()
{
    env_ = &A_;
    L_ = inverse_;
    rs_ = rsD_;
}

// S -= sum over K of L_IK L_JK^T for count tiles of each tile row: column k
// of L_IK times column k of L_JK, summed apart and taken off S at the end.
static void subtractProducts(PxReal S[kTile], const PxReal *LI, const PxReal *LJ, int count)
{
    PxReal sum[kTile] = {0.0};
    for (int K = 0; K < count; ++K, LI += kTile, LJ += kTile)
        for (int k = 0; k < kT; ++k)
            for (int c = 0; c < kT; ++c)
                for (int r = 0; r < kT; ++r) sum[ix(r, c)] += LI[ix(r, k)] * LJ[ix(c, k)];
    for (int e = 0; e < kTile; ++e) S[e] -= sum[e];
}

// Off-diagonal tiles of strip I: L_IJ = (A_IJ - sum_K L_IK L_JK^T) L_JJ^-T.
// load(S, I, J) gives tile (I, J) of the matrix being factored.
template <typename Load> int stripCholesky(const TileEnvelope &E, PxReal *L, const PxReal *rsD, int I, Load &load)
{
    for (int J = E.minTile[I]; J < I; ++J) {
        PxReal S[kTile];
        load(S, I, J);
        int K0 = E.minTile[I] > E.minTile[J] ? E.minTile[I] : E.minTile[J];
        subtractProducts(S, E.tile(L, I, K0), E.tile(L, J, K0), J - K0);
        const PxReal *LJJ = E.tile(L, J, J);
        PxReal *LIJ = E.tile(L, I, J);
        // Column by column: column c of L_IJ takes off its earlier columns.
        for (int c = 0; c < kT; ++c) {
            for (int r = 0; r < kT; ++r) LIJ[ix(r, c)] = S[ix(r, c)];
            for (int m = 0; m < c; ++m)
                for (int r = 0; r < kT; ++r) LIJ[ix(r, c)] -= LIJ[ix(r, m)] * LJJ[ix(c, m)];
            for (int r = 0; r < kT; ++r) LIJ[ix(r, c)] *= rsD[kT * J + c];
        }
    }
    return 1;
}

// Diagonal tile of strip I: L_II L_II^T = A_II - sum_K L_IK L_IK^T.
template <typename Load> int diagonalStripCholesky(const TileEnvelope &E, PxReal *L, PxReal *rsD, int I, Load &load)
{
    PxReal S[kTile];
    load(S, I, I);
    subtractProducts(S, E.tile(L, I, E.minTile[I]), E.tile(L, I, E.minTile[I]), I - E.minTile[I]);
    PxReal *LII = E.tile(L, I, I);
    memset(LII, 0, sizeof(PxReal) * kTile);
    for (int c = 0; c < kT; ++c) {
        PxReal d = S[ix(c, c)];
        for (int m = 0; m < c; ++m) d -= LII[ix(c, m)] * LII[ix(c, m)];
        if (!(d > 0.0)) return 0; // not positive definite: the stepper reports it
        PxReal lcc = sqrt(d);
        LII[ix(c, c)] = lcc;
        rsD[kT * I + c] = 1.0 / lcc;
        for (int r = c + 1; r < kT; ++r) {
            PxReal s = S[ix(r, c)];
            for (int m = 0; m < c; ++m) s -= LII[ix(r, m)] * LII[ix(c, m)];
            LII[ix(r, c)] = s / lcc;
        }
    }
    return 1;
}

// Tile rows from firstTile on; the rows before it hold their factor already.
template <typename Load> int factorTiles(const TileEnvelope &E, PxReal *L, PxReal *rsD, Load load, int firstTile = 0)
{
    for (int I = firstTile; I < E.T; ++I)
        if (!stripCholesky(E, L, rsD, I, load) || !diagonalStripCholesky(E, L, rsD, I, load)) return 0;
    return 1;
}

int BkChol::factor(const ActiveRows *rows)
{
    if (!rows) {
        auto whole = [this](PxReal S[kTile], int I, int J) { memcpy(S, A_.tile(NZ_, I, J), sizeof(PxReal) * kTile); };
        return factorTiles(A_, inverse_, rsD_, whole);
    }
    indexCompact(*rows);
    auto compact = [this, rows](PxReal S[kTile], int I, int J) { loadCompact(S, I, J, *rows); };
    return factorTiles(C_, compactL_, compactRsD_, compact);
}

void BkChol::shapeCompact(const ActiveRows &rows)
{
    C_.shape(rows.start, rows.padded);
    env_ = &C_;
    L_ = compactL_;
    rs_ = compactRsD_;
}

int BkChol::factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow, int wholeRows)
{
    H_.shape(rows.start, rows.padded);
    heldL_ = storage;
    if (wholeRows > firstRow) {
        // Same rows, same envelope: the leading tiles lie where the whole factor keeps them.
        memcpy(storage, inverse_, sizeof(PxReal) * kTile * H_.offset[wholeRows / kT]);
        memcpy(heldRsD_, rsD_, sizeof(PxReal) * static_cast<size_t>(wholeRows));
        firstRow = wholeRows;
    }
    indexCompact(rows);
    auto compact = [this, &rows](PxReal S[kTile], int I, int J) { loadCompact(S, I, J, rows); };
    return factorTiles(H_, storage, heldRsD_, compact, firstRow / kT);
}

// A tile row reads the same rows for each of its tiles, and a tile column
// the same columns: their places in NZ_ are found here once per compact
// matrix instead of once per tile. Padding indices read as position 0 and
// are never used.
void BkChol::indexCompact(const ActiveRows &rows)
{
    for (int k = 0; k < rows.padded; ++k) {
        const int p = k < rows.count ? rows.position[k] : 0;
        CompactTileIndex &index = compactIndex_[k];
        index.rowBase = tileRow_[tileOf(p)] + inTile(p);
        index.rowFirst = A_.minTile[tileOf(p)];
        index.colTile = tileOf(p);
        index.colOffset = kTile * tileOf(p) + kT * inTile(p);
    }
}

void BkChol::loadCompact(PxReal S[kTile], int I, int J, const ActiveRows &rows) const
{
    // In a tile below the diagonal every row's position comes after every
    // column's; on the diagonal the upper half mirrors the lower. Elements
    // outside A's envelope are 0.
    const CompactTileIndex *R = compactIndex_ + kT * I, *C = compactIndex_ + kT * J;
    // Most tiles lie below the diagonal with no padding (J < I, so columns
    // pad only where rows do): every element is a plain read there.
    if (I != J && kT * (I + 1) <= rows.count) {
        for (int c = 0; c < kT; ++c)
            for (int r = 0; r < kT; ++r)
                S[ix(r, c)] = C[c].colTile < R[r].rowFirst ? 0.0 : NZ_[R[r].rowBase + C[c].colOffset];
        return;
    }
    for (int c = 0; c < kT; ++c)
        for (int r = 0; r < kT; ++r) {
            PxReal v;
            if (kT * I + r >= rows.count || kT * J + c >= rows.count)
                v = I == J && r == c ? 1.0 : 0.0;
            else if (I == J && r < c)
                v = C[r].colTile < R[c].rowFirst ? 0.0 : NZ_[R[c].rowBase + C[r].colOffset];
            else
                v = C[c].colTile < R[r].rowFirst ? 0.0 : NZ_[R[r].rowBase + C[c].colOffset];
            S[ix(r, c)] = v;
        }
}

void BkChol::multiplyOrdered(const PxReal *x, PxReal *out) const
{
    memset(out, 0, sizeof(PxReal) * static_cast<size_t>(n_));
    for (int I = 0; I < A_.T; ++I) {
        const PxReal *A = A_.tile(NZ_, I, A_.minTile[I]);
        PxReal *outI = out + kT * I;
        const PxReal *xI = x + kT * I;
        for (int J = A_.minTile[I]; J <= I; ++J, A += kTile) {
            const PxReal *xJ = x + kT * J;
            for (int c = 0; c < kT; ++c)
                for (int r = 0; r < kT; ++r) outI[r] += A[ix(r, c)] * xJ[c];
            if (J == I) continue; // the diagonal tile is stored whole
            PxReal *outJ = out + kT * J;
            for (int c = 0; c < kT; ++c)
                outJ[c] += A[ix(0, c)] * xI[0] + A[ix(1, c)] * xI[1] + A[ix(2, c)] * xI[2] + A[ix(3, c)] * xI[3];
        }
    }
}

// Row p is tile row P's row r up to the diagonal tile (stored whole), then
// column r of tile column P in the tile rows below that store it.
PxReal BkChol::dotRow(int p, const PxReal *x) const
{
    int P = tileOf(p), r = inTile(p);
    PxReal s = 0.0;
    const PxReal *A = A_.tile(NZ_, P, A_.minTile[P]);
    for (int J = A_.minTile[P]; J <= P; ++J, A += kTile) {
        const PxReal *xJ = x + kT * J;
        s += A[ix(r, 0)] * xJ[0] + A[ix(r, 1)] * xJ[1] + A[ix(r, 2)] * xJ[2] + A[ix(r, 3)] * xJ[3];
    }
    for (int I = P + 1; I <= lastReach_[P]; ++I) {
        if (A_.minTile[I] > P) continue;
        const PxReal *B = A_.tile(NZ_, I, P);
        const PxReal *xI = x + kT * I;
        s += B[ix(0, r)] * xI[0] + B[ix(1, r)] * xI[1] + B[ix(2, r)] * xI[2] + B[ix(3, r)] * xI[3];
    }
    return s;
}

// Tile row I's tiles before the diagonal whole, then the diagonal tile's
// elements left of the diagonal.
void BkChol::leadingSquares(const PxReal *w, PxReal *out) const
{
    for (int I = 0; I < A_.T; ++I) {
        PxReal s[kT] = {0.0, 0.0, 0.0, 0.0};
        const PxReal *A = A_.tile(NZ_, I, A_.minTile[I]);
        for (int J = A_.minTile[I]; J < I; ++J, A += kTile)
            for (int c = 0; c < kT; ++c)
                for (int r = 0; r < kT; ++r) s[r] += A[ix(r, c)] * A[ix(r, c)] * w[kT * J + c];
        for (int r = 1; r < kT; ++r)
            for (int c = 0; c < r; ++c) s[r] += A[ix(r, c)] * A[ix(r, c)] * w[kT * I + c];
        for (int r = 0; r < kT; ++r) out[kT * I + r] = s[r];
    }
}

void BkChol::axpyRow(int p, PxReal a, PxReal *y) const
{
    int P = tileOf(p), r = inTile(p);
    const PxReal *A = A_.tile(NZ_, P, A_.minTile[P]);
    for (int J = A_.minTile[P]; J <= P; ++J, A += kTile)
        for (int c = 0; c < kT; ++c) y[kT * J + c] += a * A[ix(r, c)];
    for (int I = P + 1; I <= lastReach_[P]; ++I) {
        if (A_.minTile[I] > P) continue;
        const PxReal *B = A_.tile(NZ_, I, P);
        for (int k = 0; k < kT; ++k) y[kT * I + k] += a * B[ix(k, r)];
    }
}

} // namespace lcs
