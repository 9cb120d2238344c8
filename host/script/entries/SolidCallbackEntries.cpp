// The SolidRef entries kept for old programs: the forces and the contacts
// on a solid handed one at a time to a C function of the program, where
// newer programs get a ContactList. Each returns how often it called the
// function; an omitted (NULL) function is not called, so the entry only
// counts. Vectors are in the world frame, forces and torques those on this
// solid's side of each constraint.
#include <memory>

#include <kelmar/ContactList.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Solid.h>

#include "objects/DfxObject.h"
#include "progaux/HostTypes.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

// The C functions as declared; the value they return is not used.
using ForceFunction = int (*)(int iType, float *force, float *torque);
using ContactFunction = int (*)(int iType, float *force, float *torque, float *position, float *normal,
                                float *direction, float friction1, float friction2);

void Narrow(const double *from, float *to, int n)
{
    for (int i = 0; i < n; ++i) to[i] = static_cast<float>(from[i]);
}

// One constraint's force and torque on the solid's side, to the function.
void ReportForce(ForceFunction report, const ConstraintIterator &it)
{
    double force[3], torque[3];
    RbdConstraintGetForce(it.Current(), it.GetBodyIndex(), force);
    RbdConstraintGetTorque(it.Current(), it.GetBodyIndex(), torque);
    float f[3], t[3];
    Narrow(force, f, 3);
    Narrow(torque, t, 3);
    report(RbdConstraintGetTypeId(it.Current()), f, t);
}

// int GetForces ((*)(int iType, float* Force, float* Torque), int iFilter=-1):
// every constraint on the solid's body of the filter's type (negative: of
// any type). The dynamics numbers its types as the interface's constants
// tBSJOINT .. tCONELIMIT; it makes no constraints of the user type, so
// tUSER finds none.
void GetForces(KelmarCall *c)
{
    const char *label = "Solid:GetForces";
    const auto report = reinterpret_cast<ForceFunction>(Function(c, 0, label));
    ConstraintIterator it(Self<DfxSolid>(c)->Require(), Int(c, 1, label));
    int calls = 0;
    while (++it) {
        ++calls;
        if (report) ReportForce(report, it);
    }
    ReturnInt(c, calls);
}

// The type the program gave the solid on the other side of a contact; 0
// for the static environment.
int OtherType(RbdContactID contact, int side)
{
    RbdBodyID other = RbdConstraintGetBody(contact, 1 - side);
    const auto *solid = other ? static_cast<const Solid *>(RbdBodyGetUserData(other)) : nullptr;
    return solid ? solid->type : 0;
}

// int GetContacts ((*)(int iType, float *Force, float* Torque, float *Pos,
// float *Normal, float *Dir, float FrictionForce1, float FrictionsForce2)):
// every contact of the solid, iType being the other solid's type and the
// friction forces the limits of the contact's two friction directions (as
// Contact FrictionForce1 and FrictionForce2 give them).
void GetContacts(KelmarCall *c)
{
    const auto report = reinterpret_cast<ContactFunction>(Function(c, 0, "Solid:GetContacts"));
    const std::unique_ptr<ContactList> list(Self<DfxSolid>(c)->Require()->GetContacts(0));
    for (const ContactList::Entry &entry : list->entries) {
        if (!report) break;
        const std::unique_ptr<HostContact> contact(CopyContact(entry.contact));
        float f[3], t[3], position[3], normal[3], direction[3];
        Narrow(contact->force[entry.bodyIndex], f, 3);
        Narrow(contact->torque[entry.bodyIndex], t, 3);
        Narrow(contact->position, position, 3);
        Narrow(contact->normal, normal, 3);
        Narrow(contact->direction, direction, 3);
        report(OtherType(entry.contact, entry.bodyIndex), f, t, position, normal, direction,
               static_cast<float>(contact->frictionForce[0]), static_cast<float>(contact->frictionForce[1]));
    }
    ReturnInt(c, list->count);
}

const NamedEntry kEntries[] = {
    {"Solid_OBSOLETE_GetForces", GetForces},
    {"Solid_OBSOLETE_GetContacts", GetContacts},
};

} // namespace

EntryList SolidCallbackEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
