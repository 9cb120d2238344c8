#include "RbdLcsSparseMap.h"

#include <kelmar/PxMessage.h>
#include "RbdLcsMemoryPool.h"

namespace lcs {

size_t RbdSparseMatrixMapMemoryRequired(int bodyCount, int rowCount)
{
    size_t padded = (static_cast<size_t>(rowCount) + 3u) & ~static_cast<size_t>(3u);
    return PoolAlignedCost(sizeof(SparseMatrixMap))
         + PoolAlignedCost(sizeof(int32_t) * static_cast<size_t>(bodyCount))
         + PoolAlignedCost(sizeof(int32_t) * 2u * static_cast<size_t>(rowCount))
         + PoolAlignedCost(sizeof(int32_t) * padded);
}

SparseMatrixMap *RbdSparseMatrixMapCreate(int bodyCount, const ConstraintLayout *layout)
{
    for (int c = 0; c < layout->constraintCount; ++c) {
        if (layout->rows[c] < 1 || layout->firstRow[c] < 0
            || layout->firstRow[c] + layout->rows[c] > layout->rowCount) {
            PxWarning(12, "Lcs: constraint %d has rows %d .. %d outside the %d rows of its partition\n",
                      c, layout->firstRow[c], layout->firstRow[c] + layout->rows[c] - 1, layout->rowCount);
            return nullptr;
        }
        for (int side = 0; side < 2; ++side) {
            if (layout->bodies[2 * c + side] >= bodyCount) {
                PxWarning(12, "Lcs: constraint %d names body %d of a partition of %d bodies\n",
                          c, layout->bodies[2 * c + side], bodyCount);
                return nullptr;
            }
        }
    }
    SparseMatrixMap *map = static_cast<SparseMatrixMap *>(
        PoolAllocAligned(PoolRound(sizeof(SparseMatrixMap)), kPoolAlignment, "sparse map"));
    if (!map) return nullptr;
    map->layout = layout;
    map->bodyCount = bodyCount;
    map->head = static_cast<int32_t *>(PoolAllocAligned(
        PoolRound(sizeof(int32_t) * static_cast<size_t>(bodyCount)), kPoolAlignment, "head pointers"));
    map->next = static_cast<int32_t *>(PoolAllocAligned(
        PoolRound(sizeof(int32_t) * 2u * static_cast<size_t>(layout->constraintCount)), kPoolAlignment,
        "next pointers"));
    map->rowStart = static_cast<int32_t *>(PoolAllocAligned(
        PoolRound(sizeof(int32_t) * static_cast<size_t>(layout->paddedRowCount)), kPoolAlignment, "min col"));
    if (!map->head || !map->next || !map->rowStart) return nullptr;
    return map;
}

void RbdSparseMatrixMapBuild(SparseMatrixMap *map)
{
    const ConstraintLayout *layout = map->layout;
    for (int b = 0; b < map->bodyCount; ++b) map->head[b] = -1;
    // Insert ends from the last constraint to the first, so that each body's
    // list comes out in constraint order.
    for (int e = 2 * layout->constraintCount - 1; e >= 0; --e) {
        int body = layout->bodies[e];
        if (body < 0) continue;
        map->next[e] = map->head[body];
        map->head[body] = e;
    }
    for (int i = 0; i < layout->paddedRowCount; ++i) map->rowStart[i] = i;
    // A constraint's rows are coupled to its own rows and to the rows of
    // every constraint on either of its bodies.
    for (int c = 0; c < layout->constraintCount; ++c) {
        int start = layout->firstRow[c];
        for (int side = 0; side < 2; ++side) {
            int body = layout->bodies[2 * c + side];
            if (body < 0) continue;
            for (int e = map->head[body]; e >= 0; e = map->next[e]) {
                int other = layout->firstRow[e / 2];
                if (other < start) start = other;
            }
        }
        for (int r = 0; r < layout->rows[c]; ++r) {
            int row = layout->firstRow[c] + r;
            if (start < map->rowStart[row]) map->rowStart[row] = start;
        }
    }
}

} // namespace lcs
