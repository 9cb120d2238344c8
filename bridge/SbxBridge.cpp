// Bridge life: the material and response tables, the model-pair container
// and the contact buffer.
#include "SbxBridgeRecord.h"

#include <kelmar/CdxFrame.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdContact.h>

namespace {

const int kInitialResponseTableSize = 4;
const int kInitialResponseIdsUsed = 3;
const int kInitialPairBufferSize = 100;
const int kInitialContactBufferSize = 500;

bool CreateMaterialTable(SbxBridge *bridge)
{
    const int entries = SbxPairCount(bridge->materialCount);
    bridge->materialPairs = static_cast<SbxMaterialPair *>(
        PxMemoryAPI.createZeroed(sizeof(SbxMaterialPair) * static_cast<size_t>(entries)));
    if (!bridge->materialPairs) return false;
    for (int k = 0; k < entries; ++k) RbdContactParamsReset(&bridge->materialPairs[k].params);
    return true;
}

bool CreateResponseTable(SbxBridge *bridge)
{
    const int entries = SbxPairCount(kInitialResponseTableSize);
    bridge->responses = static_cast<SbxResponse **>(
        PxMemoryAPI.createZeroed(sizeof(SbxResponse *) * static_cast<size_t>(entries)));
    if (!bridge->responses) return false;
    bridge->responseTableSize = kInitialResponseTableSize;
    bridge->responseIdsUsed = kInitialResponseIdsUsed;
    for (int k = 0; k < entries; ++k) {
        bridge->responses[k] = SbxResponseEntryCreate();
        if (!bridge->responses[k]) return false;
    }
    return true;
}

// Body-body pairs make contacts; sensors only watch.
void RegisterInitialResponses(SbxBridge *bridge)
{
    SbxBridgeRegisterResponse(bridge, SbxBodyResponseID, SbxBodyResponseID, SbxResponseStart_Body_Body,
                              SbxResponse_Body_Body, SbxResponseEnd_Body_Body, nullptr, nullptr);
    SbxBridgeRegisterResponse(bridge, SbxSensorResponseID, SbxBodyResponseID, SbxResponseStart_Sensor_Body, nullptr,
                              nullptr, nullptr, nullptr);
    SbxBridgeRegisterResponse(bridge, SbxSensorResponseID, SbxSensorResponseID, SbxResponseStart_Sensor_Sensor,
                              nullptr, nullptr, nullptr, nullptr);
    SbxBridgeRegisterResponse(bridge, SbxSensorResponseID, SbxPSResponseID, SbxResponseStart_Sensor_PS, nullptr,
                              nullptr, nullptr, nullptr);
}

void DestroyResponseTable(SbxBridge *bridge)
{
    if (!bridge->responses) return;
    const int entries = SbxPairCount(bridge->responseTableSize);
    for (int k = 0; k < entries; ++k) PxMemoryAPI.destroy(bridge->responses[k]);
    PxMemoryAPI.destroy(bridge->responses);
}

void DestroyContactBuffers(SbxBridge *bridge)
{
    PxMemoryAPI.destroy(bridge->contacts);
    PxMemoryAPI.destroy(bridge->previousContacts);
    PxMemoryAPI.destroy(bridge->previousPoints);
    PxMemoryAPI.destroy(bridge->continuingContacts);
}

} // namespace

bool SbxCheckBridge(const SbxBridge *bridge, const char *function)
{
    if (bridge) return true;
    PxWarning(SBX_MESSAGE_LEVEL, "%s: null bridge.\n", function);
    return false;
}

