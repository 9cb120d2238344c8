// Contact-list helpers of the bridge's responses.
#ifndef KELMAR_BRIDGE_SBXUTILS_H
#define KELMAR_BRIDGE_SBXUTILS_H

#include <kelmar/CdxTypes.h>
#include <kelmar/RbdTypes.h>

// The head of a pair's contact list, kept in the pair's response data.
RbdContactID SbxPairContacts(const CdxModelPair *pair);
void SbxSetPairContacts(CdxModelPair *pair, RbdContactID first);

// Disables and destroys first and every contact chained after it.
void SbxDestroyContactChain(RbdContactID first);

#endif
