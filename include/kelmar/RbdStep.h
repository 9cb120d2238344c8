/* The world step: islands, auto-disable, and one solve per island. */
#ifndef KELMAR_RBDSTEP_H
#define KELMAR_RBDSTEP_H

#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

/* One step as it is handed down from the caller to the islands: its length
 * and whether an island's step is shortened to the smallest safe time of
 * its bodies (the times of impact the simulation bridge estimated for this
 * step). The collision side of a step reads the same record, so both halves
 * agree on it. */
typedef struct RbdStepInfo {
    PxReal h;             /* s, > 0 */
    int32_t safeTimeMode; /* 0 every island takes h; 1 islands shortened */
} RbdStepInfo;

/* Advances every enabled body of the world by stepSize seconds (> 0):
 * grows the capacities to the current counts, splits the enabled bodies
 * into islands of jointed and touching bodies (waking sleeping bodies
 * constrained to awake ones), puts resting islands to sleep when
 * auto-disable is on, solves and integrates each island, then zeroes the
 * forces and torques of every enabled body. In the world's safe-time mode
 * an island's step is shortened to its bodies' smallest safe time; every
 * island is shortened on its own, the others keep the whole step. Contacts
 * are not made here: they are created, updated and destroyed between steps.
 * stepSize becomes the world's time step (RbdWorldStepOne repeats it). */
void RbdWorldStep(RbdWorldID world, PxReal stepSize);
/* RbdWorldStep for step->h in step->safeTimeMode, whatever the world's mode. */
void RbdWorldStepWith(RbdWorldID world, const RbdStepInfo *step);
/* RbdWorldStep with the world's current time step. */
void RbdWorldStepOne(RbdWorldID world);
/* Zeroes the force and torque accumulators of every body of the world. */
void RbdWorldResetForces(RbdWorldID world);

PX_EXTERN_C_END

#endif
