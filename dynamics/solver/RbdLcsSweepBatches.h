// The large islands' sweeps up to eight constraints at a time. Constraints
// that share no body commute exactly in a sweep (neither reads what the
// other writes), so eight of one shape (the same rows, friction rows
// following the same normal rows) can take their rows side by side in the
// eight lanes of one 256-bit vector (or two 128-bit halves): lane k does
// constraint k's row, with no horizontal sums and every lane in use, where
// the sweeps of one row at a time use three lanes of four and add them
// across.
#ifndef KELMAR_DYNAMICS_RBDLCSSWEEPBATCHES_H
#define KELMAR_DYNAMICS_RBDLCSSWEEPBATCHES_H

#include <stddef.h>
#include <stdint.h>
#include "solver/RbdLcsSweepRow.h"
#include "solver/RbdLcsSparseMap.h"

namespace lcs {

const int kBatchLanes = 8;
// Rows a batched constraint may have (a contact has three or four, a joint
// up to six).
const int kBatchRows = 6;

// The order the sweeps visit an island's constraints in: items, each a batch
// of two to kBatchLanes constraints that share no body, or one constraint
// swept a row at a time. The sweeps give the impulses of sweeping the rows
// one at a time in the plan's order bit for bit (a batch's constraints
// commute: they share no body).
struct SweepPlan {
    int32_t *items; // (itemCount) a batch's index, or -1 - c for constraint c alone
    int32_t *lanes; // (kBatchLanes per batch) the batch's constraints, -1 for an empty lane
    int itemCount, batchCount;
};

// Plans the sweeps of the island (items: constraintCount, lanes:
// kBatchLanes * constraintCount, scratch: planScratchCount). Returns how
// many constraints were batched. Every two constraints that share a body
// keep their list order (a constraint joins a batch only past every item
// that holds one of its bodies), so the sweeps give the impulses of list
// order bit for bit.
int planSweeps(const ConstraintLayout &layout, const int32_t *frictionRef, int bodyCount, SweepPlan &plan,
               int32_t *scratch);
// The same, but a constraint joins the first recent batch that holds
// neither of its bodies, before or after the other constraints on them:
// the sweeps visit the constraints in another order than the list's. A
// pile's list runs a box pair's contacts one after another, chains that the
// list-order plan can only follow into batches opened one after another (a
// boxes' pile: 6.6 to 6.9 of eight lanes filled, 7.9 here). Constraints
// swept alone keep their list order among themselves.
int planColouredSweeps(const ConstraintLayout &layout, const int32_t *frictionRef, int bodyCount, SweepPlan &plan,
                       int32_t *scratch);
size_t planScratchCount(int constraintCount, int bodyCount);

// Eight floats: one 256-bit register with AVX, two 128-bit halves without.
typedef float Float8 __attribute__((vector_size(32)));

// One row of a batch: lane k of every vector is constraint k's row, J and
// M^-1 J^T by part and axis (linear 0 x y z, angular 0, linear 1, angular 1),
// and the scalars of SweepRow's fourth floats. (Aligned for 256-bit loads:
// without AVX the compiler gives Float8 no more than 16.)
struct alignas(32) BatchRow {
    Float8 J[12], MJ[12];
    Float8 q, softness, tolerance, lo, hi; // a friction row's hi is its coefficient
    int32_t normal;                        // the batch's row a friction row follows, -1 for none
    int32_t unused[7];
};

// A batch: the velocity slots of each side per lane (empty lanes and the
// world's sides take a slot whose velocity change is zero and stays so) as
// byte offsets from the first slot (slotOffset: the sweeps then add them to
// the slots' address as they are, where an index takes a shift more per
// lane and sweep), its constraints (the empty lanes last), and its rows
// first..first+rows among the batch rows.
struct BatchHead {
    int32_t slot[2][kBatchLanes];
    int32_t constraint[kBatchLanes];
    int32_t first, rows;
};

// Slot s's byte offset (slots number fewer than kMostIndices: it fits).
inline int32_t slotOffset(int slot)
{
    return slot * static_cast<int32_t>(sizeof(SweepVelocity));
}
static_assert(static_cast<long long>(kMostIndices) * sizeof(SweepVelocity) <= INT32_MAX, "slot offsets fit");

// Clips each lane's start (x: kBatchLanes per row) within its bounds and
// adds M^-1 J^T x to u, rows in order, as the row-at-a-time start does;
// returns the largest impulse.
typedef PxReal (*BatchStart)(const BatchHead &head, const BatchRow *rows, PxReal *x, SweepVelocity *u);
// The batch start for this processor (baseline: the one for every x86-64);
// all give the same sums to the bit.
BatchStart batchStart(bool baseline = false);

// One sweep of the rows of batches first..end-1 of heads, batch after
// batch: one call for a run of the plan's batches, so that the batch's fixed
// work (the gather and scatter of its bodies' velocity changes) is not
// joined by a call's. While testing, each batch's lanes are tested until one
// has an impulse that changed by more than both its tolerance and floor;
// the rest are swept untested. Returns whether testing found none (0 when
// not testing).
typedef int (*BatchSweep)(const BatchHead *heads, int first, int end, const BatchRow *rows, PxReal *x,
                          SweepVelocity *u, float floor, int testing);
// The batch sweep for this processor (baseline: the one for every x86-64);
// all give the same impulses to the bit.
BatchSweep batchSweep(bool baseline = false);

} // namespace lcs

#endif
