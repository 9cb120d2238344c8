// Writing one constraint element of the RBD section.
#ifndef KELMAR_FILEFORMAT_RBDSAVECONSTRAINT_H
#define KELMAR_FILEFORMAT_RBDSAVECONSTRAINT_H

#include "PxFileInternal.h"

// The element of the constraint's type with its common and own children;
// 1 on success (a type without an element is skipped with a warning).
int PxfWriteConstraint(PxSaveContext *context, const PxSaveEntry *entry, PxStream *stream);

#endif
