// The built-in responses: body-body pairs get dynamics contacts matching
// their collision contacts, sensor pairs only say hello with their entry's
// request.
#include "SbxBridgeRecord.h"
#include "SbxContactMatch.h"
#include "SbxUtils.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxFrame.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxInteractions.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxModelPair.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdCarWheel.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/RbdWorld.h>

#include <math.h>

#include <algorithm>

namespace {

// The two sides of a pair as the response sees them.
struct PairSides {
    CdxModelID model[2];
    RbdBodyID body[2];
    int material[2];
    bool composite[2];
};

PairSides ReadSides(const CdxModelPair *pair)
{
    PairSides s;
    CdxModelPairGetModels(pair, &s.model[0], &s.model[1]);
    for (int k = 0; k < 2; ++k) {
        s.body[k] = static_cast<RbdBodyID>(CdxModelGetBodyData(s.model[k]));
        s.material[k] = CdxModelGetMaterialID(s.model[k]);
        s.composite[k] = CdxModelIsComposite(s.model[k]) != 0;
    }
    return s;
}

// A composite model answers with the material of the element that touched.
int ContactMaterial(const PairSides &s, int side, intptr_t element)
{
    if (s.composite[side] && element) return CdxModelGetMaterialID(reinterpret_cast<CdxModelID>(element));
    return s.material[side];
}

// The materials of one collision contact: the pair's own unless a side is
// composite (looked up once per pair, not per contact).
SbxMaterialPair *ContactMaterials(SbxBridge *bridge, const PairSides &s, const CdxContact *collision,
                                  SbxMaterialPair *pairMaterials)
{
    if (!s.composite[0] && !s.composite[1]) return pairMaterials;
    return SbxMaterialPairOf(bridge, ContactMaterial(s, 0, collision->element1),
                             ContactMaterial(s, 1, collision->element2));
}

// A new enabled contact between the pair's bodies, or null when the world
// has no room for it.
RbdContactID NewContact(RbdWorldID world, const PairSides &s)
{
    RbdContactID contact = RbdContactCreate(world);
    if (!contact) return RbdContactInvalidID;
    RbdConstraintSetBodies(contact, s.body[0], s.body[1]);
    RbdConstraintEnable(contact);
    if (RbdConstraintIsEnabled(contact)) return contact;
    RbdConstraintDestroy(contact);
    return RbdContactInvalidID;
}

// The pair's first body, or its second when the first is the world: the
// body whose motion last step's contact points are taken to follow.
RbdBodyID FirstBody(const PairSides &s)
{
    return s.body[0] ? s.body[0] : s.body[1];
}

void Append(RbdContactID contact, RbdContactID &head, RbdContactID &tail)
{
    if (tail)
        RbdContactSetNext(tail, contact);
    else
        head = contact;
    tail = contact;
}

bool IsBox(CdxModelID model)
{
    return CdxGeometryGetTypeId(CdxModelGetGeometry(model)) == CdxBoxGetTypeId();
}

// Above this cosine two axes count as parallel (within 2.6 degrees).
const PxReal kParallel = 0.999;

// Two boxes turned against each other about their contact normal: at most
// one axis of the first parallel to one of the second's. Boxes face to face
// always share one axis; aligned boxes share all three.
bool TurnedBoxes(const PairSides &s)
{
    if (!IsBox(s.model[0]) || !IsBox(s.model[1])) return false;
    const PxMatrix4 *ta = CdxModelGetTransformPtr(s.model[0]), *tb = CdxModelGetTransformPtr(s.model[1]);
    if (!ta || !tb) return false;
    int parallel = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) parallel += fabs(PxV3Dot((*ta)[i], (*tb)[j])) > kParallel;
    return parallel < 2;
}

