// Script entries of Contact (one contact, copied out of the dynamics) and
// ContactList (the contacts of a solid or robot, valid until the next step).
#include <kelmar/ContactList.h>

#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

// The contact behind the call; "badobj:contact" for an empty one.
const HostContact &C(KelmarCall *c)
{
    const auto *contact = Self<HostContact>(c);
    if (!contact || !contact->valid) Raise(kBadObjContact, kContactInvalid);
    return *contact;
}

// Which body (0 or 1) an argument names.
int Side(KelmarCall *c, const char *label)
{
    const int side = Int(c, 0, label);
    if (side < 0 || side > 1) Raise(kBadArgIndex, kIndexOutOfRange, label, 0, 1);
    return side;
}

void ContactNew(KelmarCall *c)
{
    c->self = new HostContact;
}

void ContactFree(KelmarCall *c)
{
    delete Self<HostContact>(c);
}

void IsValid(KelmarCall *c)
{
    const auto *contact = Self<HostContact>(c);
    ReturnInt(c, contact && contact->valid);
}

void Name(KelmarCall *c)
{
    const HostContact &contact = C(c);
    ReturnText(c, contact.names[Side(c, "Contact:Name")].c_str());
}

// A 3-vector through the entry's own result cell.
template <int Cell> void ReturnVector(KelmarCall *c, const double *v)
{
    static float cell[3];
    for (int i = 0; i < 3; ++i) cell[i] = static_cast<float>(v[i]);
    ReturnCell(c, cell, 3);
}

void Force(KelmarCall *c)
{
    const HostContact &contact = C(c);
    ReturnVector<0>(c, contact.force[Side(c, "Contact:Force")]);
}

void Torque(KelmarCall *c)
{
    const HostContact &contact = C(c);
    ReturnVector<1>(c, contact.torque[Side(c, "Contact:Torque")]);
}

void Position(KelmarCall *c)
{
    ReturnVector<2>(c, C(c).position);
}

void Normal(KelmarCall *c)
{
    ReturnVector<3>(c, C(c).normal);
}

void Direction(KelmarCall *c)
{
    ReturnVector<4>(c, C(c).direction);
}

void Penetration(KelmarCall *c)
{
    ReturnFloat(c, C(c).penetration);
}

void FrictionType(KelmarCall *c)
{
    ReturnInt(c, C(c).frictionType);
}

void FrictionForce1(KelmarCall *c)
{
    ReturnFloat(c, C(c).frictionForce[0]);
}

void FrictionForce2(KelmarCall *c)
{
    ReturnFloat(c, C(c).frictionForce[1]);
}

void Mu1(KelmarCall *c)
{
    ReturnFloat(c, C(c).mu[0]);
}

void Mu2(KelmarCall *c)
{
    ReturnFloat(c, C(c).mu[1]);
}

// ---- ContactList ----
HostContactList *L(KelmarCall *c)
{
    return Self<HostContactList>(c);
}

void ListNew(KelmarCall *c)
{
    c->self = new HostContactList(nullptr, "");
}

void ListFree(KelmarCall *c)
{
    delete L(c);
}

// The list behind the call; "badobj:contact" once the simulation has moved
// past it, as the host's units raise (an empty list made by the script
// stays empty).
const HostContactList *Listed(KelmarCall *c)
{
    const HostContactList *listed = L(c);
    if (listed->list && !listed->Current()) Raise(kBadObjContact, kContactInvalid);
    return listed;
}

void Num(KelmarCall *c)
{
    ReturnInt(c, Listed(c)->Count());
}

void Get(KelmarCall *c)
{
    const HostContactList *listed = Listed(c);
    const int index = Int(c, 0, "ContactList:Get"), count = listed->Count();
    if (index < 0 || index >= count) Raise(kBadArgIndex, kIndexOutOfRange, "ContactList:Get", 0, count - 1);
    const ContactList::Entry &entry = listed->Current()->entries[static_cast<size_t>(index)];
    ReturnObject(c, CopyContact(entry.contact), "Contact");
}

const NamedEntry kEntries[] = {
    {"Contact", ContactNew},
    {"FREE_Contact", ContactFree},
    {"Contact_IsValid", IsValid},
    {"Contact_Name", Name},
    {"Contact_Force", Force},
    {"Contact_Torque", Torque},
    {"Contact_Position", Position},
    {"Contact_Normal", Normal},
    {"Contact_Direction", Direction},
    {"Contact_Penetration", Penetration},
    {"Contact_FrictionType", FrictionType},
    {"Contact_FrictionForce1", FrictionForce1},
    {"Contact_FrictionForce2", FrictionForce2},
    {"Contact_Mu1", Mu1},
    {"Contact_Mu2", Mu2},
    {"Create_ContactList", ListNew},
    {"FREE_ContactList", ListFree},
    {"ContactList_Num", Num},
    {"ContactList_Get", Get},
};

} // namespace

EntryList ContactEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
