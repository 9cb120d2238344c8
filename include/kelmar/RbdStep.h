/* The world step: islands, auto-disable, and one solve per island. */
#ifndef KELMAR_RBDSTEP_H
#define KELMAR_RBDSTEP_H

#include "RbdTypes.h"

PX_EXTERN_C_BEGIN

/* Advances every enabled body of the world by stepSize seconds (> 0):
 * grows the capacities to the current counts, splits the enabled bodies
 * into islands of jointed and touching bodies (waking sleeping bodies
 * constrained to awake ones), puts resting islands to sleep when
 * auto-disable is on, solves and integrates each island, then zeroes the
 * forces and torques of every enabled body. In safe-time mode an island's
 * step is shortened to its bodies' smallest safe time. Contacts are not
 * made here: they are created, updated and destroyed between steps. */
void RbdWorldStep(RbdWorldID world, PxReal stepSize);
/* RbdWorldStep with the world's current time step. */
void RbdWorldStepOne(RbdWorldID world);
/* Zeroes the force and torque accumulators of every body of the world. */
void RbdWorldResetForces(RbdWorldID world);

PX_EXTERN_C_END

#endif
