// The response table: one entry per unordered pair of response ids, new ids
// on demand (plain or copied from a template), and the transition
// callbacks of each entry.
#include "SbxBridgeRecord.h"

#include <kelmar/CdxFrame.h>
#include <kelmar/CdxModel.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxMessage.h>

namespace {

void CopyDefaultRequest(CdxRequest *to)
{
    const CdxRequest *defaultRequest = CdxGetDefaultRequestPtr();
    if (defaultRequest)
        CdxRequestCopy(defaultRequest, to);
    else
        CdxRequestInit(to);
}

void DestroyEntries(SbxResponse **entries, int count)
{
    for (int k = 0; k < count; ++k) PxMemoryAPI.destroy(entries[k]);
    PxMemoryAPI.destroy(entries);
}

// Grows the table by one id whose entries are fresh. All memory is taken
// before anything changes, so a failure leaves the table as it was.
bool GrowResponseTable(SbxBridge *bridge)
{
    const int oldSize = bridge->responseTableSize;
    const int newSize = oldSize + 1;
    SbxResponse **fresh = static_cast<SbxResponse **>(
        PxMemoryAPI.createZeroed(sizeof(SbxResponse *) * static_cast<size_t>(newSize)));
    if (!fresh) return false;
    for (int other = 0; other < newSize; ++other) {
        fresh[other] = SbxResponseEntryCreate();
        if (!fresh[other]) {
            DestroyEntries(fresh, other);
            return false;
        }
    }
    void *grown = PxSymUpperDiagonalResize(newSize, oldSize, sizeof(SbxResponse *), bridge->responses);
    if (!grown) {
        DestroyEntries(fresh, newSize);
        return false;
    }
    bridge->responses = static_cast<SbxResponse **>(grown);
    bridge->responseTableSize = newSize;
    for (int other = 0; other < newSize; ++other)
        bridge->responses[SbxPairIndex(oldSize, other, newSize)] = fresh[other];
    PxMemoryAPI.destroy(fresh);
    return true;
}

// Counts the entries with an inactive callback after a bulk change.
void RecountInactiveCallbacks(SbxBridge *bridge)
{
    int count = 0;
    const int entries = SbxPairCount(bridge->responseTableSize);
    for (int k = 0; k < entries; ++k)
        if (bridge->responses[k] && bridge->responses[k]->intersectInactiveCB) ++count;
    bridge->inactiveCallbackCount = count;
}

SbxResponse *EntryFor(SbxBridge *bridge, int id1, int id2, const char *function)
{
    return SbxCheckBridge(bridge, function) ? SbxResponseEntry(bridge, id1, id2) : nullptr;
}

} // namespace

SbxResponse *SbxResponseEntryCreate()
{
    SbxResponse *entry = static_cast<SbxResponse *>(PxMemoryAPI.createZeroed(sizeof(SbxResponse)));
    if (entry) CopyDefaultRequest(&entry->request);
    return entry;
}

SbxResponse *SbxResponseEntry(SbxBridge *bridge, int id1, int id2)
{
    const int n = bridge->responseTableSize;
    if (id1 < 0 || id2 < 0 || id1 >= n || id2 >= n) return nullptr;
    return bridge->responses[SbxPairIndex(id1, id2, n)];
}

extern "C" {

int SbxBridgeGetResponseTableSize(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetResponseTableSize") ? bridge->responseTableSize : 0;
}

int SbxBridgeGetResponseIDsUsed(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetResponseIDsUsed") ? bridge->responseIdsUsed : 0;
}

int SbxBridgeGetNewResponseID(SbxBridgeID bridge)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeGetNewResponseID")) return -1;
    if (bridge->responseIdsUsed >= bridge->responseTableSize && !GrowResponseTable(bridge)) {
        PxWarning(SBX_MESSAGE_LEVEL, "SbxBridgeGetNewResponseID: no memory for response id %d.\n",
                  bridge->responseIdsUsed);
        return -1;
    }
    return bridge->responseIdsUsed++;
}

int SbxBridgeGetNewResponseIDFromTemplateID(SbxBridgeID bridge, int templateID)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeGetNewResponseIDFromTemplateID")) return -1;
    if (templateID < 0 || templateID >= bridge->responseIdsUsed) {
        PxWarning(SBX_MESSAGE_LEVEL,
                  "SbxBridgeGetNewResponseIDFromTemplateID: template id %d has not been handed out.\n", templateID);
        return -1;
    }
    const int id = SbxBridgeGetNewResponseID(bridge);
    if (id < 0) return -1;
    // The template's entry with itself becomes the new id's entry with
    // itself; with any other id, the template's entry with that id.
    for (int other = 0; other <= id; ++other) {
        const SbxResponse *from = SbxResponseEntry(bridge, templateID, other == id ? templateID : other);
        SbxResponse *to = SbxResponseEntry(bridge, id, other);
        if (from && to) *to = *from;
    }
    RecountInactiveCallbacks(bridge);
    return id;
}

int SbxBridgeRegisterResponse(SbxBridgeID bridge, int id1, int id2, SbxResponseStartFn start, SbxResponseFn response,
                              SbxResponseEndFn end, const CdxRequest *request, void *user)
{
    SbxResponse *entry = EntryFor(bridge, id1, id2, "SbxBridgeRegisterResponse");
    if (!entry) return 0;
    entry->start = start;
    entry->response = response;
    entry->end = end;
    entry->user = user;
    if (request)
        CdxRequestCopy(request, &entry->request);
    else
        CopyDefaultRequest(&entry->request);
    return 1;
}

