// A pair at rest gives the same contacts step after step: running the
// separating-axis test, clipping and matching again only to find them costs
// more than the rest of the pair's step. When collision finds a pair's
// contacts, each contact records its point in both bodies (the two points
// coincide then) and the normal in both bodies, with the penetration found.
// While the bodies move relative to each other by less than the collision
// test resolves, the contacts are kept: body 0's point has moved by
//   d = p0 - p1
// relative to body 1's, so the penetration along the normal n (from body 1
// towards body 0, the mean of the normal as carried by either body) is now
//   penetration = found - n . d,
// and the contact stays where it was found: within the shift bound of
// either body's point. Moving it with the bodies (midway between the two
// points) let a stack at a tight solver tolerance lean: each box-box pair
// slid by nearly the bound, every pair the same way. A sphere's contacts
// are the exception: a sphere turning in place would drag a point it
// carries off the line of centres, where a fresh test finds the contact, so
// they follow the sphere's centre and the normal the other body carries
// (MoveRoundContact).
//
// How small is small enough: the box tests take two faces as parallel when
// the cosine between a face normal and the other box's edge is below 1e-4;
// a relative turn below a tenth of that, 1e-5 rad, changes no choice the
// test makes beyond what rounding already changes, and a relative shift
// below 1e-5 of the smaller model's size moves each point by as much, a
// five-hundredth of the default contact tolerance (5 mm) for a metre-sized
// box. The kept contact lags the fresh one by at most that. The lag that
// matters is a length, not a share of the size: a stack of ten
// metre-sized cubes leaned 0.3 mm with a shift bound of 35 um (4e-5 of its
// size) and not at all with 26 um, while ten 0.2 m cubes stood as still at
// 7 um as at 1.7 um; with 1e-4 of the size ten boxes solved by sweeps
// drifted 10.5 mm in 10 s instead of 6.9 mm. So small models get a floor:
// a shift of a thousandth of the smaller contact tolerance (5 um by
// default), and the turn that moves the smaller model's farthest point by
// as much, up to 3e-5 rad (a third of the parallel test's cosine). In a
// heap of 0.2 m boxes settling, most touching pairs turn by 1e-5 to 4e-5
// rad a step: with bounds of 1e-5 rad and 1.7 um nine in ten of them ran
// the whole box test again each step. Past either bound the pair
// is tested afresh and records its contacts again, so the error never
// grows from step to step.
#include "SbxContactKeep.h"

#include "SbxBridgeRecord.h"
#include "SbxUtils.h"

#include <math.h>
#include <stdint.h>
#include <string.h>

#include <kelmar/CdxComposite.h>
#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxModel.h>
#include <kelmar/CdxModelPair.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdCarWheel.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/SbxResponse.h>

