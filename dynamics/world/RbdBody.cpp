// Body life: creation, reset, destruction, the enabled list, freezing.
#include <float.h>
#include <string.h>
#include "world/RbdInternal.h"
#include "world/RbdPrefetch.h"

namespace {

void linkBody(RbdWorld *world, RbdBody *body)
{
    body->prev = nullptr;
    body->next = world->firstBody;
    if (world->firstBody) world->firstBody->prev = body;
    world->firstBody = body;
    world->totalBodies++;
    world->changeCount++;
}

void unlinkBody(RbdWorld *world, RbdBody *body)
{
    if (body->prev)
        body->prev->next = body->next;
    else
        world->firstBody = body->next;
    if (body->next) body->next->prev = body->prev;
    body->next = body->prev = nullptr;
    world->totalBodies--;
}

// A record straight from a pool holds garbage: give it the fields that
// RbdBodyReset reads before it writes them.
RbdBody *initRecord(void *record, RbdWorld *world)
{
    RbdBody *body = (RbdBody *)record;
    memset(body, 0, sizeof(*body));
    body->typeTag = RBD_BODY_TAG;
    body->solverRecordSize = (int32_t)sizeof(RbdLcsBody);
    body->world = world;
    body->enabledTime = -1;
    RbdBodyReset(body);
    return body;
}

void refreshConstraintReferences(RbdBody *body)
{
    for (RbdConstraintNode *node = body->constraints; node; node = node->next)
        RbdConstraintRefreshBodyReferences(node->constraint);
}

void setIdentityMatrix3(PxMatrix3 m, PxReal diagonal)
{
    PxM3Identity(m);
    m[0][0] = m[1][1] = m[2][2] = diagonal;
}

} // namespace

RbdBodyID RbdBodyCreate(RbdWorldID world)
{
    if (!RbdCheckWorld(world)) return nullptr;
    void *record = PxPoolGetStruct(&world->bodyPool);
    if (!record) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBodyCreate: the body pool is exhausted.\n");
        return nullptr;
    }
    RbdBody *body = initRecord(record, world);
    linkBody(world, body);
    return body;
}

RbdBodyID RbdBodyCreateInPool(PxPool *pool)
{
    if (!pool) return nullptr;
    if (pool->structSize < (int)sizeof(RbdBody)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBodyCreateInPool: pool structures of %d bytes cannot hold a body.\n",
                  pool->structSize);
        return nullptr;
    }
    void *record = PxPoolGetStruct(pool);
    return record ? initRecord(record, nullptr) : nullptr;
}

// A missing feature is the caller's to work around, not a reason to end
// the caller's process.
RbdBodyID RbdBodyCopy(RbdBodyID body)
{
    (void)body;
    PxWarning(RBD_MESSAGE_LEVEL, "RbdBodyCopy: NOT YET IMPLEMENTED.\n");
    return nullptr;
}

void RbdBodyReset(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyReset")) return;
    RbdBodyDisable(body);
    RbdLcsBody *lcs = &body->lcs;
    memset(lcs, 0, sizeof(*lcs));
    lcs->mass = 1.0;
    lcs->invMass = 1.0;
    lcs->flags = RBD_LCS_BODY_PRINCIPAL;
    setIdentityMatrix3(lcs->inertiaBody, 0.4);
    setIdentityMatrix3(lcs->invInertiaBody, 2.5);
    setIdentityMatrix3(lcs->inertiaWorld, 0.4);
    setIdentityMatrix3(lcs->invInertiaWorld, 2.5);
    lcs->quaternion[0] = 1.0;
    PxV3Set(lcs->fastSpinAxis, 0.0, 1.0, 0.0);
    PxM4Identity(lcs->comTransform);
    PxM4Identity(body->transform);
    PxM4Identity(body->comRelativeTransform);
    PxM4Identity(body->comRelativeInverse);
    body->useComOffset = 0;
    PxV3Zero(body->linearImpulse);
    PxV3Zero(body->angularImpulse);
    body->impulsePending = 0;
    body->userData = nullptr;
    body->partitionIndex = body->partitionBodyIndex = body->partitionMark = -1;
    body->linearVelocityDamping = body->angularVelocityDamping = 0.0;
    body->enabledTime = -1;
    body->safeTime = DBL_MAX;
    if (body->frozen) {
        body->frozen = 0;
        refreshConstraintReferences(body);
    }
}

