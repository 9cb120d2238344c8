// Assembly of J M^-1 J^T for the two storage schemes: every pair of
// constraint ends on the same body adds that body's share J_a M_b^-1 J_b^T,
// each pair visited once. Shared as a template so that each scheme's element
// update is inlined into the loop.
#ifndef KELMAR_DYNAMICS_RBDLCSASSEMBLE_H
#define KELMAR_DYNAMICS_RBDLCSASSEMBLE_H

#include <kelmar/PxTypes.h>
#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsTiles.h"

namespace lcs {

// JMinv and J: 4-row tiles of the rows; pos (n): position of each row.
// add(p, q, v) adds v to element (p, q) of A in positions, p >= q.
template <typename Add>
void assembleProducts(const SparseMatrixMap *map, const int32_t *pos, const PxReal *JMinv, const PxReal *J, Add add)
{
    const ConstraintLayout *layout = map->layout;
    for (int body = 0; body < map->bodyCount; ++body) {
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
                        if (p >= q)
                            add(p, q, v);
                        else
                            add(q, p, v);
                    }
                }
            }
        }
    }
}

} // namespace lcs

#endif
