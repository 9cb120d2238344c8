/* The interaction table: for every ordered pair of geometry types the pair
 * functions that test it, and per type the line-segment function used by
 * ray queries.
 *
 * Registering (A, B) also fills (B, A) with the same functions marked
 * swapped; CdxHello then exchanges the models of a (B, A) pair so that the
 * functions always see an A as model 1. */
#ifndef KELMAR_CDXINTERACTIONTABLE_H
#define KELMAR_CDXINTERACTIONTABLE_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* One entry; the entry of model-1 type a and model-2 type b is at
 * a + b x N for the type capacity N. */
typedef struct CdxInteractionTableElement {
    int swapped; /* 1: functions registered for (b, a) */
    CdxInteractions interactions;
    CdxGetInteractionsFn getInteractionsFn; /* when set, replaces interactions */
} CdxInteractionTableElement;

void CdxInteractionsInit(CdxInteractions *interactions); /* all six null */
void CdxInteractionsCopy(const CdxInteractions *from, CdxInteractions *to);

/* Writes (typeA, typeB) unswapped and, for typeA != typeB, (typeB, typeA)
 * swapped. Returns 0 and writes nothing when a type is not registered
 * (warning 34) or interactions is null. */
int CdxInteractionTableSetElement(CdxGeometryTypeID typeA, CdxGeometryTypeID typeB,
                                  const CdxInteractions *interactions, CdxGetInteractionsFn getInteractionsFn);
/* The entry itself, for replacing a function in place; null when a type
 * number is outside the capacity. */
CdxInteractionTableElement *CdxInteractionTableGetElementPtr(CdxGeometryTypeID typeA, CdxGeometryTypeID typeB);
/* Set the distance (slot 4) or approximate-distance (slot 5) function of
 * (a, b) and, for a != b, of (b, a). 0 for an unregistered type. */
int CdxInteractionTableRegisterDistanceFn(CdxGeometryTypeID a, CdxGeometryTypeID b, CdxDistanceFn fn);
int CdxInteractionTableRegisterApproximateDistanceFn(CdxGeometryTypeID a, CdxGeometryTypeID b,
                                                     CdxApproximateDistanceFn fn);
/* The interactions of the pair's current model order; *swapped tells
 * whether they were registered for the opposite order. A pair with a
 * missing model or geometry gets an all-null record. */
CdxInteractions *CdxInteractionTableGetInteractions(CdxModelPair *pair, int *swapped);

/* Line-segment function of a type (null when none). */
int CdxLineSegRegisterInteraction(CdxGeometryTypeID type, CdxLineSegIntersectFn fn);
CdxLineSegIntersectFn CdxLineSegGetIntersectFnPtr(CdxGeometryTypeID type);

PX_EXTERN_C_END

#endif
