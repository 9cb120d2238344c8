// The contact type's record functions and row builder, shared by the
// contact files and the tests.
#ifndef KELMAR_DYNAMICS_RBDCONTACTROWS_H
#define KELMAR_DYNAMICS_RBDCONTACTROWS_H

#include "world/RbdInternal.h"

// Rows of one contact: the normal row, then one friction row per friction
// direction (type 1: one, type 2: two), then the spin friction row when its
// option is set. A contact whose bodies are both
// immovable (the world or frozen) adds no rows.
void RbdBclAddContact(RbdLcsConstraints *list, RbdBaseConstraint *c, const RbdBclParameters *parameters);

// Under auto-disable: a contact whose body sleeps under the load it held
// when it fell asleep (RbdContactKeptSleepForce) gets no depth correction
// on its normal row, `row`, while that body sleeps. RbdBclEndConstraint
// calls it for a constraint with a body outside the island being built.
void RbdContactRestOnSleeper(RbdLcsConstraints *list, const RbdBaseConstraint *c, int32_t row);

// The friction directions of a contact of type 1 or 2 (unit vectors,
// perpendicular to the normal and, for type 2, to each other). Returns the
// number of directions written: 0, 1 or 2.
int RbdContactFrictionDirections(const RbdContactData *contact, PxVector3 t1, PxVector3 t2);

#endif
