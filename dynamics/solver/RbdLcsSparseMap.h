// The block-sparse structure of J M^-1 J^T for one partition: which
// constraints touch which body, an elimination order of the rows, and from
// that the envelope of every row (the first row it is coupled to, counted in
// the elimination order). Two rows are coupled exactly when their
// constraints share a body.
#ifndef KELMAR_DYNAMICS_RBDLCSSPARSEMAP_H
#define KELMAR_DYNAMICS_RBDLCSSPARSEMAP_H

#include <stddef.h>
#include <stdint.h>
#include <vector>
#include "solver/RbdLcsMemoryPool.h"

namespace lcs {

// The constraint table of a packed partition as the solver reads it.
struct ConstraintLayout {
    int32_t constraintCount;
    int32_t rowCount;        // rows in use
    int32_t paddedRowCount;  // rowCount rounded up to a multiple of 4
    const int32_t *firstRow; // (constraintCount) index of each constraint's first row
    const int32_t *rows;     // (constraintCount) rows of each constraint, >= 1
    const int32_t *bodies;   // (2 x constraintCount) partition body index of side 0
                             // and side 1, -1 for the world or a frozen body
};

struct SparseMatrixMap {
    MemoryPool *pool; // the workspace the map's arrays come from
    const ConstraintLayout *layout;
    int32_t bodyCount;
    // "head pointers" (bodyCount): first constraint end on the body, -1 for none.
    // An end e is side e % 2 of constraint e / 2.
    int32_t *head;
    // "next pointers" (2 x constraintCount): the next end on the same body.
    int32_t *next;
    // "min col" (paddedRowCount), by position p in the elimination order:
    // the first position coupled to the row at p (<= p).
    int32_t *rowStart;
    // The elimination order, both null for the packing order itself.
    // "position" (paddedRowCount): the position of row i; "row at"
    // (paddedRowCount): the row at position p. A constraint's rows keep
    // consecutive positions in their own order; padding rows stay last.
    int32_t *position = nullptr;
    int32_t *rowAt = nullptr;
    // "body first rows" (bodyCount): scratch of the envelope computation.
    int32_t *bodyFirst = nullptr;
};

// Workspace bytes of a map for bodyCount bodies and rowCount rows (there are
// never more constraints than rows), the scratch of the ordering included.
size_t RbdSparseMatrixMapMemoryRequired(int bodyCount, int rowCount);
// Takes the map's arrays from pool; null when they do not fit or
// the layout names a body outside 0 .. bodyCount - 1.
SparseMatrixMap *RbdSparseMatrixMapCreate(MemoryPool &pool, int bodyCount, const ConstraintLayout *layout);
// Links every constraint end into its body's list.
void RbdSparseMatrixMapLink(SparseMatrixMap *map);
// Links, and computes the envelope in the packing order.
void RbdSparseMatrixMapBuild(SparseMatrixMap *map);
// After RbdSparseMatrixMapBuild: chooses an elimination order with a small
// envelope (reverse Cuthill-McKee over the bodies, constraints following
// their later body) and recomputes the envelope in it; the packing order
// stays when that order would not make the factor cheaper. Returns 0 when
// the workspace cannot hold the order, leaving the packing order.
int RbdSparseMatrixMapReorder(SparseMatrixMap *map);
// Sum over the rows of their envelope widths (p - rowStart[p] + 1): the
// storage a row-by-row factor of the map's matrix needs.
size_t RbdSparseMatrixMapEnvelopeSize(const SparseMatrixMap *map);

// The last order chosen, with the layout it was chosen for: an island whose
// bodies and constraints stay in place from one step to the next keeps its
// order instead of ordering again. The order is a function of the layout
// alone (body count, each constraint's rows and bodies), so a kept order is
// the very order a new reordering would give. The arrays grow to the
// largest island seen and are reused after that.
struct OrderCache {
    bool valid = false;
    bool reordered = false;        // false: the packing order was kept
    std::vector<int32_t> key;      // counts, then first rows, rows and bodies
    std::vector<int32_t> position; // (paddedRowCount) when reordered
    std::vector<int32_t> rowAt;    // (paddedRowCount) when reordered
    std::vector<int32_t> rowStart; // (paddedRowCount)
    // Room for any island of up to rows rows: 4 counts and 4 entries a
    // constraint (there are at most rows), and an entry a padded row.
    void reserve(int rows)
    {
        const size_t n = static_cast<size_t>(rows), np = (n + 3) & ~static_cast<size_t>(3);
        key.reserve(4 + 4 * n);
        for (std::vector<int32_t> *v : {&position, &rowAt, &rowStart}) v->reserve(np);
    }
};

// RbdSparseMatrixMapReorder through cache, after RbdSparseMatrixMapLink (or
// Build): when the map's layout is the one cached, the cached order and
// envelope are copied into the map; otherwise the map's packing envelope is
// computed, the map is reordered and the cache takes the new order. Returns
// what RbdSparseMatrixMapReorder returns.
int RbdSparseMatrixMapReorderCached(SparseMatrixMap *map, OrderCache &cache);

} // namespace lcs

#endif
