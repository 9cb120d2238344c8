// What a solve works with besides its inputs and its memory: the workspace
// allocator over that memory, the three integration models and the two
// factorisations. All of it is state of one call at a time, so a world
// keeps one context for its islands and two worlds never share one; the
// solver's entry points without a world make one for the call.
#ifndef KELMAR_DYNAMICS_RBDLCSCONTEXT_H
#define KELMAR_DYNAMICS_RBDLCSCONTEXT_H

#include "solver/RbdLcsBkChol.h"
#include "solver/RbdLcsMemoryPool.h"
#include "solver/RbdLcsStepper.h"
#include "solver/RbdLcsVbChol.h"

namespace lcs {

class Context {
public:
    // By the stepper-model and linear-solver indices (checked by the caller).
    WorldStepper &stepper(int index);
    LCPMatrix &matrix(int index);
    // Both, chosen between by the linear-solver parameter's value.
    Factorisations factorisations(int choice)
    {
        Factorisations both;
        both.blocks = &blocks_;
        both.rows = &rows_;
        both.choice = choice;
        return both;
    }
    MemoryPool &pool() { return pool_; }

private:
    MemoryPool pool_;
    SimpleStepper simple_;
    VintageStepper vintage_;
    StableStepper stable_;
    BkChol blocks_;
    VbChol rows_;
};

// Sizes what the world's stepper keeps from step to step for the largest
// island pivoting may get, the large-island threshold's rows, and for the
// largest the sweeps may get, maxRows (the world's row capacity), so that
// no step allocates for it; called when the world is made, when its
// capacities grow and when its stepper, large-island solver or threshold
// is set. Without a threshold (large islands pivoted too), or past
// kReservedRowsMost rows, the pivoting's tables grow when an island needs
// more. Never shrinks.
void reserveKept(Context &context, const RbdLcsParameters &parameters, int maxRows);

// Workspace bytes (RbdLcsMemoryRequiredFor) of the largest island a world
// of maxRows rows and maxBodies bodies can step under parameters, with the
// pivoted islands bounded as reserveKept bounds them.
size_t workspaceBound(const RbdLcsParameters &parameters, int maxRows, int maxBodies);

// A context from the toolkit's allocator, for a world; null when memory is short.
Context *createContext();
void destroyContext(Context *context);

} // namespace lcs

#endif
