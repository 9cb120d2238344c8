/* Model pairs: two models that may touch, the request they answer and the
 * pair functions hello copied for them. */
#ifndef KELMAR_CDXMODELPAIR_H
#define KELMAR_CDXMODELPAIR_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* A pair allocated with the toolkit allocator, reset as below; null when
 * memory is short. */
CdxModelPair *CdxModelPairCreate(CdxModelID model1, CdxModelID model2);
void CdxModelPairDestroy(CdxModelPair *pair);
/* Zeroes every word, stores the models and points the request at the
 * current default request. */
void CdxModelPairReset(CdxModelPair *pair, CdxModelID model1, CdxModelID model2);
void CdxModelPairGetModels(const CdxModelPair *pair, CdxModelID *model1, CdxModelID *model2);
void CdxModelPairSetRequestPtr(CdxModelPair *pair, CdxRequest *request);
CdxRequest *CdxModelPairGetRequestPtr(const CdxModelPair *pair);
void CdxModelPairSetUserData(CdxModelPair *pair, void *data);
void *CdxModelPairGetUserData(const CdxModelPair *pair);
void CdxModelPairSetResponseData(CdxModelPair *pair, void *data);
void *CdxModelPairGetResponseData(const CdxModelPair *pair);
/* Sets or clears only the wasIntersecting bit of the flags. */
void CdxModelPairSetWasIntersecting(CdxModelPair *pair, int wasIntersecting);
int CdxModelPairGetWasIntersecting(const CdxModelPair *pair);

PX_EXTERN_C_END

#endif