namespace {

const PxReal kLargestTurn = 1e-5;  // rad, relative turn of the bodies
const PxReal kLargestShift = 1e-5; // of the smaller model's size, relative shift
// The floors for small models: a shift of this share of the smaller
// contact tolerance, and the turn that moves the smaller model's farthest
// point as far, but never a turn beyond kMostTurn.
const PxReal kLeastShift = 1e-3;
const PxReal kMostTurn = 3e-5; // rad
// Box-box clipping reports at most eight corners; a pair with more is tested.
const int kMostKept = 8;
// The low four bits of a pair's record: its bounds' slot in the bridge's table.
const uintptr_t kSlotMask = SbxBridge::kKeepSets + 1;
static_assert((kSlotMask & (kSlotMask + 1)) == 0, "the slots fill the record's low bits");

// A model's size for the shift bound: a box's bounding radius, a sphere's
// radius; a plane or a composite has none (the other model's decides).
PxReal SizeOf(CdxModelID model)
{
    CdxGeometryID geometry = CdxModelGetGeometry(model);
    const CdxGeometryTypeID kind = CdxGeometryGetTypeId(geometry);
    if (kind == CdxBoxGetTypeId()) return CdxBoxGetBSphereRadius(geometry);
    if (kind == CdxSphereGetTypeId()) return CdxSphereGetRadius(geometry);
    return HUGE_VAL;
}

bool IsSphere(CdxModelID model)
{
    return CdxGeometryGetTypeId(CdxModelGetGeometry(model)) == CdxSphereGetTypeId();
}

// Kinds whose contacts are points of the models' faces and corners, which
// move with the bodies (box-box and box-plane), and a sphere against a
// composite, whose part search costs far more than the keep check (a
// sphere's other tests cost less than the check).
bool KindsKeep(CdxModelID a, CdxModelID b)
{
    const CdxGeometryTypeID box = CdxBoxGetTypeId(), plane = CdxPlaneGetTypeId();
    const CdxGeometryTypeID ka = CdxGeometryGetTypeId(CdxModelGetGeometry(a));
    const CdxGeometryTypeID kb = CdxGeometryGetTypeId(CdxModelGetGeometry(b));
    if ((ka == box && (kb == box || kb == plane)) || (ka == plane && kb == box)) return true;
    const CdxGeometryTypeID sphere = CdxSphereGetTypeId();
    return (ka == sphere && CdxModelIsComposite(b)) || (kb == sphere && CdxModelIsComposite(a));
}

// A side may keep its contacts when it is a body that no joint steers
// through its contacts (a car wheel orients their friction), or a model
// standing still in its space (a moving one must wake what it pushes).
bool SideKeeps(CdxModelID model)
{
    PxMatrix4 *relative = nullptr, *reference = nullptr;
    CdxModelGetRelativeTransformPtrs(model, &relative, &reference);
    if (relative || reference) return false;
    RbdBodyID body = static_cast<RbdBodyID>(CdxModelGetBodyData(model));
    if (body) return !RbdBodyIsCarWheel(body);
    return CdxModelGetSpace(model) && CdxSpaceModelIsFrozen(model);
}

// The built-in body-body response, with no intersect callback or only ones
// that may run on kept contacts.
bool EntryKeeps(const SbxResponse *entry)
{
    if (!entry || entry->response != SbxResponse_Body_Body) return false;
    return (!entry->intersectActiveCB && !entry->intersectNewCB) || entry->callbacksOnKept;
}

// What of the pair's set-up may change from step to step without changing
// its signature: the response entry's callbacks, the step, the materials'
// callbacks and the sides.
bool StillKeeps(SbxBridge *bridge, const CdxModelPair *pair, const SbxResponse *entry)
{
    if (!EntryKeeps(entry)) return false;
    if (!bridge->step || bridge->step->safeTimeMode) return false;
    CdxModelID a = pair->model1, b = pair->model2;
    if (bridge->materialCallbacksSet) {
        const SbxMaterialPair *materials = SbxMaterialPairOf(bridge, CdxModelGetMaterialID(a),
                                                             CdxModelGetMaterialID(b));
        if (materials->intersectCB || materials->perContactCB || materials->perPairCB) return false;
    }
    return SideKeeps(a) && SideKeeps(b);
}

// Whether the pair may keep its contacts at all: the built-in body-body
// response, no callback that must see a fresh test, a plain step (the path
// step estimates impact times from the test), checked kinds and sides.
bool MayKeep(SbxBridge *bridge, const CdxModelPair *pair, const SbxResponse *entry)
{
    if (!EntryKeeps(entry)) return false;
    if (!bridge->step || bridge->step->safeTimeMode) return false;
    // The kinds first: they rule out most pairs of a pile of spheres.
    if (!KindsKeep(pair->model1, pair->model2)) return false;
    return StillKeeps(bridge, pair, entry);
}

// A kept pair's active callback gets its contacts with the parameters of
// the pair's materials, as a fresh test would give them. A composite side
// answers with the material of the element touched: a pair whose contacts
// came from an element of another material than its model's is tested
// afresh instead.
bool ElementsShareMaterials(const CdxModelPair *pair, const CdxIntersectResult *result)
{
    const CdxModelID models[2] = {pair->model1, pair->model2};
    for (int side = 0; side < 2; ++side) {
        if (!CdxModelIsComposite(models[side])) continue;
        const int material = CdxModelGetMaterialID(models[side]);
        for (int k = 0; k < result->contactCount; ++k) {
            const intptr_t element = side ? result->contacts[k].element2 : result->contacts[k].element1;
            if (element && CdxModelGetMaterialID(reinterpret_cast<CdxModelID>(element)) != material) return false;
        }
    }
    return true;
}

uint64_t BitsOf(PxReal value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// What the contacts were found with: geometries, bodies, transforms,
// tolerances, materials and the request, and the shapes as they were: a
// geometry resized in place keeps its address, and a composite's elements
// are resized, re-placed, added and removed without a word to the pairs
// they reach, so the collision library's count of shape edits stands for
// them all (one read, where walking a composite's elements would cost a
// test's worth). Any change sends the pair to a fresh test. Its low bits
// are left to the bounds' slot (SlotOf).
uintptr_t Signature(const CdxModelPair *pair)
{
    uint64_t h = 0x9e3779b97f4a7c15ull;
    auto mix = [&h](uint64_t word) { h = (h ^ word) * 0xff51afd7ed558ccdull + (h >> 29); };
    auto address = [](const void *p) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)); };
    mix(CdxGeometryGetEditCount());
    const CdxModelID models[2] = {pair->model1, pair->model2};
    for (CdxModelID model : models) {
        const uint64_t bits = BitsOf(CdxModelGetContactTolerance(model));
        mix(address(CdxModelGetGeometry(model)));
        mix(address(CdxModelGetBodyData(model)));
        mix(address(CdxModelGetTransformPtr(model)));
        mix(bits);
        mix(static_cast<uint64_t>(static_cast<uint32_t>(CdxModelGetMaterialID(model))));
    }
    mix(address(pair->request));
    return static_cast<uintptr_t>(h) & ~kSlotMask;
}

