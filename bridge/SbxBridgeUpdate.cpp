// The bridge's per-step walk over the space's pairs: transitions (goodbye,
// hello), then collisions (intersection, response, callbacks).
#include "SbxBridgeRecord.h"
#include "SbxContactKeep.h"
#include "SbxUtils.h"

#include <kelmar/CdxEach.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxInteractions.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxModelPair.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdContact.h>
#include <kelmar/RbdWorld.h>

namespace {

SbxResponse *EntryOfPair(SbxBridge *bridge, const CdxModelPair *pair)
{
    return SbxResponseEntry(bridge, CdxModelGetResponseID(pair->model1), CdxModelGetResponseID(pair->model2));
}

// A pair that was touching and is no longer: its disjoint callback, once.
void Disjoin(CdxModelPair *pair, const SbxResponse *entry)
{
    if (!CdxModelPairGetWasIntersecting(pair)) return;
    if (entry->disjointCB) entry->disjointCB(pair, entry->disjointData);
    CdxModelPairSetWasIntersecting(pair, 0);
}

// Contacts beyond the buffer are cut by the pair functions; say so once.
void CheckContactRoom(SbxBridge *bridge, const CdxModelPair *pair)
{
    const CdxRequest *request = pair->request ? pair->request : CdxGetDefaultRequestPtr();
    if (!request || request->contactMaxCount <= bridge->contactCapacity || bridge->contactBufferReported) return;
    bridge->contactBufferReported = 1;
    PxWarning(SBX_MESSAGE_LEVEL,
              "SbxBridgeUpdateContacts: a pair may report %d contacts but the contact buffer holds %d; "
              "enlarge it with SbxBridgeSetContactBufferSize.\n",
              request->contactMaxCount, bridge->contactCapacity);
}

void Collide(SbxBridge *bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world)
{
    SbxResponse *entry = EntryOfPair(bridge, pair);
    SbxKeepCheck check;
    if (!entry) return;
    if (SbxKeepContacts(bridge, pair, entry, &check)) {
        if (entry->intersectActiveCB) SbxRunKeptCallback(bridge, pair, entry);
        return;
    }
    CheckContactRoom(bridge, pair);
    CdxIntersectResult result = {};
    result.contacts = bridge->contacts;
    result.contactCapacity = bridge->contactCapacity;
    CdxIntersect(pair, &result);

    SbxIntersectPairCB callback = nullptr;
    void *data = nullptr;
    if (!result.touch) {
        Disjoin(pair, entry);
    } else if (CdxModelPairGetWasIntersecting(pair)) {
        callback = entry->intersectActiveCB;
        data = entry->intersectActiveData;
    } else {
        callback = entry->intersectNewCB;
        data = entry->intersectNewData;
        CdxModelPairSetWasIntersecting(pair, 1);
    }
    if (entry->response) entry->response(bridge, pair, &result, space, world, entry->user);
    SbxRecordFoundContacts(bridge, pair, entry, &check, &result);
    if (callback) callback(&result, SbxPairContacts(pair), data);
}

void ReportFrozen(SbxBridge *bridge, CdxModelPair *pair)
{
    const SbxResponse *entry = EntryOfPair(bridge, pair);
    if (entry && entry->intersectInactiveCB)
        entry->intersectInactiveCB(pair, SbxPairContacts(pair), entry->intersectInactiveData);
}

bool CheckArguments(SbxBridge *bridge, const void *argument, const char *function, const char *argumentName)
{
    if (!SbxCheckBridge(bridge, function)) return false;
    if (argument) return true;
    PxWarning(SBX_MESSAGE_LEVEL, "%s: null %s.\n", function, argumentName);
    return false;
}

int SectionTotal(const CdxModelPairContainer *pairs)
{
    return CdxModelPairContainerGetGoodbyeCount(pairs) + CdxModelPairContainerGetHelloCount(pairs) +
           CdxModelPairContainerGetStayingCount(pairs) + CdxModelPairContainerGetFrozenCount(pairs);
}

// Reads the space's pairs chunk by chunk into the bridge's container and
// hands each chunk to handle. Leaves the space in a new change bracket.
template <typename Read, typename Handle>
void WalkPairs(SbxBridge *bridge, CdxSpaceID space, const char *function, Read read, Handle handle)
{
    if (bridge->walking) {
        PxWarning(SBX_MESSAGE_LEVEL, "%s: called from a callback of the bridge's own walk; ignored.\n", function);
        return;
    }
    bridge->walking = 1;
    if (CdxSpaceIsChanging(space)) CdxSpaceEndChanges(space);
    CdxSpacePairIterator iterator;
    CdxSpacePairIteratorBegin(space, &iterator);
    int more;
    do {
        CdxModelPairContainerReset(bridge->pairs);
        more = read(iterator);
        if (more && SectionTotal(bridge->pairs) == 0) {
            PxWarning(SBX_MESSAGE_LEVEL, "%s: the space reports more pairs but none fit the container.\n", function);
            more = 0;
        }
        handle();
    } while (more);
    CdxSpaceBeginChanges(space);
    bridge->walking = 0;
}

// The records a pair's collision reads lie scattered over their pools: the
// pair, its models, the bodies' transforms and its contacts, each found
// through the one before. Waiting for each in turn costs more than the
// collision of two balls, so the walk asks for them ahead, each a few pairs
// after what leads to it: the pair eight on, its models and first contact
// four on, the bodies (their poses) or the other models' transforms and the
// second contact two on, the third contact one on. A hint only: nothing
// changes.
const int kPairAhead = 8, kModelAhead = 4, kTransformAhead = 2, kChainAhead = 1;

// Inlined always: out of line it would hold nothing but prefetches, count
// as free of effects, and its calls would be dropped.
inline __attribute__((always_inline)) void PrefetchHead(const void *record, int lines)
{
    for (int k = 0; k < lines; ++k) __builtin_prefetch(static_cast<const char *>(record) + 64 * k);
}

// A pair's contact: the lines matching reads and, for a pair with a record
// (it may keep its contacts), the frames its keep check reads.
void PrefetchContact(const CdxModelPair *pair, RbdContactID contact)
{
    RbdContactPrefetch(contact);
    if (pair->reserved) RbdContactPrefetchCarried(contact);
}

// The contact after the head, read through the records asked for before;
// only for a pair with a record (box contacts come several to a pair,
// a ball's alone).
RbdContactID SecondContact(const CdxModelPair *pair)
{
    RbdContactID head = SbxPairContacts(pair);
    return head && pair->reserved ? RbdContactGetNext(head) : RbdContactInvalidID;
}

void ReadAhead(CdxModelPair *const *pairs, int k, int count)
{
    if (k + kPairAhead < count) PrefetchHead(pairs[k + kPairAhead], 2);
    if (k + kModelAhead < count) {
        const CdxModelPair *pair = pairs[k + kModelAhead];
        PrefetchHead(pair->model1, 3);
        PrefetchHead(pair->model2, 3);
        PrefetchContact(pair, SbxPairContacts(pair));
    }
    if (k + kTransformAhead < count) {
        const CdxModelPair *pair = pairs[k + kTransformAhead];
        const CdxModelID models[2] = {pair->model1, pair->model2};
        for (CdxModelID model : models) {
            if (RbdBodyID body = static_cast<RbdBodyID>(CdxModelGetBodyData(model)))
                RbdBodyPrefetch(body);
            else if (const PxMatrix4 *transform = CdxModelGetTransformPtr(model))
                PrefetchHead(transform, 2);
        }
        PrefetchContact(pair, SecondContact(pair));
    }
    if (k + kChainAhead < count) {
        const CdxModelPair *pair = pairs[k + kChainAhead];
        if (RbdContactID second = SecondContact(pair)) PrefetchContact(pair, RbdContactGetNext(second));
    }
}

// A walk over this few pairs finds their records in cache from the last
// step: asking ahead would only cost instructions.
const int kFewPairs = 32;

void CollideAll(SbxBridge *bridge, CdxModelPair *const *pairs, int count, CdxSpaceID space, RbdWorldID world)
{
    const bool readAhead = count > kFewPairs;
    for (int k = 0; k < count; ++k) {
        if (readAhead) ReadAhead(pairs, k, count);
        Collide(bridge, pairs[k], space, world);
    }
}

void HandleCollisions(CdxModelPairContainer *pairs, CdxSpaceID space, RbdWorldID world, SbxBridgeID bridge)
{
    // Pairs new in this update touch for the first time now as well.
    int count = 0;
    CdxModelPair **hellos = CdxModelPairContainerGetHelloArray(pairs, &count);
    CollideAll(bridge, hellos, count, space, world);
    CdxModelPair **staying = CdxModelPairContainerGetStayingArray(pairs, &count);
    CollideAll(bridge, staying, count, space, world);

    if (bridge->inactiveCallbackCount <= 0) return;
    CdxModelPair **frozen = CdxModelPairContainerGetFrozenArray(pairs, &count);
    for (int k = 0; k < count; ++k) ReportFrozen(bridge, frozen[k]);
}

} // namespace

