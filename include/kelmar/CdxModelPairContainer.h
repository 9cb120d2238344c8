/* The pair container a space fills and the dispatchers read: one array of
 * pair pointers holding four sections,
 *
 *   [0, goodbyeEnd)               goodbye pairs, growing upwards from 0
 *   [helloFirst, helloEnd)        hello pairs, growing downwards from size/2
 *   [helloEnd, stayingEnd)        staying pairs, growing upwards from size/2
 *   [frozenFirst, frozenEnd)      frozen pairs, growing downwards from size
 *
 * so goodbye and hello pairs share the lower half and staying and frozen
 * pairs the upper half. */
#ifndef KELMAR_CDXMODELPAIRCONTAINER_H
#define KELMAR_CDXMODELPAIRCONTAINER_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

typedef struct CdxModelPairContainer {
    CdxModelPair **array; /* size pair pointers */
    int size;
    int goodbyeFirst; /* always 0 */
    int goodbyeEnd;
    int helloFirst;
    int helloEnd; /* always size/2 */
    int stayingEnd;
    int frozenFirst;
    int frozenEnd; /* always size */
} CdxModelPairContainer;

/* Walks the staying pairs from the top, then the hello pairs. */
typedef struct CdxModelPairContainerIterator {
    CdxModelPairContainer *container;
    int next; /* one above the next pair to visit */
} CdxModelPairContainerIterator;

/* A container and its array of size (>= 0) pointers in one allocation;
 * null when memory is short or size is negative. */
CdxModelPairContainer *CdxModelPairContainerCreate(int size);
void CdxModelPairContainerDestroy(CdxModelPairContainer *container);
/* A container over the caller's array of size pointers. */
void CdxModelPairContainerInit(CdxModelPairContainer *container, CdxModelPair **array, int size);
/* Empties all four sections. */
void CdxModelPairContainerReset(CdxModelPairContainer *container);

int CdxModelPairContainerGetGoodbyeCount(const CdxModelPairContainer *container);
int CdxModelPairContainerGetHelloCount(const CdxModelPairContainer *container);
int CdxModelPairContainerGetStayingCount(const CdxModelPairContainer *container);
int CdxModelPairContainerGetFrozenCount(const CdxModelPairContainer *container);
/* First pair of the section and its length through count. */
CdxModelPair **CdxModelPairContainerGetGoodbyeArray(CdxModelPairContainer *container, int *count);
CdxModelPair **CdxModelPairContainerGetHelloArray(CdxModelPairContainer *container, int *count);
CdxModelPair **CdxModelPairContainerGetStayingArray(CdxModelPairContainer *container, int *count);
CdxModelPair **CdxModelPairContainerGetFrozenArray(CdxModelPairContainer *container, int *count);

/* Adding a pair to a section; 0 when the section has no room left (its
 * half of the array is full). */
int CdxModelPairContainerAddGoodbye(CdxModelPairContainer *container, CdxModelPair *pair);
int CdxModelPairContainerAddHello(CdxModelPairContainer *container, CdxModelPair *pair);
int CdxModelPairContainerAddStaying(CdxModelPairContainer *container, CdxModelPair *pair);
int CdxModelPairContainerAddFrozen(CdxModelPairContainer *container, CdxModelPair *pair);

/* Starts at the top of the staying section. */
void CdxModelPairContainerIteratorInit(CdxModelPairContainerIterator *iterator, CdxModelPairContainer *container);

PX_EXTERN_C_END

#endif
