/* Dispatch over a whole pair container. */
#ifndef KELMAR_CDXEACH_H
#define KELMAR_CDXEACH_H

#include "CdxModelPairContainer.h"

PX_EXTERN_C_BEGIN

/* CdxHello on every hello pair, in array order. */
void CdxHelloEach(CdxModelPairContainer *container);
/* CdxGoodbye on every goodbye pair, in array order. */
void CdxGoodbyeEach(CdxModelPairContainer *container);

/* Intersects staying pairs (from the top), then hello pairs, writing one
 * result per pair to results[0..] and its contacts consecutively into
 * contactBuffer. Before each pair the buffer must still hold that pair's
 * request contactMaxCount contacts. Stops when it does not, or when
 * resultCapacity results are written, and returns 1 with the iterator at
 * the next pair to visit; returns 0 when every pair is done. resultCount
 * and contactsUsed receive what this call wrote. */
int CdxIntersectEach(CdxModelPairContainer *container, CdxModelPairContainerIterator *iterator,
                     CdxIntersectResult *results, int resultCapacity, int *resultCount, CdxContact *contactBuffer,
                     int contactCapacity, int *contactsUsed);

PX_EXTERN_C_END

#endif
