// A pair's dynamics contacts carry last step's forces, from which the
// large islands' sweeps start. The collision results list a pair's contacts
// in no lasting order: the corners of a turned box on the ground come in a
// different order from step to step, and reused in list order a contact
// takes the force of another corner. By place, a collision contact takes the
// contact of last step that touched where it touches now, the old points
// having moved with the pair's first body over the step.
//
// Not every contact has a predecessor. A face reduced to a few of its
// outline's corners may report other corners the next step, and two
// nearly aligned boxes touch along nearly parallel edges whose crossings
// jump along the edges. Only a contact within a tenth of the spacing of
// last step's contacts counts as the same place; the others take the
// contacts left over in list order, as before, and a collision contact left
// without (more contacts than last step) gets a new contact, which starts
// from no force.
#include "SbxContactMatch.h"

#include "SbxBridgeRecord.h"

#include <math.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>

namespace {

// Of the least spacing of a pair's contacts: how near a collision contact
// must be to a contact of last step to be at the same place.
const PxReal kSamePlace = 0.1;

// Above this many (collision, previous) couples of a pair, the closest
// couples are not sought over the whole pair (the search grows with the
// cube of the contacts): each collision contact in turn takes the nearest.
const int kMostCouples = 1024;

void DestroyContact(RbdContactID contact)
{
    RbdConstraintDisable(contact);
    RbdConstraintDestroy(contact);
}

// Where the point p (world, m) of body is after h seconds of its present motion.
void MoveWithBody(RbdBodyID body, PxReal h, PxVector3 p)
{
    if (!body) return;
    PxVector3 com, arm, velocity, turn;
    RbdBodyGetCenterOfMassPosition(body, com);
    RbdBodyGetLinearVelocity(body, velocity);
    PxV3Sub(arm, p, com);
    PxV3Cross(turn, RbdBodyGetAngularVelocityPtr(body), arm);
    PxV3Add(velocity, velocity, turn);
    PxV3AddScaled(p, p, velocity, h);
}

// Squared distance (m^2) from the point p to previous contact j's.
PxReal SquaredGap(const SbxPreviousContacts *previous, int j, const PxVector3 p)
{
    PxVector3 gap;
    PxV3Sub(gap, p, previous->point[j]);
    return PxV3LengthSquared(gap);
}

// Squared distance (m^2) within which a collision contact is where a
// previous one was; unbounded for a single previous contact.
PxReal SquaredReach(const SbxPreviousContacts *previous)
{
    PxReal least = HUGE_VAL;
    for (int a = 0; a < previous->count; ++a)
        for (int b = a + 1; b < previous->count; ++b) {
            PxReal gap = SquaredGap(previous, a, previous->point[b]);
            if (gap < least) least = gap;
        }
    return kSamePlace * kSamePlace * least;
}

// The untaken contact whose point is nearest p, closer than reach2 (m^2);
// -1 when there is none. Ties go to the first.
int Nearest(const SbxPreviousContacts *previous, const PxVector3 p, PxReal reach2)
{
    int nearest = -1;
    PxReal best = reach2;
    for (int j = 0; j < previous->count; ++j) {
        if (!previous->contact[j]) continue;
        PxReal gap = SquaredGap(previous, j, p);
        if (gap < best) {
            best = gap;
            nearest = j;
        }
    }
    return nearest;
}

// The closest couple within reach2 of a collision contact without a contact
// and an untaken previous contact; false when there is none.
bool ClosestCouple(const SbxPreviousContacts *previous, const CdxContact *collisions, int count,
                   const RbdContactID *continuing, PxReal reach2, int *k, int *j)
{
    PxReal best = HUGE_VAL;
    *k = *j = -1;
    for (int c = 0; c < count; ++c) {
        if (continuing[c]) continue;
        int nearest = Nearest(previous, collisions[c].position, reach2);
        if (nearest < 0) continue;
        PxReal gap = SquaredGap(previous, nearest, collisions[c].position);
        if (gap < best) {
            best = gap;
            *k = c;
            *j = nearest;
        }
    }
    return *k >= 0;
}

void Take(SbxPreviousContacts *previous, int j, RbdContactID *continuing, int k)
{
    continuing[k] = previous->contact[j];
    previous->contact[j] = RbdContactInvalidID;
}

// The closest couples first: a collision contact at a corner that stayed
// takes that corner's contact even when one that moved comes before it in
// the results and is nearer to that corner than to any other.
void TakeSamePlaces(SbxPreviousContacts *previous, const CdxContact *collisions, int count, RbdContactID *continuing)
{
    const PxReal reach2 = SquaredReach(previous);
    if (count * previous->count > kMostCouples) {
        for (int k = 0; k < count; ++k) {
            int j = Nearest(previous, collisions[k].position, reach2);
            if (j >= 0) Take(previous, j, continuing, k);
        }
        return;
    }
    int k, j;
    while (ClosestCouple(previous, collisions, count, continuing, reach2, &k, &j)) Take(previous, j, continuing, k);
}

} // namespace

void SbxGatherPreviousContacts(SbxBridge *bridge, RbdContactID head, bool places, RbdBodyID body, PxReal h,
                               SbxPreviousContacts *out)
{
    out->contact = bridge->previousContacts;
    out->point = bridge->previousPoints;
    out->count = 0;
    while (head) {
        RbdContactID next = RbdContactGetNext(head);
        if (out->count == bridge->contactCapacity) {
            DestroyContact(head);
        } else {
            out->contact[out->count] = head;
            if (places) {
                RbdContactGetPosition(head, out->point[out->count]);
                MoveWithBody(body, h, out->point[out->count]);
            }
            ++out->count;
        }
        head = next;
    }
}

void SbxMatchByPlace(SbxPreviousContacts *previous, const CdxContact *collisions, int count, RbdContactID *continuing)
{
    for (int k = 0; k < count; ++k) continuing[k] = RbdContactInvalidID;
    TakeSamePlaces(previous, collisions, count, continuing);
}

RbdContactID SbxTakeNextContact(SbxPreviousContacts *previous)
{
    for (int j = 0; j < previous->count; ++j) {
        RbdContactID contact = previous->contact[j];
        if (!contact) continue;
        previous->contact[j] = RbdContactInvalidID;
        return contact;
    }
    return RbdContactInvalidID;
}

void SbxDestroyUnchainedContact(RbdContactID contact)
{
    DestroyContact(contact);
}

void SbxDestroyUntakenContacts(SbxPreviousContacts *previous)
{
    for (int k = 0; k < previous->count; ++k)
        if (previous->contact[k]) DestroyContact(previous->contact[k]);
    previous->count = 0;
}
