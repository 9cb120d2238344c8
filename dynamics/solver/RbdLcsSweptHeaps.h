// Heaps of contacts whose pivoting solve fails while their bodies land are
// swept for the next few steps. A landing heap fails the same way step
// after step while its boxes turn over: each failure runs the pivoting's
// whole iteration budget and then its recovery, which costs many times the
// large-island solver's sweeps that can stand in for it. Once its bodies
// have slowed down a heap keeps the pivoting, which brings it to rest; so
// does a stack that fails once as it settles. The mark rides on the
// bodies, as islands are formed anew each step.
#ifndef KELMAR_DYNAMICS_RBDLCSSWEPTHEAPS_H
#define KELMAR_DYNAMICS_RBDLCSSWEPTHEAPS_H

#include "solver/RbdLcsTypes.h"

namespace lcs {

// Steps an island's bodies are swept after its pivoting solve failed.
const int kSweptStepsAfterFailure = 10;
// An island is still landing while a body moves at least as fast as its
// load would make it in this many steps: 5 g h under gravity alone (0.49
// m/s for boxes in SI at h = 0.01 s, 24.5 cm/s in centimetres at 0.005 s),
// so the rule means the same in every unit system. A body without a load
// never counts as landing.
const PxReal kLandingSteps = 5.0;

// After a failed pivoting solve of an island of contacts stepped by h:
// marks its bodies for kSweptStepsAfterFailure steps when one of them is
// landing (kLandingSteps). Returns whether it marked them.
int markSweptSteps(RbdLcsBody *const *bodies, int bodyCount, PxReal h);

// Counts one step off each body's mark. Returns whether any body of the
// island still had steps to be swept.
int takeSweptStep(RbdLcsBody *const *bodies, int bodyCount);

} // namespace lcs

#endif
