/* Pair dispatch: hello, intersect, goodbye, safe time, distance. */
#ifndef KELMAR_CDXINTERACTIONS_H
#define KELMAR_CDXINTERACTIONS_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Starts a pair: runs the hello callback, copies the intersect, safe-time
 * and goodbye functions of the pair's types into it, exchanges the models
 * when the entry is swapped, then runs the type pair's hello function.
 * Returns 1 when the pair got an intersect function. */
int CdxHello(CdxModelPair *pair);
/* The same with the given request and without the hello callback. */
int CdxHelloWithRequest(CdxModelPair *pair, CdxRequest *request);
/* Ends a pair: runs its goodbye function, if any. */
void CdxGoodbye(CdxModelPair *pair);

/* Runs the pair's intersect function into result (whose contacts and
 * contactCapacity the caller set; a null array counts as capacity 0).
 * Stores the pair and the touch flag in result; returns 1 when a function
 * exists, else 0 with touch 0 and no contacts. */
int CdxIntersect(CdxModelPair *pair, CdxIntersectResult *result);
/* The same with both models moved time ahead along their velocities
 * (models without velocities stay). */
int CdxIntersectAt(CdxModelPair *pair, CdxIntersectResult *result, PxReal time);

/* With a safe-time function and both models' velocities: runs it and
 * returns 1. Otherwise stores maximumTime and returns whether a function
 * exists. */
int CdxSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);

/* 1 when the two models' world boxes overlap on all three axes (touching
 * boxes count), else 0. */
int CdxNearby(CdxModelPair *pair);

/* lowerThreshold 0, upperThreshold the largest real, absoluteError 0. */
void CdxDistanceRequestInit(CdxDistanceRequest *request);
/* The distance function of the pair's types, else the approximate one with
 * a default request; without either both bounds are the largest real and
 * the return is 0. */
int CdxDistance(CdxModelPair *pair, CdxDistanceResult *result);
/* The approximate-distance function only. */
int CdxApproximateDistance(CdxModelPair *pair, const CdxDistanceRequest *request, CdxDistanceResult *result);

PX_EXTERN_C_END

#endif
