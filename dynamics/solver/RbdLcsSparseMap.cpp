#include "solver/RbdLcsSparseMap.h"
#include "solver/RbdLcsLayoutKey.h"

#include <string.h>
#include <kelmar/PxMessage.h>
#include "solver/RbdLcsTypes.h"
#include "solver/RbdLcsMemoryPool.h"

namespace lcs {

namespace {

int32_t *intArray(MemoryPool &pool, size_t count, const char *name)
{
    return pool.array<int32_t>(count, name);
}

size_t intArrayCost(size_t count)
{
    return PoolAlignedCost(sizeof(int32_t) * count);
}

// Scratch of the ordering: all released when it ends.
struct OrderScratch {
    int32_t *rank;         // (bodyCount) place of each body in the order, -1 before it has one
    int32_t *degree;       // (bodyCount) constraint ends on each body
    int32_t *queue;        // (bodyCount) bodies in breadth-first order
    int32_t *level;        // (bodyCount) breadth-first distance while a start body is sought
    int32_t *sorted;       // (constraintCount) constraints in their new order
    int32_t *spare;        // (constraintCount) the previous pass of the sort
    int32_t *count;        // (bodyCount + 2) bucket counts of the sort
    int32_t *first;        // (constraintCount) new first position of each constraint
    int32_t *packingStart; // (paddedRowCount) the envelope in the packing order
};

// Multiply-adds of a row-by-row factor in the map's envelope: a row of
// width w costs w^2 / 2.
double factorCost(const SparseMatrixMap *map)
{
    double cost = 0.0;
    for (int p = 0; p < map->layout->paddedRowCount; ++p) {
        double w = p - map->rowStart[p] + 1;
        cost += 0.5 * w * w;
    }
    return cost;
}

// Bodies reached from `start` breadth first, appended to queue at `tail`,
// each one's level set; returns the new tail. Neighbours are taken in
// order of growing degree, as Cuthill and McKee do, when `sortByDegree`.
int breadthFirst(const SparseMatrixMap *map, const OrderScratch &s, int start, int tail, int32_t *mark,
                 bool sortByDegree)
{
    const int32_t *bodies = map->layout->bodies;
    int head = tail;
    s.queue[tail++] = start;
    mark[start] = 0;
    while (head < tail) {
        int body = s.queue[head++];
        int firstNew = tail;
        for (int e = map->head[body]; e >= 0; e = map->next[e]) {
            int other = bodies[e ^ 1];
            if (other < 0 || mark[other] >= 0) continue;
            mark[other] = mark[body] + 1;
            s.queue[tail++] = other;
        }
        if (!sortByDegree) continue;
        for (int k = firstNew + 1; k < tail; ++k) {
            int b = s.queue[k], j = k;
            for (; j > firstNew && s.degree[s.queue[j - 1]] > s.degree[b]; --j) s.queue[j] = s.queue[j - 1];
            s.queue[j] = b;
        }
    }
    return tail;
}

// A start body far from the rest of its component (George and Liu's
// pseudo-peripheral node): from `seed`, repeatedly the lowest-degree body of
// the last breadth-first level while that level keeps getting farther.
int peripheralBody(const SparseMatrixMap *map, const OrderScratch &s, int seed, int tail)
{
    int start = seed, eccentricity = -1;
    for (int round = 0; round < 8; ++round) {
        int end = breadthFirst(map, s, start, tail, s.level, false);
        int depth = s.level[s.queue[end - 1]];
        int candidate = s.queue[end - 1];
        for (int k = end - 1; k >= tail && s.level[s.queue[k]] == depth; --k)
            if (s.degree[s.queue[k]] < s.degree[candidate]) candidate = s.queue[k];
        for (int k = tail; k < end; ++k) s.level[s.queue[k]] = -1;
        if (depth <= eccentricity) break;
        eccentricity = depth;
        start = candidate;
    }
    return start;
}

// Stable counting sort of s.spare into s.sorted by key (0 .. buckets - 1).
template <typename Key> void countingSort(const OrderScratch &s, int constraints, int buckets, Key key)
{
    for (int k = 0; k <= buckets; ++k) s.count[k] = 0;
    for (int k = 0; k < constraints; ++k) ++s.count[key(s.spare[k]) + 1];
    for (int k = 0; k < buckets; ++k) s.count[k + 1] += s.count[k];
    for (int k = 0; k < constraints; ++k) s.sorted[s.count[key(s.spare[k])]++] = s.spare[k];
}

// The envelope for constraint first positions `first`: a constraint's rows
// start at the first position of any constraint sharing one of its bodies.
void computeEnvelope(SparseMatrixMap *map, const int32_t *first)
{
    const ConstraintLayout *layout = map->layout;
    int32_t *minFirst = map->bodyFirst;
    for (int p = 0; p < layout->paddedRowCount; ++p) map->rowStart[p] = p;
    for (int b = 0; b < map->bodyCount; ++b) minFirst[b] = layout->paddedRowCount;
    for (int c = 0; c < layout->constraintCount; ++c)
        for (int side = 0; side < 2; ++side) {
            int body = layout->bodies[2 * c + side];
            if (body >= 0 && first[c] < minFirst[body]) minFirst[body] = first[c];
        }
    for (int c = 0; c < layout->constraintCount; ++c) {
        int start = first[c];
        for (int side = 0; side < 2; ++side) {
            int body = layout->bodies[2 * c + side];
            if (body >= 0 && minFirst[body] < start) start = minFirst[body];
        }
        for (int r = 0; r < layout->rows[c]; ++r)
            if (start < map->rowStart[first[c] + r]) map->rowStart[first[c] + r] = start;
    }
}

} // namespace

size_t RbdSparseMatrixMapMemoryRequired(int bodyCount, int rowCount)
{
    size_t bodies = static_cast<size_t>(bodyCount), rows = static_cast<size_t>(rowCount);
    size_t padded = (rows + 3u) & ~static_cast<size_t>(3u);
    size_t map = PoolAlignedCost(sizeof(SparseMatrixMap)) + 2 * intArrayCost(bodies) + intArrayCost(2u * rows) +
                 3 * intArrayCost(padded);
    size_t scratch = 4 * intArrayCost(bodies) + intArrayCost(bodies + 2) + 3 * intArrayCost(rows) +
                     intArrayCost(padded);
    return map + scratch;
}

SparseMatrixMap *RbdSparseMatrixMapCreate(MemoryPool &pool, int bodyCount, const ConstraintLayout *layout)
{
    for (int c = 0; c < layout->constraintCount; ++c) {
        if (layout->rows[c] < 1 || layout->firstRow[c] < 0 ||
            layout->firstRow[c] + layout->rows[c] > layout->rowCount) {
            PxWarning(RBD_MESSAGE_LEVEL,
                      "Lcs: constraint %d has rows %d .. %d outside the %d rows of its partition\n", c,
                      layout->firstRow[c], layout->firstRow[c] + layout->rows[c] - 1, layout->rowCount);
            return nullptr;
        }
        for (int side = 0; side < 2; ++side) {
            if (layout->bodies[2 * c + side] >= bodyCount) {
                PxWarning(RBD_MESSAGE_LEVEL, "Lcs: constraint %d names body %d of a partition of %d bodies\n", c,
                          layout->bodies[2 * c + side], bodyCount);
                return nullptr;
            }
        }
    }
    SparseMatrixMap *map = pool.array<SparseMatrixMap>(1, "sparse map");
    if (!map) return nullptr;
    map->pool = &pool;
    size_t padded = static_cast<size_t>(layout->paddedRowCount);
    map->layout = layout;
    map->bodyCount = bodyCount;
    map->head = intArray(pool, static_cast<size_t>(bodyCount), "head pointers");
    map->next = intArray(pool, 2u * static_cast<size_t>(layout->constraintCount), "next pointers");
    map->rowStart = intArray(pool, padded, "min col");
    map->position = nullptr;
    map->rowAt = nullptr;
    map->bodyFirst = intArray(pool, static_cast<size_t>(bodyCount), "body first rows");
    if (!map->head || !map->next || !map->rowStart || !map->bodyFirst) return nullptr;
    return map;
}

void RbdSparseMatrixMapLink(SparseMatrixMap *map)
{
    const ConstraintLayout *layout = map->layout;
    map->position = map->rowAt = nullptr;
    for (int b = 0; b < map->bodyCount; ++b) map->head[b] = -1;
    // Insert ends from the last constraint to the first, so that each body's
    // list comes out in constraint order.
    for (int e = 2 * layout->constraintCount - 1; e >= 0; --e) {
        int body = layout->bodies[e];
        if (body < 0) continue;
        map->next[e] = map->head[body];
        map->head[body] = e;
    }
}

void RbdSparseMatrixMapBuild(SparseMatrixMap *map)
{
    RbdSparseMatrixMapLink(map);
    computeEnvelope(map, map->layout->firstRow);
}

int RbdSparseMatrixMapReorder(SparseMatrixMap *map)
{
    MemoryPool &pool = *map->pool;
    const ConstraintLayout *layout = map->layout;
    int bodyCount = map->bodyCount, constraints = layout->constraintCount;
    size_t bodies = static_cast<size_t>(bodyCount), cs = static_cast<size_t>(constraints);
    size_t padded = static_cast<size_t>(layout->paddedRowCount);
    // The order itself lives as long as the map; its scratch only as long as this call.
    int32_t *position = intArray(pool, padded, "position");
    int32_t *rowAt = intArray(pool, padded, "row at");
    if (!position || !rowAt || !pool.pushFrame()) return 0;
    OrderScratch s;
    s.rank = intArray(pool, bodies, "body rank");
    s.degree = intArray(pool, bodies, "body degree");
    s.queue = intArray(pool, bodies, "body queue");
    s.level = intArray(pool, bodies, "body level");
    s.count = intArray(pool, bodies + 2, "order buckets");
    s.sorted = intArray(pool, cs, "constraint order");
    s.spare = intArray(pool, cs, "constraint order spare");
    s.first = intArray(pool, cs, "constraint first positions");
    s.packingStart = intArray(pool, padded, "packing envelope");
    if (!s.packingStart || !s.rank || !s.degree || !s.queue || !s.level || !s.count || !s.sorted || !s.spare ||
        !s.first) {
        pool.popFrame();
        return 0;
    }
    for (int b = 0; b < bodyCount; ++b) {
        s.rank[b] = s.level[b] = -1;
        s.degree[b] = 0;
        for (int e = map->head[b]; e >= 0; e = map->next[e]) ++s.degree[b];
    }
    // Cuthill-McKee over every connected set of bodies, then reversed: the
    // reversal keeps the bandwidth and usually shrinks the envelope.
    int tail = 0;
    for (int seed = 0; seed < bodyCount; ++seed) {
        if (s.rank[seed] >= 0) continue;
        int start = peripheralBody(map, s, seed, tail);
        tail = breadthFirst(map, s, start, tail, s.rank, true);
    }
    for (int k = 0; k < bodyCount; ++k) s.rank[s.queue[k]] = bodyCount - 1 - k;
    // Constraints by their later body, and among those by their earlier one;
    // constraints on the world alone go with their body, constraints on no
    // body first. Bucket 0 means no body.
    auto later = [&](int c) {
        int r0 = layout->bodies[2 * c] >= 0 ? s.rank[layout->bodies[2 * c]] : -1;
        int r1 = layout->bodies[2 * c + 1] >= 0 ? s.rank[layout->bodies[2 * c + 1]] : -1;
        return (r0 > r1 ? r0 : r1) + 1;
    };
    auto earlier = [&](int c) {
        int r0 = layout->bodies[2 * c] >= 0 ? s.rank[layout->bodies[2 * c]] : -1;
        int r1 = layout->bodies[2 * c + 1] >= 0 ? s.rank[layout->bodies[2 * c + 1]] : -1;
        if (r0 < 0) return r1 + 1;
        if (r1 < 0) return r0 + 1;
        return (r0 < r1 ? r0 : r1) + 1;
    };
    for (int c = 0; c < constraints; ++c) s.spare[c] = c;
    countingSort(s, constraints, bodyCount + 1, earlier);
    for (int c = 0; c < constraints; ++c) s.spare[c] = s.sorted[c];
    countingSort(s, constraints, bodyCount + 1, later);
    // Rows of each constraint stay together and in their order; rows that no
    // constraint claims follow, then the padding.
    for (size_t i = 0; i < padded; ++i) position[i] = -1;
    int next = 0;
    for (int k = 0; k < constraints; ++k) {
        int c = s.sorted[k];
        s.first[c] = next;
        for (int r = 0; r < layout->rows[c]; ++r) {
            int row = layout->firstRow[c] + r;
            if (position[row] >= 0) {
                // Two constraints claim one row: keep the packing order.
                pool.popFrame();
                return 0;
            }
            position[row] = next++;
        }
    }
    for (int row = 0; row < layout->paddedRowCount; ++row)
        if (position[row] < 0) position[row] = next++;
    for (int row = 0; row < layout->paddedRowCount; ++row) rowAt[position[row]] = row;
    // The packing order stays when the new one would not factor faster: a
    // chain, say, comes out as its own reverse.
    double packingCost = factorCost(map);
    for (int p = 0; p < layout->paddedRowCount; ++p) s.packingStart[p] = map->rowStart[p];
    computeEnvelope(map, s.first);
    if (factorCost(map) < packingCost) {
        map->position = position;
        map->rowAt = rowAt;
    } else {
        for (int p = 0; p < layout->paddedRowCount; ++p) map->rowStart[p] = s.packingStart[p];
    }
    pool.popFrame();
    return 1;
}

namespace {

// The layout's key, in the order it is stored: counts, first rows, rows, bodies.
bool keyMatches(const OrderCache &cache, const SparseMatrixMap *map)
{
    const ConstraintLayout *l = map->layout;
    const size_t cs = static_cast<size_t>(l->constraintCount);
    const int32_t counts[4] = {map->bodyCount, l->constraintCount, l->rowCount, l->paddedRowCount};
    return cache.valid &&
           layoutKeyMatches(cache.key, {{counts, 4}, {l->firstRow, cs}, {l->rows, cs}, {l->bodies, 2 * cs}});
}

void storeKey(OrderCache &cache, const SparseMatrixMap *map)
{
    const ConstraintLayout *l = map->layout;
    const size_t cs = static_cast<size_t>(l->constraintCount);
    const int32_t counts[4] = {map->bodyCount, l->constraintCount, l->rowCount, l->paddedRowCount};
    storeLayoutKey(cache.key, {{counts, 4}, {l->firstRow, cs}, {l->rows, cs}, {l->bodies, 2 * cs}});
}

} // namespace

int RbdSparseMatrixMapReorderCached(SparseMatrixMap *map, OrderCache &cache)
{
    size_t padded = static_cast<size_t>(map->layout->paddedRowCount);
    if (keyMatches(cache, map)) {
        if (cache.reordered) {
            map->position = intArray(*map->pool, padded, "position");
            map->rowAt = intArray(*map->pool, padded, "row at");
            if (!map->position || !map->rowAt) {
                map->position = map->rowAt = nullptr;
                computeEnvelope(map, map->layout->firstRow);
                return 0;
            }
            memcpy(map->position, cache.position.data(), sizeof(int32_t) * padded);
            memcpy(map->rowAt, cache.rowAt.data(), sizeof(int32_t) * padded);
        }
        memcpy(map->rowStart, cache.rowStart.data(), sizeof(int32_t) * padded);
        return 1;
    }
    cache.valid = false;
    // Only an order chosen anew needs the packing order's envelope (to
    // weigh against); a kept order brings its own.
    computeEnvelope(map, map->layout->firstRow);
    if (!RbdSparseMatrixMapReorder(map)) return 0;
    storeKey(cache, map);
    cache.reordered = map->position && map->rowAt;
    cache.rowStart.assign(map->rowStart, map->rowStart + padded);
    if (cache.reordered) {
        cache.position.assign(map->position, map->position + padded);
        cache.rowAt.assign(map->rowAt, map->rowAt + padded);
    }
    cache.valid = true;
    return 1;
}

size_t RbdSparseMatrixMapEnvelopeSize(const SparseMatrixMap *map)
{
    size_t total = 0;
    for (int p = 0; p < map->layout->paddedRowCount; ++p) total += static_cast<size_t>(p - map->rowStart[p] + 1);
    return total;
}

} // namespace lcs
