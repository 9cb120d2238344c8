// The LCP tolerance is a fraction, not an impulse. A fixed impulse would mean
// something different in every unit system and for every mass: 0.001 N s
// is 1 % of a 1 kg box's weight over a 0.01 s step in SI, 0.001 % of it in
// the robot layer's centimetres, and ten times a 10 g box's. So the solvers
// measure the tolerance against each row's own scale: the impulse the row
// would take on its own, |q_i| / A_ii (q_i the velocity the row must
// remove, A_ii its inverse effective mass). That impulse scales with the
// masses and with the unit of length exactly as the row's solution does, so
// the same island in metres or centimetres, or made ten times heavier,
// stops at the same point; and a light body's rows are judged by its own
// impulses, not by a heavy neighbour's. A row that has nearly nothing to
// remove (a friction row at rest) is judged against a thousandth of the
// island's largest row scale instead, which keeps its decisions clear of
// rounding. A tolerance t then lets row i's impulse be off by
// t_i = t x that scale, and its velocity residual by t_i x A_ii.
//
// A row's own scale can be far below the impulses it carries. In a chain
// or a hand closing on an object the rows are coupled: a hinge at rest has
// almost nothing to remove yet holds the links beyond it, and the squeeze of
// motors at their force bounds is set by the bounds, not by q. There the
// impulses run to a million times the scales above, and a tolerance drawn from
// those scales alone asks the pivoting for more digits than a factor of such
// an island keeps: its decisions then flip on rounding, it cycles and the
// solve fails, step after step. So no row's tolerance is below the same thousandth
// of the largest impulse the solver's current iterate carries; that too
// scales with the masses and the unit of length as the solution does.
#ifndef KELMAR_DYNAMICS_RBDLCSTOLERANCE_H
#define KELMAR_DYNAMICS_RBDLCSTOLERANCE_H

#include <math.h>
#include <kelmar/PxTypes.h>

namespace lcs {

// The smallest scale a row is judged against, of the island's largest.
const PxReal kRowScaleFloor = 1e-3;

// |q| / A_ii for a row, given 1 / A_ii (0 for a row without mass).
inline PxReal impulseOfRow(PxReal q, PxReal invDiagonal)
{
    PxReal impulse = fabs(q) * invDiagonal;
    return isfinite(impulse) ? impulse : 0.0;
}

// The impulse tolerance of a row whose own scale is `own` in an island whose
// largest row scale is `largest`.
inline PxReal rowTolerance(PxReal tolerance, PxReal own, PxReal largest)
{
    PxReal floor = kRowScaleFloor * largest;
    return tolerance * (own > floor ? own : floor);
}

// largest = max(largest, |x|), a non-finite x left out.
inline void takeLargestImpulse(PxReal &largest, PxReal x)
{
    PxReal impulse = fabs(x);
    if (isfinite(impulse) && impulse > largest) largest = impulse;
}

// The least impulse tolerance of every row while an iterate carries
// impulses up to `largest` (takeLargestImpulse over its rows).
inline PxReal carriedOfLargest(PxReal tolerance, PxReal largest)
{
    return tolerance * kRowScaleFloor * largest;
}

// The least impulse tolerance of every row while an iterate x of n rows
// carries impulses up to max |x_i|.
inline PxReal carriedTolerance(PxReal tolerance, const PxReal *x, int n)
{
    PxReal largest = 0.0;
    for (int i = 0; i < n; ++i) takeLargestImpulse(largest, x[i]);
    return carriedOfLargest(tolerance, largest);
}

} // namespace lcs

#endif