void RbdBodyDestroy(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyDestroy")) return;
    RbdWorld *world = body->world;
    if (!world) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBodyDestroy: the body was made in a caller's pool; "
                                     "use RbdBodyDestroyInPool.\n");
        return;
    }
    if (body->constraints)
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBodyDestroy: the body still has enabled constraints; "
                                     "they refer to a destroyed body until they are destroyed.\n");
    RbdBodyDisable(body);
    unlinkBody(world, body);
    RbdBodySetName(body, nullptr);
    body->typeTag = RBD_DESTROYED_TAG;
    PxPoolPutStruct(&world->bodyPool, body);
}

void RbdBodyDestroyInPool(RbdBodyID body, PxPool *pool)
{
    if (!RbdCheckBody(body, "RbdBodyDestroyInPool") || !pool) return;
    RbdBodyDisable(body);
    if (body->world) unlinkBody(body->world, body);
    RbdBodySetName(body, nullptr);
    body->typeTag = RBD_DESTROYED_TAG;
    PxPoolPutStruct(pool, body);
}

void RbdBodyDestroyConstraints(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyDestroyConstraints")) return;
    // Destroying unlinks the head node, so the list shrinks from the front.
    while (body->constraints) RbdConstraintDestroy(body->constraints->constraint);
}

void RbdBodyDisableConstraints(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyDisableConstraints")) return;
    while (body->constraints) RbdConstraintDisable(body->constraints->constraint);
}

void RbdBodyEnable(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyEnable") || body->enabledTime >= 0 || body->frozen) return;
    RbdWorld *world = body->world;
    if (!world) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdBodyEnable: the body belongs to no world.\n");
        return;
    }
    body->prevEnabled = nullptr;
    body->nextEnabled = world->firstEnabledBody;
    if (world->firstEnabledBody) world->firstEnabledBody->prevEnabled = body;
    world->firstEnabledBody = body;
    body->enabledTime = 0;
    world->enabledBodies++;
    RbdNoteIslandEdit(world);
    if (world->bodyEnabled) world->bodyEnabled(body);
}

void RbdBodyDisable(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyDisable") || body->enabledTime < 0) return;
    RbdWorld *world = body->world;
    if (body->prevEnabled)
        body->prevEnabled->nextEnabled = body->nextEnabled;
    else
        world->firstEnabledBody = body->nextEnabled;
    if (body->nextEnabled) body->nextEnabled->prevEnabled = body->prevEnabled;
    body->nextEnabled = body->prevEnabled = nullptr;
    body->enabledTime = -1;
    body->partitionIndex = -1;
    world->enabledBodies--;
    // Freezing, resetting and destroying a body disable it first, and this
    // edit is theirs too: a disabled body is in no island, and once a walk
    // without auto-disable has woken every body its islands reach, no
    // enabled constraint joins it to one until an enable says so.
    RbdNoteIslandEdit(world);
    if (world->bodyDisabled) world->bodyDisabled(body);
}

int RbdBodyIsEnabled(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyIsEnabled") && body->enabledTime >= 0;
}

int32_t RbdBodyGetEnabledTime(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetEnabledTime") ? body->enabledTime : -1;
}

void RbdBodyFreeze(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyFreeze")) return;
    RbdBodyDisable(body);
    body->frozen = 1;
    body->lcs.flags |= RBD_LCS_BODY_FROZEN;
    refreshConstraintReferences(body);
}

void RbdBodyUnFreeze(RbdBodyID body)
{
    if (!RbdCheckBody(body, "RbdBodyUnFreeze")) return;
    body->frozen = 0;
    body->lcs.flags &= ~RBD_LCS_BODY_FROZEN;
    RbdBodyUpdateWorldInertia(body); // moves while frozen left it behind
    refreshConstraintReferences(body);
    RbdBodyEnable(body);
}

int RbdBodyIsFrozen(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyIsFrozen") && body->frozen;
}

void RbdBodyPrefetch(RbdBodyID body)
{
    if (!body) return;
    RbdPrefetchRange(body, 0, offsetof(RbdBody, lcs));
}

int RbdBodySetName(RbdBodyID body, const char *name)
{
    if (!RbdCheckBody(body, "RbdBodySetName")) return 0;
    char *copy = nullptr;
    if (name) {
        const size_t n = strlen(name) + 1;
        copy = (char *)PxMemoryAPI.create(n);
        if (!copy) return 0;
        memcpy(copy, name, n);
    }
    PxMemoryAPI.destroy(body->name);
    body->name = copy;
    return 1;
}

const char *RbdBodyGetName(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetName") ? body->name : nullptr;
}
