// Units of host objects.
#include "units/ObjectUnits.h"

#include <memory>
#include <string>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "progaux/UnitSupport.h"

namespace kelmar {

void ctrl_object(int command, DfxUnit *unit)
{
    auto *object = DataOf<DfxObject>(unit);
    if (!object || command != DFX_CTRL_CHANGED) return;
    DfxKelmarAdmin &admin = TheAdmin();
    admin.SetHostUnit(object, unit);
    if (!object->NamedByUnit() || std::string(object->Name()) == dfx_unit_name(unit)) return;
    admin.UnResolveObject(object);
    object->SetName(dfx_unit_name(unit));
    if (DfxScene *scene = admin.FindScene(object->SceneName(), unit)) admin.ResolveObject(object, scene);
}

void remove_object(DfxUnit *unit)
{
    delete DataOf<DfxObject>(unit);
}

DfxUnit *ObjectUnit(DfxUnit *host, const char *label, const char *name, DfxObject *object, DfxExecFn exec,
                    bool namedByUnit)
{
    std::unique_ptr<DfxObject> owned(object);
    object->SetNamedByUnit(namedByUnit);
    if (namedByUnit) object->SetName(name);
    const DfxUnitHooks hooks = {exec, ctrl_object, nullptr, nullptr, remove_object};
    DfxUnit *unit = dfx_unit_new(host, label, name, &hooks, object);
    owned.release();
    object->SetUnit(unit);
    TheAdmin().Register(object);
    return unit;
}

} // namespace kelmar
