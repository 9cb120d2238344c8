// Reading the CONSTRAINTS element of the RBD section.
#ifndef KELMAR_FILEFORMAT_RBDLOADCONSTRAINT_H
#define KELMAR_FILEFORMAT_RBDLOADCONSTRAINT_H

#include "PxFileInternal.h"

// Element function of CONSTRAINTS: one child element per constraint, by type.
int PxfLoadConstraints(PxXMLElement *element);

#endif
