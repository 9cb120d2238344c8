// The grasp unit: the grasp map and the primitive wrenches of the grasp
// wrench space of the contacts on a solid (inputs "solid" and "contacts").
// The grasp is kept while both inputs stay the same; a new contact list
// discards its grasp map.
#include <algorithm>
#include <memory>
#include <vector>

#include <kelmar/GraspMap.h>
#include <kelmar/Solid.h>

#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "progaux/UnitSupport.h"
#include "units/Units.h"

namespace kelmar {

namespace {

const char kDialogWrenches[] = " grasp wrench space %n %0:1:8:6i%lfriction~cone~sides~(at~least~3) %n";

struct GraspUnit {
    std::unique_ptr<Grasp> grasp;
    long list = 0; // the serial of the contact list in use
};

// The grasp of the unit's inputs, or null when one is missing.
Grasp *GraspOf(DfxUnit *method)
{
    DfxUnit *unit = dfx_unit_owner(method);
    auto *held = DataOf<GraspUnit>(unit);
    const auto *solid = static_cast<const DfxSolid *>(dfx_in_object(unit, 0, SolidRefType()));
    const auto *contacts = static_cast<const HostContactList *>(dfx_in_object(unit, 1, ContactListType()));
    if (!solid || !contacts) return nullptr;
    const Solid *target = solid->Require();
    if (!contacts->Current()) Raise(kBadObjContact, kContactInvalid);
    if (!held->grasp || held->grasp->GetTarget() != target)
        held->grasp.reset(new Grasp(target, contacts->Current()));
    else if (held->list != contacts->serial)
        held->grasp->SetContacts(contacts->Current());
    held->list = contacts->serial;
    return held->grasp.get();
}

void PutReals(DfxUnit *method, int port, const double *values, int n)
{
    ToFloats(values, dfx_out_floats(method, port, n), n);
}

// 6 x n floats, column by column, and n.
void Graspmap(DfxUnit *m)
{
    Grasp *grasp = GraspOf(m);
    int columns = 0;
    const double *map = grasp ? grasp->getGraspMap(columns) : nullptr;
    if (!map) columns = 0;
    PutReals(m, 0, map, 6 * columns);
    dfx_out_int(m, 1, columns);
}

void WrenchSpace(DfxUnit *m)
{
    Grasp *grasp = GraspOf(m);
    std::vector<double> wrenches;
    const int count = grasp ? grasp->WrenchSpaceL1(wrenches, std::max(3, dfx_in_int(m, 0))) : 0;
    PutReals(m, 0, wrenches.data(), 6 * count);
    dfx_out_int(m, 1, count);
}

void remove_grasp(DfxUnit *unit)
{
    delete DataOf<GraspUnit>(unit);
}

const PortSpec kMap[] = {{"map", "float"}, {"n", "int"}, {nullptr, nullptr}};
const PortSpec kEdges[] = {{"edges", "int"}, {nullptr, nullptr}};
const PortSpec kWrenches[] = {{"wrenches", "float"}, {"count", "int"}, {nullptr, nullptr}};

} // namespace

} // namespace kelmar

extern "C" DfxUnit *_fun1_grasp(DfxUnit *host, const DfxDialog *dialog)
{
    using namespace kelmar;
    if (!CheckHost(host)) return nullptr;
    std::unique_ptr<GraspUnit> held(new GraspUnit);
    const DfxUnitHooks hooks = {nullptr, nullptr, nullptr, nullptr, remove_grasp};
    DfxUnit *unit = dfx_unit_new(host, "grasp", dfx_dialog_unit_name(dialog), &hooks, held.get());
    held.release();
    dfx_unit_add_input(unit, "solid", SolidRefType());
    dfx_unit_add_input(unit, "contacts", ContactListType());
    AddMethod(unit, "Graspmap", Graspmap, nullptr, nullptr, kMap);
    AddMethod(unit, "WrenchSpace_L1", WrenchSpace, kDialogWrenches, kEdges, kWrenches);
    return unit;
}
