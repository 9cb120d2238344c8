// One solve of one partition in a solver context: the checks and the work
// of RbdLcsStep, for callers that keep a context (a world).
#ifndef KELMAR_DYNAMICS_RBDLCSSTEP_H
#define KELMAR_DYNAMICS_RBDLCSSTEP_H

#include <kelmar/RbdLcs.h>

namespace lcs {

class Context;

// RbdLcsStep with the context's workspace allocator, models and factorisations.
int step(Context &context, RbdLcsConstraints *constraints, RbdLcsBody *bodies, int bodyCount,
         const RbdLcsParameters *parameters);

} // namespace lcs

#endif
