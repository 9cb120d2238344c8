// Batched sweeps: planning which constraints go together, and the sweeps of
// one batch. Every lane does, in the same order, the same float and double
// operations as the row-at-a-time sweeps (RbdLcsIterative.cpp) do on that
// row, so a batch's impulses equal theirs bit for bit; only the layout
// differs.
#include "solver/RbdLcsSweepBatches.h"

#include <string.h>
#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lcs {

namespace {

typedef int32_t Int4 __attribute__((vector_size(16)));
// The sweeps' helpers are inlined into each copy of a batch's sweep (see
// sweepLanes), each for its own instructions.
#define SWEEP_INLINE inline __attribute__((always_inline))
// Two lanes' impulses: the sweeps sum impulses in double precision, two
// to a 128-bit register, four lanes in two halves (eight lanes: two halves
// of four in 256-bit registers).
typedef PxReal Double2 __attribute__((vector_size(16)));
typedef float Float2 __attribute__((vector_size(8)));
typedef int64_t Long2 __attribute__((vector_size(16)));

// How far back among the items a constraint looks for a batch to join: far
// enough to pass the other contacts of its own pair of bodies (up to four),
// and of its bodies' other pairs. A boxes' pile fills its batches with 6.6
// constraints on average looking back 16 items, 6.9 with 32, 7.0 with 64.
// The coloured plan looks back as far, a bit a recent item (BodyItems).
const int kPlanWindow = 32;

// A constraint's shape: its row count and, per row, the row it follows as
// friction (+1, 0 for none); -1 when the constraint cannot be batched.
int32_t shapeOf(const ConstraintLayout &layout, const int32_t *frictionRef, int c)
{
    const int first = layout.firstRow[c], count = layout.rows[c];
    const int32_t *body = layout.bodies + 2 * c;
    if (count < 1 || count > kBatchRows || (body[0] >= 0 && body[0] == body[1])) return -1;
    int32_t shape = count;
    for (int r = 0; r < count; ++r) {
        const int normal = frictionRef[first + r];
        if (normal >= 0 && (normal < first || normal >= first + count)) return -1;
        shape |= (normal < 0 ? 0 : normal - first + 1) << (3 + 3 * r);
    }
    return shape;
}

// The constraint that holds row i.
int ownerOf(const ConstraintLayout &layout, int i)
{
    const int32_t *end = layout.firstRow + layout.constraintCount;
    int c = static_cast<int>(std::upper_bound(layout.firstRow, end, i) - layout.firstRow) - 1;
    while (c > 0 && layout.rows[c] == 0) --c;
    return c;
}

// Shapes of every constraint; one whose rows another's friction rows
// follow is swept alone, as is that other one.
void shapesOf(const ConstraintLayout &layout, const int32_t *frictionRef, int32_t *shape)
{
    for (int c = 0; c < layout.constraintCount; ++c) shape[c] = shapeOf(layout, frictionRef, c);
    for (int c = 0; c < layout.constraintCount; ++c) {
        const int first = layout.firstRow[c], end = first + layout.rows[c];
        for (int i = first; i < end; ++i)
            if (frictionRef[i] >= 0 && (frictionRef[i] < first || frictionRef[i] >= end))
                shape[ownerOf(layout, frictionRef[i])] = -1;
    }
}

// The item constraint c of `shape` joins: the first batch of its shape with
// room past `after` (the last item holding one of its bodies) within the
// window, else a new item at `count`.
int itemFor(int32_t shape, int after, int count, const int32_t *itemShape, const int32_t *fill)
{
    if (shape < 0) return count;
    const int from = std::max(after + 1, count - kPlanWindow);
    for (int j = from; j < count; ++j)
        if (itemShape[j] == shape && fill[j] < kBatchLanes) return j;
    return count;
}

// Which of the last kPlanWindow items hold a body, for the coloured plan:
// bit k for item base + k, as of the base the body was last written at
// (bases only grow).
struct BodyItems {
    uint32_t *bits;
    int32_t *base;

