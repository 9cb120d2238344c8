// Friction bounds that follow normal rows, taken from the last step so
// that a resting island is solved once a step.
#ifndef KELMAR_DYNAMICS_RBDLCSFRICTIONBOUNDS_H
#define KELMAR_DYNAMICS_RBDLCSFRICTIONBOUNDS_H

#include <kelmar/PxTypes.h>
#include "solver/RbdLcsBaseFunctions.h"
#include "solver/RbdLcsSolver.h"

struct RbdBaseConstraint;

namespace lcs {

struct Tolerances;

// Whether every constraint of the island is a contact (records: its
// constraint records in row-list order; null: none, so no).
int contactsOnly(const PartitionRows &rows, RbdBaseConstraint *const *records);

// Sets the bounds of every friction row that follows its contact's normal
// row to +-|mu h f_n|, with f_n the normal force the contact's record kept
// from the last step (impulses, as the solve reads them). A contact with no
// such force (new, or pushing nothing) keeps [0, 0], and so does every
// contact of an island with joints. Returns the rows whose bounds are now
// open.
// records: the island's constraint records in row-list order (null: none);
// contacts: what contactsOnly found for them, which the caller knows already.
int frictionBoundsFromLastStep(PartitionRows &rows, RbdBaseConstraint *const *records, PxReal h, int contacts);

// Whether the solution in rows.lambda also solves the box LCP whose
// friction bounds are +-|mu lambda_n| from its own normal rows, to within
// t_i + |mu| t_n (t the rows' impulse tolerances: lambda_n itself is known
// to within t_n): a free friction row must lie inside its new bounds; a
// row held at a bound (or fixed at 0) needs a new bound that close to the
// one it was held at.
int frictionBoundsHold(const LcpRows &rows, const Tolerances &tolerances);

// Whether some friction row that follows a normal row has open bounds.
int frictionBoundsOpen(const LcpRows &rows);

// Sets the bounds of every friction row that follows a normal row back to
// [0, 0], its state free.
void closeFrictionBounds(LcpRows &rows);

} // namespace lcs

#endif
