#include "solver/RbdLcsContext.h"

#include <new>
#include <kelmar/PxMemory.h>
#include <kelmar/RbdLcs.h>

namespace lcs {

WorldStepper &Context::stepper(int index)
{
    WorldStepper *const steppers[kStepperCount] = {&simple_, &vintage_, &stable_};
    return *steppers[index];
}

LCPMatrix &Context::matrix(int index)
{
    return index == 0 ? static_cast<LCPMatrix &>(blocks_) : static_cast<LCPMatrix &>(rows_);
}

Context *createContext()
{
    void *memory = PxMemoryAPI.create(sizeof(Context));
    return memory ? new (memory) Context() : nullptr;
}

// The reservation is address space, written only by islands that need it;
// beyond this many rows (about 100 MB) an island that large is rare enough
// to pay for its own.
const int kReservedRowsMost = 2048;

void reserveKept(Context &context, const RbdLcsParameters &parameters)
{
    const RbdLcsLCPSolverParameters &lcp = parameters.lcp;
    if (lcp.largeIslandSolver != RBD_LCP_LARGE_ISLAND_ITERATIVE || lcp.largeIslandRows > kReservedRowsMost) return;
    if (parameters.stepperModel < 0 || parameters.stepperModel >= kStepperCount) return;
    try {
        context.stepper(parameters.stepperModel).reserveKept(lcp.largeIslandRows);
    } catch (const std::bad_alloc &) {
        // Short of memory: the tables grow when an island needs them, as before.
    }
}

void destroyContext(Context *context)
{
    if (!context) return;
    context->~Context();
    PxMemoryAPI.destroy(context);
}

} // namespace lcs