    uint32_t at(int body, int now) const
    {
        if (body < 0) return 0;
        const int shift = now - base[body];
        return shift >= kPlanWindow ? 0 : bits[body] >> shift;
    }
    void add(int body, int now, int item)
    {
        if (body < 0) return;
        bits[body] = at(body, now) | 1u << (item - now), base[body] = now;
    }
};
static_assert(kPlanWindow <= 32, "a body's recent items fit one word");

// The coloured plan's item for constraint c of `shape`: the first batch of
// its shape with room among the recent items that holds neither of its
// bodies (open: the recent batches with room, busy: those holding one of
// its bodies; bit k for item now + k), else a new item at `count`.
int colouredItemFor(int32_t shape, uint32_t open, uint32_t busy, int now, int count, const int32_t *itemShape)
{
    if (shape < 0) return count;
    for (uint32_t free = open & ~busy; free; free &= free - 1) {
        const int j = now + __builtin_ctz(free);
        if (itemShape[j] == shape) return j;
    }
    return count;
}

// Opens item j for constraint c of `shape` (a batch, or c alone).
void openItem(SweepPlan &plan, int j, int c, int32_t shape, int32_t *itemShape, int32_t *fill, int &batches)
{
    itemShape[j] = shape, fill[j] = 0;
    if (shape < 0) {
        plan.items[j] = -1 - c;
        return;
    }
    plan.items[j] = batches++;
    for (int k = 0; k < kBatchLanes; ++k) plan.lanes[kBatchLanes * plan.items[j] + k] = -1;
}

// Batches of one constraint go back to the row-at-a-time sweeps, and the
// batches left are numbered in order. Returns the constraints batched.
int keepFullBatches(SweepPlan &plan, const int32_t *fill)
{
    int kept = 0, batched = 0;
    for (int j = 0; j < plan.itemCount; ++j) {
        if (plan.items[j] < 0) continue;
        const int32_t *lanes = plan.lanes + kBatchLanes * plan.items[j];
        if (fill[j] < 2) {
            plan.items[j] = -1 - lanes[0];
            continue;
        }
        memmove(plan.lanes + kBatchLanes * kept, lanes, sizeof(int32_t) * kBatchLanes);
        plan.items[j] = kept++;
        batched += fill[j];
    }
    plan.batchCount = kept;
    return batched;
}

} // namespace

size_t planScratchCount(int constraintCount, int bodyCount)
{
    return 3 * static_cast<size_t>(constraintCount) + 2 * static_cast<size_t>(bodyCount);
}

int planSweeps(const ConstraintLayout &layout, const int32_t *frictionRef, int bodyCount, SweepPlan &plan,
               int32_t *scratch)
{
    const int count = layout.constraintCount;
    int32_t *shape = scratch, *itemShape = scratch + count, *fill = scratch + 2 * count, *last = scratch + 3 * count;
    shapesOf(layout, frictionRef, shape);
    for (int b = 0; b < bodyCount; ++b) last[b] = -1;
    int items = 0, batches = 0;
    for (int c = 0; c < count; ++c) {
        const int32_t *body = layout.bodies + 2 * c;
        int after = -1;
        for (int s = 0; s < 2; ++s)
            if (body[s] >= 0) after = std::max(after, static_cast<int>(last[body[s]]));
        const int j = itemFor(shape[c], after, items, itemShape, fill);
        if (j == items) openItem(plan, items++, c, shape[c], itemShape, fill, batches);
        if (shape[c] >= 0) plan.lanes[kBatchLanes * plan.items[j] + fill[j]++] = c;
        for (int s = 0; s < 2; ++s)
            if (body[s] >= 0) last[body[s]] = j;
    }
    plan.itemCount = items;
    return keepFullBatches(plan, fill);
}

