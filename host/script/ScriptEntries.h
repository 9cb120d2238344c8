// The entry functions of the script interface, one table per class family.
#ifndef KELMAR_HOST_SCRIPTENTRIES_H
#define KELMAR_HOST_SCRIPTENTRIES_H

#include "admin/DfxKelmarAdmin.h"
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
