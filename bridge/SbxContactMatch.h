// Continuing a model pair's contacts from one step to the next by where
// they touch, not by their place in the collision results.
#ifndef KELMAR_BRIDGE_SBXCONTACTMATCH_H
#define KELMAR_BRIDGE_SBXCONTACTMATCH_H

#include <kelmar/CdxTypes.h>
#include <kelmar/RbdTypes.h>

struct SbxBridge;

// Last step's contacts of one pair, each with the point where its contact
// point is now, had it moved with the pair's first body over the step.
struct SbxPreviousContacts {
    RbdContactID *contact; // null once taken by a collision contact
    PxVector3 *point;      // world (m)
    int count;
};

// Takes the chain at head apart into the bridge's scratch arrays (contacts
// beyond the bridge's contact capacity are destroyed), with their points
// when places: body is the pair's first body, or its second when the first
// is the world, h the step (s) over which it moved since the contacts were
// made.
void SbxGatherPreviousContacts(SbxBridge *bridge, RbdContactID head, bool places, RbdBodyID body, PxReal h,
                               SbxPreviousContacts *out);

// continuing[k] receives the contact of last step at the place of
// collision contact k, taken from previous, or null for none.
void SbxMatchByPlace(SbxPreviousContacts *previous, const CdxContact *collisions, int count,
                     RbdContactID *continuing);

// The first untaken contact in list order, now taken; null when none is left.
RbdContactID SbxTakeNextContact(SbxPreviousContacts *previous);

// Disables and destroys one contact, whatever its next link says.
void SbxDestroyUnchainedContact(RbdContactID contact);

// Disables and destroys every contact nobody took.
void SbxDestroyUntakenContacts(SbxPreviousContacts *previous);

#endif
