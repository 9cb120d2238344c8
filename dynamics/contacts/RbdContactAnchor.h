// Static friction held in place: a sticking contact's friction rows pull
// back the creep since it started sticking.
#ifndef KELMAR_DYNAMICS_RBDCONTACTANCHOR_H
#define KELMAR_DYNAMICS_RBDCONTACTANCHOR_H

#include "world/RbdInternal.h"

// Updates the contact's anchor from last step's row forces and its present
// point, and while it holds, sets each friction row's error to the
// separation of the anchor points along that row's direction:
//   phi_d = t_d . (a0 - a1),  a_i the anchor in body i, in world (m).
// first is the contact's normal row, followed by its friction rows along
// t[0 .. directions-1]; h is the step (s).
void RbdContactAnchorFriction(RbdLcsConstraints *list, int32_t first, RbdBaseConstraint *c, const PxVector3 *t,
                              int directions, PxReal h);

#endif
