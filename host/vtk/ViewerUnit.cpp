// The "vtkViewer" unit: a host viewer of the universe its dialog names.
// Its renderer is the one connected to its input "renderer", else the
// renderer unit its dialog names (looked for up the unit tree); a program
// connected after its method "Simulation|Step" becomes the viewer's step.
// The stand-in tells a unit nothing when it is connected, so the unit
// takes both each time it runs (and when it is made).
#include <cstring>
#include <string>

#include "descriptor/Dialogs.h"
#include "progaux/UnitSupport.h"
#include "units/Units.h"
#include "vtk/DfxKelmarViewer.h"

namespace kelmar {

namespace {

const char kRenderLabel[] = "render"; // the host's renderer units
const char kStepMethod[] = "Simulation|Step";

struct ViewerUnit {
    vtkDfxKelmarViewer *viewer;
    DfxUnit *step;
    std::string renderName;
};

// A renderer unit of that name, level by level up from the unit's program.
RenderHost *NamedRender(DfxUnit *unit, const std::string &name)
{
    if (name.empty()) return nullptr;
    for (DfxUnit *level = dfx_unit_parent(unit); level; level = dfx_unit_parent(level))
        for (int i = 0; i < dfx_unit_child_count(level); ++i) {
            DfxUnit *child = dfx_unit_child(level, i);
            if (name == dfx_unit_name(child) && std::strcmp(dfx_unit_label(child), kRenderLabel) == 0)
                return static_cast<RenderHost *>(dfx_unit_data(child));
        }
    return nullptr;
}

void exec_vtkViewer(DfxUnit *unit)
{
    auto *v = DataOf<ViewerUnit>(unit);
    const DfxType *renderType = dfx_type("vtk.CRender");
    RenderHost *render = dfx_in_connected(unit, 0) ? static_cast<RenderHost *>(dfx_in_object(unit, 0, renderType))
                                                   : NamedRender(unit, v->renderName);
    v->viewer->SetRender(render);
    const bool stepConnected = dfx_successor_count(v->step) > 0;
    if (stepConnected != (v->viewer->GetStepMethod() != nullptr))
        v->viewer->SetStepMethod(stepConnected ? v->step : nullptr);
}

void remove_vtkViewer(DfxUnit *unit)
{
    auto *v = DataOf<ViewerUnit>(unit);
    DeleteHostViewer(v->viewer);
    delete v;
}

const DfxUnitHooks kHooks = {exec_vtkViewer, nullptr, nullptr, nullptr, remove_vtkViewer};

} // namespace

DfxUnit *vtkViewer(const char *universeName, const char *renderName, DfxUnit *host, const char *name)
{
    if (!CheckHost(host)) return nullptr;
    auto *v = new ViewerUnit{NewHostViewer(universeName, nullptr, host), nullptr, renderName ? renderName : ""};
    DfxUnit *unit = nullptr;
    struct Undo {
        ViewerUnit *v;
        DfxUnit **unit;
        ~Undo()
        {
            if (*unit) return;
            DeleteHostViewer(v->viewer);
            delete v;
        }
    } undo{v, &unit};
    unit = dfx_unit_new(host, "vtkViewer", name, &kHooks, v);
    dfx_unit_add_input(unit, "renderer", dfx_type("vtk.CRender"));
    v->step = dfx_unit_add_method(unit, kStepMethod, nullptr, nullptr);
    exec_vtkViewer(unit);
    return unit;
}

} // namespace kelmar

extern "C" DfxUnit *_fun1_vtkViewer(DfxUnit *host, const DfxDialog *dialog)
{
    const std::string name = kelmar::DefaultName(host, dialog, "vtkViewer");
    return kelmar::vtkViewer(dfx_dialog_text(dialog, 0), dfx_dialog_text(dialog, 1), host, name.c_str());
}
