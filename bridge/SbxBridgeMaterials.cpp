// The material-pair table: contact parameters and three callbacks for every
// unordered pair of material ids.
#include "SbxBridgeRecord.h"

#include <kelmar/PxMessage.h>

namespace {

bool ValidMaterial(const SbxBridge *bridge, int m)
{
    return m >= 0 && m < bridge->materialCount;
}

// The pair of two ids inside the table, else null.
SbxMaterialPair *ExistingPair(SbxBridge *bridge, int m1, int m2, const char *function)
{
    if (!SbxCheckBridge(bridge, function) || !ValidMaterial(bridge, m1) || !ValidMaterial(bridge, m2)) return nullptr;
    return &bridge->materialPairs[SbxPairIndex(m1, m2, bridge->materialCount)];
}

} // namespace

SbxMaterialPair *SbxMaterialPairOf(SbxBridge *bridge, int m1, int m2)
{
    if (!ValidMaterial(bridge, m1) || !ValidMaterial(bridge, m2)) {
        if (!bridge->badMaterialReported)
            PxWarning(0, "SbxBridge: material id %d is outside the table of %d materials; material 0 is used.\n",
                      ValidMaterial(bridge, m1) ? m2 : m1, bridge->materialCount);
        bridge->badMaterialReported = 1;
        if (!ValidMaterial(bridge, m1)) m1 = 0;
        if (!ValidMaterial(bridge, m2)) m2 = 0;
    }
    return &bridge->materialPairs[SbxPairIndex(m1, m2, bridge->materialCount)];
}

extern "C" {

int SbxBridgeGetMaterialCount(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetMaterialCount") ? bridge->materialCount : 0;
}

int SbxBridgeGetMaterialsUsed(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetMaterialsUsed") ? bridge->materialsUsed : 0;
}

int SbxBridgeGetNewMaterial(SbxBridgeID bridge)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeGetNewMaterial")) return 0;
    // 0 is the default material and always exists, so it can mean "none left".
    if (bridge->materialsUsed >= bridge->materialCount) return 0;
    return bridge->materialsUsed++;
}

RbdContactParams *SbxBridgeGetContactParams(SbxBridgeID bridge, int m1, int m2)
{
    SbxMaterialPair *pair = ExistingPair(bridge, m1, m2, "SbxBridgeGetContactParams");
    return pair ? &pair->params : nullptr;
}

void SbxBridgeSetPerContactCB(SbxBridgeID bridge, int m1, int m2, SbxPerContactCB fn, void *data)
{
    SbxMaterialPair *pair = ExistingPair(bridge, m1, m2, "SbxBridgeSetPerContactCB");
    if (pair && fn) bridge->materialCallbacksSet = 1;
    SbxWriteCallback(pair, &SbxMaterialPair::perContactCB, &SbxMaterialPair::perContactData, fn, data);
}

SbxPerContactCB SbxBridgeGetPerContactCB(SbxBridgeID bridge, int m1, int m2, void **data)
{
    return SbxReadCallback(ExistingPair(bridge, m1, m2, "SbxBridgeGetPerContactCB"), &SbxMaterialPair::perContactCB,
                           &SbxMaterialPair::perContactData, data);
}

void SbxBridgeSetPerPairCB(SbxBridgeID bridge, int m1, int m2, SbxPerPairCB fn, void *data)
{
    SbxMaterialPair *pair = ExistingPair(bridge, m1, m2, "SbxBridgeSetPerPairCB");
    if (pair && fn) bridge->materialCallbacksSet = 1;
    SbxWriteCallback(pair, &SbxMaterialPair::perPairCB, &SbxMaterialPair::perPairData, fn, data);
}

SbxPerPairCB SbxBridgeGetPerPairCB(SbxBridgeID bridge, int m1, int m2, void **data)
{
    return SbxReadCallback(ExistingPair(bridge, m1, m2, "SbxBridgeGetPerPairCB"), &SbxMaterialPair::perPairCB,
                           &SbxMaterialPair::perPairData, data);
}

void SbxBridgeSetIntersectCB(SbxBridgeID bridge, int m1, int m2, SbxIntersectCB fn, void *data)
{
    SbxMaterialPair *pair = ExistingPair(bridge, m1, m2, "SbxBridgeSetIntersectCB");
    if (pair && fn) bridge->materialCallbacksSet = 1;
    SbxWriteCallback(pair, &SbxMaterialPair::intersectCB, &SbxMaterialPair::intersectData, fn, data);
}

SbxIntersectCB SbxBridgeGetIntersectCB(SbxBridgeID bridge, int m1, int m2, void **data)
{
    return SbxReadCallback(ExistingPair(bridge, m1, m2, "SbxBridgeGetIntersectCB"), &SbxMaterialPair::intersectCB,
                           &SbxMaterialPair::intersectData, data);
}

} // extern "C"
