// The contact iterator: for every contact of its input list it puts the
// contact and the names of its two solids on its outputs and runs its
// successor once.
#include <vector>

#include <kelmar/ContactList.h>

#include "objects/DfxUniverse.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "progaux/UnitSupport.h"
#include "units/Units.h"

namespace kelmar {

namespace {

// A successor that moves the simulation on ends the walk: the contacts
// left would be gone.
void Iterate(DfxUnit *unit)
{
    const auto *held = static_cast<const HostContactList *>(dfx_in_object(unit, 0, ContactListType()));
    if (!held) return;
    if (!held->Current()) Raise(kBadObjContact, kContactInvalid);
    const long generation = SimulationGeneration();
    const std::vector<ContactList::Entry> entries = held->Current()->entries;
    for (const ContactList::Entry &entry : entries) {
        if (SimulationGeneration() != generation) Raise(kBadObjContact, kContactInvalid);
        HostContact *contact = CopyContact(entry.contact);
        const std::string first = contact->names[0], second = contact->names[1];
        dfx_out_object(unit, 0, ContactType(), contact, 1);
        dfx_out_text(unit, 1, first.c_str());
        dfx_out_text(unit, 2, second.c_str());
        if (dfx_execute_successor(unit) == 0) {
            dfx_warning("%S: no successor to iterate!\n", unit);
            return;
        }
    }
}

} // namespace

} // namespace kelmar

extern "C" DfxUnit *_fun1_ContactIt(DfxUnit *host, const DfxDialog *dialog)
{
    using namespace kelmar;
    if (!CheckHost(host)) return nullptr;
    const DfxUnitHooks hooks = {Iterate, nullptr, nullptr, nullptr, nullptr};
    DfxUnit *unit = dfx_unit_new(host, "ContactIt", dfx_dialog_unit_name(dialog), &hooks, nullptr);
    dfx_unit_add_input(unit, "contacts", ContactListType());
    dfx_unit_add_output(unit, "contact", ContactType());
    dfx_unit_add_output(unit, "solid1", dfx_type("text"));
    dfx_unit_add_output(unit, "solid2", dfx_type("text"));
    return unit;
}
