// bkChol, "block cholesky with no assembler": A and its factor are kept as
// 4x4 tiles of the envelope (in elimination-order positions), tile row I
// holding the tiles from minTile[I] to the diagonal, and factored strip by
// strip (4 rows at a time). A tile is stored column by column, so that the
// products of the factorisation, the bulk of the work, are sums of outer
// products of contiguous tile columns.
#ifndef KELMAR_DYNAMICS_RBDLCSBKCHOL_H
#define KELMAR_DYNAMICS_RBDLCSBKCHOL_H

#include <stddef.h>
#include <stdint.h>
#include "solver/RbdLcsMatrix.h"

namespace lcs {

enum { kT = 4, kTile = 16 }; // tile side and reals per tile

// Element (r, c) of a tile.
inline int ix(int r, int c)
{
    return c * kT + r;
}

// The tiles of a lower envelope: tile row I stores tiles minTile[I] .. I.
struct TileEnvelope {
    int T = 0;                  // tile rows
    int32_t *minTile = nullptr; // "NC" (T): first stored tile column of each tile row
    size_t *offset = nullptr;   // "NR" (T + 1): tiles stored before tile row I

    PxReal *tile(PxReal *store, int I, int J) const
    {
        return store + (offset[I] + static_cast<size_t>(J - minTile[I])) * kTile;
    }
    const PxReal *tile(const PxReal *store, int I, int J) const
    {
        return store + (offset[I] + static_cast<size_t>(J - minTile[I])) * kTile;
    }
    // Tile rows from the envelope start (first coupled index) of each of the
    // 4 T indices.
    void shape(const int32_t *start, int n)
    {
        T = n / kT;
        offset[0] = 0;
        for (int I = 0; I < T; ++I) {
            int first = I;
            for (int r = 0; r < kT; ++r) {
                int s = start[kT * I + r] / kT;
                if (s < first) first = s;
            }
            minTile[I] = first;
            offset[I + 1] = offset[I] + static_cast<size_t>(I - first + 1);
        }
    }
    size_t tiles() const { return offset[T]; }
};

// Where the elements of one index of a compact matrix lie in A's tiles: as
// a row (its start in NZ and its tile row's first stored tile) and as a
// column (its tile and its offset in a tile row).
struct CompactTileIndex {
    ptrdiff_t rowBase;
    int32_t rowFirst, colTile, colOffset;
};

class BkChol final : public LCPMatrix {
public:
    void destroy() override;
    void resetSparseMaps() override;

private:
    int allocateStorage(const int32_t *rowStart) override;
    size_t storageReals() const override;
    void saveStorage(PxReal *out) const override;
    void lendStorage(PxReal *formed) override;
    void assemble(const PxReal *JMinv, const PxReal *J, const SparseMatrixMap *map) override;
    void setAt(int p, int q, PxReal v) override
    {
        *at(p, q) = v;
        mirror(p, q);
    }
    void addAt(int p, int q, PxReal v) override
    {
        PxReal *e = at(p, q);
        *e += v;
        if (tileOf(p) == tileOf(q) && p != q) *at(q, p) = *e;
    }
    PxReal getAt(int p, int q) const override { return element(NZ_, p, q); }
    PxReal getFactorAt(int p, int q) const override { return element(inverse_, p, q); }
    void diagonalAt(PxReal *out) const override
    {
        for (int I = 0; I < A_.T; ++I)
            for (int r = 0; r < kT; ++r) out[kT * I + r] = A_.tile(NZ_, I, I)[ix(r, r)];
    }
    void shapeCompact(const ActiveRows &rows) override;
    int factor(const ActiveRows *rows) override;
    void useWholeFactor() override;
    PxReal factorDiagonal(int p) const override { return 1.0 / rsD_[p]; }
    void multiplyOrdered(const PxReal *x, PxReal *out) const override;
    PxReal dotRow(int p, const PxReal *x) const override;
    void leadingSquares(const PxReal *w, PxReal *out) const override;
    void axpyRow(int p, PxReal a, PxReal *y) const override;
    void forward(PxReal *x, int first) const override;
    void backward(PxReal *x) const override;
    double factorElements() const override { return kTile * static_cast<double>(env_->tiles()); }
    double matrixElements() const override { return kTile * static_cast<double>(A_.tiles()); }
    int factorHeld(const ActiveRows &rows, PxReal *storage, int firstRow, int wholeRows) override;
    void solveHeld(PxReal *x) const override;
    void saveHeldPivots(PxReal *out) const override;
    void lendHeldStorage(const int32_t *start, int padded, int32_t *first, size_t *offset, PxReal *saved,
                         bool shaped) override;
    size_t heldFactorReals() const override { return kTile * H_.tiles(); }
    // Tile (I, J) of the compact matrix of rows, gathered from A; the
    // padding up to a whole tile is identity. indexCompact(rows) first.
    void loadCompact(PxReal S[kTile], int I, int J, const ActiveRows &rows) const;
    // Finds once per compact matrix what loadCompact reads for every tile.
    void indexCompact(const ActiveRows &rows);

    // Positions are never negative: unsigned shifts and masks find the tile.
    static int tileOf(int p) { return static_cast<int>(static_cast<unsigned>(p) >> 2); }
    static int inTile(int p) { return static_cast<int>(static_cast<unsigned>(p) & 3u); }
    PxReal *at(int p, int q) { return A_.tile(NZ_, tileOf(p), tileOf(q)) + ix(inTile(p), inTile(q)); }
    // Diagonal tiles are kept whole so that their Cholesky reads plain rows.
    void mirror(int p, int q)
    {
        if (tileOf(p) == tileOf(q) && p != q) *at(q, p) = *at(p, q);
    }
    // Element (p, q), p >= q, of tiles stored in A's envelope; 0 outside it.
    PxReal element(const PxReal *store, int p, int q) const
    {
        int P = tileOf(p), Q = tileOf(q);
        return Q < A_.minTile[P] ? 0.0 : store[tileRow_[P] + kTile * Q + ix(inTile(p), inTile(q))];
    }

    TileEnvelope A_;               // envelope of A and of the whole factor
    int32_t *lastReach_ = nullptr; // (T) last tile row storing a tile in each tile column
    // (T) where tile (I, 0) of NZ_ would start (in reals) if tile row I were
    // stored from tile column 0: 16 (offset[I] - minTile[I]), maybe negative
    ptrdiff_t *tileRow_ = nullptr;
    PxReal *NZ_ = nullptr;         // "NZ": the tiles of A
    PxReal *inverse_ = nullptr;    // "inverse": the tiles of the whole factor L
    PxReal *rsD_ = nullptr;        // "rsD" (n): 1 / L(p, p) of the whole factor
    TileEnvelope C_;               // envelope of the compact factor
    PxReal *compactL_ = nullptr;   // its tiles (room for a whole lower triangle)
    PxReal *compactRsD_ = nullptr; // (n) its 1 / L(k, k)
    // The factor the substitutions use.
    const TileEnvelope *env_ = nullptr;
    const PxReal *L_ = nullptr;
    const PxReal *rs_ = nullptr;
    // The factor of the free rows of an LCP subproblem, in caller storage.
    TileEnvelope H_;
    const PxReal *heldL_ = nullptr;
    PxReal *heldRsD_ = nullptr;                // (n)
    CompactTileIndex *compactIndex_ = nullptr; // (n) of the compact matrix being factored
};

// Workspace bytes a BkChol needs for padded size n.
size_t bkCholMemoryRequired(int n);

} // namespace lcs

#endif