int planColouredSweeps(const ConstraintLayout &layout, const int32_t *frictionRef, int bodyCount, SweepPlan &plan,
                       int32_t *scratch)
{
    const int count = layout.constraintCount;
    int32_t *shape = scratch, *itemShape = scratch + count, *fill = scratch + 2 * count;
    BodyItems held = {reinterpret_cast<uint32_t *>(scratch + 3 * count), scratch + 3 * count + bodyCount};
    shapesOf(layout, frictionRef, shape);
    for (int b = 0; b < bodyCount; ++b) held.bits[b] = 0, held.base[b] = 0;
    int items = 0, batches = 0, now = 0;
    uint32_t open = 0; // the recent batches with room, bit k for item now + k
    for (int c = 0; c < count; ++c) {
        const int32_t *body = layout.bodies + 2 * c;
        const uint32_t busy = held.at(body[0], now) | held.at(body[1], now);
        const int j = colouredItemFor(shape[c], open, busy, now, items, itemShape);
        if (j == items) openItem(plan, items++, c, shape[c], itemShape, fill, batches);
        const int later = std::max(0, items - kPlanWindow);
        open >>= later - now, now = later; // by one item at most
        if (shape[c] >= 0) {
            plan.lanes[kBatchLanes * plan.items[j] + fill[j]++] = c;
            const uint32_t bit = 1u << (j - now);
            open = fill[j] < kBatchLanes ? open | bit : open & ~bit;
        }
        for (int s = 0; s < 2; ++s) held.add(body[s], now, j);
    }
    plan.itemCount = items;
    return keepFullBatches(plan, fill);
}

namespace {

// Lanes of two vectors a, b (lanes 0-3 and 4-7) taken pairwise: the low
// and high halves interleaved, and the first or second halves of each.
Float4 interleaveLow(Float4 a, Float4 b)
{
    return __builtin_shufflevector(a, b, 0, 4, 1, 5);
}

Float4 interleaveHigh(Float4 a, Float4 b)
{
    return __builtin_shufflevector(a, b, 2, 6, 3, 7);
}

Float4 halvesFirst(Float4 a, Float4 b)
{
    return __builtin_shufflevector(a, b, 0, 1, 4, 5);
}

Float4 halvesSecond(Float4 a, Float4 b)
{
    return __builtin_shufflevector(a, b, 2, 3, 6, 7);
}

// Lanes base.. of a batch row's eight: all eight (V = Float8, base 0) or
// one half of four (V = Float4, base 0 or 4), for the sweeps that take
// them four at a time.
template <typename V> inline const V &lanesOf(const Float8 &f, int base)
{
    return *reinterpret_cast<const V *>(reinterpret_cast<const float *>(&f) + base);
}

template <typename V> inline V &lanesOf(Float8 &f, int base)
{
    return *reinterpret_cast<V *>(reinterpret_cast<float *>(&f) + base);
}

} // namespace

// The eight-lane helpers below pass 256-bit vectors by value; they are
// always inlined into the AVX copy of a batch's sweep, so no call ever
// crosses the ABI GCC warns about.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

typedef int32_t Int8 __attribute__((vector_size(32)));
typedef PxReal Double4 __attribute__((vector_size(32)));
typedef int64_t Long4 __attribute__((vector_size(32)));
typedef PxReal Double8 __attribute__((vector_size(64)));
// Four impulses in memory (x need be aligned only to a double's pair).
typedef PxReal Double4InMemory __attribute__((vector_size(32), aligned(16)));
typedef int64_t Long4InMemory __attribute__((vector_size(32), aligned(16)));

// The types that go with four lanes or eight: comparison masks, a half's
// impulses in double, their bits in memory, and a half's floats.
template <typename V> struct LaneTypes;
template <> struct LaneTypes<Float4> {
    typedef Int4 Mask;
    typedef Double2 Wide;
    typedef Long2 WideBits;
    typedef Double2 WideInMemory;
    typedef Long2 WideBitsInMemory;
    typedef Float2 Narrow;
};
template <> struct LaneTypes<Float8> {
    typedef Int8 Mask;
    typedef Double4 Wide;
    typedef Long4 WideBits;
    typedef Double4InMemory WideInMemory;
    typedef Long4InMemory WideBitsInMemory;
    typedef Float4 Narrow;
};

