// Pair dispatch: hello and goodbye, intersection (now and ahead in time),
// safe time, box proximity and distance.
#include "framework/CdxModelRecord.h"
#include "space/CxSpace.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxInteractionTable.h>
#include <kelmar/CdxInteractions.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>

#include <cfloat>
#include <utility>

namespace {

// Below this speed or time the velocity prediction keeps the rotation.
const PxReal kPredictionThreshold = 0.0001;

bool HasModels(const CdxModelPair *pair)
{
    return pair && pair->model1 && pair->model2;
}

// The space the pair's models are in, if any.
const CdxSpace *PairSpace(const CdxModelPair *pair)
{
    if (pair->model1 && pair->model1->space) return pair->model1->space;
    return pair->model2 ? pair->model2->space : nullptr;
}

bool HasVelocities(const CdxModel *model)
{
    return model->linearVelocity && model->angularVelocity;
}

int HelloWithoutCallback(CdxModelPair *pair)
{
    int swapped = 0;
    CdxInteractions *interactions = CdxInteractionTableGetInteractions(pair, &swapped);
    CdxHelloFn hello = interactions->helloFn;
    pair->intersectFn = interactions->intersectFn;
    pair->safeTimeFn = interactions->safeTimeFn;
    pair->goodbyeFn = interactions->goodbyeFn;
    if (swapped) std::swap(pair->model1, pair->model2);
    if (hello) hello(pair);
    return pair->intersectFn != nullptr;
}

void ClearDistance(CdxModelPair *pair, CdxDistanceResult *result)
{
    result->pair = pair;
    result->lowerBound = DBL_MAX;
    result->upperBound = DBL_MAX;
    result->element1 = 0;
    result->element2 = 0;
}

// Runs a distance call with the models in the order its function was
// registered for, and reports the result in the caller's order.
template <typename Call> int InRegisteredOrder(CdxModelPair *pair, int swapped, CdxDistanceResult *result, Call call)
{
    if (!swapped) return call(pair);
    CdxModelPair exchanged = *pair;
    std::swap(exchanged.model1, exchanged.model2);
    int found = call(&exchanged);
    result->pair = pair;
    std::swap(result->element1, result->element2);
    return found;
}

// Points the model at the pose predicted time ahead, kept in storage.
void MoveAhead(CdxModel *model, PxReal time, PxMatrix4 storage)
{
    if (!model->transform) return;
    if (HasVelocities(model))
        PxMatrix4TMUpdateFromVelocities(storage, kPredictionThreshold, time, model->linearVelocity,
                                        model->angularVelocity, *model->transform);
    else
        PxM4Copy(storage, *model->transform);
    model->transform = reinterpret_cast<PxMatrix4 *>(storage);
}

// Back to the caller's transform; composite elements return with it.
void MoveBack(CdxModel *model, PxMatrix4 *transform)
{
    model->transform = transform;
    if (CdxModelIsComposite(model)) CdxModelUpdate(model);
}

} // namespace

extern "C" {

int CdxHello(CdxModelPair *pair)
{
    if (!pair) return 0;
    const CdxSpace *space = PairSpace(pair);
    if (space && space->helloCallback) space->helloCallback(pair, space->helloData);
    return HelloWithoutCallback(pair);
}

int CdxHelloWithRequest(CdxModelPair *pair, CdxRequest *request)
{
    if (!pair) return 0;
    pair->request = request;
    return HelloWithoutCallback(pair);
}

void CdxGoodbye(CdxModelPair *pair)
{
    if (pair && pair->goodbyeFn) pair->goodbyeFn(pair);
}

int CdxIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    if (!result) return 0;
    result->pair = pair;
    if (!result->contacts || result->contactCapacity < 0) result->contactCapacity = 0;
    result->contactCount = 0;
    result->touch = 0;
    if (!HasModels(pair) || !pair->intersectFn) return 0;
    result->touch = pair->intersectFn(pair, result);
    return 1;
}

