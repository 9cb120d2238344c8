/* Handles, constants and callback types shared by the dynamics library. */
#ifndef KELMAR_RBDTYPES_H
#define KELMAR_RBDTYPES_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

/* Opaque handles: each is the address of a record owned by its world. */
typedef struct RbdWorld *RbdWorldID;
typedef struct RbdBody *RbdBodyID;
typedef struct RbdBaseConstraint *RbdConstraintID;
typedef RbdConstraintID RbdContactID; /* a contact is a constraint of type RBD_TYPE_CONTACT */

/* The largest finite double: an unbounded row force, a hard stop, "no limit". */
#define RBD_REAL_MAX 1.7976931348623157e308

/* Constraint type numbers (the index in the type table). */
enum RbdConstraintType {
    RBD_TYPE_BSJOINT = 0,
    RBD_TYPE_HINGE = 1,
    RBD_TYPE_PRISMATIC = 2,
    RBD_TYPE_CARWHEEL = 3,
    RBD_TYPE_CONTACT = 4,
    RBD_TYPE_FIXEDPATH = 5,
    RBD_TYPE_RPROJOINT = 6,
    RBD_TYPE_UNIVERSAL = 7,
    RBD_TYPE_LINEAR1 = 8,
    RBD_TYPE_LINEAR2 = 9,
    RBD_TYPE_ANGULAR3 = 10,
    RBD_TYPE_SPRING = 11,
    RBD_TYPE_CONELIMIT = 12,
    RBD_TYPE_GEARRATIO = 13, /* named only: no creator */
    RBD_TYPE_USER = 14,      /* named only: no creator */
    RBD_TYPE_COUNT = 15
};

/* Called after a body joins (enabled) or leaves (disabled) the enabled list. */
typedef void (*RbdBodyCallback)(RbdBodyID body);
/* Visitor of RbdWorldForAllConstraints and RbdBodyForAllConstraints. */
typedef void (*RbdConstraintFunction)(RbdConstraintID constraint, void *arg);

PX_EXTERN_C_END

#endif
