/* Handles, records and function types shared by every part of the collision
 * library: geometries, models, model pairs, requests, intersection results
 * and contacts, the interaction record and the distance, safe-time and
 * line-segment results.
 *
 * Conventions: lengths in the caller's unit; transforms are PxMatrix4 TMs
 * (rows 0..2 the local axes in the world, row 3 the origin); a six-real box
 * ("bounds") is x-min, x-max, y-min, y-max, z-min, z-max; contact normals
 * point from model 2 towards model 1; a negative separation is a
 * penetration depth. */
#ifndef KELMAR_CDXTYPES_H
#define KELMAR_CDXTYPES_H

#include "PxTypes.h"

PX_EXTERN_C_BEGIN

/* Opaque handles: each is the address of a record owned by the library. */
typedef struct CdxGeometry *CdxGeometryID;
typedef struct CdxModel *CdxModelID;
typedef struct CdxSpace *CdxSpaceID;

/* Registered geometry type number, handed out 0, 1, 2, ...; -1 = none. */
typedef int16_t CdxGeometryTypeID;

/* Feature dimension codes of CdxContact.dims, one per byte:
 * low byte model 1, high byte model 2. */
enum {
    CdxDimVertex = 0,
    CdxDimEdge = 1,
    CdxDimFace = 2,
    CdxDimCurved = 3 /* point on a curved surface */
};

/* One contact point. */
typedef struct CdxContact {
    PxVector3 position; /* world */
    PxVector3 normal;   /* world, unit, from model 2 towards model 1 */
    PxReal separation;  /* negative when penetrating */
    uint16_t dims;      /* feature dimensions: low byte model 1, high byte model 2 */
    intptr_t element1;  /* sub-element of model 1 (triangle index, or the
                            CdxModelID of a composite's element), else 0 */
    intptr_t element2;  /* the same for model 2 */
} CdxContact;

/* What a pair may report. */
typedef struct CdxRequest {
    int contactMaxCount; /* largest number of contacts the pair may report */
    int requestOption;   /* handed unchanged to contact reduction (nonzero:
                            prefer contacts on faces) */
} CdxRequest;

struct CdxModelPair;
struct CdxIntersectResult;
struct CdxSafeTimeResult;
struct CdxDistanceRequest;
struct CdxDistanceResult;
struct CdxLineSegResult;

/* Pair functions. Each sees the models in the order it was registered for. */
typedef void (*CdxHelloFn)(struct CdxModelPair *pair);
typedef void (*CdxGoodbyeFn)(struct CdxModelPair *pair);
/* Fills result (contacts, contactCount, normal); returns touch (nonzero
 * when the models touch within the summed contact tolerances). */
typedef int (*CdxIntersectFn)(struct CdxModelPair *pair, struct CdxIntersectResult *result);
/* Earliest time of impact within maximumTime (time units of the caller's
 * velocities); returns nonzero when an impact time was found. */
typedef int (*CdxSafeTimeFn)(struct CdxModelPair *pair, PxReal maximumTime, struct CdxSafeTimeResult *result);
typedef int (*CdxDistanceFn)(struct CdxModelPair *pair, struct CdxDistanceResult *result);
typedef int (*CdxApproximateDistanceFn)(struct CdxModelPair *pair, const struct CdxDistanceRequest *request,
                                        struct CdxDistanceResult *result);

/* The six pair functions of one ordered type pair, in table order. */
typedef struct CdxInteractions {
    CdxHelloFn helloFn;
    CdxGoodbyeFn goodbyeFn;
    CdxIntersectFn intersectFn;
    CdxSafeTimeFn safeTimeFn;
    CdxDistanceFn distanceFn;
    CdxApproximateDistanceFn approximateDistanceFn;
} CdxInteractions;

/* Run-time choice of the interactions of a pair; may change *swapped. */
typedef CdxInteractions *(*CdxGetInteractionsFn)(struct CdxModelPair *pair, int *swapped);

/* Called by CdxHello before the pair is looked up (e.g. to pick a request). */
typedef void (*CdxHelloCallback)(struct CdxModelPair *pair, void *data);

/* Refreshes a model's transform before anything reads it. */
typedef void (*CdxModelUpdateFn)(CdxModelID model);

/* Two models that may touch. Allocate with CdxModelPairCreate or embed and
 * reset with CdxModelPairReset. */
typedef struct CdxModelPair {
    CdxModelID model1; /* after hello: the order the pair functions expect */
    CdxModelID model2;
    CdxRequest *request; /* the current default request at creation */
    void *userData;
    void *reserved;
    CdxIntersectFn intersectFn; /* copied from the interaction table by hello */
    CdxSafeTimeFn safeTimeFn;
    CdxGoodbyeFn goodbyeFn;
    void *responseData; /* owned by the simulation bridge */
    int flags;          /* CdxModelPairWasIntersecting */
} CdxModelPair;

enum { CdxModelPairWasIntersecting = 1 };

/* Output of an intersection test. The caller owns the record and the
 * contact array and sets contacts and contactCapacity before the call. */
typedef struct CdxIntersectResult {
    CdxModelPair *pair;   /* set by the dispatcher */
    CdxContact *contacts; /* caller-owned array of contactCapacity entries */
    int contactCapacity;
    int contactCount; /* contacts written */
    int touch;        /* nonzero when the models touch within tolerance */
    PxVector3 normal; /* representative normal, from model 2 towards model 1 */
    void *reserved;
} CdxIntersectResult;

typedef struct CdxSafeTimeResult {
    CdxModelPair *pair;
    PxReal safeTime; /* time units of the models' velocities */
} CdxSafeTimeResult;

/* Limits for approximate distance functions: a function may stop refining
 * once the upper bound is below lowerThreshold (certainly closer), once the
 * lower bound is above upperThreshold (certainly farther) or once the gap
 * between the bounds is at most absoluteError. */
typedef struct CdxDistanceRequest {
    PxReal lowerThreshold;
    PxReal upperThreshold;
    PxReal absoluteError;
} CdxDistanceRequest;

typedef struct CdxDistanceResult {
    CdxModelPair *pair;
    PxReal lowerBound; /* distance >= lowerBound */
    PxReal upperBound; /* distance <= upperBound */
    intptr_t element1; /* sub-element of model 1 that gave the bounds, else 0 */
    intptr_t element2; /* the same for model 2 */
} CdxDistanceResult;

/* Hit of a line segment p0..p1 with a model. */
typedef struct CdxLineSegResult {
    CdxModelID model;
    PxVector3 point;    /* world */
    PxVector3 normal;   /* world surface normal at the hit */
    PxReal distance;    /* from p0 along the segment */
    CdxModelID element; /* composite element hit, else null */
    int face;           /* box face hit: 0..2 the +x, +y, +z faces, 3..5 the
                           -x, -y, -z faces; -1 for other shapes */
} CdxLineSegResult;

/* Returns 1 on a hit and fills result's point, normal and distance. */
typedef int (*CdxLineSegIntersectFn)(CdxModelID model, const PxVector3 p0, const PxVector3 p1,
                                     CdxLineSegResult *result);
/* Model filter of ray queries: nonzero keeps the model. */
typedef int (*CdxModelFilterFn)(CdxModelID model, void *data);

PX_EXTERN_C_END

#endif
