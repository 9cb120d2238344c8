// One solve of one partition in a solver context: the checks and the work
// of RbdLcsStep, for callers that keep a context (a world).
#ifndef KELMAR_DYNAMICS_RBDLCSSTEP_H
#define KELMAR_DYNAMICS_RBDLCSSTEP_H

#include <kelmar/RbdLcs.h>

namespace lcs {

class Context;

// Where a caller that holds its bodies in an array of pointers finds
// their solver records: record k at the k-th pointer + offset bytes, in
// chain order. The solver then reads its body index from the array rather
// than chasing the chain, which in a large island waits on one body after
// another.
struct BodyRecords {
    const void *pointers = nullptr; // the caller's array of record pointers
    size_t offset = 0;
};

// How a partition's step went, besides its result.
struct StepOutcome {
    int fellBack = 0;  // the pivoting solve failed and sweeps gave the impulses instead
    int sweptHeap = 0; // a heap swept in place of the pivoting (RbdLcsSweptHeaps.h)
};

// RbdLcsStep with the context's workspace allocator, models and
// factorisations. *outcome (when given) says how the step went. records,
// when given, lists the chain's bodies.
int step(Context &context, RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
         const RbdLcsParameters *parameters, StepOutcome *outcome = nullptr, const BodyRecords *records = nullptr);

} // namespace lcs

#endif
