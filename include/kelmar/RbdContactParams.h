/* Contact parameters: friction type and model, restitution, softness,
 * adhesion, slip and slide of one dynamic contact. */
#ifndef KELMAR_RBDCONTACTPARAMS_H
#define KELMAR_RBDCONTACTPARAMS_H

#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

/* Bits of RbdContactParams.options: a value is used only when its bit is set. */
enum RbdContactOption {
    RBD_CONTACT_DIRECTION = 1,
    RBD_CONTACT_RESTITUTION = 2,
    RBD_CONTACT_SOFTNESS = 4,
    RBD_CONTACT_ADHESION = 8,
    RBD_CONTACT_PRIMARY_SLIP = 16,
    RBD_CONTACT_SECONDARY_SLIP = 32,
    RBD_CONTACT_PRIMARY_SLIDE = 64,
    RBD_CONTACT_SECONDARY_SLIDE = 128,
    RBD_CONTACT_SPIN_FRICTION = 256
};

typedef struct RbdContactParams {
    int32_t type;                 /* 0 frictionless, 1 one direction, 2 two directions */
    int32_t primaryFrictionModel; /* 0 box, 1 proportional to the normal force */
    int32_t secondaryFrictionModel;
    int32_t options; /* RbdContactOption bits */
    PxReal restitution;
    PxReal restitutionThreshold; /* approach speed below which nothing bounces (m/s) */
    PxReal softness;
    PxReal maxAdhesiveForce; /* N */
    PxReal primaryFriction;  /* box bound (N) */
    PxReal primarySlip;
    PxReal secondaryFriction;
    PxReal secondarySlip;
    PxReal primarySlide; /* target sliding velocity (m/s) */
    PxReal secondarySlide;
    PxReal primaryFrictionCoefficient;
    PxReal secondaryFrictionCoefficient;
    PxReal spinFriction; /* m: torque about the normal bounded by this times the normal force */
} RbdContactParams;

PX_EXTERN_C_END

#endif