// The chord between two unit vectors, about the angle between them.
PxReal Chord(const PxVector3 a, const PxVector3 b)
{
    PxVector3 d;
    PxV3Sub(d, a, b);
    return PxV3Length(d);
}

// Where a kept contact is now.
struct Moved {
    PxVector3 normal;
    PxReal penetration;
    PxVector3 position; // set for a sphere's contact only
};

// A sphere's side of a pair: its contacts lie on the line from its centre
// along the normal, whichever way the sphere turns.
struct Round {
    int side; // of the sphere, 0 or 1; -1: no sphere
    const PxReal *centre;
};

// How far a pair's bodies may move before it is tested afresh, and which
// side of the pair is a sphere (moved as such), if any.
struct Bounds {
    PxReal turn;  // rad
    PxReal shift; // m
    int round;    // the sphere's side, 0 or 1; -1: none
};

// The contact's new normal and penetration; false when its bodies moved
// too far for it to be kept. The rows are turned into the world one test
// at a time: a contact that fails a test needs none of the later rows.
// The contacts of a pair found with one normal carry the same axes: a
// contact whose axes are those of the one checked before it (before, moved
// to movedBefore) passes the same turn tests with the same turned normal,
// and only its point is turned.
bool MoveContact(RbdContactID contact, RbdContactID before, const Moved *movedBefore, const Bounds &bounds,
                 Moved *moved)
{
    if (before && RbdContactSharesCarriedAxes(contact, before)) {
        PxV3Copy(moved->normal, movedBefore->normal);
    } else {
        PxVector3 normal0, normal1, side0, side1;
        RbdContactGetCarried(contact, 0, normal0, normal1);
        if (Chord(normal0, normal1) > bounds.turn) return false;
        RbdContactGetCarried(contact, 1, side0, side1);
        if (Chord(side0, side1) > bounds.turn) return false;
        // The face that gives the normal may be either body's: the normal
        // turned halfway is within half the relative turn of it.
        PxV3Add(moved->normal, normal0, normal1);
        PxV3Normalize(moved->normal);
    }
    PxVector3 point0, point1, d;
    RbdContactGetCarried(contact, 3, point0, point1);
    PxV3Sub(d, point0, point1);
    if (PxV3Length(d) > bounds.shift) return false;
    moved->penetration = RbdContactGetFoundPenetration(contact) - PxV3Dot(moved->normal, d);
    return true;
}

