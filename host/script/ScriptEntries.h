// The entry functions of the script interface, one table per class family.
#ifndef KELMAR_HOST_SCRIPTENTRIES_H
#define KELMAR_HOST_SCRIPTENTRIES_H

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
