// The universe unit. A new universe may need a larger collision library
// and takes in scenes waiting for its name, so every scene is saved,
// taken out first, and put back with its state afterwards.
#include <memory>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxUniverse.h"
#include "progaux/UnitSupport.h"
#include "units/UniverseMethods.h"
#include "units/Units.h"

namespace kelmar {

namespace {

// DestroyAllScenes now, RecreateAllScenes once: at Finish or on the way out.
class SceneRebuild {
public:
    SceneRebuild() { TheAdmin().DestroyAllScenes(); }
    ~SceneRebuild() { Finish(); }
    SceneRebuild(const SceneRebuild &) = delete;
    SceneRebuild &operator=(const SceneRebuild &) = delete;
    void Finish()
    {
        if (!done_) TheAdmin().RecreateAllScenes();
        done_ = true;
    }

private:
    bool done_ = false;
};

void ctrl_universe(int command, DfxUnit *unit)
{
    auto *u = DataOf<DfxUniverse>(unit);
    if (!u) return;
    if (command == DFX_CTRL_RESET || command == DFX_CTRL_INIT) return u->reset();
    if (command != DFX_CTRL_CHANGED) return;
    TheAdmin().SetHostUnit(u, unit);
    const char *name = dfx_unit_name(unit);
    if (*name && std::string(name) != u->Name()) TheAdmin().Rename(u, name);
}

void save_universe(FILE *file, DfxUnit *unit)
{
    dfx_save_value(file, unit);
    DataOf<DfxUniverse>(unit)->saveStatus(file);
}

void load_universe(FILE *file, DfxUnit *unit)
{
    dfx_load_value(file, unit);
    DataOf<DfxUniverse>(unit)->loadStatus(file);
}

void remove_universe(DfxUnit *unit)
{
    delete DataOf<DfxUniverse>(unit);
}

const DfxUnitHooks kHooks = {nullptr, ctrl_universe, save_universe, load_universe, remove_universe};

} // namespace

DfxUnit *universe(int nBodies, int nConstraints, int nModels, int nModelPairs, DfxUnit *host, const char *name)
{
    if (!CheckHost(host)) return nullptr;
    SceneRebuild rebuild;
    std::unique_ptr<DfxUniverse> made(new DfxUniverse(name, nBodies, nConstraints, nModels, nModelPairs, host));
    if (!made->IsRegistered()) {
        dfx_warning("%S: failed to create unit!", host);
        return nullptr;
    }
    DfxUnit *unit = dfx_unit_new(host, "universe", name, &kHooks, made.get());
    DfxUniverse *u = made.release();
    TheAdmin().SetHostUnit(u, unit);
    rebuild.Finish();
    TheAdmin().ResolveConsumers(u);
    AddUniverseMethods(unit);
    return unit;
}

} // namespace kelmar

extern "C" DfxUnit *_fun1_universe(DfxUnit *host, const DfxDialog *dialog)
{
    const std::string name = kelmar::DefaultName(host, dialog, "universe");
    return kelmar::universe(dfx_dialog_int(dialog, 0, 0), dfx_dialog_int(dialog, 1, 0), dfx_dialog_int(dialog, 2, 0),
                            dfx_dialog_int(dialog, 3, 0), host, name.c_str());
}
