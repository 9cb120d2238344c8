/* The simulation bridge: turns the model pairs of a collision space into
 * dynamics contacts once per step.
 *
 * Materials. Every model has a material id. For each unordered pair of
 * material ids the bridge keeps an RbdContactParams record (frictionless
 * defaults at creation) and three callbacks. Material 0 exists from the
 * start; further ids come from SbxBridgeGetNewMaterial.
 *
 * Responses. For each unordered pair of response ids the bridge keeps a
 * response entry (SbxResponse.h). At creation: body-body gets the contact
 * response, sensor-body, sensor-sensor and sensor-PS get sensor starts;
 * every other entry is empty.
 *
 * A step:
 *   CdxSpaceUpdateAll(space);                      (inside the space's bracket)
 *   SbxBridgeUpdateContacts(bridge, space, world); ends the bracket, runs
 *                                                  goodbyes, hellos and the
 *                                                  responses, opens the next
 *   RbdWorldStep(world, h);
 * After removing models from the space (and before destroying them or
 * their bodies) call SbxBridgeUpdateTransitions so that the pairs' end
 * responses destroy their contacts while everything still exists. Neither
 * walk may be started from the bridge's own callbacks (it is refused).
 *
 * Ids outside the tables are ignored by setters and give null or 0 from
 * getters. */
#ifndef KELMAR_SBXBRIDGE_H
#define KELMAR_SBXBRIDGE_H

#include "CdxTypes.h"
#include "CdxModelPairContainer.h"
#include "RbdTypes.h"
#include "RbdContactParams.h"
#include "RbdStep.h"
#include "SbxResponse.h"

PX_EXTERN_C_BEGIN

/* ---- Life ---- */

/* A bridge for materialCount (>= 1) materials, a model-pair container of
 * 100 pairs and a contact buffer of 500 contacts. Null for a bad count or
 * when memory is short. */
SbxBridgeID SbxBridgeCreate(int materialCount);
/* Frees the bridge. Contacts it made belong to their world and stay. */
void SbxBridgeDestroy(SbxBridgeID bridge);

/* The container the space's pairs are read into, size (>= 2) pairs; the
 * universe gives its model-pair capacity. 1, or 0 (old one kept) for a bad
 * size or no memory. */
int SbxBridgeSetModelPairBufferSize(SbxBridgeID bridge, int size);
int SbxBridgeGetModelPairBufferSize(SbxBridgeID bridge);
CdxModelPairContainer *SbxBridgeGetModelPairContainer(SbxBridgeID bridge);
/* Room for the collision contacts of one pair's intersection, size >= 1.
 * 1, or 0 (old buffer kept) for a bad size or no memory. */
int SbxBridgeSetContactBufferSize(SbxBridgeID bridge, int size);
int SbxBridgeGetContactBufferSize(SbxBridgeID bridge);
/* How a pair's dynamics contacts, and the forces they carry from the last
 * step, continue: SBX_CONTACTS_IN_ORDER in the order of the collision
 * results; SBX_CONTACTS_BY_PLACE each collision contact on the contact of
 * the last step that touched where it touches, the others in order;
 * SBX_CONTACTS_SWEPT_TURNED_BY_PLACE (the default) by place for two boxes
 * turned against each other whose contacts the last step solved by sweeps
 * (RbdContactIsSwept), every other pair in order. The sweeps of a large
 * island start from the carried forces and stop short of the solution: a
 * turned box's corner given another corner's force keeps part of it, and
 * columns of turned boxes in a heap rock and gain energy. Pivoting finds
 * its answer whatever the start, and a tall aligned stack swept or pivoted
 * stands stiller in order. Other values are refused with a warning. */
enum { SBX_CONTACTS_IN_ORDER = 0, SBX_CONTACTS_BY_PLACE = 1, SBX_CONTACTS_SWEPT_TURNED_BY_PLACE = 2 };
void SbxBridgeSetContactMatching(SbxBridgeID bridge, int matching);
int SbxBridgeGetContactMatching(SbxBridgeID bridge);

/* ---- Materials ---- */

int SbxBridgeGetMaterialCount(SbxBridgeID bridge);
int SbxBridgeGetMaterialsUsed(SbxBridgeID bridge);
/* The next free material id, or 0 when all ids are used. */
int SbxBridgeGetNewMaterial(SbxBridgeID bridge);
/* The contact parameters of the unordered material pair, edited in place;
 * (m1, m2) and (m2, m1) give the same record. Null for an id out of range. */
RbdContactParams *SbxBridgeGetContactParams(SbxBridgeID bridge, int m1, int m2);
/* Material-pair callbacks with their data (null fn: none). The getters
 * store the data through data when it is not null. */
void SbxBridgeSetPerContactCB(SbxBridgeID bridge, int m1, int m2, SbxPerContactCB fn, void *data);
SbxPerContactCB SbxBridgeGetPerContactCB(SbxBridgeID bridge, int m1, int m2, void **data);
void SbxBridgeSetPerPairCB(SbxBridgeID bridge, int m1, int m2, SbxPerPairCB fn, void *data);
SbxPerPairCB SbxBridgeGetPerPairCB(SbxBridgeID bridge, int m1, int m2, void **data);
void SbxBridgeSetIntersectCB(SbxBridgeID bridge, int m1, int m2, SbxIntersectCB fn, void *data);
SbxIntersectCB SbxBridgeGetIntersectCB(SbxBridgeID bridge, int m1, int m2, void **data);

