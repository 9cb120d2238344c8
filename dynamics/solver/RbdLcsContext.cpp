#include "solver/RbdLcsContext.h"

#include <new>
#include <kelmar/PxMemory.h>

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

void destroyContext(Context *context)
{
    if (!context) return;
    context->~Context();
    PxMemoryAPI.destroy(context);
}

} // namespace lcs
