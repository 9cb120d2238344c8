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
// Speed (m/s) of an island's fastest body while it is still landing.
const PxReal kLandingSpeed = 0.5;

// After a failed pivoting solve of an island of contacts: marks its bodies
// for kSweptStepsAfterFailure steps when one of them moves at
// kLandingSpeed or faster. Returns whether it marked them.
int markSweptSteps(RbdLcsBody *const *bodies, int bodyCount);

// Counts one step off each body's mark. Returns whether any body of the
// island still had steps to be swept.
int takeSweptStep(RbdLcsBody *const *bodies, int bodyCount);

} // namespace lcs

#endif