/* ---- Response table ---- */

/* Ids the table has room for (4 at creation) and ids handed out (3). */
int SbxBridgeGetResponseTableSize(SbxBridgeID bridge);
int SbxBridgeGetResponseIDsUsed(SbxBridgeID bridge);
/* The next response id, its entries empty; the table grows by one id when
 * it is full (entries keep their addresses). -1 when memory is short. */
int SbxBridgeGetNewResponseID(SbxBridgeID bridge);
/* A new id whose entry with every id handed out, and with itself, is a
 * copy of the template's. -1 for a template not handed out or no memory. */
int SbxBridgeGetNewResponseIDFromTemplateID(SbxBridgeID bridge, int templateID);
/* Fills the entry of (id1, id2): start, response, end, request (copied;
 * null: the collision library's default request) and user data. The
 * transition callbacks stay. 1, or 0 for an id out of the table. */
int SbxBridgeRegisterResponse(SbxBridgeID bridge, int id1, int id2, SbxResponseStartFn start, SbxResponseFn response,
                              SbxResponseEndFn end, const CdxRequest *request, void *user);
SbxResponse *SbxBridgeGetResponse(SbxBridgeID bridge, int id1, int id2);
SbxResponse *SbxBridgeGetResponseFromModels(SbxBridgeID bridge, CdxModelID model1, CdxModelID model2);
/* 1 when the response function of (id1, id2) is that of (id1, id1). */
int SbxBridgeResponseIDOfSameType(SbxBridgeID bridge, int id1, int id2);

/* Transition callbacks of a response entry (null fn: none). */
void SbxBridgeSetIntersectNewCB(SbxBridgeID bridge, int id1, int id2, SbxIntersectPairCB fn, void *data);
SbxIntersectPairCB SbxBridgeGetIntersectNewCB(SbxBridgeID bridge, int id1, int id2, void **data);
void SbxBridgeSetIntersectActiveCB(SbxBridgeID bridge, int id1, int id2, SbxIntersectPairCB fn, void *data);
SbxIntersectPairCB SbxBridgeGetIntersectActiveCB(SbxBridgeID bridge, int id1, int id2, void **data);
/* Whether the entry's new and active callbacks read only the dynamics
 * contacts handed to them (and their bodies), not the collision result.
 * A pair with either callback is tested afresh every step unless this is
 * set (0 by default); with it set, a resting pair may keep its contacts
 * between collision tests, and then its active callback runs each step on
 * the kept contacts, their parameters reset from the materials as a fresh
 * test would, with a result that holds no collision contacts (touch 1,
 * contactCount 0). A kept pair was touching already: the new callback runs
 * only after a fresh test. 1, or 0 for an id out of the table. */
int SbxBridgeSetCallbacksOnKeptContacts(SbxBridgeID bridge, int id1, int id2, int onKept);
int SbxBridgeGetCallbacksOnKeptContacts(SbxBridgeID bridge, int id1, int id2);
/* While any entry has an inactive callback, the bridge also reads the
 * pairs of two frozen models and calls it for them every step. */
void SbxBridgeSetIntersectInactiveCB(SbxBridgeID bridge, int id1, int id2, SbxIntersectInactiveCB fn, void *data);
SbxIntersectInactiveCB SbxBridgeGetIntersectInactiveCB(SbxBridgeID bridge, int id1, int id2, void **data);
void SbxBridgeSetDisjointCB(SbxBridgeID bridge, int id1, int id2, SbxDisjointCB fn, void *data);
SbxDisjointCB SbxBridgeGetDisjointCB(SbxBridgeID bridge, int id1, int id2, void **data);
/* Number of entries with an inactive callback. */
int SbxBridgeGetInactiveCallbackCount(SbxBridgeID bridge);

/* ---- Per step ---- */

/* Ends the space's change bracket, reads its pairs in container-sized
 * chunks, handles the transitions and collisions of each chunk, and opens
 * the next bracket. The contacts are made for the coming step: in its
 * safe-time mode a pair that does not touch yet limits the safe times of
 * its bodies to its time of impact within step->h. */
void SbxBridgeUpdateContactsForStep(SbxBridgeID bridge, CdxSpaceID space, RbdWorldID world, const RbdStepInfo *step);
/* The same for a step of the world's time step in its safe-time mode. */
void SbxBridgeUpdateContacts(SbxBridgeID bridge, CdxSpaceID space, RbdWorldID world);
/* The step the bridge is making contacts for, while it does (inside a
 * response), else null. */
const RbdStepInfo *SbxBridgeGetStep(SbxBridgeID bridge);
/* The same for hello and goodbye pairs only: run after models were removed
 * so that their pairs end at once. */
void SbxBridgeUpdateTransitions(SbxBridgeID bridge, CdxSpaceID space, RbdWorldID world);
/* Goodbye pairs: disjoint callback (for pairs that were touching), end
 * response, then the pair's goodbye; hello pairs: start response, or a
 * plain hello when the entry has none. */
void SbxHandleTransitions(CdxModelPairContainer *pairs, CdxSpaceID space, RbdWorldID world, SbxBridgeID bridge);
/* Hello and staying pairs: intersection into the contact buffer, the
 * response, then the intersect-new, intersect-active or disjoint callback;
 * frozen pairs: the intersect-inactive callback. */
void SbxHandleCollisions(CdxModelPairContainer *pairs, CdxSpaceID space, RbdWorldID world, SbxBridgeID bridge);

PX_EXTERN_C_END

#endif
