// The universe unit's methods: the groups "Set" and "Get" of world
// parameters, options, time and the marked solid, and "step", "draw" and
// "reset".
#ifndef KELMAR_HOST_UNIVERSEMETHODS_H
#define KELMAR_HOST_UNIVERSEMETHODS_H

#include <dfx/dfx.h>

namespace kelmar {

void AddUniverseMethods(DfxUnit *unit);

} // namespace kelmar

#endif
