// The scene unit: a scene file loaded into the universe it names, as soon
// as that universe exists.
#include <memory>
#include <string>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"
#include "progaux/UnitSupport.h"
#include "units/Units.h"

namespace kelmar {

namespace {

const unsigned int kReloadFromFile = 0;

void ctrl_scene(int command, DfxUnit *unit)
{
    auto *s = DataOf<DfxScene>(unit);
    if (!s || command != DFX_CTRL_CHANGED) return;
    TheAdmin().SetHostUnit(s, unit);
    const char *name = dfx_unit_name(unit);
    if (*name && std::string(name) != s->Name()) TheAdmin().Rename(s, name);
}

void save_scene(FILE *file, DfxUnit *unit)
{
    DataOf<DfxScene>(unit)->saveStatus(file);
}

void load_scene(FILE *file, DfxUnit *unit)
{
    DataOf<DfxScene>(unit)->loadStatus(file);
}

void remove_scene(DfxUnit *unit)
{
    delete DataOf<DfxScene>(unit);
}

const DfxUnitHooks kHooks = {nullptr, ctrl_scene, save_scene, load_scene, remove_scene};

void Reset(DfxUnit *m)
{
    TheAdmin().Reset(DataOf<DfxScene>(m), kReloadFromFile);
}

void GetOptions(DfxUnit *m)
{
    dfx_out_int(m, 0, static_cast<int>(DataOf<DfxScene>(m)->options));
}

void SetOptions(DfxUnit *m)
{
    DataOf<DfxScene>(m)->options = static_cast<unsigned int>(dfx_in_int(m, 0));
}

const PortSpec kInt[] = {{"value", "int"}, {nullptr, nullptr}};

// "dir" and "file" as one path; an absolute file or directory "." keeps
// the file as given.
std::string PathOf(const char *directory, const char *file)
{
    const std::string dir = directory ? directory : "", name = file ? file : "";
    if (name.empty() || name[0] == '/' || dir.empty() || dir == ".") return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

} // namespace

// The scene finds its universe from the program it is made in until its
// unit exists; then the objects waiting for its name are bound.
DfxUnit *scene(const char *universeName, const char *fileName, const double transform[4][4], double scale,
               const char *variables, DfxUnit *host, const char *name)
{
    if (!CheckHost(host)) return nullptr;
    if (!universeName || !*universeName) {
        dfx_warning("%S: empty reference to universe unit!", host);
        return nullptr;
    }
    if (!name || !*name) {
        dfx_warning("%S: failed to create scene!", host);
        return nullptr;
    }
    std::unique_ptr<DfxScene> made(new DfxScene(name, universeName, fileName, transform, scale, variables, host));
    if (!made->IsRegistered()) {
        dfx_warning("%S: failed to create scene!", host);
        return nullptr;
    }
    DfxUnit *unit = dfx_unit_new(host, "scene", name, &kHooks, made.get());
    DfxScene *s = made.release();
    TheAdmin().SetHostUnit(s, unit);
    TheAdmin().ResolveSceneObjects(s);
    AddMethod(unit, "reset", Reset, nullptr, nullptr, nullptr);
    AddMethod(unit, "Get:Options", GetOptions, nullptr, nullptr, kInt);
    AddMethod(unit, "Set:Options", SetOptions, nullptr, kInt, nullptr);
    return unit;
}

} // namespace kelmar

extern "C" DfxUnit *_fun1_scene(DfxUnit *host, const DfxDialog *dialog)
{
    double tm[4][4];
    for (int i = 0; i < 16; ++i) tm[i / 4][i % 4] = dfx_dialog_float(dialog, 3, i);
    const std::string name = kelmar::DefaultName(host, dialog, "scene");
    const std::string file = kelmar::PathOf(dfx_dialog_text(dialog, 1), dfx_dialog_text(dialog, 2));
    return kelmar::scene(dfx_dialog_text(dialog, 0), file.c_str(), tm, dfx_dialog_float(dialog, 4, 0),
                         dfx_dialog_text(dialog, 5), host, name.c_str());
}
