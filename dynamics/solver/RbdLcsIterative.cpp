// Projected Gauss-Seidel over the rows of a large island. Each row in turn
// takes the impulse that zeroes its residual
//   w_i = (A x - q)_i = J_i u + E_i x_i - q_i,   u = M^-1 J^T x,
// clipped to its bounds, and passes the change on to u, the velocity
// change of the bodies it touches. A row costs two products of length 12
// and two updates of length 6 whatever the island's size, and the rows are
// read in order from one array, so a sweep streams through memory once.
//
// The sweeps work in single precision, rows and velocity changes alike,
// four floats at a time: a row then fills 128 bytes, two cache lines,
// instead of 280, so that the rows of a pile of a thousand bodies stay
// near the processor although the sweeps read each of them tens of times
// a step. What bounds the sweeps of one row at a time is the chain from
// one row's update to the next row's products: most constraints are
// therefore swept up to eight at a time, side by side in the lanes of a vector
// (RbdLcsSweepBatches.h), and the rest one row at a time. The impulses
// themselves are summed in double precision, and everything the sweeps
// start from and leave behind is double: what single precision costs is a
// relative error near 1e-7 in the residuals, far inside any tolerance a
// sweep can reach.
//
// Every row starts from its constraint's impulse of the last step (the
// bridge keeps contacts from step to step): a resting pile then needs only
// the few sweeps that account for what changed. A contact's start is its
// last force projected onto its new normal and friction directions, so a
// turned normal or new friction directions still start from the right
// impulse.
#include "solver/RbdLcsIterative.h"
#include "solver/RbdLcsLayoutKey.h"

#include <float.h>
#include <math.h>
#include <string.h>
#include <algorithm>
#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/RbdTypes.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdBcl.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsSweepBatches.h"
#include "solver/RbdLcsSweepRow.h"
#include "solver/RbdLcsTolerance.h"

