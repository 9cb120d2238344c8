// Constraint life: records from the pools, bodies, the enabled list and
// the bodies' constraint lists, destruction, and the common getters.
#include <string.h>
#include "world/RbdInternal.h"

const char *const RbdBclJointNames[RBD_TYPE_COUNT] = {
    "RbdBclBSJOINT",   "RbdBclHINGE",     "RbdBclPRISMATIC", "RbdBclCARWHEEL",  "RbdBclCONTACT",
    "RbdBclFIXEDPATH", "RbdBclRPROJOINT", "RbdBclUNIVERSAL", "RbdBclLINEAR1",   "RbdBclLINEAR2",
    "RbdBclANGULAR3",  "RbdBclSPRING",    "RbdBclCONELIMIT", "RbdBclGEARRATIO", "RbdBclUSER"};

namespace {

void linkNode(RbdBody *body, RbdConstraintNode *node)
{
    node->prev = nullptr;
    node->next = body->constraints;
    if (body->constraints) body->constraints->prev = node;
    body->constraints = node;
}

void unlinkNode(RbdBody *body, RbdConstraintNode *node)
{
    if (node->prev)
        node->prev->next = node->next;
    else
        body->constraints = node->next;
    if (node->next) node->next->prev = node->prev;
}

void unlinkFromWorld(RbdBaseConstraint *c)
{
    RbdWorld *world = c->world;
    if (c->prev)
        c->prev->next = c->next;
    else
        world->firstEnabledConstraint = c->next;
    if (c->next) c->next->prev = c->prev;
    c->next = c->prev = nullptr;
    world->enabledConstraints--;
}

// The car wheel records itself in its wheel body; a wheel body must not
// keep a reference to a constraint that no longer uses it.
void forgetWheel(RbdBaseConstraint *c)
{
    RbdBody *wheel = c->body[1];
    if (wheel && wheel->wheelConstraint == c) wheel->wheelConstraint = nullptr;
}

void releaseRecord(RbdBaseConstraint *c, PxPool *pool)
{
    RbdConstraintDisable(c);
    forgetWheel(c);
    if (c->counted && c->world) c->world->totalConstraints--;
    c->counted = 0;
    c->typeId = -1;
    PxPoolPutStruct(pool, c);
}

} // namespace

RbdBaseConstraint *RbdConstraintCreateOfType(RbdWorld *world, PxPool *pool, const RbdConstraintTypeInfo *type,
                                             const char *creator)
{
    void *record = nullptr;
    if (pool) {
        if (pool->structSize < (int)sizeof(RbdBaseConstraint)) {
            PxWarning(RBD_MESSAGE_LEVEL, "%s: pool structures of %d bytes cannot hold a constraint.\n", creator,
                      pool->structSize);
            return nullptr;
        }
        record = PxPoolGetStruct(pool);
        world = nullptr;
    } else if (RbdCheckWorld(world)) {
        record = PxPoolGetStruct(&world->constraintPool);
    } else {
        return nullptr;
    }
    if (!record) {
        PxWarning(RBD_MESSAGE_LEVEL, "%s: the constraint pool is exhausted.\n", creator);
        return nullptr;
    }
    RbdBaseConstraint *c = (RbdBaseConstraint *)record;
    memset(c, 0, sizeof(*c));
    c->world = world;
    c->typeId = type->typeId;
    c->rowBuilder = type->rowBuilder;
    c->maxRows = type->maxRows;
    c->limitableDofCount = type->limitableDofCount;
    c->constrainedDofCount = type->constrainedDofCount;
    c->setBodies = type->setBodies ? type->setBodies : BaseConstraintSetBodies;
    c->setAxis = type->setAxis ? type->setAxis : BaseConstraintSetAxis;
    type->resetData(c);
    BaseConstraintReset(c);
    if (world) {
        c->counted = 1;
        world->totalConstraints++;
        world->changeCount++;
    }
    return c;
}

void RbdConstraintResetOfType(RbdBaseConstraint *c, const RbdConstraintTypeInfo *type, const char *function)
{
    if (!RbdConstraintCheckType(c, type->typeId, function)) return;
    RbdConstraintDisable(c);
    forgetWheel(c);
    type->resetData(c);
    BaseConstraintReset(c);
}

void BaseConstraintReset(RbdBaseConstraint *c)
{
    c->userData = nullptr;
    for (int i = 0; i < 2; ++i) {
        PxV3Zero(c->force[i]);
        PxV3Zero(c->torque[i]);
        c->body[i] = nullptr;
        c->solverBody[i] = nullptr;
        c->comTransform[i] = nullptr;
        PxM4Identity(c->attachment[i]);
    }
    for (int row = 0; row < RBD_CONSTRAINT_MAX_ROWS; ++row) c->rowEpsilon[row] = c->rowGamma[row] = 0.0;
    c->rowAdditions = 0;
    c->swept = 0;
    for (int row = 0; row < RBD_CONSTRAINT_LAMBDA_COUNT; ++row) c->lambda[row] = c->phi[row] = 0.0;
}

void RbdConstraintRefreshBodyReferences(RbdBaseConstraint *c)
{
    for (int i = 0; i < 2; ++i) {
        RbdBody *body = c->body[i];
        c->solverBody[i] = body && !body->frozen ? &body->lcs : nullptr;
        c->comTransform[i] = body ? body->lcs.comTransform : nullptr;
    }
}

