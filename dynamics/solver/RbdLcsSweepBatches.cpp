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
// sweepBatchBody), each for its own instructions.
#define SWEEP_INLINE inline __attribute__((always_inline))
// Two lanes' impulses: the sweeps sum impulses in double precision, two
// to a vector register, a batch row's four lanes in two halves.
typedef PxReal Double2 __attribute__((vector_size(16)));
typedef float Float2 __attribute__((vector_size(8)));
typedef int64_t Long2 __attribute__((vector_size(16)));

// How far back among the items a constraint looks for a batch to join: far
// enough to pass the other contacts of its own pair of bodies (up to four),
// and of its bodies' other pairs.
const int kPlanWindow = 16;

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
    return 3 * static_cast<size_t>(constraintCount) + static_cast<size_t>(bodyCount);
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
        if (j == items) {
            ++items;
            itemShape[j] = shape[c], fill[j] = 0;
            if (shape[c] < 0) {
                plan.items[j] = -1 - c;
            } else {
                plan.items[j] = batches++;
                for (int k = 0; k < kBatchLanes; ++k) plan.lanes[kBatchLanes * plan.items[j] + k] = -1;
            }
        }
        if (shape[c] >= 0) plan.lanes[kBatchLanes * plan.items[j] + fill[j]++] = c;
        for (int s = 0; s < 2; ++s)
            if (body[s] >= 0) last[body[s]] = j;
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

// Four vectors' lanes regrouped: out[j] holds lane j of a, b, c and d.
void transpose(const Float4 &a, const Float4 &b, const Float4 &c, const Float4 &d, Float4 *out)
{
    const Float4 abLow = interleaveLow(a, b), cdLow = interleaveLow(c, d);
    const Float4 abHigh = interleaveHigh(a, b), cdHigh = interleaveHigh(c, d);
    out[0] = halvesFirst(abLow, cdLow);
    out[1] = halvesSecond(abLow, cdLow);
    out[2] = halvesFirst(abHigh, cdHigh);
    out[3] = halvesSecond(abHigh, cdHigh);
}

} // namespace

void setBatchRow(BatchRow &batch, const SweepRow *lanes)
{
    for (int part = 0; part < 4; ++part) {
        Float4 J[4], MJ[4];
        transpose(lanes[0].J[part], lanes[1].J[part], lanes[2].J[part], lanes[3].J[part], J);
        transpose(lanes[0].MJ[part], lanes[1].MJ[part], lanes[2].MJ[part], lanes[3].MJ[part], MJ);
        for (int k = 0; k < 3; ++k) batch.J[3 * part + k] = J[k], batch.MJ[3 * part + k] = MJ[k];
        // The fourth floats: the row's scalars.
        if (part == kQ) batch.q = J[kW];
        if (part == kSoftness) batch.softness = J[kW];
        if (part == kTolerance) batch.tolerance = J[kW];
        if (part == kLo) batch.lo = MJ[kW];
        if (part == kHi) batch.hi = MJ[kW];
    }
}

