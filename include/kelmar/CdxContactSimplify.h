/* Contact reduction: a set of candidate contacts sharing one normal becomes
 * at most the requested number of contacts that keep the deepest point and
 * the largest spread of the contact area. */
#ifndef KELMAR_CDXCONTACTSIMPLIFY_H
#define KELMAR_CDXCONTACTSIMPLIFY_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Writes at most maxOut of the candidateCount candidates to out (whole
 * copies, never new points) and returns how many. normal is the pair's
 * normal (unit, 3 reals); the spread is measured in the plane across it.
 * The candidates array is reordered (the deepest moves to the front).
 * option nonzero (a request's requestOption) prefers contacts on faces:
 * the deepest is sought among contacts on a face of model 1 first, and
 * face contacts are written first. */
int CdxContactSimplify(const PxVector3 normal, CdxContact *candidates, int candidateCount, CdxContact *out,
                       int maxOut, int option);

/* Reduces into result: budget = min(result capacity, contactMaxCount of the
 * pair's request, or of defaultRequest when the result has no pair or the
 * pair no request); sets the contact count and copies normal into the
 * result. Returns the count. */
int CdxContactSimplifyBufferToResult(const PxVector3 normal, CdxContact *candidates, int count,
                                     CdxIntersectResult *result, const CdxRequest *defaultRequest);

PX_EXTERN_C_END

#endif