// Whether the pair's contacts (the chain at head) continue by place
// (SbxBridgeSetContactMatching). With at most one contact last step and at
// most one now, or none now, by place and in order agree, and the points
// are not worth finding.
//
// By default only two turned boxes that the sweeps solved continue by
// place. The clipping lists a face's corners from a different corner from
// step to step; in order, a turned box's corner then takes a differently
// loaded corner's force, the sweeps keep part of it, and columns of turned
// boxes rock with growing energy. The corners of aligned faces (and of a
// box on a plane) carry nearly the same loads, and a tall aligned stack
// solved by sweeps walks several times further when they are carried
// faithfully: the turning order spreads the sweeps' error over the corners.
bool ContinuesByPlace(const SbxBridge *bridge, RbdContactID head, int count, const PairSides &s)
{
    if (!head || count == 0 || bridge->contactMatching == SBX_CONTACTS_IN_ORDER) return false;
    if (count == 1 && !RbdContactGetNext(head)) return false;
    if (bridge->contactMatching == SBX_CONTACTS_BY_PLACE) return true;
    return RbdContactIsSwept(head) && TurnedBoxes(s);
}

// Steps a pair's corners found afresh wait before the sweeps correct them
// within their resting depth (RbdContactSetSettling): counted down while
// the bridge keeps them (SbxContactKeep.h) or finds them where they were,
// so a pair whose corners change from step to step never gets that push.
// In a heap of turned boxes a shorter wait let a column rock now and then
// (20 steps: one heap in 18 lost a tower), a longer one left a swept stack
// of ten cubes swaying further (50 steps).
const int32_t kSettlingSteps = 30;
// Of the smaller contact tolerance: how far a corner found again may lie
// from where it was, in place and in depth, and count as the same corner
// (1 um by default; the keep check's own shift bound, 5 um, let as many
// columns rock as no wait at all).
const PxReal kSameCorner = 2e-4;

// Whether the contact of last step is where the collision contact is now.
bool SameCorner(RbdContactID contact, const CdxContact *collision, PxReal within)
{
    PxVector3 was;
    RbdContactGetPosition(contact, was);
    return PxV3Distance(was, collision->position) < within &&
           fabs(RbdContactGetPenetration(contact) + collision->separation) < within;
}

// Makes the chain starting at head match the result's collision contacts
// one to one, reusing last step's contacts (by place when ContinuesByPlace:
// SbxContactMatch.h, else in order); returns the new head. The corners wait
// again to settle unless each was found where it was; a lone contact has
// no corners to change and settles at once.
RbdContactID MatchContacts(SbxBridge *bridge, CdxIntersectResult *result, RbdWorldID world, const PairSides &s,
                           SbxMaterialPair *pairMaterials, RbdContactID head)
{
    const RbdStepInfo *step = SbxBridgeGetStep(bridge);
    SbxPreviousContacts previous;
    RbdContactID *byPlace = ContinuesByPlace(bridge, head, result->contactCount, s) ? bridge->continuingContacts
                                                                                    : nullptr;
    SbxGatherPreviousContacts(bridge, head, byPlace != nullptr, FirstBody(s), step ? step->h : 0.0, &previous);
    if (byPlace) SbxMatchByPlace(&previous, result->contacts, result->contactCount, byPlace);
    const PxReal ta = CdxModelGetContactTolerance(s.model[0]), tb = CdxModelGetContactTolerance(s.model[1]);
    const PxReal within = kSameCorner * (ta < tb ? ta : tb);
    bool same = previous.count == result->contactCount;
    RbdContactID first = RbdContactInvalidID, last = RbdContactInvalidID;
    // A dropped collision contact leaves its dynamics contact to the next
    // one that has none at its place.
    RbdContactID spare = RbdContactInvalidID;
    for (int k = 0; k < result->contactCount; ++k) {
        CdxContact *collision = &result->contacts[k];
        SbxMaterialPair *materials = ContactMaterials(bridge, s, collision, pairMaterials);
        RbdContactID contact = byPlace ? byPlace[k] : RbdContactInvalidID;
        if (!contact) {
            contact = spare ? spare : SbxTakeNextContact(&previous);
            spare = RbdContactInvalidID;
        }
        if (!contact) {
            contact = NewContact(world, s);
            same = false;
        } else if (same) {
            same = SameCorner(contact, collision, within);
        }
        if (!contact) continue; // no room in the world: this collision contact gets no dynamics contact
        ConvertCollisionContact(&materials->params, collision, contact);
        if (materials->perContactCB &&
            !materials->perContactCB(result, collision, contact, materials->perContactData)) {
            if (spare) SbxDestroyUnchainedContact(spare);
            spare = contact;
            continue;
        }
        Append(contact, first, last);
    }
    if (last) RbdContactSetNext(last, RbdContactInvalidID);
    if (spare) SbxDestroyUnchainedContact(spare);
    SbxDestroyUntakenContacts(&previous);
    for (RbdContactID c = first; c; c = RbdContactGetNext(c))
        RbdContactSetSettling(c, first == last ? 0 : same ? RbdContactGetSettling(c) - 1 : kSettlingSteps);
    return first;
}

