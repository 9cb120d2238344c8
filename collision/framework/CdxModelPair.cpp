// Model pairs: creation, reset and accessors.
#include "framework/CdxModelRecord.h"

#include <kelmar/CdxFrame.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/CdxModelPair.h>
#include <kelmar/PxMemory.h>

extern "C" {

CdxModelPair *CdxModelPairCreate(CdxModelID model1, CdxModelID model2)
{
    CdxModelPair *pair = static_cast<CdxModelPair *>(PxMemoryAPI.create(sizeof(CdxModelPair)));
    if (pair) CdxModelPairReset(pair, model1, model2);
    return pair;
}

void CdxModelPairDestroy(CdxModelPair *pair)
{
    PxMemoryAPI.destroy(pair);
}

void CdxModelPairReset(CdxModelPair *pair, CdxModelID model1, CdxModelID model2)
{
    if (!pair) return;
    *pair = CdxModelPair{};
    pair->model1 = model1;
    pair->model2 = model2;
    pair->request = CdxSpaceGetDefaultRequestPtr(model1 ? model1->space : nullptr);
}

void CdxModelPairGetModels(const CdxModelPair *pair, CdxModelID *model1, CdxModelID *model2)
{
    if (model1) *model1 = pair ? pair->model1 : nullptr;
    if (model2) *model2 = pair ? pair->model2 : nullptr;
}

void CdxModelPairSetRequestPtr(CdxModelPair *pair, CdxRequest *request)
{
    if (pair) pair->request = request;
}

CdxRequest *CdxModelPairGetRequestPtr(const CdxModelPair *pair)
{
    return pair ? pair->request : nullptr;
}

void CdxModelPairSetUserData(CdxModelPair *pair, void *data)
{
    if (pair) pair->userData = data;
}

void *CdxModelPairGetUserData(const CdxModelPair *pair)
{
    return pair ? pair->userData : nullptr;
}

void CdxModelPairSetResponseData(CdxModelPair *pair, void *data)
{
    if (pair) pair->responseData = data;
}

void *CdxModelPairGetResponseData(const CdxModelPair *pair)
{
    return pair ? pair->responseData : nullptr;
}

void CdxModelPairSetWasIntersecting(CdxModelPair *pair, int wasIntersecting)
{
    if (!pair) return;
    if (wasIntersecting)
        pair->flags |= CdxModelPairWasIntersecting;
    else
        pair->flags &= ~CdxModelPairWasIntersecting;
}

int CdxModelPairGetWasIntersecting(const CdxModelPair *pair)
{
    return pair && (pair->flags & CdxModelPairWasIntersecting) ? 1 : 0;
}

} // extern "C"
