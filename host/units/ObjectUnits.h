// What the units of host objects share: the control function that follows
// the unit's name and place, and the remove function.
#ifndef KELMAR_HOST_OBJECTUNITS_H
#define KELMAR_HOST_OBJECTUNITS_H

#include <dfx/dfx.h>

namespace kelmar {

class DfxObject;

// DFX_CTRL_CHANGED: the object follows its unit; an object named after
// its unit takes the new name and binds again.
void ctrl_object(int command, DfxUnit *unit);
void remove_object(DfxUnit *unit);
// A unit of label owning object, which is then registered with the
// administrator. namedByUnit: the object takes the unit's name.
DfxUnit *ObjectUnit(DfxUnit *host, const char *label, const char *name, DfxObject *object, DfxExecFn exec,
                    bool namedByUnit);

} // namespace kelmar

#endif