// Lanes a half of V holds.
template <typename V> constexpr int halfLanes()
{
    return static_cast<int>(sizeof(V) / sizeof(float) / 2);
}

// The same pairings within each 128-bit half of two eight-lane vectors
// (a's lanes 0-7, b's 8-15), as AVX shuffles work.
SWEEP_INLINE Float8 interleaveLow(const Float8 &a, const Float8 &b)
{
    return __builtin_shufflevector(a, b, 0, 8, 1, 9, 4, 12, 5, 13);
}

SWEEP_INLINE Float8 interleaveHigh(const Float8 &a, const Float8 &b)
{
    return __builtin_shufflevector(a, b, 2, 10, 3, 11, 6, 14, 7, 15);
}

SWEEP_INLINE Float8 halvesFirst(const Float8 &a, const Float8 &b)
{
    return __builtin_shufflevector(a, b, 0, 1, 8, 9, 4, 5, 12, 13);
}

SWEEP_INLINE Float8 halvesSecond(const Float8 &a, const Float8 &b)
{
    return __builtin_shufflevector(a, b, 2, 3, 10, 11, 6, 7, 14, 15);
}

// Lanes 4..7 of a batch are empty when lane 4 is: its lanes fill in order.
inline bool fourLanes(const BatchHead &head)
{
    return head.constraint[4] < 0;
}

// The x, y and z of four velocity parts (a, b, c, d), lane k from the k-th.
// Eight lanes work within each 128-bit half: a holds the parts of lanes 0
// and 4, b of 1 and 5, and so on (AVX shuffles within the halves).
template <typename V> SWEEP_INLINE void gather(const V &a, const V &b, const V &c, const V &d, V *axes)
{
    const V ab = interleaveLow(a, b), cd = interleaveLow(c, d);
    axes[0] = halvesFirst(ab, cd);
    axes[1] = halvesSecond(ab, cd);
    axes[2] = halvesFirst(interleaveHigh(a, b), interleaveHigh(c, d));
}

// The inverse: four velocity parts from their x, y and z (the fourth
// floats, never read, become zero).
template <typename V> SWEEP_INLINE void scatter(const V *axes, V &a, V &b, V &c, V &d)
{
    const V zero = {};
    const V xyLow = interleaveLow(axes[0], axes[1]), xyHigh = interleaveHigh(axes[0], axes[1]);
    const V zLow = interleaveLow(axes[2], zero), zHigh = interleaveHigh(axes[2], zero);
    a = halvesFirst(xyLow, zLow);
    b = halvesSecond(xyLow, zLow);
    c = halvesFirst(xyHigh, zHigh);
    d = halvesSecond(xyHigh, zHigh);
}

SWEEP_INLINE Float4 joined(const Float2 &low, const Float2 &high)
{
    return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

SWEEP_INLINE Float8 joined(const Float4 &low, const Float4 &high)
{
    return __builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7);
}

// The slot at byte offset `offset` from u (BatchHead::slot).
SWEEP_INLINE const SweepVelocity &slotAt(const SweepVelocity *u, int32_t offset)
{
    return *reinterpret_cast<const SweepVelocity *>(reinterpret_cast<const char *>(u) + offset);
}

SWEEP_INLINE SweepVelocity &slotAt(SweepVelocity *u, int32_t offset)
{
    return *reinterpret_cast<SweepVelocity *>(reinterpret_cast<char *>(u) + offset);
}

// One side's linear x y z then angular x y z, lane k of the body at byte
// offset slot[k].
SWEEP_INLINE void gatherSide(const int32_t *slot, const SweepVelocity *u, Float4 *v)
{
    const SweepVelocity &a = slotAt(u, slot[0]), &b = slotAt(u, slot[1]), &c = slotAt(u, slot[2]),
                        &d = slotAt(u, slot[3]);
    gather(a.linear, b.linear, c.linear, d.linear, v);
    gather(a.angular, b.angular, c.angular, d.angular, v + 3);
}

