// Keeping a resting pair's contacts between collision tests.
#ifndef KELMAR_BRIDGE_SBXCONTACTKEEP_H
#define KELMAR_BRIDGE_SBXCONTACTKEEP_H

#include <kelmar/CdxTypes.h>

#include <stdint.h>

struct SbxBridge;
struct SbxResponse;

// What a pair's keep check learnt that recording its contacts after a fresh
// test asks again within the same collision: whether the pair may keep
// contacts at all and the signature of what they were found with.
struct SbxKeepCheck {
    int mayKeep = -1;        // -1: not asked
    uintptr_t signature = 0; // 0: not computed
    uintptr_t slot = 0;      // of the pair's bounds, when its record held; 0: not known
};

// True when the pair's contacts were kept: the pair may keep them (built-in
// body-body response, no callback that needs fresh contacts, kinds whose
// contacts follow the bodies, models as when found) and its bodies moved
// relative to each other by less than the collision test resolves since the
// contacts were found. Each kept contact's position and penetration are
// then recomputed from its points carried by the bodies (a sphere's from
// its centre), and the collision test is not run.
// What it learns on the way goes into check, for the record that follows a
// fresh test.
bool SbxKeepContacts(SbxBridge *bridge, CdxModelPair *pair, const SbxResponse *entry, SbxKeepCheck *check);

// After a collision test: records on each of the pair's contacts its point
// in both bodies and the normal in both, so that a later step may keep
// them; a pair that may not keep its contacts records nothing.
void SbxRecordFoundContacts(SbxBridge *bridge, CdxModelPair *pair, const SbxResponse *entry,
                            const SbxKeepCheck *check, const CdxIntersectResult *result);

// After the pair kept its contacts: the entry's active callback (which it
// must have) on the kept contacts (SbxBridgeSetCallbacksOnKeptContacts).
void SbxRunKeptCallback(SbxBridge *bridge, CdxModelPair *pair, const SbxResponse *entry);

#endif