extern "C" {

SbxBridgeID SbxBridgeCreate(int materialCount)
{
    if (materialCount < 1) {
        PxWarning(SBX_MESSAGE_LEVEL, "SbxBridgeCreate: the material count must be at least 1 (%d).\n", materialCount);
        return nullptr;
    }
    SbxBridge *bridge = static_cast<SbxBridge *>(PxMemoryAPI.createZeroed(sizeof(SbxBridge)));
    if (!bridge) return nullptr;
    bridge->materialCount = materialCount;
    bridge->materialsUsed = 1;
    bridge->contactMatching = SBX_CONTACTS_SWEPT_TURNED_BY_PLACE;
    if (!CreateMaterialTable(bridge) || !CreateResponseTable(bridge) ||
        !SbxBridgeSetModelPairBufferSize(bridge, kInitialPairBufferSize) ||
        !SbxBridgeSetContactBufferSize(bridge, kInitialContactBufferSize)) {
        SbxBridgeDestroy(bridge);
        return nullptr;
    }
    RegisterInitialResponses(bridge);
    return bridge;
}

void SbxBridgeDestroy(SbxBridgeID bridge)
{
    if (!bridge) return;
    PxMemoryAPI.destroy(bridge->materialPairs);
    DestroyResponseTable(bridge);
    CdxModelPairContainerDestroy(bridge->pairs);
    DestroyContactBuffers(bridge);
    PxMemoryAPI.destroy(bridge);
}

int SbxBridgeSetModelPairBufferSize(SbxBridgeID bridge, int size)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeSetModelPairBufferSize")) return 0;
    // Goodbye and hello pairs share the lower half, staying and frozen pairs
    // the upper one: each half needs room for one pair to make progress.
    if (size < 2) {
        PxWarning(SBX_MESSAGE_LEVEL, "SbxBridgeSetModelPairBufferSize: the size must be at least 2 (%d).\n", size);
        return 0;
    }
    CdxModelPairContainer *pairs = CdxModelPairContainerCreate(size);
    if (!pairs) return 0;
    CdxModelPairContainerDestroy(bridge->pairs);
    bridge->pairs = pairs;
    return 1;
}

int SbxBridgeGetModelPairBufferSize(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetModelPairBufferSize") ? bridge->pairs->size : 0;
}

CdxModelPairContainer *SbxBridgeGetModelPairContainer(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetModelPairContainer") ? bridge->pairs : nullptr;
}

int SbxBridgeSetContactBufferSize(SbxBridgeID bridge, int size)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeSetContactBufferSize")) return 0;
    if (size < 1) {
        PxWarning(SBX_MESSAGE_LEVEL, "SbxBridgeSetContactBufferSize: the size must be at least 1 (%d).\n", size);
        return 0;
    }
    const size_t n = static_cast<size_t>(size);
    CdxContact *contacts = static_cast<CdxContact *>(PxMemoryAPI.create(sizeof(CdxContact) * n));
    RbdContactID *previous = static_cast<RbdContactID *>(PxMemoryAPI.create(sizeof(RbdContactID) * n));
    PxVector3 *points = static_cast<PxVector3 *>(PxMemoryAPI.create(sizeof(PxVector3) * n));
    RbdContactID *continuing = static_cast<RbdContactID *>(PxMemoryAPI.create(sizeof(RbdContactID) * n));
    if (!contacts || !previous || !points || !continuing) {
        PxMemoryAPI.destroy(contacts);
        PxMemoryAPI.destroy(previous);
        PxMemoryAPI.destroy(points);
        PxMemoryAPI.destroy(continuing);
        return 0;
    }
    DestroyContactBuffers(bridge);
    bridge->contacts = contacts;
    bridge->previousContacts = previous;
    bridge->previousPoints = points;
    bridge->continuingContacts = continuing;
    bridge->contactCapacity = size;
    return 1;
}

int SbxBridgeGetContactBufferSize(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetContactBufferSize") ? bridge->contactCapacity : 0;
}

void SbxBridgeSetContactMatching(SbxBridgeID bridge, int matching)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeSetContactMatching")) return;
    if (matching < SBX_CONTACTS_IN_ORDER || matching > SBX_CONTACTS_SWEPT_TURNED_BY_PLACE) {
        PxWarning(SBX_MESSAGE_LEVEL, "SbxBridgeSetContactMatching: no matching %d; unchanged.\n", matching);
        return;
    }
    bridge->contactMatching = matching;
}

int SbxBridgeGetContactMatching(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetContactMatching") ? bridge->contactMatching : 0;
}

} // extern "C"