// The collision library estimates safe times only for models with both
// velocities. A model without them (a fixed model) stands still, so for the
// estimate it is given zero velocities; its own pointers are restored after.
void EstimateSafeTime(CdxModelPair *pair, PxReal step, CdxSafeTimeResult *estimate)
{
    PxReal still[3] = {0.0, 0.0, 0.0};
    bool lent[2][2] = {{false, false}, {false, false}};
    CdxModelID models[2] = {pair->model1, pair->model2};
    for (int k = 0; k < 2; ++k) {
        lent[k][0] = CdxModelGetLinearVelocityPtr(models[k]) == nullptr;
        lent[k][1] = CdxModelGetAngularVelocityPtr(models[k]) == nullptr;
        if (lent[k][0]) CdxModelSetLinearVelocityPtr(models[k], still);
        if (lent[k][1]) CdxModelSetAngularVelocityPtr(models[k], still);
    }
    CdxSafeTime(pair, step, estimate);
    for (int k = 0; k < 2; ++k) {
        if (lent[k][0]) CdxModelSetLinearVelocityPtr(models[k], nullptr);
        if (lent[k][1]) CdxModelSetAngularVelocityPtr(models[k], nullptr);
    }
}

// A pair that does not touch yet may not meet within the step: each body's
// safe time becomes at most the pair's time to impact. A negative estimate
// is the time since two receding models were closest; they cannot meet.
void LimitSafeTimes(CdxModelPair *pair, PxReal step, const PairSides &s)
{
    CdxSafeTimeResult estimate;
    estimate.pair = pair;
    estimate.safeTime = step;
    EstimateSafeTime(pair, step, &estimate);
    if (!(estimate.safeTime > 0.0)) return;
    for (RbdBodyID body : s.body)
        if (body) RbdBodySetSafeTime(body, std::min(RbdBodyGetSafeTime(body), estimate.safeTime));
}

// True for the wheel body of an enabled car-wheel joint.
bool IsCarWheel(RbdBodyID body)
{
    return body && RbdBodyIsCarWheel(body);
}

void OrientWheelFriction(RbdContactID head, const PairSides &s)
{
    if (!head) return;
    if (IsCarWheel(s.body[0]))
        RbdCarWheelUpdateWheelFrictionDirection(s.body[0], head);
    else if (IsCarWheel(s.body[1]))
        RbdCarWheelUpdateWheelFrictionDirection(s.body[1], head);
}

// A model without a body that is not frozen in its space is moved by its
// caller (a kinematic model); it moves when it has no velocities to tell
// otherwise or when they are not zero.
bool MovesWithoutBody(CdxModelID model)
{
    if (CdxModelGetBodyData(model) || !CdxModelGetSpace(model) || CdxSpaceModelIsFrozen(model)) return false;
    const PxReal *v = CdxModelGetLinearVelocityPtr(model);
    const PxReal *w = CdxModelGetAngularVelocityPtr(model);
    if (!v && !w) return true;
    return (v && PxV3LengthSquared(v) > 0.0) || (w && PxV3LengthSquared(w) > 0.0);
}

// The world wakes a sleeping body only through awake bodies it touches; a
// body touched by a moving kinematic model is woken here, or it would let
// the model pass through it.
void WakeBodiesPushedByKinematics(RbdContactID head, const PairSides &s)
{
    if (!head) return;
    for (int k = 0; k < 2; ++k) {
        RbdBodyID body = s.body[k];
        if (body && !RbdBodyIsEnabled(body) && !RbdBodyIsFrozen(body) && MovesWithoutBody(s.model[1 - k]))
            RbdBodyEnable(body);
    }
}

