// kelmar_invoke: the entry function of a declared name, run so that a host
// exception comes back in the call record instead of unwinding the caller.
#include <cstdio>
#include <string_view>
#include <unordered_map>

#include <dfx/dfx.h>

#include "script/ScriptCall.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

using Registry = std::unordered_map<std::string_view, Entry>;

Registry MakeRegistry()
{
    Registry registry;
    for (EntryList list :
         {UniverseEntries(), SceneEntries(), ContactEntries(), SolidEntries(), SolidCallbackEntries(), JointEntries(),
          RobotEntries(), GraspEntries(), FreeFunctionEntries(), HookEntries(), ViewerEntries()})
        for (int i = 0; i < list.count; ++i) registry.emplace(list.entries[i].name, list.entries[i].entry);
    return registry;
}

Registry &TheRegistry()
{
    static Registry registry = MakeRegistry();
    return registry;
}

struct Running {
    Entry entry;
    KelmarCall *call;
};

void Run(void *data)
{
    auto *running = static_cast<Running *>(data);
    running->entry(running->call);
}

} // namespace

void AddEntries(EntryList list)
{
    for (int i = 0; i < list.count; ++i) TheRegistry()[list.entries[i].name] = list.entries[i].entry;
}

} // namespace script
} // namespace kelmar

extern "C" int kelmar_invoke(const char *name, KelmarCall *call)
{
    using namespace kelmar::script;
    const auto found = TheRegistry().find(name ? name : "");
    call->result = KelmarArg();
    call->errorId[0] = call->errorText[0] = '\0';
    if (found == TheRegistry().end()) {
        std::snprintf(call->errorId, sizeof call->errorId, "kelmar:noentry");
        std::snprintf(call->errorText, sizeof call->errorText, "no entry function '%s'\n", name ? name : "");
        return -1;
    }
    Running running{found->second, call};
    return prog_protect(Run, &running, call->errorId, sizeof call->errorId, call->errorText, sizeof call->errorText);
}
