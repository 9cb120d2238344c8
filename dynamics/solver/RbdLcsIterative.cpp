// Projected Gauss-Seidel over the rows of a large island. Each row in turn
// takes the impulse that zeroes its residual
//   w_i = (A x - q)_i = J_i u + E_i x_i - q_i,   u = M^-1 J^T x,
// clipped to its bounds, and passes the change on to u, the velocity
// change of the bodies it touches. A row costs two products of length 12
// and two updates of length 6 whatever the island's size, and the rows are
// read in order from one array, so a sweep streams through memory once.
//
// The sweeps work in single precision, rows and velocity changes alike,
// four floats at a time: a contact row then fills 112 bytes instead of 280
// (RbdLcsSweepRows.h), and the sweeps, which read every row tens of times a
// step, are bound by how fast memory delivers them. The impulses themselves
// are summed in double precision, and
// everything the sweeps start from and leave behind is double: what single
// precision costs is a relative error near 1e-7 in the residuals, far
// inside any tolerance a sweep can reach.
//
// Every row starts from its constraint's impulse of the last step (the
// bridge keeps contacts from step to step): a resting pile then needs only
// the few sweeps that account for what changed. A contact's start is its
// last force projected onto its new normal and friction directions, so a
// turned normal or new friction directions still start from the right
// impulse.
#include "solver/RbdLcsIterative.h"
#include "solver/RbdLcsSweepRows.h"

#include <float.h>
#include <math.h>
#include <string.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/RbdTypes.h>
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTolerance.h"

