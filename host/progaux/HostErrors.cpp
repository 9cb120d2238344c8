// Host exceptions of the module.
#include "progaux/HostErrors.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include <dfx/dfx.h>
#include <kelmar/Transform.h>

namespace kelmar {

const char *const kHostExceptionIds[kNumHostExceptionIds] = {
    "badarg:value",   "badarg:index",  "badarg:object",  "badarg:array",   "badarg:array:dim", "badop:div0",
    "badop:index",    "badop:array",   "badop:object",   "badobj:solid",   "badobj:joint",     "badobj:robot",
    "badobj:contact", "badobj:camera", "badobj:camhead", "badarg:material"};

const char *const kHostMessages[kNumHostMessages] = {
    "solid '%s' not yet resolved in scene '%s'\n",
    "joint '%s' not yet resolved in scene '%s'\n",
    "robot '%s' not yet resolved in scene '%s'\n",
    "camera '%s' not yet resolved in scene '%s'\n",
    "camhead '%s' not yet resolved in scene '%s'\n",
    "contact is invalid\n",
    "%s: dim of array arg #%d must be %d\n",
    "%s: transformation matrix is invalid\n",
    "%s: index out of range [%d,%d]\n",
    "no controller available for joint '%s' in scene '%s'\n",
    "wrong number of control parameters for joint '%s' in scene '%s'\n",
    "invalid material index: %d\n",
    "%s: time step must be positive and finite, not %g\n"};

void Raise(HostExceptionId id, HostMessage message, ...)
{
    char text[1024];
    va_list args;
    va_start(args, message);
    std::vsnprintf(text, sizeof text, kHostMessages[message], args);
    va_end(args);
    prog_throw(kHostExceptionIds[id], "%s", text);
}

void RequireDim(const char *label, int arg, int count, int required)
{
    if (count != required) Raise(kBadArgArrayDim, kArrayDim, label, arg, required);
}

double RequireTimeStep(const char *label, double value)
{
    if (!(value > 0 && std::isfinite(value))) Raise(kBadArgValue, kTimeStepInvalid, label, value);
    return value;
}

void RequireTM(const char *label, const float *values, double tm[4][4])
{
    for (int i = 0; i < 16; ++i) tm[i / 4][i % 4] = values[i];
    if (!IsRigidTM(tm, 1e-7)) Raise(kBadArgValue, kTransformInvalid, label);
}

} // namespace kelmar