SbxResponse *SbxBridgeGetResponse(SbxBridgeID bridge, int id1, int id2)
{
    return EntryFor(bridge, id1, id2, "SbxBridgeGetResponse");
}

SbxResponse *SbxBridgeGetResponseFromModels(SbxBridgeID bridge, CdxModelID model1, CdxModelID model2)
{
    if (!SbxCheckBridge(bridge, "SbxBridgeGetResponseFromModels") || !model1 || !model2) return nullptr;
    return SbxResponseEntry(bridge, CdxModelGetResponseID(model1), CdxModelGetResponseID(model2));
}

int SbxBridgeResponseIDOfSameType(SbxBridgeID bridge, int id1, int id2)
{
    const SbxResponse *pair = EntryFor(bridge, id1, id2, "SbxBridgeResponseIDOfSameType");
    const SbxResponse *own = bridge ? SbxResponseEntry(bridge, id1, id1) : nullptr;
    return pair && own && pair->response == own->response;
}

void SbxBridgeSetIntersectNewCB(SbxBridgeID bridge, int id1, int id2, SbxIntersectPairCB fn, void *data)
{
    SbxWriteCallback(EntryFor(bridge, id1, id2, "SbxBridgeSetIntersectNewCB"), &SbxResponse::intersectNewCB,
                     &SbxResponse::intersectNewData, fn, data);
}

SbxIntersectPairCB SbxBridgeGetIntersectNewCB(SbxBridgeID bridge, int id1, int id2, void **data)
{
    return SbxReadCallback(EntryFor(bridge, id1, id2, "SbxBridgeGetIntersectNewCB"), &SbxResponse::intersectNewCB,
                           &SbxResponse::intersectNewData, data);
}

void SbxBridgeSetIntersectActiveCB(SbxBridgeID bridge, int id1, int id2, SbxIntersectPairCB fn, void *data)
{
    SbxWriteCallback(EntryFor(bridge, id1, id2, "SbxBridgeSetIntersectActiveCB"), &SbxResponse::intersectActiveCB,
                     &SbxResponse::intersectActiveData, fn, data);
}

SbxIntersectPairCB SbxBridgeGetIntersectActiveCB(SbxBridgeID bridge, int id1, int id2, void **data)
{
    return SbxReadCallback(EntryFor(bridge, id1, id2, "SbxBridgeGetIntersectActiveCB"),
                           &SbxResponse::intersectActiveCB, &SbxResponse::intersectActiveData, data);
}

int SbxBridgeSetCallbacksOnKeptContacts(SbxBridgeID bridge, int id1, int id2, int onKept)
{
    SbxResponse *entry = EntryFor(bridge, id1, id2, "SbxBridgeSetCallbacksOnKeptContacts");
    if (!entry) return 0;
    entry->callbacksOnKept = onKept != 0;
    return 1;
}

int SbxBridgeGetCallbacksOnKeptContacts(SbxBridgeID bridge, int id1, int id2)
{
    const SbxResponse *entry = EntryFor(bridge, id1, id2, "SbxBridgeGetCallbacksOnKeptContacts");
    return entry ? entry->callbacksOnKept : 0;
}

void SbxBridgeSetIntersectInactiveCB(SbxBridgeID bridge, int id1, int id2, SbxIntersectInactiveCB fn, void *data)
{
    SbxResponse *entry = EntryFor(bridge, id1, id2, "SbxBridgeSetIntersectInactiveCB");
    if (!entry) return;
    bridge->inactiveCallbackCount += (fn != nullptr) - (entry->intersectInactiveCB != nullptr);
    SbxWriteCallback(entry, &SbxResponse::intersectInactiveCB, &SbxResponse::intersectInactiveData, fn, data);
}

SbxIntersectInactiveCB SbxBridgeGetIntersectInactiveCB(SbxBridgeID bridge, int id1, int id2, void **data)
{
    return SbxReadCallback(EntryFor(bridge, id1, id2, "SbxBridgeGetIntersectInactiveCB"),
                           &SbxResponse::intersectInactiveCB, &SbxResponse::intersectInactiveData, data);
}

void SbxBridgeSetDisjointCB(SbxBridgeID bridge, int id1, int id2, SbxDisjointCB fn, void *data)
{
    SbxWriteCallback(EntryFor(bridge, id1, id2, "SbxBridgeSetDisjointCB"), &SbxResponse::disjointCB,
                     &SbxResponse::disjointData, fn, data);
}

SbxDisjointCB SbxBridgeGetDisjointCB(SbxBridgeID bridge, int id1, int id2, void **data)
{
    return SbxReadCallback(EntryFor(bridge, id1, id2, "SbxBridgeGetDisjointCB"), &SbxResponse::disjointCB,
                           &SbxResponse::disjointData, data);
}

int SbxBridgeGetInactiveCallbackCount(SbxBridgeID bridge)
{
    return SbxCheckBridge(bridge, "SbxBridgeGetInactiveCallbackCount") ? bridge->inactiveCallbackCount : 0;
}

} // extern "C"
