// Solid units: a reference to a solid of a scene file ("solid|ref") and
// solids the host makes ("box", "sphere", "cylinder"). Each puts its solid
// on its output "solid" and has the methods GetTM, SetTM, GetPosition and
// GetContacts.
#include <memory>
#include <string>

#include <kelmar/ContactList.h>
#include <kelmar/Solid.h>

#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "progaux/UnitSupport.h"
#include "units/ObjectUnits.h"
#include "units/Units.h"

namespace kelmar {

namespace {

const char kDialogGetContacts[] = " contacts %n %0:1:0:6i%lwith~solids~of~type~(0:~all) %n";

DfxSolid *SolidOf(DfxUnit *unit)
{
    return DataOf<DfxSolid>(unit);
}

void PutSolid(DfxUnit *unit)
{
    dfx_out_object(unit, 0, SolidRefType(), SolidOf(unit), 0);
}

void GetTM(DfxUnit *m)
{
    const double(*tm)[4] = SolidOf(m)->Require()->GetTM();
    float *out = dfx_out_floats(m, 0, 16);
    for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(tm[i / 4][i % 4]);
}

void SetTM(DfxUnit *m)
{
    Solid *solid = SolidOf(m)->Require();
    int n = 0;
    const float *values = dfx_in_floats(m, 0, &n);
    RequireDim(MethodLabel(m).c_str(), 0, n, 16);
    double tm[4][4];
    RequireTM(MethodLabel(m).c_str(), values, tm);
    solid->SetTM(tm);
}

void GetPosition(DfxUnit *m)
{
    double p[3];
    SolidOf(m)->Require()->GetPosition(p);
    ToFloats(p, dfx_out_floats(m, 0, 3), 3);
}

void GetContacts(DfxUnit *m)
{
    const Solid *solid = SolidOf(m)->Require();
    const int type = dfx_in_int(m, 0);
    auto *list = new HostContactList(solid->GetContacts(type), solid->GetName());
    dfx_out_object(m, 0, ContactListType(), list, 1);
}

const PortSpec kTM[] = {{"tm", "float"}, {nullptr, nullptr}};
const PortSpec kPosition[] = {{"position", "float"}, {nullptr, nullptr}};
const PortSpec kType[] = {{"type", "int"}, {nullptr, nullptr}};
const PortSpec kContacts[] = {{"contacts", "vx.ContactList"}, {nullptr, nullptr}};

DfxUnit *SolidUnit(DfxUnit *host, const char *label, const char *name, DfxSolid *solid, bool namedByUnit)
{
    DfxUnit *unit = ObjectUnit(host, label, name, solid, PutSolid, namedByUnit);
    dfx_unit_add_output(unit, "solid", SolidRefType());
    PutSolid(unit);
    AddMethod(unit, "GetTM", GetTM, nullptr, nullptr, kTM);
    AddMethod(unit, "SetTM", SetTM, nullptr, kTM, nullptr);
    AddMethod(unit, "GetPosition", GetPosition, nullptr, nullptr, kPosition);
    AddMethod(unit, "GetContacts", GetContacts, kDialogGetContacts, kType, kContacts);
    return unit;
}

// The dialog's material choice: 0 .. 5 a material, 6 none.
int MaterialOf(const DfxDialog *dialog, int field)
{
    const int choice = dfx_dialog_int(dialog, field, 0);
    return choice >= 0 && choice < 6 ? choice : -1;
}

} // namespace

} // namespace kelmar

using namespace kelmar;

extern "C" {

DfxUnit *_fun1_solid_ref(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    auto *ref = new DfxSolidRef(dfx_dialog_text(dialog, 1), dfx_dialog_text(dialog, 0), nullptr);
    return SolidUnit(host, "solid|ref", dfx_dialog_unit_name(dialog), ref, false);
}

DfxUnit *_fun1_box(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const double size[3] = {dfx_dialog_float(dialog, 1, 0), dfx_dialog_float(dialog, 1, 1),
                            dfx_dialog_float(dialog, 1, 2)};
    const char *name = dfx_dialog_unit_name(dialog);
    auto *box = new DfxBox(name, dfx_dialog_text(dialog, 0), nullptr, size, MaterialOf(dialog, 2),
                           dfx_dialog_int(dialog, 3, 0) != 0);
    return SolidUnit(host, "box", name, box, true);
}

DfxUnit *_fun1_sphere(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const char *name = dfx_dialog_unit_name(dialog);
    auto *sphere = new DfxSphere(name, dfx_dialog_text(dialog, 0), nullptr, dfx_dialog_float(dialog, 1, 0),
                                 MaterialOf(dialog, 2), dfx_dialog_int(dialog, 3, 0) != 0);
    return SolidUnit(host, "sphere", name, sphere, true);
}

// The cylinder's name in the scene is its own field; without one it takes
// the unit's.
DfxUnit *_fun1_cylinder(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const std::string own = dfx_dialog_text(dialog, 3);
    const char *name = own.empty() ? dfx_dialog_unit_name(dialog) : own.c_str();
    auto *cylinder = new DfxCylinder(name, dfx_dialog_text(dialog, 0), nullptr, dfx_dialog_float(dialog, 1, 0),
                                     dfx_dialog_float(dialog, 2, 0), MaterialOf(dialog, 4),
                                     dfx_dialog_int(dialog, 5, 0) != 0);
    return SolidUnit(host, "cylinder", dfx_dialog_unit_name(dialog), cylinder, own.empty());
}

} // extern "C"
