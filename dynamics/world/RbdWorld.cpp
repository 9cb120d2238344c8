// World life: creation with its pools, chunk and per-step storage, reset,
// destruction, and capacity growth at the start of a step.
#include <string.h>
#include "solver/RbdLcsContext.h"
#include "world/RbdInternal.h"

namespace {

// Pool sizes: a pool made for 0 structures could never grow, so it starts at 1.
int32_t poolCount(int32_t capacity)
{
    return capacity > 0 ? capacity : 1;
}

void *allocateArray(int32_t count, size_t elementSize, bool *ok)
{
    if (count <= 0) return nullptr;
    void *array = PxMemoryAPI.create((size_t)count * elementSize);
    if (!array) *ok = false;
    return array;
}

void freePartitionOutput(RbdPartitionOutput *out)
{
    PxMemoryAPI.destroy(out->bodies);
    PxMemoryAPI.destroy(out->bodyStart);
    PxMemoryAPI.destroy(out->bodyCount);
    PxMemoryAPI.destroy(out->constraints);
    PxMemoryAPI.destroy(out->constraintStart);
    PxMemoryAPI.destroy(out->constraintCount);
    PxMemoryAPI.destroy(out->pressed);
    memset(out, 0, sizeof(*out));
}

// Island storage for the capacities: at most one island per body.
bool allocatePartitionOutput(RbdPartitionOutput *out, int32_t maxBodies, int32_t maxConstraints)
{
    bool ok = true;
    memset(out, 0, sizeof(*out));
    out->bodies = (RbdBody **)allocateArray(maxBodies, sizeof(RbdBody *), &ok);
    out->bodyStart = (int32_t *)allocateArray(maxBodies, sizeof(int32_t), &ok);
    out->bodyCount = (int32_t *)allocateArray(maxBodies, sizeof(int32_t), &ok);
    out->constraints = (RbdBaseConstraint **)allocateArray(maxConstraints, sizeof(RbdBaseConstraint *), &ok);
    out->constraintStart = (int32_t *)allocateArray(maxBodies, sizeof(int32_t), &ok);
    out->constraintCount = (int32_t *)allocateArray(maxBodies, sizeof(int32_t), &ok);
    out->pressed = (RbdPressedSleeper *)allocateArray(2 * maxConstraints, sizeof(RbdPressedSleeper), &ok);
    if (!ok) freePartitionOutput(out);
    return ok;
}

// Allocates the new storage before freeing the old, so a failure keeps the
// world as it was.
bool resizeStepStorage(RbdWorld *world, int32_t maxBodies, int32_t maxConstraints)
{
    RbdPartitionOutput partitions;
    RbdLcsConstraints rows;
    if (!allocatePartitionOutput(&partitions, maxBodies, maxConstraints)) return false;
    if (!RbdBclCreateConstraintRowList(&rows, maxConstraints)) {
        freePartitionOutput(&partitions);
        return false;
    }
    freePartitionOutput(&world->partitions);
    RbdBclDestroyConstraintRowList(&world->rows);
    world->partitions = partitions;
    world->rows = rows;
    world->maxBodies = maxBodies;
    world->maxConstraints = maxConstraints;
    return true;
}

void resetThresholds(RbdAutoDisableThresholds *thresholds)
{
    thresholds->velocity = 0.02;
    thresholds->angularVelocity = 0.001;
    thresholds->acceleration = 0.002;
    thresholds->angularAcceleration = 0.002;
    thresholds->aliveWindow = 10;
    thresholds->averagingWindow = 10;
    thresholds->restSpeed = 0.1;
}

// Body and constraint records start on a cache line: their fields are laid
// out by line (RbdBodyRecord.h, RbdConstraintRecord.h), and a record
// starting mid-line would spread the few fields a walk reads over one more.
const int kRecordAlignment = 64;

bool initPools(RbdWorld *world, int32_t maxBodies, int32_t maxConstraints)
{
    if (!PxPoolInit(&world->bodyPool, poolCount(maxBodies), (int)sizeof(RbdBody), kRecordAlignment)) return false;
    PxPoolSetPoolName(&world->bodyPool, "world bodyPool");
    if (!PxPoolInit(&world->constraintPool, poolCount(maxConstraints), (int)sizeof(RbdBaseConstraint),
                    kRecordAlignment)) {
        PxPoolTerm(&world->bodyPool);
        return false;
    }
    PxPoolSetPoolName(&world->constraintPool, "world constraintPool");
    if (!PxPoolInit(&world->nodePool, poolCount(2 * maxConstraints), (int)sizeof(RbdConstraintNode), 0)) {
        PxPoolTerm(&world->bodyPool);
        PxPoolTerm(&world->constraintPool);
        return false;
    }
    PxPoolSetPoolName(&world->nodePool, "world cNodePool");
    return true;
}

} // namespace