namespace lcs {

namespace {

// Bounds beyond float's range are no bound at all (converting them would
// overflow).
float boundToFloat(PxReal bound)
{
    if (bound >= FLT_MAX) return HUGE_VALF;
    if (bound <= -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(bound);
}

// One side of a row in double precision: J (linear, then angular) and
// M^-1 J^T in the same order. Scalars, not vectors: a vector built lane by
// lane goes through memory, and reading it whole before its lanes' stores
// retire stalls on the failed forwarding (a fifth of a pile's packing).
struct HalfRow {
    PxReal J[6], MJ[6];
};

// The body's half of a row: J (from the tiles of row i, columns from
// column) and M^-1 J^T, and the row's share of J v + h J M^-1 f.
PxReal packHalf(const PxReal *tiles, int i, int column, const BodyInverseMass &m, const RbdLcsBody &body,
                const BodyLoad &load, PxReal h, HalfRow &half)
{
    const PxReal *t = tiles + tileIndex(i, column);
    for (int k = 0; k < 6; ++k) half.J[k] = t[k * kTileRows];
    for (int k = 0; k < 3; ++k) half.MJ[k] = m.invMass * half.J[k];
    // The inverse inertia is symmetric: (J_ang I^-1)_k = (I^-1 J_ang)_k.
    const PxReal(*I)[3] = m.invInertia;
    for (int k = 0; k < 3; ++k) half.MJ[3 + k] = I[k][0] * half.J[3] + I[k][1] * half.J[4] + I[k][2] * half.J[5];
    PxReal velocity = 0.0, push = 0.0;
    for (int k = 0; k < 3; ++k) {
        velocity += half.J[k] * body.linearVelocity[k] + half.J[3 + k] * body.angularVelocity[k];
        push += half.MJ[k] * load.force[k] + half.MJ[3 + k] * load.torque[k];
    }
    return velocity + h * push;
}

float boundTimes(PxReal bound, PxReal h)
{
    return boundToFloat(bound < RBD_REAL_MAX && bound > -RBD_REAL_MAX ? bound * h : bound);
}

// Of the depth its loads press a resting contact in one step: how deep the
// sweeps correct it only slowly. Sweeps cut short leave each resting depth a
// little wrong (tens of micrometres a step in a column of five 0.2 m boxes),
// and correcting that error at gamma / h every step turns it into velocity:
// the columns of a heap rocked on their corners at cm/s and never settled.
// Within this share of its pressing depth a contact keeps kShallowShare of
// its correction, enough to hold a resting body where it settled (the
// single-precision sweeps would let it creep otherwise) and too little to
// feed the rocking; deeper contacts are corrected as before, less the
// resting depth. The pivoting solves exactly and corrects every depth, and
// so does the fallback that stands in for one failed pivoting solve; a
// landing heap swept for steps on end corrects slowly, as large islands do.
//
// A contact still settling (RbdContactSetSettling: its pair's corners were
// found afresh a few steps ago) gets no share within the resting depth. The
// corners a turned pair reports change from step to step, each set with
// its own depths; a push towards each set in turn kicked resting columns
// of a heap into rocking, while a box resting on a plane, whose corners
// stay, needs its share against the creep.
const PxReal kRestingShare = 0.5;
const PxReal kShallowShare = 0.02;

// Depth (m) the loads along a row's linear direction push one side in one
// step with nothing in the way: h^2 |J_lin . f| / m (g h^2 under gravity
// along a contact's normal, none across it).
PxReal pressDepth(const PxReal *J, const BodyInverseMass &m, const BodyLoad &load, PxReal h)
{
    return h * h * m.invMass * fabs(J[0] * load.force[0] + J[1] * load.force[1] + J[2] * load.force[2]);
}

// Whether row i's correction is reduced within its resting depth: a
// penetration corrected at the world's rate.
bool correctedSlowly(const PartitionRows &rows, int i)
{
    return rows.correction[i] == RBD_CORRECTION_PENETRATION && rows.rowGamma[i] == 0.0 && rows.phi[i] < 0.0;
}

// The push rate at depth -phi (phi < 0) for the part of it beyond depth:
// rate scaled by the share of the depth that lies beyond; none within.
PxReal pushBeyond(PxReal rate, PxReal phi, PxReal depth)
{
    return phi + depth < 0.0 ? rate * (phi + depth) / phi : 0.0;
}

// Correcting velocity of row i of constraint c, corrected slowly
// (correctedSlowly), reduced within the resting depth (m) as above. Under
// holdSettled a settled contact is held at the depth it settled at: only
// what it sank since is pushed out, at kShallowShare of the rate. Pushed
// out all the way, every contact of a settled heap was lifted towards zero
// depth, the heap's energy rose step after step, and a turned pair's
// corner at zero depth came and went, dropping its box. None while it is
// settling.
PxReal restingCorrection(const PartitionRows &rows, int i, const IterativeInput &in, int c, PxReal resting)
{
    const PxReal full = correctingVelocity(rows, i, *in.parameters), phi = rows.phi[i];
    const RbdBaseConstraint *record = in.records ? in.records[c] : nullptr;
    const bool contact = record && record->typeId == RBD_TYPE_CONTACT;
    const PxReal held = contact && in.holdSettled ? record->data.contact.settledPenetration : 0.0;
    // Both push the bodies apart (negative): the larger push holds.
    const PxReal beyond = pushBeyond(full, phi, resting);
    const PxReal shallow = contact && record->data.contact.settling > 0 ? 0.0
                           : held <= 0.0                                ? kShallowShare * full
                                                                        : pushBeyond(kShallowShare * full, phi, held);
    return beyond < shallow ? beyond : shallow;
}

// Row i of constraint c in the sweep layout, with
//   q = c - (the row's correcting velocity) - J v - h J M^-1 f
// and its bounds times h, impulses like the unknowns. Returns the row's
// own scale, |q| / A_ii, as a float (the tolerance lane until the island's
// largest scale is known).
float packRow(const PartitionRows &rows, const IterativeInput &in, int c, int i, SweepRow &r)
{
    const ConstraintLayout &layout = rows.layout;
    PxReal h = in.parameters->stepsize, q = rows.c[i], pressed = 0.0;
    // Only a penetration corrected slowly needs the depth its loads press.
    const bool slowly = in.slowResting && correctedSlowly(rows, i);
    HalfRow half[2];
    int body[2];
    for (int side = 0; side < 2; ++side) {
        body[side] = layout.bodies[2 * c + side];
        if (body[side] < 0) continue; // the world's side is zero (never read)
        const int b = body[side];
        q -= packHalf(rows.J, i, 6 * side, in.invM[b], *in.bodies[b], in.load[b], h, half[side]);
        if (!slowly) continue;
        const PxReal depth = pressDepth(half[side].J, in.invM[b], in.load[b], h);
        pressed = depth > pressed ? depth : pressed;
    }
    // A row without error has nothing to correct (its correction is +-0).
    if (slowly)
        q -= restingCorrection(rows, i, in, c, kRestingShare * pressed);
    else if (rows.phi[i] != 0.0)
        q -= correctingVelocity(rows, i, *in.parameters);
    const int normal = rows.frictionRef[i];
    const float scalarsOfMJ[4] = {
        normal < 0 ? boundTimes(rows.lo[i], h) : 0.0f,
        normal < 0 ? boundTimes(rows.hi[i], h) : static_cast<float>(fabs(rows.mu[i])),
        static_cast<float>(body[0] < 0 ? in.bodyCount : body[0]),
        static_cast<float>(body[1] < 0 ? in.bodyCount : body[1]),
    };
    // The sweeps' single-precision values, and A_ii from them: their
    // products are exact in double, summed in order.
    float J[4][3];
    PxReal diagonal = 0.0;
    for (int part = 0; part < 4; ++part) {
        const HalfRow &side = half[part / 2];
        const int first = 3 * (part % 2);
        float MJ[3];
        if (body[part / 2] < 0) {
            J[part][0] = J[part][1] = J[part][2] = 0.0f;
            r.MJ[part] = Float4{0.0f, 0.0f, 0.0f, scalarsOfMJ[part]};
            continue;
        }
        for (int k = 0; k < 3; ++k) {
            J[part][k] = static_cast<float>(side.J[first + k]);
            MJ[k] = static_cast<float>(side.MJ[first + k]);
        }
        r.MJ[part] = Float4{MJ[0], MJ[1], MJ[2], scalarsOfMJ[part]};
        for (int k = 0; k < 3; ++k) diagonal += static_cast<PxReal>(J[part][k]) * static_cast<PxReal>(MJ[k]);
    }
    PxReal softness = in.parameters->epsilon + rows.rowEpsilon[i] / h;
    diagonal += softness;
    PxReal invDiagonal = diagonal > 0.0 ? 1.0 / diagonal : 0.0;
    const PxReal own = impulseOfRow(q, invDiagonal);
    const PxReal scalarsOfJ[4] = {q * invDiagonal, softness * invDiagonal, own, static_cast<PxReal>(normal)};
    for (int part = 0; part < 4; ++part) {
        float scaled[3];
        for (int k = 0; k < 3; ++k) scaled[k] = static_cast<float>(static_cast<PxReal>(J[part][k]) * invDiagonal);
        r.J[part] = Float4{scaled[0], scaled[1], scaled[2], static_cast<float>(scalarsOfJ[part])};
    }
    return static_cast<float>(own);
}

// Impulse of a contact's row from the contact's last force: the force on
// `side`, the side that has a body, along that side's linear Jacobian (a
// contact's directions are orthonormal, so each row takes its own
// component). The spin row has no linear part: it takes the last torque
// less the moment of the last force about the centre of mass, along its
// angular Jacobian (the normal).
// (J: the row's first column on that side, its columns kTileRows apart;
// force: the record's last force on that side, copied out of the record.)
PxReal contactStart(const PxReal *J, const PxReal (&force)[3], const RbdBaseConstraint *record, int side, PxReal h)
{
    PxReal along = 0.0, linear = 0.0;
    for (int k = 0; k < 3; ++k) {
        along += J[k * kTileRows] * force[k];
        linear += J[k * kTileRows] * J[k * kTileRows];
    }
    if (linear > 0.0) return h * along;
    PxVector3 arm, moment;
    PxV3Sub(arm, record->data.contact.position, record->comTransform[side][3]);
    PxV3Cross(moment, arm, force);
    for (int k = 0; k < 3; ++k) along += J[(3 + k) * kTileRows] * (record->torque[side][k] - moment[k]);
    return h * along;
}

// Rows of other constraints start from their own last impulses, as far as
// the last step had them (its row count ended with the end marker).
void warmStartConstraint(const PartitionRows &rows, int c, const RbdBaseConstraint *record, PxReal h, PxReal *x)
{
    const int first = rows.layout.firstRow[c], count = rows.layout.rows[c];
    if (record->typeId == RBD_TYPE_CONTACT) {
        const int side = record->solverBody[0] ? 0 : 1;
        const PxReal force[3] = {record->force[side][0], record->force[side][1], record->force[side][2]};
        const PxReal *J = rows.J + tileIndex(first, 6 * side);
        for (int i = first; i < first + count; ++i) {
            x[i] = contactStart(J, force, record, side, h);
            // The next row: the next real of its tile, or the first of the next tile.
            J += (i + 1) % kTileRows != 0 ? 1 : kTileSize - (kTileRows - 1);
        }
        return;
    }
    for (int r = 0; r < count && r < RBD_CONSTRAINT_LAMBDA_COUNT; ++r) {
        if (record->lambda[r] == RBD_LAMBDA_END_MARKER) break;
        x[first + r] = h * record->lambda[r];
    }
}

// How many constraints ahead the packing and the warm start fetch what they
// will read: the bodies and the constraint records lie wherever they were
// made, and waiting on each in turn took more than a quarter of a pile's
// packing and most of its warm start.
const int kFetchAhead = 8;

// The lines of a record that a contact's warm start reads: its type, its
// sides and its last forces.
void prefetchRecord(const RbdBaseConstraint *record)
{
    __builtin_prefetch(&record->typeId);
    __builtin_prefetch(&record->solverBody[0]);
    __builtin_prefetch(&record->force[0][0]);
    __builtin_prefetch(&record->force[1][2]);
}

void warmStart(const PartitionRows &rows, const IterativeInput &in, PxReal *x)
{
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(rows.layout.rowCount));
    if (!in.records) return;
    const int count = rows.layout.constraintCount;
    for (int c = 0; c < count; ++c) {
        if (c + kFetchAhead < count && in.records[c + kFetchAhead]) prefetchRecord(in.records[c + kFetchAhead]);
        if (in.records[c]) warmStartConstraint(rows, c, in.records[c], in.parameters->stepsize, x);
    }
}

// Starts rows first to last within their bounds, and adds M^-1 J^T x for
// that start to u; returns the largest impulse of the start. A friction
// row's bounds follow its normal row's start clipped to that row's own
// bounds: the normal row comes first in every contact, and one that comes
// later is clipped ahead of its turn (clipping twice changes nothing).
PxReal startRows(const SweepRow *sweep, int first, int last, PxReal *x, SweepVelocity *u)
{
    PxReal largest = 0.0;
    for (int i = first; i < last; ++i) {
        const SweepRow &r = sweep[i];
        PxReal lo, hi;
        if (r.J[kNormal][kW] >= 0.0f && normalOf(r) > i) {
            const SweepRow &normal = sweep[normalOf(r)];
            if (normal.J[kNormal][kW] < 0.0f)
                x[normalOf(r)] = clip(x[normalOf(r)], normal.MJ[kLo][kW], normal.MJ[kHi][kW]);
        }
        boundsOf(r, x, lo, hi);
        x[i] = clip(x[i], lo, hi);
        PxReal size = fabs(x[i]);
        largest = size > largest ? size : largest;
        float xi = static_cast<float>(x[i]);
        for (int side = 0; side < 2; ++side) {
            SweepVelocity &body = u[bodyOf(r, side)];
            body.linear += r.MJ[2 * side] * xi;
            body.angular += r.MJ[2 * side + 1] * xi;
        }
    }
    return largest;
}

} // namespace

namespace {

// The cache's key for an island: its counts, then what planSweeps reads.
bool planKeyMatches(const std::vector<int32_t> &key, const ConstraintLayout &layout, const int32_t *frictionRef,
                    int bodyCount)
{
    const size_t cs = static_cast<size_t>(layout.constraintCount), n = static_cast<size_t>(layout.rowCount);
    const int32_t counts[3] = {layout.constraintCount, layout.rowCount, bodyCount};
    return layoutKeyMatches(key, {{counts, 3}, {layout.rows, cs}, {layout.bodies, 2 * cs}, {frictionRef, n}});
}

void storePlanKey(std::vector<int32_t> &key, const ConstraintLayout &layout, const int32_t *frictionRef,
                  int bodyCount)
{
    const size_t cs = static_cast<size_t>(layout.constraintCount), n = static_cast<size_t>(layout.rowCount);
    const int32_t counts[3] = {layout.constraintCount, layout.rowCount, bodyCount};
    storeLayoutKey(key, {{counts, 3}, {layout.rows, cs}, {layout.bodies, 2 * cs}, {frictionRef, n}});
}

} // namespace

void reserveSweepOrder(SweepOrderCache &cache, int rows)
{
    const size_t n = static_cast<size_t>(rows > 0 ? rows : 0);
    cache.key.reserve(3 + 4 * n); // storePlanKey's counts, rows, bodies and friction references
    cache.items.reserve(n);
    cache.lanes.reserve(kBatchLanes * n);
}

void planSweepsCached(const ConstraintLayout &layout, const int32_t *frictionRef, int bodyCount,
                      SweepOrderCache &cache, SweepPlan &plan, int32_t *scratch)
{
    if (planKeyMatches(cache.key, layout, frictionRef, bodyCount)) {
        plan.items = cache.items.data(), plan.lanes = cache.lanes.data();
        plan.itemCount = static_cast<int>(cache.items.size());
        plan.batchCount = static_cast<int>(cache.lanes.size()) / kBatchLanes;
        return;
    }
    planColouredSweeps(layout, frictionRef, bodyCount, plan, scratch);
    storePlanKey(cache.key, layout, frictionRef, bodyCount);
    cache.items.assign(plan.items, plan.items + plan.itemCount);
    cache.lanes.assign(plan.lanes, plan.lanes + kBatchLanes * plan.batchCount);
}

namespace {

// Sweeps between two fresh sums u = M^-1 J^T x. Each sweep adds its impulse
// changes to u in single precision, where a change below half a unit of u's
// last place is lost while x keeps it in double: left alone, u and x drift
// apart with every sweep (by 1e-3 of the velocities after 200,000 sweeps of
// a four-box stack) and the sweeps settle on the wrong impulses. A fresh sum
// costs about one sweep.
const int kRefreshSweeps = 16;

// The sweeps' floor, of the pivoting's (RbdLcsTolerance.h). A sweep's
// change to an impulse understates how far the impulse still is from the
// solution, by the slow rate at which sweeps converge: at the pivoting's
// floor itself a box resting in a large island sinks by a little more than
// a millionth of its size in 1000 steps. A tenth keeps it within, and stays
// some ten times above the rounding of the single-precision sweeps.
const PxReal kSweepFloor = 0.1;

// The floor follows the largest impulse at each fresh sum of u, not at
// every sweep: tracking it row by row cost a fifth of a pile's sweeps, and
// between two sums the largest impulse of a pile moves by a few per cent.
float sweepFloor(PxReal tolerance, PxReal largest)
{
    return static_cast<float>(kSweepFloor * tolerance * kRowScaleFloor * largest);
}

// Rows first to last of one sweep; with Settling, stops at the first row
// whose impulse changed by more than both its tolerance and floor (the least
// tolerance of every row, as the pivoting has it: RbdLcsTolerance.h) and
// returns that row, or last when there was none. Without, sweeps to last and
// tests nothing.
template <bool Settling>
int sweepRows(const SweepRow *sweep, int first, int last, PxReal *x, SweepVelocity *u, float floor)
{
    for (int i = first; i < last; ++i) {
        const SweepRow &r = sweep[i];
        SweepVelocity &u0 = u[bodyOf(r, 0)], &u1 = u[bodyOf(r, 1)];
        Float4 products = r.J[0] * u0.linear + r.J[1] * u0.angular + r.J[2] * u1.linear + r.J[3] * u1.angular;
        float Ju = products[0] + products[1] + products[2];
        PxReal lo, hi;
        boundsOf(r, x, lo, hi);
        // The change is clipped to the room the bounds leave, which is known
        // before J u is: the chain from one row's velocity update to the
        // next row's change is two additions shorter.
        const PxReal old = x[i], step = (r.J[kQ][kW] - Ju) - r.J[kSoftness][kW] * old;
        const PxReal clipped = clip(step, lo - old, hi - old);
        float change = static_cast<float>(clipped);
        // No test for a zero change: whether a row moves is as good as
        // random, and a mispredicted branch every few rows throws away the
        // overlap of the rows in flight. A zero change adds
        // zero; a change that rounds to zero in float (below 1e-45) still
        // reaches x, which sums in double.
        x[i] = old + clipped;
        u0.linear += r.MJ[0] * change;
        u0.angular += r.MJ[1] * change;
        u1.linear += r.MJ[2] * change;
        u1.angular += r.MJ[3] * change;
        if (Settling && fabsf(change) > r.J[kTolerance][kW] && fabsf(change) > floor) return i;
    }
    return last;
}

// Rows first to last of one sweep, testing them while settled is set;
// clears it at the first row that moved by more than its tolerance or floor.
void sweepAlone(const SweepRow *sweep, int first, int last, PxReal *x, SweepVelocity *u, float floor, int &settled)
{
    if (settled) {
        first = sweepRows<true>(sweep, first, last, x, u, floor) + 1;
        if (first <= last) settled = 0;
    }
    if (first < last) sweepRows<false>(sweep, first, last, x, u, floor);
}

// The lines of a body that packing reads: its velocities. (Inlined: GCC
// finds a function that only prefetches free of side effects, "looping
// const", and drops every call to it, so a call would prefetch nothing.)
inline __attribute__((always_inline)) void prefetchBody(const RbdLcsBody *body)
{
    __builtin_prefetch(&body->linearVelocity[0]);
    __builtin_prefetch(&body->angularVelocity[2]);
}

// The sweeps' workspace: the plan, the batches' rows and impulses (eight a
// row, lane by lane), and the rows of the constraints swept alone in plan
// order with their impulses, list rows (order) and places (position: list
// row to place, -1 for a batched row).
struct Sweeps {
    SweepPlan plan;
    BatchHead *heads;
    BatchRow *batchRows;
    PxReal *batchX;
    SweepRow *sweep;
    PxReal *x;
    int32_t *order, *position;
    int batchRowCount, aloneRowCount;
};

// The bodies of constraint c (none: c < 0).
inline __attribute__((always_inline)) void prefetchBodies(const ConstraintLayout &layout, const IterativeInput &in,
                                                          int c)
{
    for (int side = 0; c >= 0 && side < 2; ++side)
        if (layout.bodies[2 * c + side] >= 0) prefetchBody(in.bodies[layout.bodies[2 * c + side]]);
}

// The lines of constraint c's record a penetration corrected slowly reads
// (restingCorrection: its type, settling count and settled depth, the
// last two on one line); records: the island's when it corrects slowly,
// else null (nothing to fetch). The records lie wherever their contacts
// were made; waiting on each was nine tenths of restingCorrection's time
// in the large piles.
inline __attribute__((always_inline)) void prefetchSettling(RbdBaseConstraint *const *records, int c)
{
    if (!records || c < 0 || !records[c]) return;
    __builtin_prefetch(&records[c]->typeId);
    __builtin_prefetch(&records[c]->data.contact.settling);
}

// Rows of constraints swept alone in their place (position), in list order
// (the plan's order of them: a plan keeps constraints alone in list order);
// returns the largest row scale, |q| / A_ii.
PxReal packAlone(const PartitionRows &rows, const IterativeInput &in, const Sweeps &s)
{
    const ConstraintLayout &layout = rows.layout;
    RbdBaseConstraint *const *settling = in.slowResting ? in.records : nullptr;
    int world = 0;
    PxReal largest = 0.0;
    for (int j = 0; j < s.plan.itemCount; ++j) {
        if (s.plan.items[j] >= 0) continue;
        const int c = -1 - s.plan.items[j];
        const int ahead = j + kFetchAhead < s.plan.itemCount ? -1 - s.plan.items[j + kFetchAhead] : -1;
        prefetchBodies(layout, in, ahead);
        prefetchSettling(settling, ahead);
        for (int r = 0; r < layout.rows[c]; ++r) {
            const int i = layout.firstRow[c] + r;
            SweepRow &row = s.sweep[s.position[i]];
            const float own = packRow(rows, in, c, i, row);
            largest = own > largest ? own : largest;
            if (rows.frictionRef[i] >= 0) row.J[kNormal][kW] = static_cast<float>(s.position[rows.frictionRef[i]]);
            // Rows against the world take its slots in turn: one slot would
            // chain every ground contact's update through one place in memory.
            for (int side = 0; side < 2; ++side)
                if (layout.bodies[2 * c + side] < 0)
                    row.MJ[kBody + side][kW] = static_cast<float>(in.bodyCount + world++ % kWorldSlots);
        }
    }
    return largest;
}

// The packing of a batch's rows is inlined into two copies (below): the
// baseline processor's and AVX's, whose 256-bit registers take four lanes
// where the baseline's take two.
#define PACK_INLINE inline __attribute__((always_inline))

// Eight doubles, one a lane of a batch (two or four registers): each lane
// is computed on its own, operation for operation as packRow computes its
// row, so a batch's rows are those packRow gives to the bit.
typedef PxReal Lanes __attribute__((vector_size(8 * sizeof(PxReal))));
typedef int64_t LaneBits __attribute__((vector_size(8 * sizeof(PxReal))));
static_assert(kBatchLanes == 8, "a batch's lanes fill one Lanes");

// What packing reads of the bodies on one side of a batch, lane by lane:
// zero for the world's side and for empty lanes, whose rows then come out
// zero (as a lane's empty row is); present: all ones in the lanes with a
// body on this side.
struct LaneBodies {
    Lanes invMass, invInertia[3][3];
    Lanes velocity[6], load[6]; // linear then angular; force then torque
    LaneBits present;
};

void gatherLaneBodies(const IterativeInput &in, const int32_t body[kBatchLanes], LaneBodies &sides)
{
    static const BodyInverseMass noMass = {};
    static const BodyLoad noLoad = {};
    static const PxReal still[3] = {};
    for (int k = 0; k < kBatchLanes; ++k) {
        const bool world = body[k] < 0;
        const BodyInverseMass &m = world ? noMass : in.invM[body[k]];
        const BodyLoad &load = world ? noLoad : in.load[body[k]];
        const PxReal *linear = world ? still : in.bodies[body[k]]->linearVelocity;
        const PxReal *angular = world ? still : in.bodies[body[k]]->angularVelocity;
        sides.invMass[k] = m.invMass;
        sides.present[k] = world ? 0 : -1;
        for (int a = 0; a < 3; ++a) {
            for (int j = 0; j < 3; ++j) sides.invInertia[a][j][k] = m.invInertia[a][j];
            sides.velocity[a][k] = linear[a], sides.velocity[3 + a][k] = angular[a];
            sides.load[a][k] = load.force[a], sides.load[3 + a][k] = load.torque[a];
        }
    }
}

// The four-double helpers below pass 256-bit vectors by value; they are
// always inlined into the packing's copies, so no call ever crosses the ABI
// GCC warns about.
#pragma GCC diagnostic ignored "-Wpsabi"

// Four doubles, half a batch's lanes (one register with AVX, two without).
// The packing works on halves: GCC gives an eight-double vector no native
// width on these targets and builds or compares one largely through memory,
// lane by lane, where four doubles are a register's (or two) in registers.
typedef PxReal Quad __attribute__((vector_size(4 * sizeof(PxReal))));
typedef int64_t QuadBits __attribute__((vector_size(4 * sizeof(PxReal))));
// Lanes 4 Half .. 4 Half + 3 of eight doubles or of eight floats.
template <int Half> PACK_INLINE const Quad &quadOf(const Lanes &x)
{
    return *reinterpret_cast<const Quad *>(reinterpret_cast<const PxReal *>(&x) + 4 * Half);
}

template <int Half> PACK_INLINE const QuadBits &quadOf(const LaneBits &x)
{
    return *reinterpret_cast<const QuadBits *>(reinterpret_cast<const int64_t *>(&x) + 4 * Half);
}

template <int Half> PACK_INLINE Float4 &quadOf(Float8 &x)
{
    return *reinterpret_cast<Float4 *>(reinterpret_cast<float *>(&x) + 4 * Half);
}

// One row of half a batch in double precision: J and M^-1 J^T by column
// (as the tiles have them) and q.
struct QuadRow {
    Quad J[12], MJ[12], q;
};

// M^-1 J^T of one side and the side's share of J v + h J M^-1 f taken off
// q, in packHalf's order.
template <int Half> PACK_INLINE void packQuadHalf(const LaneBodies &m, int column, PxReal h, QuadRow &row)
{
    const Quad *J = row.J + column;
    Quad *MJ = row.MJ + column;
    for (int a = 0; a < 3; ++a) MJ[a] = quadOf<Half>(m.invMass) * J[a];
    for (int a = 0; a < 3; ++a)
        MJ[3 + a] = quadOf<Half>(m.invInertia[a][0]) * J[3] + quadOf<Half>(m.invInertia[a][1]) * J[4] +
                    quadOf<Half>(m.invInertia[a][2]) * J[5];
    Quad velocity = {}, push = {};
    for (int a = 0; a < 3; ++a) {
        velocity += J[a] * quadOf<Half>(m.velocity[a]) + J[3 + a] * quadOf<Half>(m.velocity[3 + a]);
        push += MJ[a] * quadOf<Half>(m.load[a]) + MJ[3 + a] * quadOf<Half>(m.load[3 + a]);
    }
    row.q -= velocity + h * push;
}

// Every value below is built in registers from scalars, never stored lane
// by lane and read back whole: a vector read over stores still in flight
// waits for them to retire (a failed forwarding), and such waits on the
// splat of h, the row indices and the mask of 1 / A_ii were a fifth of the
// packing.

// value[i] of the half's list rows (at: a filled lane's row, 0 for an empty
// lane, masked off after).
PACK_INLINE Quad quadValues(const PxReal *value, const int32_t *at)
{
    return Quad{value[at[0]], value[at[1]], value[at[2]], value[at[3]]};
}

PACK_INLINE Quad masked(const Quad &value, const QuadBits &mask)
{
    return reinterpret_cast<Quad>(reinterpret_cast<QuadBits>(value) & mask);
}

// Comparisons in pieces of two doubles, which every x86-64 compares at
// once (GCC splits wider ones it cannot take whole lane by lane).
typedef PxReal Pair2 __attribute__((vector_size(16)));
typedef int64_t PairBits __attribute__((vector_size(16)));

template <int P> PACK_INLINE Pair2 pairOf(const Quad &x)
{
    return __builtin_shufflevector(x, x, 2 * P, 2 * P + 1);
}

PACK_INLINE QuadBits joinedBits(const PairBits &low, const PairBits &high)
{
    return __builtin_shufflevector(low, high, 0, 1, 2, 3);
}

// Lanes above zero.
PACK_INLINE QuadBits aboveZero(const Quad &x)
{
    const Pair2 zero = {};
    return joinedBits(pairOf<0>(x) > zero, pairOf<1>(x) > zero);
}

// Lanes that hold a finite value (x - x is 0 for those, NaN otherwise).
PACK_INLINE QuadBits finiteLanes(const Quad &x)
{
    const Pair2 zero = {}, low = pairOf<0>(x), high = pairOf<1>(x);
    return joinedBits(low - low == zero, high - high == zero);
}

// The correcting velocity packRow takes off row i's q (of constraint c; lane
// k of the batch, l of the half), 0 for none (q - 0 is q to the bit) and for an empty lane.
PACK_INLINE PxReal laneCorrection(const PartitionRows &rows, const IterativeInput &in,
                                  const int32_t (&body)[2][kBatchLanes], const QuadRow &lane, int k, int l, int i,
                                  int c, PxReal h)
{
    if (i < 0) return 0.0;
    if (in.slowResting && correctedSlowly(rows, i)) {
        PxReal pressed = 0.0;
        for (int side = 0; side < 2; ++side) {
            if (body[side][k] < 0) continue;
            const PxReal linear[3] = {lane.J[6 * side][l], lane.J[6 * side + 1][l], lane.J[6 * side + 2][l]};
            const PxReal depth = pressDepth(linear, in.invM[body[side][k]], in.load[body[side][k]], h);
            pressed = depth > pressed ? depth : pressed;
        }
        return restingCorrection(rows, i, in, c, kRestingShare * pressed);
    }
    return rows.phi[i] != 0.0 ? correctingVelocity(rows, i, *in.parameters) : 0.0;
}

// Lanes 4 Half .. 4 Half + 3 of row r of a batch (lanes: the batch's
// constraints, -1 for an empty lane; at: their list rows, 0 for an empty
// lane; used: all ones in the filled lanes) as packRow packs each lane's
// row; returns the largest row scale. Empty lanes and the world's sides read
// as zero, which adds +0 where packRow adds nothing: every sum stays as it
// was.
template <int Half>
PACK_INLINE PxReal packQuadRow(const PartitionRows &rows, const IterativeInput &in,
                               const int32_t (&body)[2][kBatchLanes], const LaneBodies (&sides)[2],
                               const int32_t *lanes, const int32_t *at, const LaneBits &used, BatchRow &out)
{
    const int base = 4 * Half;
    const PxReal h = in.parameters->stepsize;
    const QuadBits filled = quadOf<Half>(used);
    at += base;
    QuadRow lane;
    lane.q = masked(quadValues(rows.c, at), filled);
    const Quad softness = masked(in.parameters->epsilon + quadValues(rows.rowEpsilon, at) / h, filled);
    // Column m of row i lies kTileRows after column m - 1.
    const PxReal *tile[4];
    for (int l = 0; l < 4; ++l) tile[l] = rows.J + tileIndex(at[l], 0);
    for (int m = 0; m < 12; ++m) {
        const size_t o = static_cast<size_t>(m) * kTileRows;
        const Quad column = {tile[0][o], tile[1][o], tile[2][o], tile[3][o]};
        lane.J[m] = masked(column, quadOf<Half>(sides[m / 6].present));
    }
    packQuadHalf<Half>(sides[0], 0, h, lane);
    packQuadHalf<Half>(sides[1], 6, h, lane);
    // The error correction, lane by lane as packRow.
    int32_t row[4];
    for (int l = 0; l < 4; ++l) row[l] = lanes[base + l] < 0 ? -1 : at[l];
    lane.q -= Quad{laneCorrection(rows, in, body, lane, base, 0, row[0], lanes[base], h),
                   laneCorrection(rows, in, body, lane, base + 1, 1, row[1], lanes[base + 1], h),
                   laneCorrection(rows, in, body, lane, base + 2, 2, row[2], lanes[base + 2], h),
                   laneCorrection(rows, in, body, lane, base + 3, 3, row[3], lanes[base + 3], h)};
    // The bounds, lane by lane as packRow.
    for (int l = 0; l < 4; ++l) {
        const int i = row[l];
        if (i < 0) {
            out.lo[base + l] = out.hi[base + l] = 0.0f;
            continue;
        }
        const int normal = rows.frictionRef[i];
        out.lo[base + l] = normal < 0 ? boundTimes(rows.lo[i], h) : 0.0f;
        out.hi[base + l] = normal < 0 ? boundTimes(rows.hi[i], h) : static_cast<float>(fabs(rows.mu[i]));
    }
    // The sweeps' single-precision values, and A_ii from them.
    Float4 J[12];
    Quad diagonal = {};
    for (int column = 0; column < 12; ++column) {
        J[column] = __builtin_convertvector(lane.J[column], Float4);
        const Float4 MJ = __builtin_convertvector(lane.MJ[column], Float4);
        quadOf<Half>(out.MJ[column]) = MJ;
        diagonal += __builtin_convertvector(J[column], Quad) * __builtin_convertvector(MJ, Quad);
    }
    diagonal += softness;
    // 1 / A_ii, and 0 for a row without mass.
    const Quad invDiagonal = masked(1.0 / diagonal, aboveZero(diagonal));
    quadOf<Half>(out.q) = __builtin_convertvector(lane.q * invDiagonal, Float4);
    quadOf<Half>(out.softness) = __builtin_convertvector(softness * invDiagonal, Float4);
    for (int column = 0; column < 12; ++column)
        quadOf<Half>(out.J[column]) = __builtin_convertvector(__builtin_convertvector(J[column], Quad) * invDiagonal,
                                                              Float4);
    // Each lane's own scale, impulseOfRow's: |q| / A_ii, 0 where not finite.
    const Quad scale = masked(lane.q, QuadBits{} + INT64_MAX) * invDiagonal;
    const Float4 own = __builtin_convertvector(masked(scale, finiteLanes(scale)), Float4);
    quadOf<Half>(out.tolerance) = own;
    PxReal largest = 0.0;
    for (int l = 0; l < 4; ++l) largest = own[l] > largest ? own[l] : largest;
    return largest;
}

// Row r of every lane's constraint, both halves (the second only when it
// has a lane filled; else its lanes are an empty row's zeros).
PACK_INLINE PxReal packLaneRow(const PartitionRows &rows, const IterativeInput &in,
                               const int32_t (&body)[2][kBatchLanes], const LaneBodies (&sides)[2],
                               const int32_t *lanes, const int32_t (&at)[kBatchLanes], const LaneBits &used,
                               BatchRow &out)
{
    const PxReal low = packQuadRow<0>(rows, in, body, sides, lanes, at, used, out);
    if (lanes[4] >= 0) return std::max(low, packQuadRow<1>(rows, in, body, sides, lanes, at, used, out));
    const Float4 zero = {};
    for (Float8 *v : {&out.q, &out.softness, &out.tolerance, &out.lo, &out.hi}) quadOf<1>(*v) = zero;
    for (int column = 0; column < 12; ++column) quadOf<1>(out.J[column]) = quadOf<1>(out.MJ[column]) = zero;
    return low;
}

// A batch row's packing (packLaneRow) for this processor: all copies give
// the same rows to the bit.
typedef PxReal (*LaneRowPacker)(const PartitionRows &rows, const IterativeInput &in,
                                const int32_t (&body)[2][kBatchLanes], const LaneBodies (&sides)[2],
                                const int32_t *lanes, const int32_t (&at)[kBatchLanes], const LaneBits &used,
                                BatchRow &out);

PxReal packLaneRowBaseline(const PartitionRows &rows, const IterativeInput &in, const int32_t (&body)[2][kBatchLanes],
                           const LaneBodies (&sides)[2], const int32_t *lanes, const int32_t (&at)[kBatchLanes],
                           const LaneBits &used, BatchRow &out)
{
    return packLaneRow(rows, in, body, sides, lanes, at, used, out);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx"))) PxReal packLaneRowAvx(const PartitionRows &rows, const IterativeInput &in,
                                                     const int32_t (&body)[2][kBatchLanes],
                                                     const LaneBodies (&sides)[2], const int32_t *lanes,
                                                     const int32_t (&at)[kBatchLanes], const LaneBits &used,
                                                     BatchRow &out)
{
    return packLaneRow(rows, in, body, sides, lanes, at, used, out);
}

LaneRowPacker laneRowPacker()
{
    return __builtin_cpu_supports("avx") ? packLaneRowAvx : packLaneRowBaseline;
}
#else
LaneRowPacker laneRowPacker()
{
    return packLaneRowBaseline;
}
#endif

// Batch b's head and rows (its rows from first among the batch rows),
// packed eight lanes at a time. Returns the largest row scale.
PxReal packBatch(const PartitionRows &rows, const IterativeInput &in, const Sweeps &s, int b, int first,
                 LaneRowPacker packLanes)
{
    const ConstraintLayout &layout = rows.layout;
    const int32_t *lanes = s.plan.lanes + kBatchLanes * b;
    const int sink = in.bodyCount + kWorldSlots, count = layout.rows[lanes[0]];
    BatchHead &head = s.heads[b];
    BatchRow *batch = s.batchRows + first;
    head.first = first, head.rows = count;
    int32_t body[2][kBatchLanes];
    LaneBits used;
    for (int k = 0; k < kBatchLanes; ++k) {
        const int c = lanes[k];
        head.constraint[k] = c;
        used[k] = c < 0 ? 0 : -1;
        for (int side = 0; side < 2; ++side) {
            body[side][k] = c < 0 ? -1 : layout.bodies[2 * c + side];
            head.slot[side][k] = slotOffset(body[side][k] < 0 ? sink : body[side][k]);
        }
    }
    LaneBodies sides[2];
    for (int side = 0; side < 2; ++side) gatherLaneBodies(in, body[side], sides[side]);
    PxReal largest = 0.0;
    for (int r = 0; r < count; ++r) {
        int32_t at[kBatchLanes];
        for (int k = 0; k < kBatchLanes; ++k) at[k] = lanes[k] < 0 ? 0 : layout.firstRow[lanes[k]] + r;
        const PxReal own = packLanes(rows, in, body, sides, lanes, at, used, batch[r]);
        largest = own > largest ? own : largest;
        const int normal = rows.frictionRef[at[0]];
        batch[r].normal = normal < 0 ? -1 : normal - layout.firstRow[lanes[0]];
    }
    return largest;
}

// Every row in its place; returns the largest row scale.
PxReal packRows(const PartitionRows &rows, const IterativeInput &in, const Sweeps &s)
{
    PxReal largest = packAlone(rows, in, s);
    const LaneRowPacker packLanes = laneRowPacker();
    const int ahead = kFetchAhead / kBatchLanes;
    RbdBaseConstraint *const *settling = in.slowResting ? in.records : nullptr;
    for (int b = 0, first = 0; b < s.plan.batchCount; first += s.heads[b++].rows) {
        for (int k = 0; b + ahead < s.plan.batchCount && k < kBatchLanes; ++k)
            prefetchBodies(rows.layout, in, s.plan.lanes[kBatchLanes * (b + ahead) + k]);
        for (int k = 0; settling && b + ahead < s.plan.batchCount && k < kBatchLanes; ++k)
            prefetchSettling(settling, s.plan.lanes[kBatchLanes * (b + ahead) + k]);
        const PxReal own = packBatch(rows, in, s, b, first, packLanes);
        largest = own > largest ? own : largest;
    }
    return largest;
}

// Each row's tolerance from its own scale and the island's largest.
void setTolerances(const Sweeps &s, PxReal tolerance, PxReal largest)
{
    for (int i = 0; i < s.aloneRowCount; ++i) {
        Float4 &scalars = s.sweep[i].J[kTolerance];
        scalars[kW] = static_cast<float>(rowTolerance(tolerance, scalars[kW], largest));
    }
    for (int i = 0; i < s.batchRowCount; ++i)
        for (int k = 0; k < kBatchLanes; ++k) {
            Float8 &own = s.batchRows[i].tolerance;
            own[k] = static_cast<float>(rowTolerance(tolerance, own[k], largest));
        }
}

// Moves impulses between the list (lambda) and the sweeps' places, both
// ways (toSweeps or back).
void carryImpulses(const ConstraintLayout &layout, const Sweeps &s, PxReal *lambda, bool toSweeps)
{
    for (int p = 0; p < s.aloneRowCount; ++p) {
        PxReal &list = lambda[s.order[p]];
        toSweeps ? s.x[p] = list : list = s.x[p];
    }
    for (int b = 0; b < s.plan.batchCount; ++b) {
        const BatchHead &head = s.heads[b];
        for (int r = 0; r < head.rows; ++r)
            for (int k = 0; k < kBatchLanes; ++k) {
                PxReal &x = s.batchX[kBatchLanes * (head.first + r) + k];
                const int c = head.constraint[k];
                if (c < 0)
                    x = 0.0;
                else if (toSweeps)
                    x = lambda[layout.firstRow[c] + r];
                else
                    lambda[layout.firstRow[c] + r] = x;
            }
    }
}

// u = M^-1 J^T x afresh, item by item in plan order, from starts clipped
// within their bounds; returns the largest impulse.
PxReal startVelocities(const ConstraintLayout &layout, const Sweeps &s, SweepVelocity *u, int slots)
{
    memset(u, 0, sizeof(SweepVelocity) * static_cast<size_t>(slots));
    const BatchStart startBatch = batchStart();
    PxReal largest = 0.0;
    for (int j = 0, p = 0; j < s.plan.itemCount; ++j) {
        const int item = s.plan.items[j];
        PxReal own;
        if (item >= 0) {
            own = startBatch(s.heads[item], s.batchRows, s.batchX, u);
        } else {
            const int count = layout.rows[-1 - item];
            own = startRows(s.sweep, p, p + count, s.x, u);
            p += count;
        }
        largest = own > largest ? own : largest;
    }
    return largest;
}

// One sweep in plan order; returns whether every impulse changed by no
// more than its tolerance or floor. Rows are tested only until one has
// moved by more: the answer is known from there. Batches the plan holds
// one after another (numbered in plan order) are swept in one call.
int sweepOnce(const ConstraintLayout &layout, const Sweeps &s, SweepVelocity *u, float floor)
{
    const BatchSweep sweepBatches = batchSweep();
    int settled = 1;
    for (int j = 0, p = 0; j < s.plan.itemCount;) {
        const int item = s.plan.items[j];
        if (item >= 0) {
            int end = item + 1;
            while (++j < s.plan.itemCount && s.plan.items[j] == end) ++end;
            settled = sweepBatches(s.heads, item, end, s.batchRows, s.batchX, u, floor, settled);
            continue;
        }
        const int count = layout.rows[-1 - item];
        sweepAlone(s.sweep, p, p + count, s.x, u, floor, settled);
        p += count;
        ++j;
    }
    return settled;
}

// The island's plan: every constraint alone in list order, the kept coloured
// plan of the large island, or planSweeps' (a fallback's, in list order)
// (items and lanes: room for the plan; scratch: planScratchCount).
void planIsland(const PartitionRows &rows, const IterativeInput &in, SweepPlan &plan, int32_t *scratch)
{
    const ConstraintLayout &layout = rows.layout;
    if (in.listOrder) {
        for (int c = 0; c < layout.constraintCount; ++c) plan.items[c] = -1 - c;
        plan.itemCount = layout.constraintCount, plan.batchCount = 0;
    } else if (in.orderCache) {
        planSweepsCached(layout, rows.frictionRef, in.bodyCount, *in.orderCache, plan, scratch);
    } else {
        planSweeps(layout, rows.frictionRef, in.bodyCount, plan, scratch);
    }
}

// Places of the rows swept alone (order, position) and the batches' row
// counts.
void placeRows(const ConstraintLayout &layout, Sweeps &s)
{
    memset(s.position, 0xff, sizeof(int32_t) * static_cast<size_t>(layout.rowCount)); // every place -1
    int p = 0, batchRows = 0;
    for (int j = 0; j < s.plan.itemCount; ++j) {
        const int item = s.plan.items[j];
        if (item >= 0) {
            batchRows += layout.rows[s.plan.lanes[kBatchLanes * item]];
            continue;
        }
        const int c = -1 - item;
        for (int r = 0; r < layout.rows[c]; ++r, ++p) {
            s.order[p] = layout.firstRow[c] + r;
            s.position[s.order[p]] = p;
        }
    }
    s.aloneRowCount = p, s.batchRowCount = batchRows;
}

// Batch rows a plan can need: every batch holds two constraints or more
// of one row count.
size_t mostBatchRows(size_t rows)
{
    return rows / 2 + 1;
}

// The workspace after the plan; false when the pool is short.
bool allocateSweeps(MemoryPool &pool, const ConstraintLayout &layout, Sweeps &s)
{
    const size_t n = static_cast<size_t>(layout.rowCount);
    s.sweep = pool.array<SweepRow>(n, "sweep rows");
    s.x = pool.array<PxReal>(n, "sweep impulses");
    s.order = pool.array<int32_t>(n, "sweep order");
    s.position = pool.array<int32_t>(n, "sweep positions");
    if (!s.sweep || !s.x || !s.order || !s.position) return false;
    placeRows(layout, s);
    const size_t batches = static_cast<size_t>(s.plan.batchCount), batchRows = static_cast<size_t>(s.batchRowCount);
    s.heads = pool.array<BatchHead>(batches, "sweep batches");
    s.batchRows = pool.array<BatchRow>(batchRows, "sweep batch rows");
    s.batchX = pool.array<PxReal>(kBatchLanes * batchRows, "sweep batch impulses");
    return batchRows <= mostBatchRows(n) && (batches == 0 || (s.heads && s.batchRows && s.batchX));
}

} // namespace

int islandIsLarge(int rowCount, const RbdLcsLCPSolverParameters &params)
{
    return params.largeIslandSolver == RBD_LCP_LARGE_ISLAND_ITERATIVE && rowCount > params.largeIslandRows;
}

size_t iterativeMemoryRequired(int rowCount, int bodyCount)
{
    const size_t rows = static_cast<size_t>(rowCount > 0 ? rowCount : 0);
    const size_t bodies = static_cast<size_t>(bodyCount > 0 ? bodyCount : 0), slots = bodies + kWorldSlots + 1;
    // A layout has no more constraints than rows.
    const size_t plan = kBatchLanes * rows + rows + planScratchCount(rowCount > 0 ? rowCount : 0, bodyCount);
    const size_t batchRows = mostBatchRows(rows);
    return PoolAlignedCost(sizeof(SweepRow) * rows) + PoolAlignedCost(sizeof(SweepVelocity) * slots) +
           2 * PoolAlignedCost(sizeof(int32_t) * rows) + PoolAlignedCost(sizeof(PxReal) * rows) +
           PoolAlignedCost(sizeof(int32_t) * plan) + PoolAlignedCost(sizeof(BatchHead) * batchRows) +
           PoolAlignedCost(sizeof(BatchRow) * batchRows) + PoolAlignedCost(sizeof(PxReal) * kBatchLanes * batchRows);
}

int solveIteratively(MemoryPool &pool, PartitionRows &rows, const IterativeInput &in,
                     const RbdLcsLCPSolverParameters &params)
{
    const ConstraintLayout &layout = rows.layout;
    const int n = layout.rowCount, cs = layout.constraintCount, slots = in.bodyCount + kWorldSlots + 1;
    Sweeps s;
    SweepVelocity *u = pool.array<SweepVelocity>(static_cast<size_t>(slots), "sweep velocity changes");
    int32_t *plan = pool.array<int32_t>(kBatchLanes * static_cast<size_t>(cs) + static_cast<size_t>(cs) +
                                            planScratchCount(cs, in.bodyCount),
                                        "sweep plan");
    bool ready = u && plan && n < kMostIndices && slots < kMostIndices;
    if (ready) {
        s.plan.items = plan, s.plan.lanes = plan + cs;
        planIsland(rows, in, s.plan, plan + (kBatchLanes + 1) * cs);
        ready = allocateSweeps(pool, layout, s);
    }
    if (!ready) {
        memset(rows.lambda, 0, sizeof(PxReal) * static_cast<size_t>(n));
        return 0;
    }
    setTolerances(s, params.tolerance, packRows(rows, in, s));
    warmStart(rows, in, rows.lambda);
    carryImpulses(layout, s, rows.lambda, true);
    float floor = sweepFloor(params.tolerance, startVelocities(layout, s, u, slots));
    int sweeps = -params.iterations;
    for (int k = 0; k < params.iterations; ++k) {
        if (k > 0 && k % kRefreshSweeps == 0)
            floor = sweepFloor(params.tolerance, startVelocities(layout, s, u, slots));
        if (sweepOnce(layout, s, u, floor)) {
            sweeps = k + 1;
            break;
        }
    }
    carryImpulses(layout, s, rows.lambda, false);
    return sweeps;
}

} // namespace lcs
