// Packing an island into solver rows, and writing the solver's results
// back into its bodies and constraints.
#include <kelmar/RbdLcs.h>
#include "solver/RbdLcsIterative.h"
#include "step/RbdPartition.h"
#include "world/RbdPrefetch.h"

int32_t RbdPackPartition(RbdPartitionOutput *out, int32_t p, const RbdBclParameters *island, const PxVector3 gravity,
                         RbdLcsConstraints *rows)
{
    // Last body first: the islands' walk has just left the last bodies in
    // the cache, and the rows below start from the first. Each body's
    // island and place are written again here, in the line the preparation
    // reads: the rows need them, and islands kept from the last step had
    // them cleared at its end (RbdReuseLastPartitions).
    RbdBody **bodies = out->bodies + out->bodyStart[p];
    for (int32_t k = out->bodyCount[p] - 1; k >= 0; --k) {
        bodies[k]->partitionIndex = p;
        bodies[k]->partitionBodyIndex = k;
        RbdBodyPrepareForStep(bodies[k], island->stepSize, gravity);
    }

    RbdBclInitConstraintRowList(rows);
    if (out->constraintCount[p] == 0) return 0;
    RbdBaseConstraint **constraints = out->constraints + out->constraintStart[p];
    RbdBclStartPartition(rows);
    rows->partitionIsland = p;
    const int32_t count = out->constraintCount[p];
    for (int32_t k = 0; k < count; ++k) {
        RbdPrefetchRowsAhead(constraints, k, count);
        constraints[k]->rowBuilder(rows, constraints[k], island);
    }
    RbdBclEndPartition(rows);
    return rows->partitionRowCount;
}

void RbdUnpackPartition(RbdWorld *world, const RbdLcsConstraints *rows, int32_t p, RbdPartitionOutput *out,
                        const RbdLcsParameters *parameters, int sweptHeap)
{
    // The guard and the reference frame body by body: each reads only its
    // own body, and a record too far back for the cache is fetched once.
    RbdBody **bodies = out->bodies + out->bodyStart[p];
    const int32_t bodyCount = out->bodyCount[p];
    for (int32_t k = 0; k < bodyCount; ++k) {
        if (k + kRbdPrefetchAhead < bodyCount) {
            const RbdBody *ahead = bodies[k + kRbdPrefetchAhead];
            RbdPrefetchRange(ahead, 0, offsetof(RbdBody, lcs.force));
            RbdPrefetchRange(ahead, offsetof(RbdBody, lcs.comTransform), offsetof(RbdBody, lcs.linearAcceleration));
        }
        RbdGuardBody(world, bodies[k]);
        RbdBodyUpdateTransformFromCom(bodies[k]);
    }

    // The solver leaves row impulses, except the vintage model, whose rows
    // already hold forces.
    PxReal scale = parameters->stepperModel == RBD_LCS_VINTAGE_STEPPER ? 1.0 : 1.0 / parameters->stepsize;
    const int32_t swept = sweptHeap || lcs::islandIsLarge(rows->partitionRowCount, parameters->lcp);
    for (int32_t k = 0; k < rows->partitionConstraintCount; ++k) {
        int32_t index = rows->partitionConstraintStart + k;
        if (k + kRbdPrefetchAhead < rows->partitionConstraintCount) {
            const RbdBaseConstraint *ahead = rows->constraints[index + kRbdPrefetchAhead];
            RbdPrefetchRange(ahead, offsetof(RbdBaseConstraint, lambda), offsetof(RbdBaseConstraint, phi));
        }
        RbdBaseConstraint *c = rows->constraints[index];
        int32_t first = rows->constraintFirstRow[index];
        int32_t count = rows->constraintRowCount[index];
        if (count > RBD_CONSTRAINT_LAMBDA_COUNT) count = RBD_CONSTRAINT_LAMBDA_COUNT;
        for (int32_t r = 0; r < count; ++r) c->lambda[r] = rows->lambda[first + r] * scale;
        if (count < RBD_CONSTRAINT_LAMBDA_COUNT) c->lambda[count] = RBD_LAMBDA_END_MARKER;
        c->swept = swept;
    }
}