namespace lcs {

using namespace sweep;

namespace {

PxReal clip(PxReal value, PxReal lo, PxReal hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}

// Each row's tolerance from its own scale and the island's largest.
void setTolerances(const SweepPlan &plan, PxReal tolerance)
{
    PxReal largest = 0.0;
    forEachRun(plan, [&](auto *r, const SweepRun &run) {
        for (int k = 0; k < run.count; ++k)
            if (toleranceOf(r[k]) > largest) largest = toleranceOf(r[k]);
    });
    forEachRun(plan, [&](auto *r, const SweepRun &run) {
        for (int k = 0; k < run.count; ++k)
            setTolerance(r[k], static_cast<float>(rowTolerance(tolerance, toleranceOf(r[k]), largest)));
    });
}

// The bounds row r has now: a friction row's follow its normal row's impulse.
template <class Row> void boundsOf(const Row &r, const PxReal *x, PxReal &lo, PxReal &hi)
{
    if (r.normal < 0) {
        lo = r.lo;
        hi = r.hi;
        return;
    }
    hi = r.hi * fabs(x[r.normal]);
    lo = -hi;
}

// Impulse of a contact's row from the contact's last force: the force on the
// side that has a body, along that side's linear Jacobian (a contact's
// directions are orthonormal, so each row takes its own component). The
// spin row has no linear part: it takes the last torque less the moment of
// the last force about the centre of mass, along its angular Jacobian (the
// normal).
PxReal contactStart(const PartitionRows &rows, int i, const RbdBaseConstraint *record, PxReal h)
{
    int side = record->solverBody[0] ? 0 : 1;
    PxReal along = 0.0, linear = 0.0;
    for (int k = 0; k < 3; ++k) {
        PxReal J = rows.J[tileIndex(i, 6 * side + k)];
        along += J * record->force[side][k];
        linear += J * J;
    }
    if (linear > 0.0) return h * along;
    PxVector3 arm, moment;
    PxV3Sub(arm, record->data.contact.position, record->comTransform[side][3]);
    PxV3Cross(moment, arm, record->force[side]);
    for (int k = 0; k < 3; ++k)
        along += rows.J[tileIndex(i, 6 * side + 3 + k)] * (record->torque[side][k] - moment[k]);
    return h * along;
}

// Rows of other constraints start from their own last impulses, as far as
// the last step had them (its row count ended with the end marker).
void warmStartConstraint(const PartitionRows &rows, int c, const RbdBaseConstraint *record, PxReal h, PxReal *x)
{
    int first = rows.layout.firstRow[c];
    bool contact = record->typeId == RBD_TYPE_CONTACT;
    for (int r = 0; r < rows.layout.rows[c]; ++r) {
        if (contact) {
            x[first + r] = contactStart(rows, first + r, record, h);
            continue;
        }
        if (r >= RBD_CONSTRAINT_LAMBDA_COUNT || record->lambda[r] == RBD_LAMBDA_END_MARKER) break;
        x[first + r] = h * record->lambda[r];
    }
}

void warmStart(const PartitionRows &rows, const IterativeInput &in, PxReal *x)
{
    memset(x, 0, sizeof(PxReal) * static_cast<size_t>(rows.layout.rowCount));
    if (!in.records) return;
    for (int c = 0; c < rows.layout.constraintCount; ++c)
        if (in.records[c]) warmStartConstraint(rows, c, in.records[c], in.parameters->stepsize, x);
}

// Starts within the bounds (normal rows first, which friction bounds follow),
// and u = M^-1 J^T x for that start; returns the largest impulse of the start.
PxReal startVelocities(const SweepPlan &plan, PxReal *x, SweepVelocity *u, int slots)
{
    memset(u, 0, sizeof(SweepVelocity) * static_cast<size_t>(slots));
    forEachRun(plan, [&](auto *r, const SweepRun &run) {
        for (int k = 0; k < run.count; ++k)
            if (r[k].normal < 0) x[run.first + k] = clip(x[run.first + k], r[k].lo, r[k].hi);
    });
    PxReal largest = 0.0;
    forEachRun(plan, [&](auto *r, const SweepRun &run) {
        for (int k = 0; k < run.count; ++k) {
            PxReal lo, hi, &xi = x[run.first + k];
            boundsOf(r[k], x, lo, hi);
            xi = clip(xi, lo, hi);
            largest = fabs(xi) > largest ? fabs(xi) : largest;
            push(r[k], u[r[k].body[0]], u[r[k].body[1]], static_cast<float>(xi));
        }
    });
    return largest;
}

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

// One row of one sweep, its bodies' velocity changes u0 and u1; returns
// whether its impulse changed by no more than its tolerance, or by no more
// than floor (the least tolerance of every row, as the pivoting has it:
// RbdLcsTolerance.h).
template <class Row>
int sweepRow(const Row &r, PxReal &xi, const PxReal *x, SweepVelocity &u0, SweepVelocity &u1, float floor)
{
    PxReal lo, hi;
    boundsOf(r, x, lo, hi);
    PxReal old = xi;
    PxReal next = clip(old + (qOf(r) - along(r, u0, u1) - softnessOf(r) * old) * invDiagonalOf(r), lo, hi);
    float change = static_cast<float>(next - old);
    if (change == 0.0f) return 1;
    xi = next;
    push(r, u0, u1, change);
    float magnitude = change < 0.0f ? -change : change;
    return magnitude <= toleranceOf(r) || magnitude <= floor;
}

// One run of one sweep; returns whether every row settled.
template <class Row> int sweepRun(const Row *rows, const SweepRun &run, PxReal *x, SweepVelocity *u, float floor)
{
    int settled = 1;
    for (int k = 0; k < run.count; ++k)
        settled &= sweepRow(rows[k], x[run.first + k], x, u[rows[k].body[0]], u[rows[k].body[1]], floor);
    return settled;
}

int sweepOnce(const SweepPlan &plan, PxReal *x, SweepVelocity *u, float floor)
{
    int settled = 1;
    forEachRun(plan, [&](auto *r, const SweepRun &run) { settled &= sweepRun(r, run, x, u, floor); });
    return settled;
}

} // namespace

int islandIsLarge(int rowCount, const RbdLcsLCPSolverParameters &params)
{
    return params.largeIslandSolver == RBD_LCP_LARGE_ISLAND_ITERATIVE && rowCount > params.largeIslandRows;
}

size_t iterativeMemoryRequired(int rowCount, int bodyCount)
{
    size_t slots = static_cast<size_t>(bodyCount > 0 ? bodyCount : 0) + 1;
    return planMemoryRequired(rowCount) + PoolAlignedCost(sizeof(SweepVelocity) * slots);
}

int solveIteratively(MemoryPool &pool, PartitionRows &rows, const IterativeInput &in,
                     const RbdLcsLCPSolverParameters &params)
{
    int n = rows.layout.rowCount, slots = in.bodyCount + 1;
    SweepPlan plan;
    int planned = planSweeps(pool, rows, in, plan);
    SweepVelocity *u = pool.array<SweepVelocity>(static_cast<size_t>(slots), "sweep velocity changes");
    if (!planned || !u) {
        memset(rows.lambda, 0, sizeof(PxReal) * static_cast<size_t>(n));
        return 0;
    }
    setTolerances(plan, params.tolerance);
    warmStart(rows, in, rows.lambda);
    float floor = sweepFloor(params.tolerance, startVelocities(plan, rows.lambda, u, slots));
    for (int k = 0; k < params.iterations; ++k) {
        if (k > 0 && k % kRefreshSweeps == 0)
            floor = sweepFloor(params.tolerance, startVelocities(plan, rows.lambda, u, slots));
        if (sweepOnce(plan, rows.lambda, u, floor)) return k + 1;
    }
    return -params.iterations;
}

} // namespace lcs
