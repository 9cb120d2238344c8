// Heaps of boxes that land are swept, not pivoted, until their bodies have
// kept still for a while. A landing heap's pivoting fails step after
// step while its boxes turn over: each failure runs the pivoting's whole
// iteration budget and then its recovery, which costs many times the
// large-island solver's sweeps that can stand in for it. A heap handed back
// to the pivoting while it still moves pivots as dearly (and fails as
// often) as it did landing, so it goes back only once every body of it has
// been still for kStillStepsBeforePivoting steps; the pivoting then finds it
// at rest and holds it there exactly. A stack built at rest never lands and
// keeps the pivoting throughout. The marks ride on the bodies, as islands
// are formed anew each step.
#ifndef KELMAR_DYNAMICS_RBDLCSSWEPTHEAPS_H
#define KELMAR_DYNAMICS_RBDLCSSWEPTHEAPS_H

#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsTypes.h"

namespace lcs {

// An island is landing while a body moves at least as fast as its load
// would make it in this many steps: 5 g h under gravity alone (0.49 m/s for
// boxes in SI at h = 0.01 s, 24.5 cm/s in centimetres at 0.005 s), so the
// rule means the same in every unit system. A body without a load never
// counts as landing, nor as moving below.
const PxReal kLandingSteps = 5.0;
// Nor is a body landing slower than a fall by this share of its radius of
// gyration (sqrt(2 g r / 40): 0.22 m/s for a 0.2 m cube under gravity): at
// short steps 5 g h is small, and a stack built at rest pushes its overlaps
// out faster than that (0.08 m/s at h = 1e-5 s).
const PxReal kLandingDrop = 1.0 / 40.0;
// Rows from which a landing island of contacts alone is swept from the
// start: two boxes standing on their corners (2 x 4 contacts x 3 rows).
// Smaller ones are swept once their pivoting fails while they land.
const int kLandingHeapRows = 24;
// A swept body keeps still while it moves slower than its load would make
// it in this share of a step: g h / 2 under gravity (4.9 cm/s in SI at
// h = 0.01 s). Slower bars kept rocking towers in the sweeps for good.
const PxReal kStillSteps = 0.5;
// Steps every body of a swept island keeps still before the island goes
// back to the pivoting (a mark counts them down in each body's flags).
const int kStillStepsBeforePivoting = 30;

// After a failed pivoting solve of an island of contacts stepped by h:
// marks its bodies to be swept when one of them is landing (kLandingSteps).
// Returns whether it marked them.
int markSweptSteps(RbdLcsBody *const *bodies, int bodyCount, PxReal h);

// Whether an island stepped by h, with the given rows and constraint
// records, is swept as a heap this step; brings its bodies' marks up to
// date. An island of contacts alone (contactsOnly) is swept from when it
// lands with kLandingHeapRows rows or more and two of its bodies touching
// at several points, or from a mark of markSweptSteps, until each of its
// bodies has kept still for kStillStepsBeforePivoting steps: a body that
// moves sets its count back, so one that joins a swept island moving is
// marked too. An island with other constraints is never swept, and its
// bodies lose their marks.
int sweptHeap(RbdLcsBody *const *bodies, int bodyCount, PxReal h, const PartitionRows &rows,
              RbdBaseConstraint *const *records);

} // namespace lcs

#endif
