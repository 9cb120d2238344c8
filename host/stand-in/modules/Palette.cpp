// A module's descriptor: the version record "Pax_V_of_<module>" and the
// folder "gsFolder_<module>", whose icons join the palette.
#include <dlfcn.h>

#include <cstring>

#include "StandIn.h"

extern "C" const char dfx_version_text[] = "dfx stand-in host 1.0";

namespace dfx {

namespace {

// The host's own icons come first.
std::vector<Icon> &Icons()
{
    static std::vector<Icon> icons = [] {
        std::vector<Icon> own;
        AddHostIcons(own);
        return own;
    }();
    return icons;
}

std::vector<void *> &Loaded()
{
    static std::vector<void *> loaded;
    return loaded;
}

// "dir/kelmar.so" -> "kelmar"
std::string BaseName(const std::string &file)
{
    const size_t slash = file.rfind('/');
    std::string base = slash == std::string::npos ? file : file.substr(slash + 1);
    const size_t dot = base.find('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

bool VersionFits(const DfxVersionRecord *version, const std::string &base)
{
    if (!version) {
        Emit(DFX_ERROR, "module " + base + ": no version record Pax_V_of_" + base + "\n");
        return false;
    }
    const bool fits = version->built && version->expected && std::strcmp(version->built, dfx_version_text) == 0 &&
                      std::strcmp(version->expected, dfx_version_text) == 0;
    if (!fits)
        Emit(DFX_ERROR, "module " + base + " was built for host '" + (version->built ? version->built : "") +
                            "', this is '" + dfx_version_text + "'\n");
    return fits;
}

void AddIcons(const DfxFolder *folder, void *module)
{
    for (const DfxIconEntry *e = folder->icons; e->folder && *e->folder; ++e)
        if (e->icon && !FindIcon(e->label)) Icons().push_back({e->folder, e->label, e->icon, module});
}

} // namespace

bool AddFolder(const DfxVersionRecord *version, const DfxFolder *folder, const std::string &module)
{
    if (!VersionFits(version, module)) return false;
    if (!folder || !folder->icons) {
        Emit(DFX_ERROR, "module " + module + ": no folder gsFolder_" + module + "\n");
        return false;
    }
    AddIcons(folder, nullptr);
    return true;
}

bool LoadModule(const std::string &file)
{
    void *module = dfx_dlopen(file.c_str());
    if (!module) {
        const char *why = dlerror();
        Emit(DFX_ERROR, "cannot load module " + file + ": " + (why ? why : "not found") + "\n");
        return false;
    }
    const std::string base = BaseName(file);
    const auto *version = static_cast<const DfxVersionRecord *>(dfx_dlsym(module, ("Pax_V_of_" + base).c_str()));
    const auto *folder = static_cast<const DfxFolder *>(dfx_dlsym(module, ("gsFolder_" + base).c_str()));
    if (!VersionFits(version, base) || !folder || !folder->icons) {
        if (!folder) Emit(DFX_ERROR, "module " + base + ": no folder gsFolder_" + base + "\n");
        dfx_dlclose(module);
        return false;
    }
    AddIcons(folder, module);
    Loaded().push_back(module);
    return true;
}

void UnloadModules()
{
    for (void *module : Loaded()) {
        auto &icons = Icons();
        for (auto it = icons.begin(); it != icons.end();) it = it->module == module ? icons.erase(it) : it + 1;
        dfx_dlclose(module);
    }
    Loaded().clear();
}

const std::vector<Icon> &Palette()
{
    return Icons();
}

const Icon *FindIcon(const std::string &label)
{
    for (const Icon &icon : Icons())
        if (icon.label == label) return &icon;
    return nullptr;
}

std::string DrawIcon(const Icon &icon)
{
    DfxIconCanvas canvas;
    if (icon.def && icon.def->draw) AtBoundary(nullptr, "draw", [&] { icon.def->draw(&canvas); });
    std::string text = canvas.caption;
    for (const std::string &shape : canvas.shapes) text += " " + shape;
    return text;
}

} // namespace dfx
