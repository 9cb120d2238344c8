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

// The most rows of an island pivoted in a world of maxRows rows that its
// workspace is sized for ahead: the threshold's, as for the kept tables.
int mostPivotedRows(const RbdLcsLCPSolverParameters &lcp, int maxRows)
{
    if (lcp.largeIslandSolver != RBD_LCP_LARGE_ISLAND_ITERATIVE || lcp.largeIslandRows > kReservedRowsMost) return 0;
    return lcp.largeIslandRows < maxRows ? lcp.largeIslandRows : maxRows;
}

void reserveKept(Context &context, const RbdLcsParameters &parameters, int maxRows)
{
    const RbdLcsLCPSolverParameters &lcp = parameters.lcp;
    if (lcp.largeIslandSolver != RBD_LCP_LARGE_ISLAND_ITERATIVE) return;
    if (parameters.stepperModel < 0 || parameters.stepperModel >= kStepperCount) return;
    WorldStepper &stepper = context.stepper(parameters.stepperModel);
    try {
        if (lcp.largeIslandRows <= kReservedRowsMost) stepper.reserveKept(lcp.largeIslandRows);
        if (islandIsLarge(maxRows, lcp)) stepper.reserveSweeps(maxRows);
    } catch (const std::bad_alloc &) {
        // Short of memory: the tables grow when an island needs them, as before.
    }
}

// Each island's rows are written into the world's row list, which holds
// maxRows, and its bodies are among the world's maxBodies. The workspace
// grows with the bodies and, in each of the two solvers' ranges, with the
// rows (quadratically up to the threshold, linearly past it): the largest
// is one of the two ranges' ends. Where the kept tables are not reserved
// (large islands pivoted too, or a threshold past kReservedRowsMost) the
// pivoted islands' workspace is not either, and grows at the step of the
// first island that needs more.
size_t workspaceBound(const RbdLcsParameters &parameters, int maxRows, int maxBodies)
{
    const RbdLcsLCPSolverParameters &lcp = parameters.lcp;
    size_t bytes = stepperMemoryRequired(mostPivotedRows(lcp, maxRows), maxBodies, lcp);
    if (islandIsLarge(maxRows, lcp)) {
        size_t swept = stepperMemoryRequired(maxRows, maxBodies, lcp);
        if (swept > bytes) bytes = swept;
    }
    return bytes;
}

void destroyContext(Context *context)
{
    if (!context) return;
    context->~Context();
    PxMemoryAPI.destroy(context);
}

} // namespace lcs