SWEEP_INLINE void gatherSide(const int32_t *slot, const SweepVelocity *u, Float8 *v)
{
    const SweepVelocity *w[8];
    for (int k = 0; k < 8; ++k) w[k] = &slotAt(u, slot[k]);
    gather(joined(w[0]->linear, w[4]->linear), joined(w[1]->linear, w[5]->linear), joined(w[2]->linear, w[6]->linear),
           joined(w[3]->linear, w[7]->linear), v);
    gather(joined(w[0]->angular, w[4]->angular), joined(w[1]->angular, w[5]->angular),
           joined(w[2]->angular, w[6]->angular), joined(w[3]->angular, w[7]->angular), v + 3);
}

SWEEP_INLINE void scatterSide(const Float4 *v, const int32_t *slot, SweepVelocity *u)
{
    SweepVelocity &a = slotAt(u, slot[0]), &b = slotAt(u, slot[1]), &c = slotAt(u, slot[2]), &d = slotAt(u, slot[3]);
    scatter(v, a.linear, b.linear, c.linear, d.linear);
    scatter(v + 3, a.angular, b.angular, c.angular, d.angular);
}

// A slot's velocity change in one 32-byte store (the slots are aligned to
// 16 bytes): lane k's linear and angular parts side by side take one
// shuffle of the two, where storing them as halves takes two stores, and
// for the upper lanes two shuffles.
typedef float Float8InMemory __attribute__((vector_size(32), aligned(16)));
static_assert(sizeof(SweepVelocity) == sizeof(Float8InMemory), "a slot is eight floats");