int CdxIntersectAt(CdxModelPair *pair, CdxIntersectResult *result, PxReal time)
{
    if (!HasModels(pair)) return CdxIntersect(pair, result);
    PxMatrix4 *transform1 = pair->model1->transform;
    PxMatrix4 *transform2 = pair->model2->transform;
    PxMatrix4 ahead1, ahead2;
    MoveAhead(pair->model1, time, ahead1);
    MoveAhead(pair->model2, time, ahead2);
    int found = CdxIntersect(pair, result);
    MoveBack(pair->model1, transform1);
    MoveBack(pair->model2, transform2);
    return found;
}

int CdxSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result)
{
    if (!result) return 0;
    result->pair = pair;
    result->safeTime = maximumTime;
    if (!HasModels(pair) || !pair->safeTimeFn) return 0;
    if (HasVelocities(pair->model1) && HasVelocities(pair->model2)) pair->safeTimeFn(pair, maximumTime, result);
    return 1;
}

int CdxNearby(CdxModelPair *pair)
{
    if (!HasModels(pair)) return 0;
    PxVector3 min1, max1, min2, max2;
    if (!CdxModelGetAABB(pair->model1, min1, max1) || !CdxModelGetAABB(pair->model2, min2, max2)) return 0;
    for (int axis = 0; axis < 3; ++axis)
        if (min1[axis] > max2[axis] || min2[axis] > max1[axis]) return 0;
    return 1;
}

void CdxDistanceRequestInit(CdxDistanceRequest *request)
{
    if (!request) return;
    request->lowerThreshold = 0.0;
    request->upperThreshold = DBL_MAX;
    request->absoluteError = 0.0;
}

int CdxDistance(CdxModelPair *pair, CdxDistanceResult *result)
{
    if (!result) return 0;
    ClearDistance(pair, result);
    if (!HasModels(pair)) return 0;
    int swapped = 0;
    CdxInteractions *interactions = CdxInteractionTableGetInteractions(pair, &swapped);
    if (CdxDistanceFn distance = interactions->distanceFn)
        return InRegisteredOrder(pair, swapped, result, [&](CdxModelPair *p) { return distance(p, result); });
    if (CdxApproximateDistanceFn approximate = interactions->approximateDistanceFn) {
        CdxDistanceRequest request;
        CdxDistanceRequestInit(&request);
        return InRegisteredOrder(pair, swapped, result,
                                 [&](CdxModelPair *p) { return approximate(p, &request, result); });
    }
    return 0;
}

int CdxApproximateDistance(CdxModelPair *pair, const CdxDistanceRequest *request, CdxDistanceResult *result)
{
    if (!result) return 0;
    ClearDistance(pair, result);
    if (!HasModels(pair)) return 0;
    int swapped = 0;
    CdxInteractions *interactions = CdxInteractionTableGetInteractions(pair, &swapped);
    CdxApproximateDistanceFn approximate = interactions->approximateDistanceFn;
    if (!approximate) return 0;
    CdxDistanceRequest defaultRequest;
    CdxDistanceRequestInit(&defaultRequest);
    const CdxDistanceRequest *used = request ? request : &defaultRequest;
    return InRegisteredOrder(pair, swapped, result, [&](CdxModelPair *p) { return approximate(p, used, result); });
}

void CdxSpaceSetHelloCallback(CdxSpaceID space, CdxHelloCallback fn, void *data)
{
    if (!space) return;
    space->helloCallback = fn;
    space->helloData = data;
}

CdxHelloCallback CdxSpaceGetHelloCallback(CdxSpaceID space, void **data)
{
    if (data) *data = space ? space->helloData : nullptr;
    return space ? space->helloCallback : nullptr;
}

void CdxSpaceSetDefaultRequestPtr(CdxSpaceID space, CdxRequest *request)
{
    if (space) space->defaultRequest = request;
}

CdxRequest *CdxSpaceGetDefaultRequestPtr(CdxSpaceID space)
{
    return space && space->defaultRequest ? space->defaultRequest : CdxGetDefaultRequestPtr();
}

} // extern "C"
