// Skipping the collision test of pairs that stand apart.
#ifndef KELMAR_BRIDGE_SBXAPART_H
#define KELMAR_BRIDGE_SBXAPART_H

#include "SbxBridgeRecord.h"

// For pairs whose test is the composites' (CdxCompositeGenericIntersect):
// true when the pair's last test found it apart with a clearance (see
// CdxHullClearance) and its models have since moved by less than half of
// it in all, so that a test now would find no touch again.
bool SbxStaysApartRecorded(SbxBridge *bridge, const CdxModelPair *pair);

inline bool SbxStaysApart(SbxBridge *bridge, const CdxModelPair *pair)
{
    return bridge->apartUsed > 0 && SbxStaysApartRecorded(bridge, pair);
}

// After such a pair's collision test: found apart, it is recorded with its
// clearance and the models' poses; touching, it is forgotten.
void SbxRecordApart(SbxBridge *bridge, const CdxModelPair *pair, int touch);

#endif