namespace {

// The x, y and z of four velocity parts (a, b, c, d), lane k from the k-th.
SWEEP_INLINE void gather(const Float4 &a, const Float4 &b, const Float4 &c, const Float4 &d, Float4 *axes)
{
    const Float4 ab = interleaveLow(a, b), cd = interleaveLow(c, d);
    axes[0] = halvesFirst(ab, cd);
    axes[1] = halvesSecond(ab, cd);
    axes[2] = halvesFirst(interleaveHigh(a, b), interleaveHigh(c, d));
}

// The inverse: four velocity parts from their x, y and z (the fourth
// floats, never read, become zero).
SWEEP_INLINE void scatter(const Float4 *axes, Float4 &a, Float4 &b, Float4 &c, Float4 &d)
{
    const Float4 zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const Float4 xyLow = interleaveLow(axes[0], axes[1]), xyHigh = interleaveHigh(axes[0], axes[1]);
    const Float4 zLow = interleaveLow(axes[2], zero), zHigh = interleaveHigh(axes[2], zero);
    a = halvesFirst(xyLow, zLow);
    b = halvesSecond(xyLow, zLow);
    c = halvesFirst(xyHigh, zHigh);
    d = halvesSecond(xyHigh, zHigh);
}

// v: per side, linear x y z then angular x y z, lane k of body slot[k].
SWEEP_INLINE void gatherBatch(const BatchHead &head, const SweepVelocity *u, Float4 (*v)[6])
{
    for (int side = 0; side < 2; ++side) {
        const int32_t *slot = head.slot[side];
        const SweepVelocity &a = u[slot[0]], &b = u[slot[1]], &c = u[slot[2]], &d = u[slot[3]];
        gather(a.linear, b.linear, c.linear, d.linear, v[side]);
        gather(a.angular, b.angular, c.angular, d.angular, v[side] + 3);
    }
}

// Empty lanes and the world's sides all write their slot's zero back.
SWEEP_INLINE void scatterBatch(const BatchHead &head, const Float4 (*v)[6], SweepVelocity *u)
{
    for (int side = 0; side < 2; ++side) {
        const int32_t *slot = head.slot[side];
        SweepVelocity &a = u[slot[0]], &b = u[slot[1]], &c = u[slot[2]], &d = u[slot[3]];
        scatter(v[side], a.linear, b.linear, c.linear, d.linear);
        scatter(v[side] + 3, a.angular, b.angular, c.angular, d.angular);
    }
}

// J u per lane, summed in the row-at-a-time sweeps' order: per axis the
// four parts, then the axes.
SWEEP_INLINE Float4 batchProducts(const BatchRow &row, const Float4 (*v)[6])
{
    Float4 axis[3];
    for (int k = 0; k < 3; ++k)
        axis[k] = row.J[k] * v[0][k] + row.J[3 + k] * v[0][3 + k] + row.J[6 + k] * v[1][k] +
                  row.J[9 + k] * v[1][3 + k];
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

// The bounds of half a batch row (lanes 2 Half, 2 Half + 1) now: a
// friction row's follow its normal row's impulses.
template <int Half>
SWEEP_INLINE void halfBounds(const BatchRow &row, const PxReal *xOfBatch, Double2 &lo, Double2 &hi)
{
    if (row.normal < 0) {
        lo = widen<Half>(row.lo), hi = widen<Half>(row.hi);
        return;
    }
    const Long2 magnitude = {INT64_MAX, INT64_MAX};
    const Long2 normal = *reinterpret_cast<const Long2 *>(xOfBatch + kBatchLanes * row.normal + 2 * Half);
    hi = widen<Half>(row.hi) * reinterpret_cast<Double2>(normal & magnitude);
    lo = -hi;
}

// Half of a batch row: the impulse changes clipped to the room the bounds
// leave, added to x (the row's impulses).
template <int Half>
SWEEP_INLINE Double2 sweepHalf(const BatchRow &row, const Float4 &residual, const PxReal *xOfBatch, PxReal *xOfRow)
{
    Double2 lo, hi;
    halfBounds<Half>(row, xOfBatch, lo, hi);
    Double2 &x = *reinterpret_cast<Double2 *>(xOfRow + 2 * Half);
    const Double2 old = x, step = widen<Half>(residual) - widen<Half>(row.softness) * old;
    const Double2 below = lo - old, above = hi - old;
    const Double2 raised = below > step ? below : step, clipped = raised > above ? above : raised;
    x = old + clipped;
    return clipped;
}

// One row of the batch: each lane's impulse change, clipped to the room its
// bounds leave; x takes it in double, v in float.
SWEEP_INLINE Float4 sweepBatchRow(const BatchRow &row, PxReal *xOfBatch, PxReal *xOfRow, Float4 (*v)[6])
{
    const Float4 residual = row.q - batchProducts(row, v);
    const Float2 low = __builtin_convertvector(sweepHalf<0>(row, residual, xOfBatch, xOfRow), Float2);
    const Float2 high = __builtin_convertvector(sweepHalf<1>(row, residual, xOfBatch, xOfRow), Float2);
    const Float4 change = __builtin_shufflevector(low, high, 0, 1, 2, 3);
    for (int side = 0; side < 2; ++side)
        for (int k = 0; k < 6; ++k) v[side][k] += row.MJ[6 * side + k] * change;
    return change;
}

// Clips the starts of half a batch row within their bounds; returns their
// sizes.
template <int Half> Double2 startHalf(const BatchRow &row, const PxReal *xOfBatch, PxReal *xOfRow)
{
    Double2 lo, hi;
    halfBounds<Half>(row, xOfBatch, lo, hi);
    Double2 &x = *reinterpret_cast<Double2 *>(xOfRow + 2 * Half);
    const Double2 raised = lo > x ? lo : x;
    x = raised > hi ? hi : raised;
    const Long2 magnitude = {INT64_MAX, INT64_MAX};
    return reinterpret_cast<Double2>(reinterpret_cast<Long2>(x) & magnitude);
}

} // namespace

PxReal startBatch(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u)
{
    PxReal largest = 0.0;
    const BatchRow *batch = rows + head.first;
    PxReal *xOfBatch = x + kBatchLanes * head.first;
    // Normal rows first: a friction row's bounds follow its normal row's
    // start clipped to that row's bounds.
    for (int pass = 0; pass < 2; ++pass)
        for (int r = 0; r < head.rows; ++r) {
            if ((batch[r].normal < 0) != (pass == 0)) continue;
            const Double2 sizes[2] = {startHalf<0>(batch[r], xOfBatch, xOfBatch + kBatchLanes * r),
                                      startHalf<1>(batch[r], xOfBatch, xOfBatch + kBatchLanes * r)};
            for (int k = 0; k < kBatchLanes; ++k) largest = std::max(largest, sizes[k / 2][k % 2]);
        }
    Float4 v[2][6];
    gatherBatch(head, u, v);
    for (int r = 0; r < head.rows; ++r) {
        const PxReal *xr = xOfBatch + kBatchLanes * r;
        const Float4 impulse = {static_cast<float>(xr[0]), static_cast<float>(xr[1]), static_cast<float>(xr[2]),
                                static_cast<float>(xr[3])};
        for (int side = 0; side < 2; ++side)
            for (int k = 0; k < 6; ++k) v[side][k] += batch[r].MJ[6 * side + k] * impulse;
    }
    scatterBatch(head, v, u);
    return largest;
}

namespace {

// One sweep of a batch, inlined twice below: for the baseline processor
// and for one with AVX, whose three-operand forms of the same instructions
// drop the copies the two-operand forms need (the same operations in the
// same order: the same impulses to the bit).
SWEEP_INLINE void sweepBatchBody(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u,
                                 float floor, int32_t *unsettled)
{
    Float4 v[2][6];
    gatherBatch(head, u, v);
    const BatchRow *batch = rows + head.first;
    PxReal *xOfBatch = x + kBatchLanes * head.first;
    const Int4 magnitude = {0x7fffffff, 0x7fffffff, 0x7fffffff, 0x7fffffff};
    Int4 moved = {0, 0, 0, 0};
    for (int r = 0; r < head.rows; ++r) {
        const Float4 change = sweepBatchRow(batch[r], xOfBatch, xOfBatch + kBatchLanes * r, v);
        const Float4 size = reinterpret_cast<Float4>(reinterpret_cast<Int4>(change) & magnitude);
        moved |= (size > batch[r].tolerance) & (size > floor);
    }
    scatterBatch(head, v, u);
    Int4 was;
    memcpy(&was, unsettled, sizeof was);
    was |= moved;
    memcpy(unsettled, &was, sizeof was);
}

void sweepBaseline(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u, float floor,
                   int32_t *unsettled)
{
    sweepBatchBody(head, rows, x, u, floor, unsettled);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"))) void sweepAvx(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u,
                                             float floor, int32_t *unsettled)
{
    sweepBatchBody(head, rows, x, u, floor, unsettled);
}

bool hasAvx()
{
    return __builtin_cpu_supports("avx");
}
#else
const BatchSweep sweepAvx = sweepBaseline;
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

} // namespace lcs
