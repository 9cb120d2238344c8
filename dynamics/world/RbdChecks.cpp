// Handle and argument checks shared by the library's entry points.
#include <math.h>
#include "world/RbdInternal.h"

bool RbdCheckWorld(const RbdWorld *world)
{
    return world != nullptr;
}

bool RbdWarnDestroyedBody(const char *function)
{
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the body has been destroyed.\n", function);
    return false;
}

bool RbdWarnDestroyedConstraint(const char *function)
{
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the constraint has been destroyed.\n", function);
    return false;
}

bool RbdWarnBodyIndex(int32_t index, const char *function)
{
    PxWarning(RBD_MESSAGE_LEVEL, "%s: body index %d is neither 0 nor 1.\n", function, (int)index);
    return false;
}

bool RbdCheckNonNegative(PxReal value, const char *function)
{
    if (value >= 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %g is not >= 0; ignored.\n", function, value);
    return false;
}

bool RbdCheckFiniteNonNegative(PxReal value, const char *function)
{
    if (isfinite(value) && value >= 0.0) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: %g is not a finite value >= 0; ignored.\n", function, value);
    return false;
}

bool RbdWarnNotFinite3(PxReal x, PxReal y, PxReal z, const char *function)
{
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the vector (%g, %g, %g) is not finite; ignored.\n", function, x, y, z);
    return false;
}
