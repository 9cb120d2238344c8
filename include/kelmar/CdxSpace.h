/* Collision spaces: the models a simulation tests against each other, and
 * the broad phase that finds the pairs whose world boxes overlap.
 *
 * A space sorts the end points of every model's world box along each
 * enabled axis and keeps, per pair of models, the number of axes on which
 * their intervals overlap. A pair whose boxes overlap on every enabled axis
 * (boxes that only touch do not) is "nearby" and has a CdxModelPair record.
 * Every update reports the changes as transitions:
 *   hello    pairs that began overlapping,
 *   staying  pairs that go on overlapping,
 *   goodbye  pairs that stopped overlapping, were disabled or lost a model.
 *
 * Update bracket. Moves happen between CdxSpaceBeginChanges and
 * CdxSpaceEndChanges; the lists are read after EndChanges:
 *
 *   CdxSpaceBeginChanges(space);   releases last update's goodbye pairs and
 *                                  turns last update's hello pairs into
 *                                  staying ones
 *   CdxSpaceUpdateAll(space);      (and inserts, removals, freezes, ...)
 *   CdxSpaceEndChanges(space);
 *   CdxSpacePairIteratorBegin(space, &it);
 *   do { reset container; more = CdxSpaceGetPairs(space, &it, container);
 *        handle goodbye, hello and staying sections } while (more);
 *
 * A new space is already inside a bracket. A pair record stays valid from
 * its hello until the BeginChanges after its goodbye. The reader may
 * remove models and enable or disable pairs while it reads: the reading
 * goes on with the pairs still listed, and the changes are reported at the
 * next update. */
#ifndef KELMAR_CDXSPACE_H
#define KELMAR_CDXSPACE_H

#include "CdxTypes.h"
#include "CdxModelPairContainer.h"

PX_EXTERN_C_BEGIN

/* Axes a space sorts on (a mask of these). */
enum { CdxXAxis = 1, CdxYAxis = 2, CdxZAxis = 4, CdxAllAxes = 7 };

/* World box of a model (lengths), covering its motion over the next time
 * units when the function looks ahead; returns 0 when the model has no box
 * (the space then keeps the model's previous box). */
typedef int (*CdxSpaceAABBFn)(CdxModelID model, PxVector3 min, PxVector3 max, PxReal time);

/* Walks the models of a space in id order. */
typedef struct CdxSpaceModelIterator {
    int slot;  /* next id to look at */
    int found; /* models returned so far */
} CdxSpaceModelIterator;

/* Resumable position in the hello, staying and goodbye lists (and in the
 * staying pairs of two frozen models, which the space keeps apart). */
typedef struct CdxSpacePairIterator {
    void *helloNext;
    void *stayingNext;
    void *goodbyeNext;
    void *frozenNext;
} CdxSpacePairIterator;

/* ---- Creation ---- */

/* A sort-and-sweep space on the axes of axisMask (1..7) for at most
 * maxModels models (1..65536) and maxPairs simultaneous pair records
 * (>= 1). All storage is taken here (including maxModels^2/4 bytes of pair
 * status), nothing grows later. Null for bad parameters or no memory. */
CdxSpaceID CdxSpaceAxisSortCreate(int axisMask, int maxModels, int maxPairs);
/* Frees the space; its models leave it (space null, id -1). */
void CdxSpaceDestroy(CdxSpaceID space);
/* Nothing to build: the sort is always current. */
void CdxSpaceBuild(CdxSpaceID space);

/* ---- Update bracket ---- */
int CdxSpaceIsChanging(CdxSpaceID space);
void CdxSpaceBeginChanges(CdxSpaceID space);
void CdxSpaceEndChanges(CdxSpaceID space);

/* ---- Models ---- */

/* 1 when the model is now in the space (also when it was already), 0 when
 * it is in another space or an argument is null. The model starts dynamic
 * and enters the sort at its first update. No free id: fatal error 25. */
int CdxSpaceInsertModel(CdxSpaceID space, CdxModelID model);
/* Takes the model out of its space; its pairs become goodbye pairs at the
 * next EndChanges (hellos not yet reported are dropped). 0 when the model
 * is in no space. */
int CdxSpaceRemoveModel(CdxModelID model);
/* Re-sorts one model from its current box (nothing for a frozen model).
 * Inside a bracket only: outside, warning 38 and 0. */
int CdxSpaceUpdateModel(CdxModelID model);
/* Re-sorts every dynamic model in id order; 0 outside a bracket (warning
 * 38) or without a box function. */
int CdxSpaceUpdateAll(CdxSpaceID space);
/* As CdxSpaceUpdateAll with boxes swept over the next time units
 * (CdxModelGetPathAABB), so that fast models pair before they meet. */
int CdxSpacePathUpdateAll(CdxSpaceID space, PxReal time);
/* A frozen model is not updated: it keeps the box of its last update (a
 * model frozen before its first update has no box yet), and two frozen
 * models neither begin nor end a pair; their staying pairs are left out of
 * CdxSpaceGetPairs. */
