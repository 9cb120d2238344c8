// Packing a large island's rows into the sweeps' forms. Everything is
// computed in double and rounded to float once, and each row's A_ii is
// summed from the single-precision parts the sweeps use, so a sweep that
// zeroes a row's residual zeroes the residual it computes.
#include "solver/RbdLcsSweepRows.h"

#include <float.h>
#include <math.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/RbdTypes.h>
#include "solver/RbdLcsTiles.h"
#include "solver/RbdLcsTolerance.h"

namespace lcs {
namespace sweep {

namespace {

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

} // namespace

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

// At most one run per row, and a pair row is smaller than a general one.
size_t planMemoryRequired(int rowCount)
{
    size_t rows = static_cast<size_t>(rowCount > 0 ? rowCount : 0);
    return PoolAlignedCost(sizeof(SweepRow) * rows) + PoolAlignedCost(sizeof(PairRow)) +
           PoolAlignedCost(sizeof(SweepRun) * rows);
}

} // namespace sweep
} // namespace lcs
