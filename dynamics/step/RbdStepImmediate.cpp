// The world step: capacities, islands, one solve per island with its own
// step size in safe-time mode, and the force reset that makes forces act
// for one step only. The step travels down as one record (RbdStepInfo, then
// each island's RbdBclParameters); nothing of it is parked in the world for
// others to read back.
#include <float.h>
#include <stddef.h>
#include <math.h>
#include <kelmar/RbdLcs.h>
#include <kelmar/RbdStep.h>
#include "solver/RbdLcsStep.h"
#include "step/RbdPartition.h"

namespace {

enum { AUTO_DISABLE_OFF = 0, AUTO_DISABLE_ON = 1, AUTO_DISABLE_SINGLE_ISLAND = 2 };

// Default stabilisation per second of step: gamma = 8 h.
const PxReal GAMMA_PER_STEP = 8.0;

bool checkStepSize(PxReal h)
{
    if (isfinite(h) && h > 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldStep: the step size must be positive and finite (%g); no step.\n", h);
    return false;
}

// Capacities raised to the counts; false when the per-step storage still
// cannot hold every body and constraint.
bool ensureCapacities(RbdWorld *world)
{
    if (RbdWorldUpdateCapacities(world) && world->totalBodies <= world->maxBodies &&
        world->totalConstraints <= world->maxConstraints)
        return true;
    PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldStep: no storage for %d bodies and %d constraints; no step.\n",
              (int)world->totalBodies, (int)world->totalConstraints);
    return false;
}

// Without auto-disable the islands are a function of the world's lists
// alone; a settled pile keeps them for hundreds of steps, and walking every
// body's constraint list again is a chase through scattered records. The
// islands of the last step serve while no edit changed those lists.
void partitionWorld(RbdWorld *world)
{
    RbdPartitionOutput *out = &world->partitions;
    switch (world->autoDisable) {
    case AUTO_DISABLE_ON:
        RbdUpdatePartitions(world->firstEnabledBody, out, RbdAutoDisableLastPartition, &world->thresholds);
        RbdKeepPresses(out);
        out->reusable = 0;
        break;
    case AUTO_DISABLE_SINGLE_ISLAND:
        RbdMakeSinglePartition(world->firstEnabledBody, out, nullptr, nullptr);
        out->reusable = 0;
        break;
    default: {
        const uint32_t edits = world->islandEdits;
        if (RbdReuseLastPartitions(out, edits)) break;
        RbdUpdatePartitions(world->firstEnabledBody, out, nullptr, nullptr);
        // The count from before the walk: a walk that wakes a body it
        // reaches counts that edit, and its islands serve no later step
        // (the woken body now heads the enabled list a walk starts from).
        out->reusable = 1;
        out->editsWalked = edits;
        break;
    }
    }
}

PxReal smallestSafeTime(const RbdPartitionOutput *out, int32_t p)
{
    PxReal smallest = DBL_MAX;
    for (int32_t k = 0; k < out->bodyCount[p]; ++k) {
        PxReal safeTime = out->bodies[out->bodyStart[p] + k]->safeTime;
        if (safeTime < smallest) smallest = safeTime;
    }
    return smallest;
}

// The step of island p: the whole step, or in safe-time mode the island's
// smallest positive safe time when that is shorter (a safe time of 0 means
// "unknown"), with a gamma that follows the island's step. Each island is
// judged on its own, so one shortened island leaves the others whole.
RbdBclParameters islandStep(const RbdWorld *world, const RbdStepInfo &step, int32_t p)
{
    RbdBclParameters island = {step.h, world->epsilon, world->gamma};
    if (!step.safeTimeMode) return island;
    PxReal safeTime = smallestSafeTime(&world->partitions, p);
    if (safeTime > 0.0 && safeTime <= step.h) island.stepSize = safeTime;
    island.gamma = GAMMA_PER_STEP * island.stepSize;
    return island;
}

// A program reads the count; one warning says that it has begun, since a
// hand that fails every step would otherwise print one line a step.
void countFailedSolve(RbdWorld *world, int32_t bodies, int32_t rows)
{
    if (world->failedSolves++ > 0) return;
    PxWarning(RBD_MESSAGE_LEVEL,
              "RbdWorldStep: step %ld: the LCP solve of an island of %d bodies and %d rows failed; sweeps from the "
              "last step's impulses stood in. Later failures are only counted (RbdWorldGetFailedSolveCount).\n",
              world->stepCount + 1, (int)bodies, (int)rows);
}

void stepPartition(RbdWorld *world, int32_t p, const RbdBclParameters &island)
{
    RbdPartitionOutput *out = &world->partitions;
    int32_t rowCount = RbdPackPartition(out, p, &island, world->gravity, &world->rows);
    RbdLcsParameters parameters = world->parameters;
    parameters.stepsize = island.stepSize;
    parameters.epsilon = island.epsilon;
    parameters.gamma = island.gamma;
    size_t size = RbdLcsMemoryRequiredFor(rowCount, out->bodyCount[p], &parameters);
    void *workspace = PxChunkGetMem(&world->chunk, size);
    if (!workspace) {
        PxWarning(RBD_MESSAGE_LEVEL, "RbdWorldStep: no solver workspace of %lu bytes; island %d is not stepped.\n",
                  (unsigned long)size, (int)p);
        return;
    }
    parameters.workspace = workspace;
    parameters.workspaceSize = size;
    RbdBody **bodies = out->bodies + out->bodyStart[p];
    lcs::BodyRecords records;
    records.pointers = bodies;
    records.offset = offsetof(RbdBody, lcs);
    lcs::StepOutcome outcome;
    lcs::step(*world->solver, &world->rows, &bodies[0]->lcs, out->bodyCount[p], &parameters, &outcome, &records);
    if (outcome.fellBack) countFailedSolve(world, out->bodyCount[p], rowCount);
    RbdProjectJointPositions(&world->rows, out, p, island.stepSize, world->jointPositionPasses);
    RbdUnpackPartition(world, &world->rows, p, out, &parameters, outcome.sweptHeap);
}

// Forces act for one step only; safe times are estimated anew for each step.
void endStep(RbdWorld *world, const RbdStepInfo &step)
{
    for (RbdBody *body = world->firstEnabledBody; body; body = body->nextEnabled) {
        RbdBodyResetForces(body);
        if (step.safeTimeMode) body->safeTime = DBL_MAX;
    }
    RbdClearPartitionIndices(&world->partitions);
}

} // namespace

void RbdWorldStepWith(RbdWorldID world, const RbdStepInfo *step)
{
    if (!RbdCheckWorld(world) || !step || !checkStepSize(step->h)) return;
    world->timeStep = step->h;
    if (!ensureCapacities(world)) return;
    partitionWorld(world);
    for (int32_t p = 0; p < world->partitions.partitionCount; ++p)
        stepPartition(world, p, islandStep(world, *step, p));
    endStep(world, *step);
    ++world->stepCount;
}

void RbdWorldStep(RbdWorldID world, PxReal h)
{
    if (!RbdCheckWorld(world)) return;
    const RbdStepInfo step = {h, world->safeTimeMode};
    RbdWorldStepWith(world, &step);
}

void RbdWorldStepOne(RbdWorldID world)
{
    if (RbdCheckWorld(world)) RbdWorldStep(world, world->timeStep);
}

void RbdWorldResetForces(RbdWorldID world)
{
    if (!RbdCheckWorld(world)) return;
    for (RbdBody *body = world->firstBody; body; body = body->next) RbdBodyResetForces(body);
}
