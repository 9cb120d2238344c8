// One solve of one partition in a solver context: the checks and the work
// of RbdLcsStep, for callers that keep a context (a world).
#ifndef KELMAR_DYNAMICS_RBDLCSSTEP_H
#define KELMAR_DYNAMICS_RBDLCSSTEP_H

#include <kelmar/RbdLcs.h>

namespace lcs {

class Context;

// RbdLcsStep with the context's workspace allocator, models and
// factorisations. *fellBack (when given) is set when the pivoting solve
// failed and sweeps gave the impulses instead.
int step(Context &context, RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
         const RbdLcsParameters *parameters, int *fellBack = nullptr);

} // namespace lcs

#endif
