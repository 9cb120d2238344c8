// The rows of a large island as the sweeps read them: a short form for
// rows whose sides see opposite linear parts (every contact row, a ball
// joint's) and the general form for the others, in runs that keep the row
// list's order.
#ifndef KELMAR_DYNAMICS_RBDLCSSWEEPROWS_H
#define KELMAR_DYNAMICS_RBDLCSSWEEPROWS_H

#include <stddef.h>
#include <stdint.h>
#include "solver/RbdLcsIterative.h"

namespace lcs {
namespace sweep {

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

inline float sum(Float4 v)
{
    return v[0] + v[1] + v[2] + v[3];
}

// The scalars of each form.
inline float qOf(const SweepRow &r)
{
    return r.J[kQ][kW];
}
inline float softnessOf(const SweepRow &r)
{
    return r.J[kSoftness][kW];
}
inline float invDiagonalOf(const SweepRow &r)
{
    return r.J[kInvDiagonal][kW];
}
inline float toleranceOf(const SweepRow &r)
{
    return r.J[kTolerance][kW];
}
inline void setTolerance(SweepRow &r, float tolerance)
{
    r.J[kTolerance][kW] = tolerance;
}
inline float qOf(const PairRow &r)
{
    return r.N[kW];
}
inline float softnessOf(const PairRow &r)
{
    return r.A[0][kW];
}
inline float invDiagonalOf(const PairRow &r)
{
    return r.A[1][kW];
}
inline float toleranceOf(const PairRow &r)
{
    return r.tolerance;
}
inline void setTolerance(PairRow &r, float tolerance)
{
    r.tolerance = tolerance;
}

// J u: the row's velocity for its bodies' velocity changes u0 and u1.
inline float along(const SweepRow &r, const SweepVelocity &u0, const SweepVelocity &u1)
{
    return sum(r.J[0] * u0.linear + r.J[1] * u0.angular + r.J[2] * u1.linear + r.J[3] * u1.angular);
}

inline float along(const PairRow &r, const SweepVelocity &u0, const SweepVelocity &u1)
{
    return sum(r.N * (u0.linear - u1.linear) + r.A[0] * u0.angular + r.A[1] * u1.angular);
}

// u += M^-1 J^T impulse.
inline void push(const SweepRow &r, SweepVelocity &u0, SweepVelocity &u1, float impulse)
{
    u0.linear += r.MJ[0] * impulse;
    u0.angular += r.MJ[1] * impulse;
    u1.linear += r.MJ[2] * impulse;
    u1.angular += r.MJ[3] * impulse;
}

inline void push(const PairRow &r, SweepVelocity &u0, SweepVelocity &u1, float impulse)
{
    Float4 n = r.N * kXyz;
    u0.linear += n * (r.invMass[0] * impulse);
    u0.angular += r.IA[0] * impulse;
    u1.linear -= n * (r.invMass[1] * impulse);
    u1.angular += r.IA[1] * impulse;
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
template <class F> inline void forEachRun(const SweepPlan &plan, F f)
{
    for (int k = 0; k < plan.runCount; ++k) {
        const SweepRun &run = plan.runs[k];
        if (run.pair)
            f(plan.pairs + run.at, run);
        else
            f(plan.general + run.at, run);
    }
}

// Packs the island's rows into their forms from the pool: the right-hand
// sides and bounds as the pivoting path forms them, bounds times the step.
// Each row's tolerance holds its own scale |q| / A_ii. Returns 0 when the
// workspace is short.
int planSweeps(MemoryPool &pool, const PartitionRows &rows, const IterativeInput &in, SweepPlan &plan);

// Workspace bytes of planSweeps for rowCount rows.
size_t planMemoryRequired(int rowCount);

} // namespace sweep
} // namespace lcs

#endif
