/* Collision response: what the simulation bridge does with a pair of
 * models that meet, and the callbacks through which users watch and edit
 * the result.
 *
 * Every model carries a response id. For each unordered pair of response
 * ids the bridge keeps one response entry:
 *   start     called when the pair begins (it must say hello to the pair),
 *   response  called every step while the pair is close, with the step's
 *             intersection result,
 *   end       called when the pair disappears,
 * together with a collision request and four transition callbacks
 * (intersect new, intersect active, intersect inactive, disjoint).
 *
 * The contacts of a pair of bodies live in the pair's contact list: a
 * chain of RbdContacts linked through RbdContactSetNext, whose head is
 * kept in the pair's response data. */
#ifndef KELMAR_SBXRESPONSE_H
#define KELMAR_SBXRESPONSE_H

#include "CdxTypes.h"
#include "RbdTypes.h"
#include "RbdContactParams.h"

PX_EXTERN_C_BEGIN

/* Opaque handles. */
typedef struct SbxBridge *SbxBridgeID;
typedef struct SbxResponse SbxResponse; /* one entry of the response table */

/* Response ids every bridge knows from creation. Models with a dynamics
 * body answer as bodies, sensor models as sensors; "PS" is a third class
 * of models that only sensors respond to. */
enum { SbxBodyResponseID = 0, SbxSensorResponseID = 1, SbxPSResponseID = 2 };

/* Response functions. */
typedef void (*SbxResponseStartFn)(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world,
                                   SbxResponse *entry);
typedef void (*SbxResponseFn)(SbxBridgeID bridge, CdxModelPair *pair, CdxIntersectResult *result, CdxSpaceID space,
                              RbdWorldID world, void *user);
typedef void (*SbxResponseEndFn)(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world,
                                 void *user);

/* Transition callbacks of a response entry. contacts is the head of the
 * pair's contact list (null for pairs without bodies). The intersect
 * callbacks run after the response, so the list holds this step's
 * contacts and may be edited in place. */
typedef void (*SbxIntersectPairCB)(CdxIntersectResult *result, RbdContactID contacts, void *data);
typedef void (*SbxIntersectInactiveCB)(CdxModelPair *pair, RbdContactID contacts, void *data);
typedef void (*SbxDisjointCB)(CdxModelPair *pair, void *data);

/* Material-pair callbacks, run by the body-body response. */
/* Once per collision contact, after it was copied into contact; 0 drops
 * the collision contact (its dynamics contact is used for the next one). */
typedef int (*SbxPerContactCB)(CdxIntersectResult *result, CdxContact *collisionContact, RbdContactID contact,
                               void *data);
/* Once per pair after all contacts; 0 destroys every contact of the pair. */
typedef int (*SbxPerPairCB)(CdxIntersectResult *result, RbdContactID firstContact, void *data);
/* First, for touching pairs only; its result is not used. */
typedef void (*SbxIntersectCB)(CdxIntersectResult *result, void *data);

/* ---- Response entries (read access; the bridge's table functions write
 * them) ---- */
SbxResponseStartFn SbxResponseGetStartFn(const SbxResponse *entry);
SbxResponseFn SbxResponseGetResponseFn(const SbxResponse *entry);
SbxResponseEndFn SbxResponseGetEndFn(const SbxResponse *entry);
void *SbxResponseGetUserData(const SbxResponse *entry);
/* The request pairs of this entry answer when their start says hello with
 * it; the address stays valid for the life of the bridge. */
CdxRequest *SbxResponseGetRequest(SbxResponse *entry);

/* ---- Built-in responses ---- */

/* Says hello to the pair and empties its contact list. */
void SbxResponseStart_Body_Body(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world,
                                SbxResponse *entry);
/* Makes the pair's dynamics contacts match the collision contacts of the
 * result one to one: existing contacts are reused in order, missing ones
 * created (model 1's body as body 0) and surplus ones destroyed. Each gets
 * the position, normal, penetration (-separation) and the contact
 * parameters of the two models' materials (for a composite model, the
 * material of the element that produced the contact). In safe-time mode a
 * pair without contacts limits both bodies' safe times; a car wheel's
 * contacts get its rolling direction as friction direction. */
void SbxResponse_Body_Body(SbxBridgeID bridge, CdxModelPair *pair, CdxIntersectResult *result, CdxSpaceID space,
                           RbdWorldID world, void *user);
/* Destroys every contact of the pair when either model has a body. */
void SbxResponseEnd_Body_Body(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world, void *user);
/* Sensor starts: hello with the entry's request and an empty contact list,
 * so sensors see intersection results through the callbacks but never get
 * contacts. */
void SbxResponseStart_Sensor_Body(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world,
                                  SbxResponse *entry);
void SbxResponseStart_Sensor_Sensor(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world,
                                    SbxResponse *entry);
void SbxResponseStart_Sensor_PS(SbxBridgeID bridge, CdxModelPair *pair, CdxSpaceID space, RbdWorldID world,
                                SbxResponse *entry);

/* ---- Contacts of a pair ---- */

/* Head of the pair's contact list (null when empty or for a null pair). */
RbdContactID SbxModelPairGetContacts(const CdxModelPair *pair);
/* Number of contacts in the list. */
int SbxModelPairGetContactCount(const CdxModelPair *pair);
/* Disables and destroys every contact of the pair; the list is empty after. */
void SbxModelPairDestroyContacts(CdxModelPair *pair);

/* Copies a collision contact into a dynamics contact: position, normal
 * (from model 2 towards model 1, i.e. from body 1 towards body 0),
 * penetration = -separation, and the parameters (when params is not null). */
void ConvertCollisionContact(const RbdContactParams *params, const CdxContact *collisionContact,
                             RbdContactID contact);

PX_EXTERN_C_END

#endif