// A sphere's contact: the sphere's turn says nothing (a fresh test finds
// the contact on the line of centres whatever it is), so what the other
// body carries decides. Its normal and the point where the sphere's centre
// was, at the found distance rho from the contact along the normal, move
// with it; the sphere's centre has moved by d from that point, which must
// stay within the shift bound, and the contact is put back on the line
// from the centre along the carried normal. Turns of the other body about
// the sphere's centre move the contact with it, as they move the fresh one.
bool MoveRoundContact(RbdContactID contact, const Bounds &bounds, const Round &round, Moved *moved)
{
    // The sphere's turn of the normal is never read: only the other body's.
    PxVector3 normal, point[2];
    const int other = 1 - round.side;
    RbdContactGetCarriedBy(contact, 0, other, normal);
    RbdContactGetCarried(contact, 3, point[0], point[1]);
    // The normal points from body 1 to body 0: towards the sphere's centre
    // when the sphere is body 0.
    PxVector3 inward, centre, d;
    PxV3Scale(inward, normal, round.side == 0 ? 1.0 : -1.0);
    PxV3Sub(d, point[round.side], round.centre);
    const PxReal rho = PxV3Length(d);
    PxV3AddScaled(centre, point[other], inward, rho);
    PxV3Sub(d, round.centre, centre);
    if (PxV3Length(d) > bounds.shift) return false;
    PxV3Copy(moved->normal, normal);
    moved->penetration = RbdContactGetFoundPenetration(contact) - PxV3Dot(inward, d);
    PxV3AddScaled(moved->position, round.centre, inward, -rho);
    return true;
}

Bounds BoundsOf(const CdxModelPair *pair)
{
    const PxReal a = SizeOf(pair->model1), b = SizeOf(pair->model2), size = a < b ? a : b;
    const PxReal ta = CdxModelGetContactTolerance(pair->model1), tb = CdxModelGetContactTolerance(pair->model2);
    const PxReal floor = kLeastShift * (ta < tb ? ta : tb), bySize = kLargestShift * size;
    const PxReal turn = floor < kMostTurn * size ? floor / size : kMostTurn;
    const int round = IsSphere(pair->model1) ? 0 : IsSphere(pair->model2) ? 1 : -1;
    return {turn > kLargestTurn ? turn : kLargestTurn, bySize > floor ? bySize : floor, round};
}

// The bridge keeps the bounds of each set-up it met (few in a scene: they
// depend on the smaller model's size, the smaller tolerance and which side
// is a sphere alone), and
// a pair's record names the slot in its low bits, so that a step's check
// reads its bounds instead of working them out; 0 is no record, kSlotMask
// a set-up past the table's end, whose bounds are worked out per check.
uintptr_t SlotOf(SbxBridge *bridge, const CdxModelPair *pair)
{
    const Bounds bounds = BoundsOf(pair);
    for (int k = 0; k < bridge->keepBoundsUsed; ++k)
        if (bridge->keepBounds[k][0] == bounds.turn && bridge->keepBounds[k][1] == bounds.shift &&
            bridge->keepRound[k] == bounds.round)
            return k + 1;
    if (bridge->keepBoundsUsed == SbxBridge::kKeepSets) return kSlotMask;
    bridge->keepBounds[bridge->keepBoundsUsed][0] = bounds.turn;
    bridge->keepBounds[bridge->keepBoundsUsed][1] = bounds.shift;
    bridge->keepRound[bridge->keepBoundsUsed] = bounds.round;
    return ++bridge->keepBoundsUsed;
}

Bounds BoundsOfSlot(const SbxBridge *bridge, const CdxModelPair *pair, uintptr_t slot)
{
    if (slot == kSlotMask) return BoundsOf(pair);
    return {bridge->keepBounds[slot - 1][0], bridge->keepBounds[slot - 1][1], bridge->keepRound[slot - 1]};
}

