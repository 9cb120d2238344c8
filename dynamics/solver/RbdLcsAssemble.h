// Assembly of J M^-1 J^T for the two storage schemes: every pair of
// constraint ends on the same body adds that body's share J_a M_b^-1 J_b^T,
// each pair visited once. Shared as a template so that each scheme's element
// addressing (a row's start plus a column's offset) is inlined into the loop.
//
// A body's rows are first gathered into a small dense table (six reals of
// J M^-1 and six of J a row, and the row's position), so that the products
// read contiguous reals instead of finding each row's tile again for every
// pair, and several products run side by side. A body with more rows than
// the table holds is assembled straight from the tiles.
#ifndef KELMAR_DYNAMICS_RBDLCSASSEMBLE_H
#define KELMAR_DYNAMICS_RBDLCSASSEMBLE_H

#include <stddef.h>
#include <stdint.h>
#include <kelmar/PxTypes.h>
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

// The rows of one body's constraint ends, end after end in list order,
// stored by column so that the products of one row with the rows before it
// run over contiguous reals.
struct GatheredBody {
    enum { kRows = 64 };     // a stacked box has 24, a sphere in a pile rarely more than 36
    PxReal a[6][kRows];      // J M^-1 of the row on this body's columns
    PxReal b[6][kRows];      // J of the row on the same columns
    int32_t pos[kRows];      // the row's position in the elimination order
    ptrdiff_t rowAt[kRows];  // where the row's elements start in the store, and
    ptrdiff_t colAt[kRows];  // where its column lies in another row's elements
    int32_t endFirst[kRows]; // gathered index of the first row of the row's end
    int count = 0;

    // Gathers the ends of body; 0 when they do not fit or when a constraint
    // has both ends on the body (its rows would meet themselves twice).
    template <typename Rows, typename Cols>
    int gather(const SparseMatrixMap *map, const int32_t *position, const PxReal *JMinv, const PxReal *J, int body,
               Rows &rowOf, Cols &colOf)
    {
        const ConstraintLayout *layout = map->layout;
        count = 0;
        for (int e = map->head[body]; e >= 0; e = map->next[e]) {
            int c = e / 2, col = 6 * (e % 2), rows = layout->rows[c];
            if (count + rows > kRows) return 0;
            if (e % 2 == 1 && layout->bodies[2 * c] == body) return 0;
            int first = count;
            for (int r = 0; r < rows; ++r, ++count) {
                int i = layout->firstRow[c] + r;
                const PxReal *ja = JMinv + tileIndex(i, col), *jb = J + tileIndex(i, col);
                for (int k = 0; k < 6; ++k) {
                    a[k][count] = ja[kTileRows * k];
                    b[k][count] = jb[kTileRows * k];
                }
                pos[count] = position[i];
                rowAt[count] = rowOf(pos[count]);
                colAt[count] = colOf(pos[count]);
                endFirst[count] = first;
            }
        }
        return 1;
    }
};

// Every pair of a body's gathered rows once: row u with the rows v <= u.
// Each pair adds to its own element of A, so their order is free; each
// product keeps the tile path's operands and sum order (the earlier end's
// J M^-1 with the later end's J; within one end the later row's J M^-1
// with the earlier row's J), which makes A the same bit for bit.
inline void assembleGathered(const GatheredBody &g, PxReal *store)
{
    PxReal s[GatheredBody::kRows];
    for (int u = 0; u < g.count; ++u) {
        const PxReal b0 = g.b[0][u], b1 = g.b[1][u], b2 = g.b[2][u], b3 = g.b[3][u], b4 = g.b[4][u], b5 = g.b[5][u];
        const int own = g.endFirst[u];
        for (int v = 0; v < own; ++v) {
            PxReal t = 0.0;
            t += g.a[0][v] * b0;
            t += g.a[1][v] * b1;
            t += g.a[2][v] * b2;
            t += g.a[3][v] * b3;
            t += g.a[4][v] * b4;
            t += g.a[5][v] * b5;
            s[v] = t;
        }
        const PxReal a0 = g.a[0][u], a1 = g.a[1][u], a2 = g.a[2][u], a3 = g.a[3][u], a4 = g.a[4][u], a5 = g.a[5][u];
        for (int v = own; v <= u; ++v) {
            PxReal t = 0.0;
            t += a0 * g.b[0][v];
            t += a1 * g.b[1][v];
            t += a2 * g.b[2][v];
            t += a3 * g.b[3][v];
            t += a4 * g.b[4][v];
            t += a5 * g.b[5][v];
            s[v] = t;
        }
        const int p = g.pos[u];
        const ptrdiff_t rowU = g.rowAt[u], colU = g.colAt[u];
        for (int v = 0; v <= u; ++v) store[p >= g.pos[v] ? rowU + g.colAt[v] : g.rowAt[v] + colU] += s[v];
    }
}

// One body's pairs read straight from the tiles.
template <typename Rows, typename Cols>
void assembleBodyTiles(const SparseMatrixMap *map, const int32_t *pos, const PxReal *JMinv, const PxReal *J, int body,
                       PxReal *store, Rows &rowOf, Cols &colOf)
{
    const ConstraintLayout *layout = map->layout;
    for (int e1 = map->head[body]; e1 >= 0; e1 = map->next[e1]) {
        int c1 = e1 / 2, col1 = 6 * (e1 % 2);
        for (int e2 = e1; e2 >= 0; e2 = map->next[e2]) {
            int c2 = e2 / 2, col2 = 6 * (e2 % 2);
            for (int r1 = 0; r1 < layout->rows[c1]; ++r1) {
                int i = layout->firstRow[c1] + r1, p = pos[i];
                // Row i of J M^-1 on this end: columns col1 .. col1 + 5, 4 reals apart.
                const PxReal *a = JMinv + tileIndex(i, col1);
                const PxReal a0 = a[0], a1 = a[4], a2 = a[8], a3 = a[12], a4 = a[16], a5 = a[20];
                // One end with itself: the lower triangle of its rows only.
                int r2End = e1 == e2 ? r1 + 1 : layout->rows[c2];
                for (int r2 = 0; r2 < r2End; ++r2) {
                    int j = layout->firstRow[c2] + r2;
                    const PxReal *b = J + tileIndex(j, col2);
                    PxReal v = 0.0;
                    v += a0 * b[0];
                    v += a1 * b[4];
                    v += a2 * b[8];
                    v += a3 * b[12];
                    v += a4 * b[16];
                    v += a5 * b[20];
                    // Two ends of one constraint on one body meet twice on the diagonal.
                    if (e1 != e2 && i == j) v += v;
                    int q = pos[j];
                    store[p >= q ? rowOf(p) + colOf(q) : rowOf(q) + colOf(p)] += v;
                }
            }
        }
    }
}

// JMinv and J: 4-row tiles of the rows; pos (n): position of each row.
// Element (p, q) of A in positions, p >= q, is store[rowOf(p) + colOf(q)].
template <typename Rows, typename Cols>
void assembleProducts(const SparseMatrixMap *map, const int32_t *pos, const PxReal *JMinv, const PxReal *J,
                      PxReal *store, Rows rowOf, Cols colOf)
{
    GatheredBody gathered; // some 8 kB on the stack: the step allocates nothing
    for (int body = 0; body < map->bodyCount; ++body) {
        if (gathered.gather(map, pos, JMinv, J, body, rowOf, colOf))
            assembleGathered(gathered, store);
        else
            assembleBodyTiles(map, pos, JMinv, J, body, store, rowOf, colOf);
    }
}

} // namespace lcs

#endif
