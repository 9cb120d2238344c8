// Every record of the dynamics library, for the library's own files (the
// step and the solver included).
#ifndef KELMAR_DYNAMICS_RBDINTERNAL_H
#define KELMAR_DYNAMICS_RBDINTERNAL_H

#include <kelmar/Px.h>
#include <kelmar/Rbd.h>
#include "solver/RbdLcsTypes.h"
#include "world/RbdBodyRecord.h"
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdBcl.h"
#include "world/RbdWorldRecord.h"

// Handle checks at the library's entry points: false for a null handle
// (silently: operations on null handles do nothing) and for a destroyed
// record (with a warning naming the function).
bool RbdCheckWorld(const RbdWorld *world);
bool RbdCheckBody(const RbdBody *body, const char *function);
bool RbdCheckConstraint(const RbdBaseConstraint *constraint, const char *function);
// False, with a warning, unless index is 0 or 1.
bool RbdCheckBodyIndex(int32_t index, const char *function);
// Both of the above: a live constraint and a body index of 0 or 1.
bool RbdCheckConstraintBody(const RbdBaseConstraint *constraint, int32_t index, const char *function);
// False, with a warning, for a value below 0 (or not a number).
bool RbdCheckNonNegative(PxReal value, const char *function);
// The same, and also for an infinite value.
bool RbdCheckFiniteNonNegative(PxReal value, const char *function);
// False, with a warning, for a mass outside RBD_MASS_MIN .. RBD_MASS_MAX.
bool RbdCheckMass(PxReal mass, const char *function);
// False, with a warning, unless all three components are finite.
bool RbdCheckFinite3(PxReal x, PxReal y, PxReal z, const char *function);

const PxReal RBD_PI = 3.14159265358979323846;

#endif