void CdxSpaceFreezeModel(CdxModelID model);
void CdxSpaceUnfreezeModel(CdxModelID model);
int CdxSpaceModelIsFrozen(CdxModelID model); /* 0 for a model in no space */

/* Number of models and walking them in id order. */
int CdxSpaceGetModelCount(CdxSpaceID space);
void CdxSpaceModelIteratorBegin(CdxSpaceID space, CdxSpaceModelIterator *iterator);
/* Next model into *model and 1, or 0 when all were returned. */
int CdxSpaceGetModel(CdxSpaceID space, CdxSpaceModelIterator *iterator, CdxModelID *model);

/* ---- Pairs ---- */

/* Pair filtering by model: a disabled pair never begins. A change made
 * inside a bracket is read after its EndChanges; one made outside (while
 * the lists are read) joins the next update: a nearby pair that is
 * disabled says goodbye then, one that is enabled says hello, and a change
 * undone before then is no change. Model 1 of a pair begun by enabling is
 * the first model named. 0 for the same model twice, models not in one
 * space, or no free pair record (fatal error 24). */
int CdxSpaceEnablePair(CdxModelID model1, CdxModelID model2);
int CdxSpaceDisablePair(CdxModelID model1, CdxModelID model2);
int CdxSpacePairIsEnabled(CdxModelID model1, CdxModelID model2);
/* 1 when the two boxes overlap on every axis of the space. */
int CdxSpacePairIsNearby(CdxModelID model1, CdxModelID model2);
/* The pair record of two models, null when they have none. */
CdxModelPair *CdxSpaceGetModelPair(CdxModelID model1, CdxModelID model2);

/* ---- Settings ---- */

/* Box function used by updates (null stops updates);
 * CdxModelGetAABB_PathCompatible at creation. */
void CdxSpaceSetAABBFn(CdxSpaceID space, CdxSpaceAABBFn fn);
void CdxSpaceSetUserData(CdxSpaceID space, void *data);
void *CdxSpaceGetUserData(CdxSpaceID space);

/* ---- Reading the transitions ---- */

void CdxSpacePairIteratorBegin(CdxSpaceID space, CdxSpacePairIterator *iterator);
/* Appends goodbye, staying and hello pairs to the container's sections.
 * Staying pairs of two frozen models are left out, or, with
 * ...IncludingFrozen, put in the frozen section. Returns 1 when a section
 * filled up before its list was exhausted: handle the container, reset
 * it and call again with the same iterator. */
int CdxSpaceGetPairs(CdxSpaceID space, CdxSpacePairIterator *iterator, CdxModelPairContainer *container);
int CdxSpaceGetPairsIncludingFrozen(CdxSpaceID space, CdxSpacePairIterator *iterator,
                                    CdxModelPairContainer *container);
/* Hello and goodbye pairs only, at most one goodbye per call; returns 1
 * while either list has pairs left: call until it returns 0. */
int CdxSpaceGetTransitions(CdxSpaceID space, CdxSpacePairIterator *iterator, CdxModelPairContainer *container);

/* ---- Line-segment queries (p0 to p1, world) through the per-type
 * line-segment functions; models of types without one are skipped. ---- */

/* Every hit, up to capacity, in model id order; returns the number written. */
int CdxSpaceGetLineSegIntersections(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1,
                                    CdxLineSegResult *results, int capacity);
/* The hit nearest to p0; 1 when there is one. */
int CdxSpaceGetLineSegFirstIntersection(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1,
                                        CdxLineSegResult *result);
/* As above among the models (and composite elements) the filter accepts. */
int CdxSpaceGetLineSegFirstEnabledIntersection(CdxSpaceID space, const PxVector3 p0, const PxVector3 p1,
                                               CdxModelFilterFn filter, void *filterData, CdxLineSegResult *result);

/* ---- How the space's pairs start ---- */

/* The request new pairs of the space point at; null (the start) for the
 * library's own default. The caller keeps the request alive. */
void CdxSpaceSetDefaultRequestPtr(CdxSpaceID space, CdxRequest *request);
/* The space's default request, or the library's (also for a null space). */
CdxRequest *CdxSpaceGetDefaultRequestPtr(CdxSpaceID space);
/* Called by CdxHello, with data, for every pair whose models are in the
 * space, before the pair's functions are looked up (e.g. to pick a
 * request); null for none (the start). */
void CdxSpaceSetHelloCallback(CdxSpaceID space, CdxHelloCallback fn, void *data);
CdxHelloCallback CdxSpaceGetHelloCallback(CdxSpaceID space, void **data);
/* Gives the space a request table (or none, for null): the space owns it
 * from then on and destroys it with itself or when it gets another, and
 * its pairs start with the table's requests (CdxuHelloRequestTableCB
 * becomes the space's hello callback, cleared again with null). */
void CdxSpaceSetRequestTable(CdxSpaceID space, struct CdxuRequestTable *table);
struct CdxuRequestTable *CdxSpaceGetRequestTable(CdxSpaceID space);

PX_EXTERN_C_END

#endif
