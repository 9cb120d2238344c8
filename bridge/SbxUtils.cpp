// Contact lists of model pairs and the copy of a collision contact into a
// dynamics contact.
#include "SbxUtils.h"
#include "SbxBridgeRecord.h"

#include <kelmar/CdxModelPair.h>
#include <kelmar/PxMessage.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdContact.h>
#include <kelmar/SbxResponse.h>

RbdContactID SbxPairContacts(const CdxModelPair *pair)
{
    return static_cast<RbdContactID>(CdxModelPairGetResponseData(pair));
}

void SbxSetPairContacts(CdxModelPair *pair, RbdContactID first)
{
    CdxModelPairSetResponseData(pair, first);
}

void SbxDestroyContactChain(RbdContactID first)
{
    while (first) {
        RbdContactID next = RbdContactGetNext(first);
        RbdConstraintDisable(first);
        RbdConstraintDestroy(first);
        first = next;
    }
}

extern "C" {

RbdContactID SbxModelPairGetContacts(const CdxModelPair *pair)
{
    return pair ? SbxPairContacts(pair) : RbdContactInvalidID;
}

int SbxModelPairGetContactCount(const CdxModelPair *pair)
{
    int count = 0;
    for (RbdContactID c = SbxModelPairGetContacts(pair); c; c = RbdContactGetNext(c)) ++count;
    return count;
}

void SbxModelPairDestroyContacts(CdxModelPair *pair)
{
    if (!pair) return;
    SbxDestroyContactChain(SbxPairContacts(pair));
    SbxSetPairContacts(pair, RbdContactInvalidID);
}

void ConvertCollisionContact(const RbdContactParams *params, const CdxContact *collisionContact, RbdContactID contact)
{
    if (!collisionContact || !contact) {
        PxWarning(SBX_MESSAGE_LEVEL, "ConvertCollisionContact: null %s.\n",
                  contact ? "collision contact" : "contact");
        return;
    }
    const PxReal *p = collisionContact->position;
    const PxReal *n = collisionContact->normal;
    RbdContactSetPosition(contact, p[0], p[1], p[2]);
    RbdContactSetNormal(contact, n[0], n[1], n[2]);
    RbdContactSetPenetration(contact, -collisionContact->separation);
    if (params) RbdContactSetParams(contact, params);
}

} // extern "C"
