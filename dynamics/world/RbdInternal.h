// Every record of the dynamics library, for the library's own files (the
// step and the solver included).
#ifndef KELMAR_DYNAMICS_RBDINTERNAL_H
#define KELMAR_DYNAMICS_RBDINTERNAL_H

#include <cmath>
#include <kelmar/Px.h>
#include <kelmar/Rbd.h>
#include "solver/RbdLcsTypes.h"
#include "world/RbdBodyRecord.h"
#include "joints/RbdConstraintRecord.h"
#include "solver/RbdBcl.h"
#include "world/RbdWorldRecord.h"

// Handle checks at the library's entry points: false for a null handle
// (silently: operations on null handles do nothing) and for a destroyed
// record (with a warning naming the function). The bridge calls several
// entry points per contact and step, so the passing case is inline and only
// the warnings are out of line.
bool RbdCheckWorld(const RbdWorld *world);
// The warnings behind the checks below; each returns false.
bool RbdWarnDestroyedBody(const char *function);
bool RbdWarnDestroyedConstraint(const char *function);
bool RbdWarnBodyIndex(int32_t index, const char *function);
bool RbdWarnNotFinite3(PxReal x, PxReal y, PxReal z, const char *function);
bool RbdWarnConstraintType(const RbdBaseConstraint *constraint, int32_t typeId, const char *function);

inline bool RbdCheckBody(const RbdBody *body, const char *function)
{
    if (!body) return false;
    return body->typeTag == RBD_BODY_TAG || RbdWarnDestroyedBody(function);
}

inline bool RbdCheckConstraint(const RbdBaseConstraint *constraint, const char *function)
{
    if (!constraint) return false;
    const bool alive = constraint->typeId >= 0 && constraint->typeId < RBD_TYPE_COUNT;
    return alive || RbdWarnDestroyedConstraint(function);
}

// Notes an edit that can change the islands (RbdWorld::islandEdits); a
// body or constraint of no world changes none.
inline void RbdNoteIslandEdit(RbdWorld *world)
{
    if (world) world->islandEdits++;
}

// False, with a warning, unless index is 0 or 1.
inline bool RbdCheckBodyIndex(int32_t index, const char *function)
{
    return index == 0 || index == 1 || RbdWarnBodyIndex(index, function);
}

// Both of the above: a live constraint and a body index of 0 or 1.
inline bool RbdCheckConstraintBody(const RbdBaseConstraint *constraint, int32_t index, const char *function)
{
    return RbdCheckConstraint(constraint, function) && RbdCheckBodyIndex(index, function);
}

// Whether the constraint is alive and of the given type (warns otherwise).
inline int RbdConstraintCheckType(const RbdBaseConstraint *constraint, int32_t typeId, const char *function)
{
    if (!RbdCheckConstraint(constraint, function)) return 0;
    return constraint->typeId == typeId || RbdWarnConstraintType(constraint, typeId, function);
}

// False, with a warning, for a value below 0 (or not a number).
bool RbdCheckNonNegative(PxReal value, const char *function);
// The same, and also for an infinite value.
bool RbdCheckFiniteNonNegative(PxReal value, const char *function);
// False, with a warning, for a mass outside RBD_MASS_MIN .. RBD_MASS_MAX.
bool RbdCheckMass(PxReal mass, const char *function);

// False, with a warning, unless all three components are finite.
inline bool RbdCheckFinite3(PxReal x, PxReal y, PxReal z, const char *function)
{
    return (std::isfinite(x) && std::isfinite(y) && std::isfinite(z)) || RbdWarnNotFinite3(x, y, z, function);
}

// The standard perpendicular of a unit vector u, from its two largest
// components: (u_z, 0, -u_x) or (0, -u_z, u_y), normalised. A contact
// without a friction direction takes it as its first tangent, an attachment
// frame without a secondary axis as that axis.
inline void RbdStandardPerpendicular(const PxVector3 u, PxVector3 out)
{
    if (std::fabs(u[0]) > std::fabs(u[1])) {
        const PxReal norm = std::sqrt(u[0] * u[0] + u[2] * u[2]);
        PxV3Set(out, u[2] / norm, 0.0, -u[0] / norm);
    } else {
        const PxReal norm = std::sqrt(u[1] * u[1] + u[2] * u[2]);
        PxV3Set(out, 0.0, -u[2] / norm, u[1] / norm);
    }
}

const PxReal RBD_PI = 3.14159265358979323846;

#endif