SWEEP_INLINE void scatterSide(const Float8 *v, const int32_t *slot, SweepVelocity *u)
{
    Float8 part[2][4];
    scatter(v, part[0][0], part[0][1], part[0][2], part[0][3]);
    scatter(v + 3, part[1][0], part[1][1], part[1][2], part[1][3]);
    for (int k = 0; k < 8; ++k) {
        const Float8 &linear = part[0][k % 4], &angular = part[1][k % 4];
        // The offset is read again (volatile) rather than kept from the
        // gather: GCC would keep all sixteen addresses through the rows, on
        // the stack, a store and a load each.
        const int32_t offset = static_cast<const volatile int32_t *>(slot)[k];
        Float8InMemory &w = reinterpret_cast<Float8InMemory &>(slotAt(u, offset));
        w = k < 4 ? __builtin_shufflevector(linear, angular, 0, 1, 2, 3, 8, 9, 10, 11)
                  : __builtin_shufflevector(linear, angular, 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// v: per side, linear x y z then angular x y z, lanes base.. of the batch.
template <typename V>
SWEEP_INLINE void gatherBatch(const BatchHead &head, int base, const SweepVelocity *u, V (*v)[6])
{
    for (int side = 0; side < 2; ++side) gatherSide(head.slot[side] + base, u, v[side]);
}

// Empty lanes and the world's sides all write their slot's zero back.
template <typename V>
SWEEP_INLINE void scatterBatch(const BatchHead &head, int base, const V (*v)[6], SweepVelocity *u)
{
    for (int side = 0; side < 2; ++side) scatterSide(v[side], head.slot[side] + base, u);
}

// J u per lane, summed in the row-at-a-time sweeps' order: per axis the
// four parts, then the axes.
template <typename V> SWEEP_INLINE V batchProducts(const BatchRow &row, int base, const V (*v)[6])
{
    V axis[3];
    for (int k = 0; k < 3; ++k)
        axis[k] = lanesOf<V>(row.J[k], base) * v[0][k] + lanesOf<V>(row.J[3 + k], base) * v[0][3 + k] +
                  lanesOf<V>(row.J[6 + k], base) * v[1][k] + lanesOf<V>(row.J[9 + k], base) * v[1][3 + k];
    return axis[0] + axis[1] + axis[2];
}

// Lanes 2 Half and 2 Half + 1 in double.
template <int Half> SWEEP_INLINE Double2 widen(const Float4 &f)
{
#ifdef __SSE2__
    // (GCC converts the high half one float at a time.)
    return _mm_cvtps_pd(Half == 0 ? f : _mm_movehl_ps(f, f));
#else
    return __builtin_convertvector(__builtin_shufflevector(f, f, 2 * Half, 2 * Half + 1), Double2);
#endif
}

// Lanes 4 Half .. 4 Half + 3 in double. (GCC converts four floats to four
// doubles as two pairs through memory, but eight as two fours.)
template <int Half> SWEEP_INLINE Double4 widen(const Float8 &f)
{
    const Double8 all = __builtin_convertvector(f, Double8);
    return __builtin_shufflevector(all, all, 4 * Half, 4 * Half + 1, 4 * Half + 2, 4 * Half + 3);
}

// The bits of a double but its sign.
template <typename Bits> SWEEP_INLINE Bits magnitudeBits();
template <> SWEEP_INLINE Long2 magnitudeBits()
{
    return Long2{INT64_MAX, INT64_MAX};
}
template <> SWEEP_INLINE Long4 magnitudeBits()
{
    return Long4{INT64_MAX, INT64_MAX, INT64_MAX, INT64_MAX};
}

// Where the impulses of half Half of lanes base.. of a row lie.
template <typename V, int Half> SWEEP_INLINE int halfOffset(int base)
{
    return base + Half * halfLanes<V>();
}

// The bounds of half a batch row now: a friction row's follow its normal
// row's impulses.
template <typename V, int Half, typename Wide = typename LaneTypes<V>::Wide>
SWEEP_INLINE void halfBounds(const BatchRow &row, int base, const PxReal *xOfBatch, Wide &lo, Wide &hi)
{
    typedef typename LaneTypes<V>::WideBits Bits;
    if (row.normal < 0) {
        lo = widen<Half>(lanesOf<V>(row.lo, base)), hi = widen<Half>(lanesOf<V>(row.hi, base));
        return;
    }
    const Bits magnitude = magnitudeBits<Bits>();
    const Bits normal = *reinterpret_cast<const typename LaneTypes<V>::WideBitsInMemory *>(
        xOfBatch + kBatchLanes * row.normal + halfOffset<V, Half>(base));
    hi = widen<Half>(lanesOf<V>(row.hi, base)) * reinterpret_cast<Wide>(normal & magnitude);
    lo = -hi;
}

// Half of a batch row: the impulse changes clipped to the room the bounds
// leave, added to x (the row's impulses).
template <typename V, int Half, typename Wide = typename LaneTypes<V>::Wide>
SWEEP_INLINE Wide sweepHalf(const BatchRow &row, int base, const V &residual, const PxReal *xOfBatch, PxReal *xOfRow)
{
    Wide lo, hi;
    halfBounds<V, Half>(row, base, xOfBatch, lo, hi);
    typename LaneTypes<V>::WideInMemory &x = *reinterpret_cast<typename LaneTypes<V>::WideInMemory *>(
        xOfRow + halfOffset<V, Half>(base));
    const Wide old = x, step = widen<Half>(residual) - widen<Half>(lanesOf<V>(row.softness, base)) * old;
    const Wide below = lo - old, above = hi - old;
    const Wide raised = below > step ? below : step, clipped = raised > above ? above : raised;
    x = old + clipped;
    return clipped;
}

// One row of the batch's lanes base..: each lane's impulse change, clipped
// to the room its bounds leave; x takes it in double, v in float.
template <typename V>
SWEEP_INLINE V sweepBatchRow(const BatchRow &row, int base, const PxReal *xOfBatch, PxReal *xOfRow, V (*v)[6])
{
    typedef typename LaneTypes<V>::Narrow Narrow;
    const V residual = lanesOf<V>(row.q, base) - batchProducts(row, base, v);
    const Narrow low = __builtin_convertvector(sweepHalf<V, 0>(row, base, residual, xOfBatch, xOfRow), Narrow);
    const Narrow high = __builtin_convertvector(sweepHalf<V, 1>(row, base, residual, xOfBatch, xOfRow), Narrow);
    const V change = joined(low, high);
    for (int side = 0; side < 2; ++side)
        for (int k = 0; k < 6; ++k) v[side][k] += lanesOf<V>(row.MJ[6 * side + k], base) * change;
    return change;
}

// Clips the starts of half a batch row (lanes base.., V: their vector)
// within their bounds; returns their sizes.
template <typename V, int Half, typename Wide = typename LaneTypes<V>::Wide>
SWEEP_INLINE Wide startHalf(const BatchRow &row, int base, const PxReal *xOfBatch, PxReal *xOfRow)
{
    typedef typename LaneTypes<V>::WideBits Bits;
    Wide lo, hi;
    halfBounds<V, Half>(row, base, xOfBatch, lo, hi);
    typename LaneTypes<V>::WideInMemory &x = *reinterpret_cast<typename LaneTypes<V>::WideInMemory *>(
        xOfRow + halfOffset<V, Half>(base));
    const Wide start = x, raised = lo > start ? lo : start, clipped = raised > hi ? hi : raised;
    x = clipped;
    return reinterpret_cast<Wide>(reinterpret_cast<Bits>(clipped) & magnitudeBits<Bits>());
}

// A row's impulses of lanes base.. in float.
template <typename V> SWEEP_INLINE V impulsesOf(const PxReal *xOfRow, int base)
{
    typedef typename LaneTypes<V>::WideInMemory WideInMemory;
    typedef typename LaneTypes<V>::Narrow Narrow;
    const WideInMemory *x = reinterpret_cast<const WideInMemory *>(xOfRow + base);
    return joined(__builtin_convertvector(x[0], Narrow), __builtin_convertvector(x[1], Narrow));
}

// startBatch for lanes base.. (V: their vector), inlined into each copy as
// the sweeps are.
template <typename V>
SWEEP_INLINE PxReal startLanes(const BatchHead &head, int base, const BatchRow *rows, PxReal *x, SweepVelocity *u)
{
    PxReal largest = 0.0;
    const BatchRow *batch = rows + head.first;
    PxReal *xOfBatch = x + kBatchLanes * head.first;
    // Normal rows first: a friction row's bounds follow its normal row's
    // start clipped to that row's bounds.
    for (int pass = 0; pass < 2; ++pass)
        for (int r = 0; r < head.rows; ++r) {
            if ((batch[r].normal < 0) != (pass == 0)) continue;
            PxReal *xr = xOfBatch + kBatchLanes * r;
            const typename LaneTypes<V>::Wide sizes[2] = {startHalf<V, 0>(batch[r], base, xOfBatch, xr),
                                                          startHalf<V, 1>(batch[r], base, xOfBatch, xr)};
            for (int k = 0; k < 2 * halfLanes<V>(); ++k)
                largest = std::max(largest, sizes[k / halfLanes<V>()][k % halfLanes<V>()]);
        }
    V v[2][6];
    gatherBatch(head, base, u, v);
    for (int r = 0; r < head.rows; ++r) {
        const V impulse = impulsesOf<V>(xOfBatch + kBatchLanes * r, base);
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < 6; ++k) v[side][k] += lanesOf<V>(batch[r].MJ[6 * side + k], base) * impulse;
    }
    scatterBatch(head, base, v, u);
    return largest;
}

// The halves share no body: either order gives the same sums.
PxReal startBaseline(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u)
{
    const PxReal low = startLanes<Float4>(head, 0, rows, x, u);
    return fourLanes(head) ? low : std::max(low, startLanes<Float4>(head, 4, rows, x, u));
}

} // namespace

namespace {

// One sweep of lanes base.. of a batch (V: their vector), inlined for each
// copy of a batch's sweep below: the baseline processor's and AVX's, whose
// three-operand forms of the same instructions drop the copies the
// two-operand forms need and whose 256-bit registers take eight lanes (the
// same operations in the same order per lane: the same impulses to the bit).
// Without Testing the rows' changes are not compared with their tolerances:
// once a row of the sweep has moved, the sweep is not the last, and a
// pile's first batch nearly always has one. The test's registers (the
// tolerance, floor, mask and what moved) then hold velocity changes.
// Returns whether a lane moved by more than both its tolerance and floor
// (false untested).
template <typename V, bool Testing>
SWEEP_INLINE bool sweepLanes(const BatchHead &head, int base, const BatchRow *rows, PxReal *x, SweepVelocity *u,
                             float floor)
{
    typedef typename LaneTypes<V>::Mask Mask;
    V v[2][6];
    gatherBatch(head, base, u, v);
    const BatchRow *batch = rows + head.first;
    PxReal *xOfBatch = x + kBatchLanes * head.first;
    const Mask magnitude = Mask{} + 0x7fffffff;
    Mask moved = {};
    // A batch has a row at least (its constraints' shape): with no pass
    // that skips the rows, the velocity changes go from the gather through
    // the rows to the scatter in registers.
    int r = 0;
    do {
        const V change = sweepBatchRow(batch[r], base, xOfBatch, xOfBatch + kBatchLanes * r, v);
        if (!Testing) continue;
        const V size = reinterpret_cast<V>(reinterpret_cast<Mask>(change) & magnitude);
        moved |= (size > lanesOf<V>(batch[r].tolerance, base)) & (size > floor);
    } while (++r < head.rows);
    scatterBatch(head, base, v, u);
    int32_t any = 0;
    for (int k = 0; Testing && k < 2 * halfLanes<V>(); ++k) any |= moved[k];
    return any != 0;
}

// Without AVX, eight lanes go as two halves of four: they share no body,
// so either order gives the same impulses.
template <bool Testing>
bool sweepBaselineLanes(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u, float floor)
{
    const bool low = sweepLanes<Float4, Testing>(head, 0, rows, x, u, floor);
    return (!fourLanes(head) && sweepLanes<Float4, Testing>(head, 4, rows, x, u, floor)) || low;
}

int sweepBaseline(const BatchHead *heads, int first, int end, const BatchRow *rows, PxReal *x, SweepVelocity *u,
                  float floor, int testing)
{
    int b = first;
    for (; testing && b < end; ++b) testing = !sweepBaselineLanes<true>(heads[b], rows, x, u, floor);
    for (; b < end; ++b) sweepBaselineLanes<false>(heads[b], rows, x, u, floor);
    return testing;
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"))) int sweepAvx(const BatchHead *heads, int first, int end, const BatchRow *rows,
                                            PxReal *x, SweepVelocity *u, float floor, int testing)
{
    int b = first;
    for (; testing && b < end; ++b)
        testing = fourLanes(heads[b]) ? !sweepLanes<Float4, true>(heads[b], 0, rows, x, u, floor)
                                      : !sweepLanes<Float8, true>(heads[b], 0, rows, x, u, floor);
    for (; b < end; ++b) {
        if (fourLanes(heads[b]))
            sweepLanes<Float4, false>(heads[b], 0, rows, x, u, floor);
        else
            sweepLanes<Float8, false>(heads[b], 0, rows, x, u, floor);
    }
    return testing;
}

__attribute__((target("avx"))) PxReal startAvx(const BatchHead &head, const BatchRow *rows, PxReal *x,
                                               SweepVelocity *u)
{
    return fourLanes(head) ? startLanes<Float4>(head, 0, rows, x, u) : startLanes<Float8>(head, 0, rows, x, u);
}

bool hasAvx()
{
    return __builtin_cpu_supports("avx");
}
#else
const BatchSweep sweepAvx = sweepBaseline;
const BatchStart startAvx = startBaseline;
bool hasAvx()
{
    return false;
}
#endif

} // namespace

BatchSweep batchSweep(bool baseline)
{
    return baseline || !hasAvx() ? sweepBaseline : sweepAvx;
}

BatchStart batchStart(bool baseline)
{
    return baseline || !hasAvx() ? startBaseline : startAvx;
}

} // namespace lcs