// A pair that had no contacts and was given none (most of a heap's pairs
// whose boxes overlap but not the boxes themselves): the response has
// nothing to match, destroy or wake, and is left at once unless a material
// callback, the safe-time step or the warning about a material id outside
// the table must see it.
bool NothingToRespond(const SbxBridge *bridge, const CdxModelPair *pair, const CdxIntersectResult *result)
{
    if (result->contactCount != 0 || SbxPairContacts(pair) || bridge->materialCallbacksSet) return false;
    if (bridge->step && bridge->step->safeTimeMode) return false;
    if (bridge->badMaterialReported) return true;
    const int m1 = CdxModelGetMaterialID(pair->model1), m2 = CdxModelGetMaterialID(pair->model2);
    return m1 >= 0 && m1 < bridge->materialCount && m2 >= 0 && m2 < bridge->materialCount;
}

void StartWithEntryRequest(CdxModelPair *pair, SbxResponse *entry)
{
    if (!pair) return;
    CdxHelloWithRequest(pair, entry ? &entry->request : CdxGetDefaultRequestPtr());
    SbxSetPairContacts(pair, RbdContactInvalidID);
}

} // namespace

extern "C" {

SbxResponseStartFn SbxResponseGetStartFn(const SbxResponse *entry)
{
    return entry ? entry->start : nullptr;
}

SbxResponseFn SbxResponseGetResponseFn(const SbxResponse *entry)
{
    return entry ? entry->response : nullptr;
}

SbxResponseEndFn SbxResponseGetEndFn(const SbxResponse *entry)
{
    return entry ? entry->end : nullptr;
}

void *SbxResponseGetUserData(const SbxResponse *entry)
{
    return entry ? entry->user : nullptr;
}

CdxRequest *SbxResponseGetRequest(SbxResponse *entry)
{
    return entry ? &entry->request : nullptr;
}

void SbxResponseStart_Body_Body(SbxBridgeID, CdxModelPair *pair, CdxSpaceID, RbdWorldID, SbxResponse *)
{
    if (!pair) return;
    CdxHello(pair);
    SbxSetPairContacts(pair, RbdContactInvalidID);
}

void SbxResponse_Body_Body(SbxBridgeID bridge, CdxModelPair *pair, CdxIntersectResult *result, CdxSpaceID,
                           RbdWorldID world, void *)
{
    if (!SbxCheckBridge(bridge, "SbxResponse_Body_Body") || !pair || !result) return;
    if (NothingToRespond(bridge, pair, result)) return;
    const PairSides s = ReadSides(pair);
    SbxMaterialPair *materials = SbxMaterialPairOf(bridge, s.material[0], s.material[1]);
    if (result->touch && materials->intersectCB) materials->intersectCB(result, materials->intersectData);
    if (!s.body[0] && !s.body[1]) return;

    RbdContactID head = MatchContacts(bridge, result, world, s, materials, SbxPairContacts(pair));
    SbxSetPairContacts(pair, head);
    const RbdStepInfo *step = SbxBridgeGetStep(bridge);
    if (result->contactCount == 0 && step && step->safeTimeMode) LimitSafeTimes(pair, step->h, s);
    OrientWheelFriction(head, s);
    if (materials->perPairCB && !materials->perPairCB(result, head, materials->perPairData)) {
        SbxModelPairDestroyContacts(pair);
        return;
    }
    WakeBodiesPushedByKinematics(head, s);
}

void SbxResponseEnd_Body_Body(SbxBridgeID, CdxModelPair *pair, CdxSpaceID, RbdWorldID, void *)
{
    if (!pair) return;
    const PairSides s = ReadSides(pair);
    if (s.body[0] || s.body[1]) SbxDestroyContactChain(SbxPairContacts(pair));
    SbxSetPairContacts(pair, RbdContactInvalidID);
}

void SbxResponseStart_Sensor_Body(SbxBridgeID, CdxModelPair *pair, CdxSpaceID, RbdWorldID, SbxResponse *entry)
{
    StartWithEntryRequest(pair, entry);
}

void SbxResponseStart_Sensor_Sensor(SbxBridgeID, CdxModelPair *pair, CdxSpaceID, RbdWorldID, SbxResponse *entry)
{
    StartWithEntryRequest(pair, entry);
}

void SbxResponseStart_Sensor_PS(SbxBridgeID, CdxModelPair *pair, CdxSpaceID, RbdWorldID, SbxResponse *entry)
{
    StartWithEntryRequest(pair, entry);
}

} // extern "C"