void BaseConstraintSetBodies(RbdBaseConstraint *c, RbdBody *body0, RbdBody *body1)
{
    if ((body0 && !RbdCheckBody(body0, "RbdConstraintSetBodies")) ||
        (body1 && !RbdCheckBody(body1, "RbdConstraintSetBodies")))
        return;
    if (body0 && body0 == body1) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdConstraintSetBodies: a constraint cannot join a body to itself.\n");
        return;
    }
    RbdWorld *world = c->world;
    RbdBody *const bodies[2] = {body0, body1};
    for (RbdBody *body : bodies) {
        if (!body) continue;
        if (!world) world = body->world;
        if (body->world != world) {
            PxWarning(RBD_MESSAGE_LEVEL, "RbdConstraintSetBodies: the bodies belong to another world.\n");
            return;
        }
    }
    int wasEnabled = c->enabled;
    RbdConstraintDisable(c);
    c->world = world;
    c->body[0] = body0;
    c->body[1] = body1;
    RbdConstraintRefreshBodyReferences(c);
    if (wasEnabled) RbdConstraintEnable(c);
}

bool RbdWarnConstraintType(const RbdBaseConstraint *c, int32_t typeId, const char *function)
{
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the constraint is a %s, not a %s.\n", function, RbdBclJointNames[c->typeId],
              RbdBclJointNames[typeId]);
    return false;
}

const char *RbdBclJointName(int32_t typeId)
{
    return typeId >= 0 && typeId < RBD_TYPE_COUNT ? RbdBclJointNames[typeId] : nullptr;
}

void RbdConstraintSetBodies(RbdConstraintID c, RbdBodyID body0, RbdBodyID body1)
{
    if (RbdCheckConstraint(c, "RbdConstraintSetBodies")) c->setBodies(c, body0, body1);
}

RbdBodyID RbdConstraintGetBody(RbdConstraintID c, int32_t index)
{
    if (!RbdCheckConstraintBody(c, index, "RbdConstraintGetBody")) return nullptr;
    return c->body[index];
}

void RbdConstraintEnable(RbdConstraintID c)
{
    if (!RbdCheckConstraint(c, "RbdConstraintEnable") || c->enabled) return;
    if (!c->body[0] && !c->body[1]) return;
    RbdWorld *world = c->world;
    RbdNoteIslandEdit(world);
    for (int i = 0; i < 2; ++i) {
        c->node[i] = nullptr;
        if (!c->body[i]) continue;
        c->node[i] = (RbdConstraintNode *)PxPoolGetStruct(&world->nodePool);
        if (!c->node[i]) {
            PxWarning(RBD_MESSAGE_LEVEL, "RbdConstraintEnable: the constraint-node pool is exhausted.\n");
            if (i == 1 && c->node[0]) {
                unlinkNode(c->body[0], c->node[0]);
                PxPoolPutStruct(&world->nodePool, c->node[0]);
                c->node[0] = nullptr;
            }
            return;
        }
        c->node[i]->constraint = c;
        c->node[i]->other = c->body[1 - i];
        linkNode(c->body[i], c->node[i]);
    }
    c->prev = nullptr;
    c->next = world->firstEnabledConstraint;
    if (world->firstEnabledConstraint) world->firstEnabledConstraint->prev = c;
    world->firstEnabledConstraint = c;
    world->enabledConstraints++;
    c->enabled = 1;
    // A body frozen or unfrozen while this constraint was disabled did not update it.
    RbdConstraintRefreshBodyReferences(c);
}

void RbdConstraintDisable(RbdConstraintID c)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDisable") || !c->enabled) return;
    RbdNoteIslandEdit(c->world);
    for (int i = 0; i < 2; ++i) {
        if (!c->node[i]) continue;
        unlinkNode(c->body[i], c->node[i]);
        PxPoolPutStruct(&c->world->nodePool, c->node[i]);
        c->node[i] = nullptr;
    }
    unlinkFromWorld(c);
    c->enabled = 0;
}

int RbdConstraintIsEnabled(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintIsEnabled") && c->enabled;
}

void RbdConstraintEnableBodies(RbdConstraintID c)
{
    if (!RbdCheckConstraint(c, "RbdConstraintEnableBodies")) return;
    for (RbdBody *body : c->body)
        if (body && !(RbdCheckBody(body, "RbdConstraintEnableBodies") && body->enabledTime >= 0)) RbdBodyEnable(body);
}

void RbdConstraintDestroy(RbdConstraintID c)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDestroy")) return;
    if (!c->counted) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdConstraintDestroy: the constraint was made in a caller's pool; "
                                     "use RbdConstraintDestroyInPool.\n");
        return;
    }
    releaseRecord(c, &c->world->constraintPool);
}

void RbdConstraintDestroyInPool(RbdConstraintID c, PxPool *pool)
{
    if (!RbdCheckConstraint(c, "RbdConstraintDestroyInPool") || !pool) return;
    releaseRecord(c, pool);
}

RbdConstraintID RbdConstraintGetFirst(RbdWorldID world)
{
    return RbdCheckWorld(world) ? world->firstEnabledConstraint : nullptr;
}

RbdConstraintID RbdConstraintGetNext(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintGetNext") ? c->next : nullptr;
}

RbdWorldID RbdConstraintGetWorld(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintGetWorld") ? c->world : nullptr;
}

void RbdConstraintSetUserData(RbdConstraintID c, void *data)
{
    if (RbdCheckConstraint(c, "RbdConstraintSetUserData")) c->userData = data;
}

void *RbdConstraintGetUserData(RbdConstraintID c)
{
    return RbdCheckConstraint(c, "RbdConstraintGetUserData") ? c->userData : nullptr;
}

int32_t RbdConstraintGetTypeId(RbdConstraintID c)
{
    return c ? c->typeId : -1;
}
