// Module loading: a name without '/' is looked for in every directory of
// the module path, then left to the system's loader. Handles are kept by
// name, so that the host can find what a module opened.
#include <dlfcn.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "StandIn.h"

namespace dfx {

namespace {

std::vector<std::string> &ModulePath()
{
    static std::vector<std::string> path;
    return path;
}

struct Opened {
    void *handle;
    int uses;
};

std::map<std::string, Opened> &OpenedModules()
{
    static std::map<std::string, Opened> opened;
    return opened;
}

void *TryOpen(const std::string &path)
{
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void *Open(const std::string &name)
{
    if (name.find('/') != std::string::npos) return TryOpen(name);
    for (const std::string &dir : ModulePath())
        if (void *handle = TryOpen(dir + "/" + name)) return handle;
    return TryOpen(name);
}

} // namespace

void AddModulePath(const std::string &directory)
{
    if (!directory.empty()) ModulePath().push_back(directory);
}

void ClearModulePath()
{
    ModulePath().clear();
}

void *OpenModule(const std::string &name)
{
    auto it = OpenedModules().find(name);
    return it == OpenedModules().end() ? nullptr : it->second.handle;
}

} // namespace dfx

extern "C" {

void *dfx_dlopen(const char *name)
{
    if (!name || !*name) return nullptr;
    auto &opened = dfx::OpenedModules();
    auto it = opened.find(name);
    if (it != opened.end()) {
        ++it->second.uses;
        return it->second.handle;
    }
    void *handle = dfx::Open(name);
    if (handle) opened[name] = {handle, 1};
    return handle;
}

void *dfx_dlsym(void *module, const char *symbol)
{
    return module && symbol ? dlsym(module, symbol) : nullptr;
}

void dfx_dlclose(void *module)
{
    auto &opened = dfx::OpenedModules();
    for (auto it = opened.begin(); it != opened.end(); ++it) {
        if (it->second.handle != module) continue;
        if (--it->second.uses > 0) return;
        dlclose(module);
        opened.erase(it);
        return;
    }
}

} // extern "C"