// Moves every contact of the chain, or none when one of them may not be
// kept; a sphere's contacts move their positions as well. Each kept
// contact is a step nearer settled (RbdContactSetSettling).
template <typename Move> bool MoveAll(RbdContactID head, Move move, bool withPositions = false)
{
    Moved moved[kMostKept];
    RbdContactID contacts[kMostKept];
    int count = 0;
    for (RbdContactID c = head; c; c = RbdContactGetNext(c)) {
        if (count == kMostKept) return false;
        const RbdContactID before = count ? contacts[count - 1] : RbdContactInvalidID;
        if (!move(c, before, count ? &moved[count - 1] : nullptr, &moved[count])) return false;
        contacts[count++] = c;
    }
    for (int i = 0; i < count; ++i) {
        RbdContactSetNormal(contacts[i], moved[i].normal[0], moved[i].normal[1], moved[i].normal[2]);
        RbdContactSetPenetration(contacts[i], moved[i].penetration);
        RbdContactSetSettling(contacts[i], RbdContactGetSettling(contacts[i]) - 1);
        if (withPositions)
            RbdContactSetPosition(contacts[i], moved[i].position[0], moved[i].position[1], moved[i].position[2]);
    }
    return true;
}

} // namespace

bool SbxKeepContacts(SbxBridge *bridge, CdxModelPair *pair, const SbxResponse *entry, SbxKeepCheck *check)
{
    RbdContactID head = SbxPairContacts(pair);
    if (!head || !pair->reserved || !CdxModelPairGetWasIntersecting(pair)) return false;
    // A record was made when the pair could keep its contacts; while the
    // signature holds, so do the kinds and the bounds, and only what may
    // change from step to step is asked again.
    if (!StillKeeps(bridge, pair, entry)) {
        check->mayKeep = 0;
        return false;
    }
    const uintptr_t record = reinterpret_cast<uintptr_t>(pair->reserved);
    check->signature = Signature(pair);
    if ((record & ~kSlotMask) != check->signature) return false;
    check->mayKeep = 1;
    check->slot = record & kSlotMask;
    const Bounds bounds = BoundsOfSlot(bridge, pair, check->slot);
    // All or none: every contact is checked before any is moved.
    if (bounds.round < 0)
        return MoveAll(head, [&](RbdContactID c, RbdContactID before, const Moved *movedBefore, Moved *m) {
            return MoveContact(c, before, movedBefore, bounds, m);
        });
    const Round round = {bounds.round, (*CdxModelGetTransformPtr(bounds.round ? pair->model2 : pair->model1))[3]};
    return MoveAll(
        head,
        [&](RbdContactID c, RbdContactID, const Moved *, Moved *m) { return MoveRoundContact(c, bounds, round, m); },
        true);
}

void SbxRecordFoundContacts(SbxBridge *bridge, CdxModelPair *pair, const SbxResponse *entry,
                            const SbxKeepCheck *check, const CdxIntersectResult *result)
{
    pair->reserved = nullptr;
    RbdContactID head = SbxPairContacts(pair);
    if (!head) return;
    // The collision test and the response change nothing either answer
    // depends on: what the keep check found holds.
    const bool mayKeep = check->mayKeep < 0 ? MayKeep(bridge, pair, entry) : check->mayKeep != 0;
    if (!mayKeep) return;
    if (entry->intersectActiveCB && !ElementsShareMaterials(pair, result)) return;
    for (RbdContactID c = head; c; c = RbdContactGetNext(c)) RbdContactRecordFound(c);
    const uintptr_t signature = check->signature ? check->signature : Signature(pair);
    const uintptr_t slot = check->slot ? check->slot : SlotOf(bridge, pair);
    pair->reserved = reinterpret_cast<void *>(signature | slot);
}

void SbxRunKeptCallback(SbxBridge *bridge, CdxModelPair *pair, const SbxResponse *entry)
{
    RbdContactID head = SbxPairContacts(pair);
    const SbxMaterialPair *materials = SbxMaterialPairOf(bridge, CdxModelGetMaterialID(pair->model1),
                                                         CdxModelGetMaterialID(pair->model2));
    for (RbdContactID c = head; c; c = RbdContactGetNext(c)) RbdContactSetParams(c, &materials->params);
    CdxIntersectResult result = {};
    result.pair = pair;
    result.touch = 1;
    RbdContactGetNormal(head, result.normal);
    entry->intersectActiveCB(&result, head, entry->intersectActiveData);
}
