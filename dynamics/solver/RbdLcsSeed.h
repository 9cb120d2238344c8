// The active set a pivoting solve starts from, seeded from the last step.
#ifndef KELMAR_DYNAMICS_RBDLCSSEED_H
#define KELMAR_DYNAMICS_RBDLCSSEED_H

#include <kelmar/PxTypes.h>
#include "solver/RbdLcsBaseFunctions.h"

struct RbdBaseConstraint;

namespace lcs {

// Sets every row's state: a joint row (a motor, a stop, a lock) whose
// force of the last step, kept in its constraint record, times h sits at
// one of the bounds it has now (impulses, as the solve reads them) starts
// held there; so does a contact's normal row when its last force along the
// new normal is not positive for the second step in a row (held at zero;
// the count is kept in the record), and a contact's box friction row when
// its last force reaches a bound, or when the last solve held it at a bound
// its last force still points to. Every other row starts free.
// Returns the rows held.
// With rhs (the island's right-hand side, q of w = A x - q) a contact
// without force starts held at zero when its normal row's q is not
// positive, whatever its count of idle steps.
// records: the island's constraint records in row-list order (null: none).
// idleCounted: countIdleSteps counted this step's idle contacts already.
// boxRows (when given): receives the count of contacts' box friction rows.
int seedStates(PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h, const PxReal *rhs = nullptr,
               bool idleCounted = false, int *boxRows = nullptr);

// Keeps in each contact's record the side its box friction rows ended at
// in this step's answer (none after a failed solve), for seedStates; an
// island without such rows (seedStates counts them) need not call it.
void keepFrictionSides(const PartitionRows &rows, RbdBaseConstraint *const *records, int solved);

// The count of steps without force of each contact, as seedStates keeps
// it, alone: a step that may not need the seeded states (RbdLcsRestSolve.h)
// still counts, and seeds later only if it does need them.
void countIdleSteps(const PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h);

} // namespace lcs

#endif
