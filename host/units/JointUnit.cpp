// The joint unit: a reference to a named joint of a scene, with the
// methods Get (its coordinate: rad or cm) and Set (drives it there through
// its limit, at full speed).
#include <kelmar/Joint.h>
#include <kelmar/Limit.h>

#include "objects/DfxObject.h"
#include "progaux/UnitSupport.h"
#include "units/ObjectUnits.h"
#include "units/Units.h"

namespace kelmar {

namespace {

Limit *LimitOf(DfxUnit *m)
{
    const DfxJoint *joint = DataOf<DfxJoint>(m);
    Limit *limit = joint->Require()->GetLimit();
    if (!limit)
        prog_throw("badobj:joint", "joint '%s' in scene '%s' has no coordinate to drive\n", joint->Name(),
                   joint->SceneName());
    return limit;
}

void Get(DfxUnit *m)
{
    Limit *limit = LimitOf(m);
    dfx_out_floats(m, 0, 1)[0] = static_cast<float>(limit->GetPosition());
}

void Set(DfxUnit *m)
{
    Limit *limit = LimitOf(m);
    limit->SetValueOpt(dfx_in_float(m, 0), 1.0);
}

const PortSpec kValue[] = {{"value", "float"}, {nullptr, nullptr}};

} // namespace

} // namespace kelmar

using namespace kelmar;

extern "C" DfxUnit *_fun1_joint_ref(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const auto type = static_cast<DfxJointRef::Type>(dfx_dialog_int(dialog, 2, 0));
    auto *joint = new DfxJointRef(dfx_dialog_text(dialog, 1), dfx_dialog_text(dialog, 0), nullptr, type);
    DfxUnit *unit = ObjectUnit(host, "joint|ref", dfx_dialog_unit_name(dialog), joint, nullptr, false);
    AddMethod(unit, "Get", Get, nullptr, nullptr, kValue);
    AddMethod(unit, "Set", Set, nullptr, kValue, nullptr);
    return unit;
}
