// The per-body preparation that turns a step's damping, gravity and
// pending impulses into external force before a partition is solved.
#include "world/RbdInternal.h"

void RbdBodyPrepareForStep(RbdBody *body, PxReal h, const PxVector3 gravity)
{
    RbdLcsBody *lcs = &body->lcs;
    if (body->constraints)
        lcs->flags |= RBD_LCS_BODY_CONSTRAINED;
    else
        lcs->flags &= ~RBD_LCS_BODY_CONSTRAINED;
    body->enabledTime++;
    // torque += -angularDamping w ; force += -linearDamping v + m g
    PxV3AddScaled(lcs->torque, lcs->torque, lcs->angularVelocity, -body->angularVelocityDamping);
    PxV3AddScaled(lcs->force, lcs->force, lcs->linearVelocity, -body->linearVelocityDamping);
    PxV3AddScaled(lcs->force, lcs->force, gravity, lcs->mass);
    if (body->impulsePending && h > 0.0) {
        // An impulse J delivered over one step is the force J / h.
        PxV3AddScaled(lcs->force, lcs->force, body->linearImpulse, 1.0 / h);
        PxV3AddScaled(lcs->torque, lcs->torque, body->angularImpulse, 1.0 / h);
        PxV3Zero(body->linearImpulse);
        PxV3Zero(body->angularImpulse);
        body->impulsePending = 0;
    }
}
