// Skipping the collision test of pairs that stand apart.
#ifndef KELMAR_BRIDGE_SBXAPART_H
#define KELMAR_BRIDGE_SBXAPART_H

#include "SbxBridgeRecord.h"

// True when the pair's last test found it apart with a clearance (see
// CdxHullClearance) and its models have since moved by less than half of
// it in all: a test now would find no touch again.
bool SbxStaysApartRecorded(SbxBridge *bridge, const CdxModelPair *pair);

inline bool SbxStaysApart(SbxBridge *bridge, const CdxModelPair *pair)
{
    return bridge->apartUsed > 0 && SbxStaysApartRecorded(bridge, pair);
}

// After a collision test: a pair of composite models found apart is
// recorded with its clearance and the models' poses; one that touches is
// forgotten.
void SbxRecordApart(SbxBridge *bridge, const CdxModelPair *pair, int touch);

#endif
