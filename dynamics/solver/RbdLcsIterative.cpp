// Projected Gauss-Seidel over the rows of a large island. Each row in turn
// takes the impulse that zeroes its residual
//   w_i = (A x - q)_i = J_i u + E_i x_i - q_i,   u = M^-1 J^T x,
// clipped to its bounds, and passes the change on to u, the velocity
// change of the bodies it touches. A row costs two products of length 12
// and two updates of length 6 whatever the island's size, and the rows are
// read in order from one array, so a sweep streams through memory once.
//
// The sweeps work in single precision, rows and velocity changes alike,
// four floats at a time: a row then fills 160 bytes instead of 280, and
// the sweeps, which read every row tens of times a step, are bound by how
// fast memory delivers them. The impulses themselves are summed in double precision, and
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

namespace {

// Four floats the compiler keeps in one vector register (scalar code where
// the target has none).
typedef float Float4 __attribute__((vector_size(16)));

// A general row as the sweeps read it: per side a linear and an angular
// part of three floats each. The fourth float of each part of J carries a
// scalar of the row; the bodies' velocity changes keep their fourth float at
// zero, so the products never see it. The fourth floats of MJ are zero.
struct SweepRow {
    Float4 J[4];     // linear 0, angular 0, linear 1, angular 1; w: q, softness, 1 / A_ii, tolerance
    Float4 MJ[4];    // M^-1 J^T in the same parts: the velocity change per unit impulse
    float lo, hi;    // bounds (impulse); a friction row has lo 0 and hi its coefficient
    int32_t body[2]; // velocity slot of each side; the last slot is the world's
    int32_t normal;  // the normal row a friction row follows, -1 for none
    int32_t pad[3];
};
enum { kQ = 0, kSoftness = 1, kInvDiagonal = 2, kTolerance = 3, kW = 3 }; // the scalars' parts of J, and their lane

// A row whose sides see opposite linear parts: every contact row, a ball
// joint's. Its linear part is kept once and its M^-1 J^T is each body's
// inverse mass times it, so the row fills 112 bytes where a general row
// fills 160; the sweeps of a pile are bound by how fast memory delivers
// the rows. A side without a body is the world's slot with no mass.
struct PairRow {
    Float4 N;         // linear part of side 0, side 1's is -N; w: q
    Float4 A[2];      // angular part of each side; w: softness, 1 / A_ii
    Float4 IA[2];     // I^-1 A of each side (rad/s per unit impulse); w zero
    float invMass[2]; // 1 / kg
    float lo, hi, tolerance;
    int32_t body[2], normal; // as a general row's
};

// A body's velocity change: linear and angular, fourth floats zero.
struct SweepVelocity {
    Float4 linear, angular;
};

// The lanes of a part without its scalar.
const Float4 kXyz = {1.0f, 1.0f, 1.0f, 0.0f};

float sum(Float4 v)
{
    return v[0] + v[1] + v[2] + v[3];
}

// The scalars of each form.
float qOf(const SweepRow &r)
{
    return r.J[kQ][kW];
}
float softnessOf(const SweepRow &r)
{
    return r.J[kSoftness][kW];
}
float invDiagonalOf(const SweepRow &r)
{
    return r.J[kInvDiagonal][kW];
}
float toleranceOf(const SweepRow &r)
{
    return r.J[kTolerance][kW];
}
void setTolerance(SweepRow &r, float tolerance)
{
    r.J[kTolerance][kW] = tolerance;
}
float qOf(const PairRow &r)
{
    return r.N[kW];
}
float softnessOf(const PairRow &r)
{
    return r.A[0][kW];
}
float invDiagonalOf(const PairRow &r)
{
    return r.A[1][kW];
}
float toleranceOf(const PairRow &r)
{
    return r.tolerance;
}
void setTolerance(PairRow &r, float tolerance)
{
    r.tolerance = tolerance;
}

// J u: the row's velocity for the bodies' velocity changes u.
float along(const SweepRow &r, const SweepVelocity *u)
{
    const SweepVelocity &u0 = u[r.body[0]], &u1 = u[r.body[1]];
    return sum(r.J[0] * u0.linear + r.J[1] * u0.angular + r.J[2] * u1.linear + r.J[3] * u1.angular);
}

float along(const PairRow &r, const SweepVelocity *u)
{
    const SweepVelocity &u0 = u[r.body[0]], &u1 = u[r.body[1]];
    return sum(r.N * (u0.linear - u1.linear) + r.A[0] * u0.angular + r.A[1] * u1.angular);
}

// u += M^-1 J^T impulse.
void push(const SweepRow &r, SweepVelocity *u, float impulse)
{
    SweepVelocity &u0 = u[r.body[0]], &u1 = u[r.body[1]];
    u0.linear += r.MJ[0] * impulse;
    u0.angular += r.MJ[1] * impulse;
    u1.linear += r.MJ[2] * impulse;
    u1.angular += r.MJ[3] * impulse;
}

void push(const PairRow &r, SweepVelocity *u, float impulse)
{
    SweepVelocity &u0 = u[r.body[0]], &u1 = u[r.body[1]];
    Float4 n = r.N * kXyz;
    u0.linear += n * (r.invMass[0] * impulse);
    u0.angular += r.IA[0] * impulse;
    u1.linear -= n * (r.invMass[1] * impulse);
    u1.angular += r.IA[1] * impulse;
}

PxReal clip(PxReal value, PxReal lo, PxReal hi)
{
    return value < lo ? lo : (value > hi ? hi : value);
}

// Bounds beyond float's range are no bound at all (converting them would
// overflow).
float boundToFloat(PxReal bound)
{
    if (bound >= FLT_MAX) return HUGE_VALF;
    if (bound <= -FLT_MAX) return -HUGE_VALF;
    return static_cast<float>(bound);
}

float boundTimes(PxReal bound, PxReal h)
{
    return boundToFloat(bound < RBD_REAL_MAX && bound > -RBD_REAL_MAX ? bound * h : bound);
}

// Row i of constraint c in double, before either form packs it.
struct RowParts {
    PxReal J[2][6];  // per side linear then angular; zero for the world
    PxReal MJ[2][6]; // M^-1 J^T
    PxReal invMass[2];
    int32_t body[2]; // velocity slots
    PxReal q;        // c - (the row's correcting velocity) - J v - h J M^-1 f
    PxReal softness;
};

// The body's half of a row: M^-1 J^T, and the row's share of
// J v + h J M^-1 f.
PxReal halfOf(const PxReal *J, const BodyInverseMass &m, const RbdLcsBody &body, const BodyLoad &load, PxReal h,
              PxReal *MJ)
{
    PxReal velocity = 0.0, push = 0.0;
    for (int k = 0; k < 3; ++k) {
        MJ[k] = m.invMass * J[k];
        // The inverse inertia is symmetric: (J_ang I^-1)_k = (I^-1 J_ang)_k.
        MJ[3 + k] = m.invInertia[k][0] * J[3] + m.invInertia[k][1] * J[4] + m.invInertia[k][2] * J[5];
        velocity += J[k] * body.linearVelocity[k] + J[3 + k] * body.angularVelocity[k];
        push += MJ[k] * load.force[k] + MJ[3 + k] * load.torque[k];
    }
    return velocity + h * push;
}

void rowParts(const PartitionRows &rows, const IterativeInput &in, int c, int i, RowParts &p)
{
    PxReal h = in.parameters->stepsize;
    p.q = rows.c[i] - correctingVelocity(rows, i, *in.parameters);
    p.softness = in.parameters->epsilon + rows.rowEpsilon[i] / h;
    for (int side = 0; side < 2; ++side) {
        int body = rows.layout.bodies[2 * c + side];
        p.body[side] = body < 0 ? in.bodyCount : body;
        p.invMass[side] = 0.0;
        for (int k = 0; k < 6; ++k) p.J[side][k] = p.MJ[side][k] = 0.0;
        if (body < 0) continue;
        p.invMass[side] = in.invM[body].invMass;
        for (int k = 0; k < 6; ++k) p.J[side][k] = rows.J[tileIndex(i, 6 * side + k)];
        p.q -= halfOf(p.J[side], in.invM[body], *in.bodies[body], in.load[body], h, p.MJ[side]);
    }
}

PxReal invertDiagonal(PxReal diagonal)
{
    return diagonal > 0.0 ? 1.0 / diagonal : 0.0;
}

// The scalars and bounds common to both forms, in the forms' own places.
template <class Row>
void packScalars(const PartitionRows &rows, int i, PxReal h, PxReal q, PxReal invDiagonal, Row &r)
{
    r.normal = rows.frictionRef[i];
    r.lo = r.normal < 0 ? boundTimes(rows.lo[i], h) : 0.0f;
    r.hi = r.normal < 0 ? boundTimes(rows.hi[i], h) : static_cast<float>(fabs(rows.mu[i]));
    // The row's own scale until the island's is known.
    setTolerance(r, static_cast<float>(impulseOfRow(q, invDiagonal)));
}

// A general row, with A_ii summed from the single-precision parts the
// sweeps use; returns 1 / A_ii.
PxReal packRow(const RowParts &p, SweepRow &r)
{
    const Float4 zero = {0.0f, 0.0f, 0.0f, 0.0f};
    PxReal diagonal = 0.0;
    for (int side = 0; side < 2; ++side)
        for (int part = 0; part < 2; ++part) {
            Float4 &J = r.J[2 * side + part], &MJ = r.MJ[2 * side + part];
            J = MJ = zero;
            for (int k = 0; k < 3; ++k) {
                J[k] = static_cast<float>(p.J[side][3 * part + k]);
                MJ[k] = static_cast<float>(p.MJ[side][3 * part + k]);
                diagonal += static_cast<PxReal>(J[k]) * MJ[k];
            }
        }
    PxReal invDiagonal = invertDiagonal(diagonal + p.softness);
    r.J[kQ][kW] = static_cast<float>(p.q);
    r.J[kSoftness][kW] = static_cast<float>(p.softness);
    r.J[kInvDiagonal][kW] = static_cast<float>(invDiagonal);
    r.body[0] = p.body[0];
    r.body[1] = p.body[1];
    r.pad[0] = r.pad[1] = r.pad[2] = 0;
    return invDiagonal;
}

// A pair row: N from the side that has a body (side 1's negated), and A_ii
// summed from the single-precision parts the sweeps use; returns 1 / A_ii.
PxReal packRow(const RowParts &p, int worldSlot, PairRow &r)
{
    const Float4 zero = {0.0f, 0.0f, 0.0f, 0.0f};
    const int from = p.body[0] == worldSlot ? 1 : 0;
    const PxReal sign = from == 0 ? 1.0 : -1.0;
    r.N = zero;
    PxReal diagonal = p.softness, lengthSquared = 0.0;
    for (int k = 0; k < 3; ++k) {
        r.N[k] = static_cast<float>(sign * p.J[from][k]);
        lengthSquared += static_cast<PxReal>(r.N[k]) * r.N[k];
    }
    for (int side = 0; side < 2; ++side) {
        r.A[side] = r.IA[side] = zero;
        r.invMass[side] = static_cast<float>(p.invMass[side]);
        r.body[side] = p.body[side];
        diagonal += lengthSquared * r.invMass[side];
        for (int k = 0; k < 3; ++k) {
            r.A[side][k] = static_cast<float>(p.J[side][3 + k]);
            r.IA[side][k] = static_cast<float>(p.MJ[side][3 + k]);
            diagonal += static_cast<PxReal>(r.A[side][k]) * r.IA[side][k];
        }
    }
    PxReal invDiagonal = invertDiagonal(diagonal);
    r.N[kW] = static_cast<float>(p.q);
    r.A[0][kW] = static_cast<float>(p.softness);
    r.A[1][kW] = static_cast<float>(invDiagonal);
    return invDiagonal;
}

// The rows in sweep order: runs of rows of one form, consecutive in the
// row list, so the sweeps visit every row in the order the list has it.
// (Sweeping a constraint's rows in another order changes where the
// sweeps stop, which a hand held by its fallback feels.)
struct SweepRun {
    int32_t first, count; // rows
    int32_t at;           // the run's first row in its form's array
    int32_t pair;         // whether the run is of pair rows
};

struct SweepPlan {
    PairRow *pairs;
    SweepRow *general;
    SweepRun *runs;
    int runCount;
};

// Calls f(rows of the run's form, run) for every run in order.
template <class F> void forEachRun(const SweepPlan &plan, F f)
{
    for (int k = 0; k < plan.runCount; ++k) {
        const SweepRun &run = plan.runs[k];
        if (run.pair)
            f(plan.pairs + run.at, run);
        else
            f(plan.general + run.at, run);
    }
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
            push(r[k], u, static_cast<float>(xi));
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

// One run of one sweep; returns whether every impulse changed by no more
// than its tolerance, or by no more than floor (the least tolerance of every
// row, as the pivoting has it: RbdLcsTolerance.h).
template <class Row> int sweepRun(const Row *rows, const SweepRun &run, PxReal *x, SweepVelocity *u, float floor)
{
    int settled = 1;
    for (int k = 0; k < run.count; ++k) {
        const Row &r = rows[k];
        float Ju = along(r, u);
        PxReal lo, hi, &xi = x[run.first + k];
        boundsOf(r, x, lo, hi);
        PxReal old = xi;
        PxReal next = clip(old + (qOf(r) - Ju - softnessOf(r) * old) * invDiagonalOf(r), lo, hi);
        float change = static_cast<float>(next - old);
        if (change == 0.0f) continue;
        xi = next;
        push(r, u, change);
        float magnitude = change < 0.0f ? -change : change;
        if (magnitude > toleranceOf(r) && magnitude > floor) settled = 0;
    }
    return settled;
}

int sweepOnce(const SweepPlan &plan, PxReal *x, SweepVelocity *u, float floor)
{
    int settled = 1;
    forEachRun(plan, [&](auto *r, const SweepRun &run) { settled &= sweepRun(r, run, x, u, floor); });
    return settled;
}

// Whether row i of constraint c has opposite linear parts, or one side
// without a body.
bool rowIsPair(const PartitionRows &rows, int c, int i)
{
    if (rows.layout.bodies[2 * c] < 0 || rows.layout.bodies[2 * c + 1] < 0) return true;
    for (int k = 0; k < 3; ++k)
        if (rows.J[tileIndex(i, 6 + k)] != -rows.J[tileIndex(i, k)]) return false;
    return true;
}

// Counts each form's rows and the runs, then packs them.
void countForms(const PartitionRows &rows, int &pairs, int &runs)
{
    const ConstraintLayout &layout = rows.layout;
    int last = -1;
    pairs = runs = 0;
    for (int c = 0; c < layout.constraintCount; ++c)
        for (int i = layout.firstRow[c]; i < layout.firstRow[c] + layout.rows[c]; ++i) {
            int pair = rowIsPair(rows, c, i);
            pairs += pair;
            runs += pair != last;
            last = pair;
        }
}

// Row i of constraint c into its form's array, extending the last run or
// starting one.
void packInto(const PartitionRows &rows, const IterativeInput &in, int c, int i, SweepPlan &plan, int *count)
{
    RowParts p;
    rowParts(rows, in, c, i, p);
    int pair = rowIsPair(rows, c, i);
    SweepRun *last = plan.runCount > 0 ? plan.runs + plan.runCount - 1 : nullptr;
    if (!last || last->pair != pair) {
        last = plan.runs + plan.runCount++;
        *last = {i, 0, count[pair], pair};
    }
    ++last->count;
    PxReal h = in.parameters->stepsize;
    if (pair) {
        PairRow &r = plan.pairs[count[1]++];
        packScalars(rows, i, h, p.q, packRow(p, in.bodyCount, r), r);
    } else {
        SweepRow &r = plan.general[count[0]++];
        packScalars(rows, i, h, p.q, packRow(p, r), r);
    }
}

int planSweeps(MemoryPool &pool, const PartitionRows &rows, const IterativeInput &in, SweepPlan &plan)
{
    const ConstraintLayout &layout = rows.layout;
    int pairs, runs, count[2] = {0, 0};
    countForms(rows, pairs, runs);
    plan.pairs = pool.array<PairRow>(static_cast<size_t>(pairs), "sweep pair rows");
    plan.general = pool.array<SweepRow>(static_cast<size_t>(layout.rowCount - pairs), "sweep rows");
    plan.runs = pool.array<SweepRun>(static_cast<size_t>(runs), "sweep runs");
    plan.runCount = 0;
    if ((pairs > 0 && !plan.pairs) || (layout.rowCount > pairs && !plan.general) || (runs > 0 && !plan.runs))
        return 0;
    for (int c = 0; c < layout.constraintCount; ++c)
        for (int r = 0; r < layout.rows[c]; ++r) packInto(rows, in, c, layout.firstRow[c] + r, plan, count);
    return 1;
}

} // namespace

int islandIsLarge(int rowCount, const RbdLcsLCPSolverParameters &params)
{
    return params.largeIslandSolver == RBD_LCP_LARGE_ISLAND_ITERATIVE && rowCount > params.largeIslandRows;
}

// At most one run per row, and a pair row is smaller than a general one.
size_t iterativeMemoryRequired(int rowCount, int bodyCount)
{
    size_t rows = static_cast<size_t>(rowCount > 0 ? rowCount : 0);
    size_t slots = static_cast<size_t>(bodyCount > 0 ? bodyCount : 0) + 1;
    return PoolAlignedCost(sizeof(SweepRow) * rows) + PoolAlignedCost(sizeof(PairRow)) +
           PoolAlignedCost(sizeof(SweepRun) * rows) + PoolAlignedCost(sizeof(SweepVelocity) * slots);
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
