// Handle and argument checks shared by the library's entry points.
#include <math.h>
#include "world/RbdInternal.h"

bool RbdCheckWorld(const RbdWorld *world)
{
    return world != nullptr;
}

bool RbdCheckBody(const RbdBody *body, const char *function)
{
    if (!body) return false;
    if (body->typeTag != RBD_BODY_TAG) {
        PxWarning(RBD_MESSAGE_LEVEL, "%s: the body has been destroyed.\n", function);
        return false;
    }
    return true;
}

bool RbdCheckConstraint(const RbdBaseConstraint *constraint, const char *function)
{
    if (!constraint) return false;
    if (constraint->typeId < 0 || constraint->typeId >= RBD_TYPE_COUNT) {
        PxWarning(RBD_MESSAGE_LEVEL, "%s: the constraint has been destroyed.\n", function);
        return false;
    }
    return true;
}

bool RbdCheckBodyIndex(int32_t index, const char *function)
{
    if (index == 0 || index == 1) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: body index %d is neither 0 nor 1.\n", function, (int)index);
    return false;
}

bool RbdCheckConstraintBody(const RbdBaseConstraint *constraint, int32_t index, const char *function)
{
    return RbdCheckConstraint(constraint, function) && RbdCheckBodyIndex(index, function);
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

bool RbdCheckFinite3(PxReal x, PxReal y, PxReal z, const char *function)
{
    if (isfinite(x) && isfinite(y) && isfinite(z)) return true;
    PxWarning(RBD_MESSAGE_LEVEL, "%s: the vector (%g, %g, %g) is not finite; ignored.\n", function, x, y, z);
    return false;
}
