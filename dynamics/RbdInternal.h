// Every record of the dynamics library, for the library's own files (the
// step and the solver included).
#ifndef KELMAR_DYNAMICS_RBDINTERNAL_H
#define KELMAR_DYNAMICS_RBDINTERNAL_H

#include <kelmar/Px.h>
#include <kelmar/Rbd.h>
#include "RbdLcsTypes.h"
#include "RbdBodyRecord.h"
#include "RbdConstraintRecord.h"
#include "RbdBcl.h"
#include "RbdWorldRecord.h"

#endif
