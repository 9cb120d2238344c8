// Robot units: a robot the scene file names ("robot|ref") or one built
// from a base joint and base solid ("robot"), with the methods SetJoints,
// GetJoints and GetContacts.
#include <vector>

#include <kelmar/ContactList.h>
#include <kelmar/Robot.h>

#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "progaux/UnitSupport.h"
#include "units/ObjectUnits.h"
#include "units/Units.h"

namespace kelmar {

namespace {

const char kDialogGetContacts[] = " contacts %n %0:1:0:6i%lwith~solids~of~type~(0:~all) %n";
const char kDialogSetJoints[] = " set joints %n %0:1:1:8f%lspeed~fraction %n";

Robot *RobotOf(DfxUnit *m)
{
    return DataOf<DfxRobot>(m)->Require();
}

// Joint values in joint order (rad or cm), one per joint of the robot,
// driven at a fraction of each joint's top speed (the method's dialog).
void SetJoints(DfxUnit *m)
{
    Robot *robot = RobotOf(m);
    int n = 0;
    const float *values = dfx_in_floats(m, 0, &n);
    RequireDim(MethodLabel(m).c_str(), 0, n, robot->numJoints);
    std::vector<double> targets(static_cast<size_t>(n));
    ToReals(values, targets.data(), n);
    robot->SetJoints(targets.data(), static_cast<float>(dfx_dialog_float(dfx_unit_dialog(m), 0, 0)));
}

void GetJoints(DfxUnit *m)
{
    Robot *robot = RobotOf(m);
    std::vector<double> values(static_cast<size_t>(robot->numJoints));
    robot->GetJoints(values.data());
    ToFloats(values.data(), dfx_out_floats(m, 0, robot->numJoints), robot->numJoints);
}

void GetContacts(DfxUnit *m)
{
    const Robot *robot = RobotOf(m);
    auto *list = new HostContactList(robot->GetContacts(dfx_in_int(m, 0)), DataOf<DfxRobot>(m)->Name());
    dfx_out_object(m, 0, ContactListType(), list, 1);
}

const PortSpec kValues[] = {{"values", "float"}, {nullptr, nullptr}};
const PortSpec kType[] = {{"type", "int"}, {nullptr, nullptr}};
const PortSpec kContacts[] = {{"contacts", "vx.ContactList"}, {nullptr, nullptr}};

DfxUnit *RobotUnit(DfxUnit *host, const char *label, const char *name, DfxRobot *robot)
{
    DfxUnit *unit = ObjectUnit(host, label, name, robot, nullptr, false);
    AddMethod(unit, "SetJoints", SetJoints, kDialogSetJoints, kValues, nullptr);
    AddMethod(unit, "GetJoints", GetJoints, nullptr, nullptr, kValues);
    AddMethod(unit, "GetContacts", GetContacts, kDialogGetContacts, kType, kContacts);
    return unit;
}

} // namespace

} // namespace kelmar

using namespace kelmar;

extern "C" {

// A built robot is named after its unit.
DfxUnit *_fun1_robot(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const char *name = dfx_dialog_unit_name(dialog);
    auto *robot = new DfxRobot(name, dfx_dialog_text(dialog, 0), nullptr, dfx_dialog_text(dialog, 1),
                               dfx_dialog_text(dialog, 2), dfx_dialog_int(dialog, 3, 0));
    return RobotUnit(host, "robot", name, robot);
}

DfxUnit *_fun1_robot_ref(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    auto *robot = new DfxRobot(dfx_dialog_text(dialog, 1), dfx_dialog_text(dialog, 0), nullptr);
    return RobotUnit(host, "robot|ref", dfx_dialog_unit_name(dialog), robot);
}

} // extern "C"