extern "C" {

void SbxHandleTransitions(CdxModelPairContainer *pairs, CdxSpaceID space, RbdWorldID world, SbxBridgeID bridge)
{
    if (!CheckArguments(bridge, pairs, "SbxHandleTransitions", "pair container")) return;
    int count = 0;
    CdxModelPair **goodbyes = CdxModelPairContainerGetGoodbyeArray(pairs, &count);
    for (int k = 0; k < count; ++k) {
        CdxModelPair *pair = goodbyes[k];
        const SbxResponse *entry = EntryOfPair(bridge, pair);
        if (!entry) continue;
        Disjoin(pair, entry);
        if (entry->end) entry->end(bridge, pair, space, world, entry->user);
    }
    CdxGoodbyeEach(pairs);

    CdxModelPair **hellos = CdxModelPairContainerGetHelloArray(pairs, &count);
    for (int k = 0; k < count; ++k) {
        CdxModelPair *pair = hellos[k];
        SbxResponse *entry = EntryOfPair(bridge, pair);
        if (entry && entry->start)
            entry->start(bridge, pair, space, world, entry);
        else
            CdxHello(pair);
    }
}

void SbxHandleCollisions(CdxModelPairContainer *pairs, CdxSpaceID space, RbdWorldID world, SbxBridgeID bridge)
{
    if (!CheckArguments(bridge, pairs, "SbxHandleCollisions", "pair container")) return;
    if (bridge->step) {
        HandleCollisions(pairs, space, world, bridge);
        return;
    }
    // Called on its own: the contacts are for a step of the world's.
    const RbdStepInfo step = {RbdWorldGetTimeStep(world), RbdWorldGetSafeTimeMode(world)};
    bridge->step = &step;
    HandleCollisions(pairs, space, world, bridge);
    bridge->step = nullptr;
}

void SbxBridgeUpdateContactsForStep(SbxBridgeID bridge, CdxSpaceID space, RbdWorldID world, const RbdStepInfo *step)
{
    const char *function = "SbxBridgeUpdateContacts";
    if (!CheckArguments(bridge, space, function, "space")) return;
    if (!step) {
        PxWarning(SBX_MESSAGE_LEVEL, "%s: null step.\n", function);
        return;
    }
    CdxModelPairContainer *pairs = bridge->pairs;
    bridge->step = step;
    WalkPairs(
        bridge, space, function,
        [&](CdxSpacePairIterator &iterator) {
            return bridge->inactiveCallbackCount > 0 ? CdxSpaceGetPairsIncludingFrozen(space, &iterator, pairs)
                                                     : CdxSpaceGetPairs(space, &iterator, pairs);
        },
        [&] {
            SbxHandleTransitions(pairs, space, world, bridge);
            SbxHandleCollisions(pairs, space, world, bridge);
        });
    bridge->step = nullptr;
}

void SbxBridgeUpdateContacts(SbxBridgeID bridge, CdxSpaceID space, RbdWorldID world)
{
    const RbdStepInfo step = {RbdWorldGetTimeStep(world), RbdWorldGetSafeTimeMode(world)};
    SbxBridgeUpdateContactsForStep(bridge, space, world, &step);
}

const RbdStepInfo *SbxBridgeGetStep(SbxBridgeID bridge)
{
    return bridge ? bridge->step : nullptr;
}

void SbxBridgeUpdateTransitions(SbxBridgeID bridge, CdxSpaceID space, RbdWorldID world)
{
    const char *function = "SbxBridgeUpdateTransitions";
    if (!CheckArguments(bridge, space, function, "space")) return;
    CdxModelPairContainer *pairs = bridge->pairs;
    WalkPairs(
        bridge, space, function,
        [&](CdxSpacePairIterator &iterator) { return CdxSpaceGetTransitions(space, &iterator, pairs); },
        [&] { SbxHandleTransitions(pairs, space, world, bridge); });
}

} // extern "C"
