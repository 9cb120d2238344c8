/* The rigid-body dynamics library: worlds, bodies, constraints, joint types
 * and joint limits. */
#ifndef KELMAR_RBD_H
#define KELMAR_RBD_H

#include "RbdTypes.h"
#include "RbdWorld.h"
#include "RbdBody.h"
#include "RbdConstraint.h"
#include "RbdLimit.h"
#include "RbdContactParams.h"
#include "RbdContact.h"
#include "RbdBSJoint.h"
#include "RbdHinge.h"
#include "RbdPrismatic.h"
#include "RbdCarWheel.h"
#include "RbdFixedPath.h"
#include "RbdRPROJoint.h"
#include "RbdUniversal.h"
#include "RbdLinear.h"
#include "RbdAngular3.h"
#include "RbdSpring.h"
#include "RbdConeLimit.h"
#include "RbdStep.h"

#endif
