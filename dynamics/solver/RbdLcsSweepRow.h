// The rows the sweeps of large islands read and the velocity changes they
// update (RbdLcsIterative.cpp), shared by the sweeps that take one row at a
// time and those that take a batch of constraints at once
// (RbdLcsSweepBatches.cpp).
#ifndef KELMAR_DYNAMICS_RBDLCSSWEEPROW_H
#define KELMAR_DYNAMICS_RBDLCSSWEEPROW_H

#include <math.h>
#include <stddef.h>
#include <kelmar/PxTypes.h>

namespace lcs {

// Four floats the compiler keeps in one vector register (scalar code where
// the target has none).
typedef float Float4 __attribute__((vector_size(16)));

// One row as the sweeps read it: per side a linear and an angular part of
// three floats each, J scaled by 1 / A_ii so that a row's update needs no
// division or scaling of its own. The fourth floats carry the row's
// scalars, the indices among them as float values (exact below 2^24; the
// bit pattern of an int would be a denormal and slow every product it
// meets). The products J u add the first three lanes only, so whatever the
// fourth lanes of u accumulate from MJ's scalars (finite values, or an
// infinity or NaN from an unbounded row) is never read. SSE arithmetic on
// infinities and NaNs runs at full speed; only denormals are slow, and the
// sums there are of indices, bounds and coefficients times impulse changes,
// as far from float's smallest normal as the velocity changes themselves.
struct SweepRow {
    Float4 J[4];  // linear 0, angular 0, linear 1, angular 1; w: q, softness (both / A_ii), tolerance, normal
    Float4 MJ[4]; // M^-1 J^T in the same parts: the velocity change per unit impulse; w: lo, hi, body 0, body 1
};
static_assert(sizeof(SweepRow) == 128, "a sweep row fills two cache lines");
// The scalars' parts (of J, then of MJ) and their lane. lo and hi are the
// bounds (impulse); a friction row has lo 0 and hi its coefficient. body 0
// and 1 are the velocity slots of the sides (those past the bodies are the world's);
// normal is the normal row a friction row follows, -1 for none.
const int kQ = 0, kSoftness = 1, kTolerance = 2, kNormal = 3, kLo = 0, kHi = 1, kBody = 2, kW = 3;
// Velocity slots of the world, after the bodies' (see solveIteratively).
const int kWorldSlots = 4;
// Rows and bodies the float indices can number.
const int kMostIndices = 1 << 24;

// (Converted to a pointer-sized integer, which takes one instruction.)
inline ptrdiff_t bodyOf(const SweepRow &r, int side)
{
    return static_cast<ptrdiff_t>(r.MJ[kBody + side][kW]);
}

inline ptrdiff_t normalOf(const SweepRow &r)
{
    return static_cast<ptrdiff_t>(r.J[kNormal][kW]);
}

// A body's velocity change: linear and angular; the fourth floats gather
// what MJ's scalars add there and are never read.
struct SweepVelocity {
    Float4 linear, angular;
};

// For lo <= hi: a maximum and a minimum without branches.
inline PxReal clip(PxReal value, PxReal lo, PxReal hi)
{
    const PxReal above = lo > value ? lo : value;
    return above > hi ? hi : above;
}

// The bounds row r has now: a friction row's follow its normal row's impulse.
inline void boundsOf(const SweepRow &r, const PxReal *x, PxReal &lo, PxReal &hi)
{
    if (r.J[kNormal][kW] < 0.0f) {
        lo = r.MJ[kLo][kW];
        hi = r.MJ[kHi][kW];
        return;
    }
    hi = r.MJ[kHi][kW] * fabs(x[normalOf(r)]);
    lo = -hi;
}

} // namespace lcs

#endif
