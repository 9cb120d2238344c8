// The entry functions of the script interface, one table per class family.
#ifndef KELMAR_HOST_SCRIPTENTRIES_H
#define KELMAR_HOST_SCRIPTENTRIES_H

#include <functional>
#include <type_traits>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "progaux/HostTypes.h"
#include "script/ScriptArgs.h"

namespace kelmar {
namespace script {

struct EntryList {
    const NamedEntry *entries;
    int count;
};

template <int N> constexpr EntryList ListOf(const NamedEntry (&entries)[N])
{
    return {entries, N};
}

// A reference to the object of a scene by name (arguments: scene, name), registered and bound to the call;
// label names the constructor in messages about the arguments.
template <class T> void NewRef(KelmarCall *c, const char *label)
{
    const char *scene = Text(c, 0, label), *name = Text(c, 1, label);
    auto *ref = new T(name, scene, nullptr);
    TheAdmin().Register(ref);
    c->self = ref;
}

// Entry adapters, one per argument shape, for the entries that only carry values between the call and one object.
// Target resolves the object (and raises while it is unresolved); Member is a member function or field of it, or a
// function of the toolkit taking it first; Label names the entry in messages. A setter reads its arguments before it
// resolves its object.
template <auto Target, auto Set, const char *Label> void SetReal(KelmarCall *c)
{
    const double value = Real(c, 0, Label);
    auto target = Target(c);
    if constexpr (std::is_member_object_pointer_v<decltype(Set)>)
        target->*Set = static_cast<std::decay_t<decltype(target->*Set)>>(value);
    else
        std::invoke(Set, target, value);
}

template <auto Target, auto Get> void GetReal(KelmarCall *c)
{
    ReturnFloat(c, static_cast<double>(std::invoke(Get, Target(c))));
}

template <auto Target, auto Set, int N, const char *Label> void SetReals(KelmarCall *c)
{
    double v[N];
    Reals(c, 0, Label, N, v);
    std::invoke(Set, Target(c), v);
}

template <auto Target, auto Get, int N, const char *Label> void GetReals(KelmarCall *c)
{
    double v[N];
    std::invoke(Get, Target(c), v);
    PutReals(c, 0, Label, v, N);
}

template <auto Target, auto Set, const char *Label> void SetTransform(KelmarCall *c)
{
    double tm[4][4];
    Transform(c, 0, Label, tm);
    std::invoke(Set, Target(c), tm);
}

// Option bits: the first argument handed to Method of the object as bits, or tested against its options.
template <auto Target, auto Method, const char *Label> void WithBits(KelmarCall *c)
{
    auto target = Target(c);
    std::invoke(Method, target, static_cast<unsigned int>(Int(c, 0, Label)));
}

template <auto Target, const char *Label> void CheckBits(KelmarCall *c)
{
    auto target = Target(c);
    ReturnInt(c, (target->GetOptions() & static_cast<unsigned int>(Int(c, 0, Label))) != 0);
}

// The contacts of the object Ref resolves (its reference), as a new ContactList kept under the reference's name:
// those of a type (the first argument), or those with the solid given first.
template <auto Ref, const char *Label> void GetContactsOfType(KelmarCall *c)
{
    const int type = Int(c, 0, Label);
    auto *ref = Ref(c);
    ReturnObject(c, new HostContactList(ref->Require()->GetContacts(type), ref->Name()), "ContactList");
}

template <auto Ref, const char *Label> void GetContactsWith(KelmarCall *c)
{
    auto *with = static_cast<DfxSolid *>(Object(c, 0, Label));
    const Solid *other = with ? with->Require() : nullptr;
    auto *ref = Ref(c);
    ReturnObject(c, new HostContactList(ref->Require()->GetContacts(other), ref->Name()), "ContactList");
}

EntryList UniverseEntries();
EntryList SceneEntries();
EntryList ContactEntries();
EntryList SolidEntries();
// The solid's forces and contacts to a C function, for old programs.
EntryList SolidCallbackEntries();
EntryList JointEntries();
EntryList RobotEntries();
EntryList GraspEntries();
EntryList FreeFunctionEntries();
EntryList HookEntries();
// Empty where the module is built without the viewer.
EntryList ViewerEntries();

// Entries beyond the module's own (the cameras, see cameras/Cameras.h);
// an entry of a name already known replaces it.
void AddEntries(EntryList list);

} // namespace script
} // namespace kelmar

#endif