RbdWorldID RbdWorldCreate(int32_t maxBodies, int32_t maxConstraints)
{
    if (maxBodies < 0 || maxConstraints < 0 || maxConstraints > INT32_MAX / (2 * RBD_ROWS_PER_CONSTRAINT)) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldCreate: invalid capacities (%d bodies, %d constraints).\n",
                  (int)maxBodies, (int)maxConstraints);
        return nullptr;
    }
    RbdWorld *world = (RbdWorld *)PxMemoryAPI.createZeroed(sizeof(RbdWorld));
    if (!world) return nullptr;
    if (!initPools(world, maxBodies, maxConstraints)) {
        PxMemoryAPI.destroy(world);
        return nullptr;
    }
    if (!resizeStepStorage(world, maxBodies, maxConstraints)) {
        PxPoolTerm(&world->bodyPool);
        PxPoolTerm(&world->constraintPool);
        PxPoolTerm(&world->nodePool);
        PxMemoryAPI.destroy(world);
        return nullptr;
    }
    PxChunkInit(&world->chunk);
    PxChunkSetAuto(&world->chunk, 1024, 16);
    world->solver = lcs::createContext();
    if (!world->solver) {
        RbdWorldDestroy(world);
        return nullptr;
    }
    world->timeStep = 0.015;
    world->safeTimeMode = 0;
    world->version = PxToolkitVersionString();
    RbdWorldReset(world);
    return world;
}

void RbdWorldReset(RbdWorldID world)
{
    if (!RbdCheckWorld(world)) return;
    world->epsilon = 1e-6;
    world->gamma = 8.0 * world->timeStep;
    PxV3Zero(world->gravity);
    world->autoDisable = 0;
    world->jointPositionPasses = RBD_DEFAULT_JOINT_POSITION_PASSES;
    resetThresholds(&world->thresholds);
    RbdLcsParametersReset(&world->parameters);
    RbdWorldReserveSolver(world);
}

void RbdWorldDestroy(RbdWorldID world)
{
    if (!RbdCheckWorld(world)) return;
    // The pools go whole; the names their bodies own go first.
    for (RbdBody *body = world->firstBody; body; body = body->next) RbdBodySetName(body, nullptr);
    freePartitionOutput(&world->partitions);
    RbdBclDestroyConstraintRowList(&world->rows);
    PxPoolTerm(&world->bodyPool);
    PxPoolTerm(&world->constraintPool);
    PxPoolTerm(&world->nodePool);
    PxChunkDestroy(&world->chunk);
    lcs::destroyContext(world->solver);
    PxMemoryAPI.destroy(world);
}

int RbdWorldResize(RbdWorld *world)
{
    if (!RbdCheckWorld(world)) return 0;
    return resizeStepStorage(world, world->maxBodies, world->maxConstraints);
}

void RbdWorldReserveSolver(RbdWorld *world)
{
    lcs::reserveKept(*world->solver, world->parameters, world->rows.maxRows);
    PxChunkReserve(&world->chunk, lcs::workspaceBound(world->parameters, world->rows.maxRows, world->maxBodies));
}

int RbdWorldUpdateCapacities(RbdWorld *world)
{
    if (!RbdCheckWorld(world)) return 0;
    if (world->changeCount == 0) return 1;
    int32_t maxBodies = world->totalBodies > world->maxBodies ? world->totalBodies : world->maxBodies;
    int32_t maxConstraints = world->totalConstraints > world->maxConstraints ? world->totalConstraints
                                                                             : world->maxConstraints;
    if (maxBodies != world->maxBodies || maxConstraints != world->maxConstraints) {
        if (maxConstraints > INT32_MAX / (2 * RBD_ROWS_PER_CONSTRAINT) ||
            !resizeStepStorage(world, maxBodies, maxConstraints)) {
            PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldUpdateCapacities: cannot grow to %d bodies and %d constraints.\n",
                      (int)maxBodies, (int)maxConstraints);
            return 0;
        }
        RbdWorldReserveSolver(world);
    }
    world->changeCount = 0;
    return 1;
}
