// The "render" unit: a window of the dialog's size (off-screen when asked)
// with a renderer and an interactor.
#include <dfx/dfx.h>
#include <dfx/render.h>
#include <dfx/standin.h>

#include <cstdio>
#include <memory>

#include <vtkPropCollection.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include "DisplayCheck.h"
#include "VtkRenderHost.h"

namespace dfx {

namespace {

const char kRenderDialog[] = " renderer %n %0:2:400,300:8i%lwindow~size~(pixels) %n %0:1:0:22b%loff~screen %n";
const char kButtons[] = " %[%0:1:0:10d %l`Cancel%d%l`Ok%]%H ";

// Its size and how many props (viewers) it shows.
void DescribeRender(const void *value, char *text, int size)
{
    vtkRenderer *renderer = static_cast<const kelmar::RenderHost *>(value)->GetRenderer();
    const int *px = renderer->GetRenderWindow()->GetSize();
    std::snprintf(text, static_cast<size_t>(size), "renderer %d x %d, %d props\n", px[0], px[1],
                  renderer->GetViewProps()->GetNumberOfItems());
}

// The unit keeps the renderer; outputs only lend it.
void *LendRender(const void *value, DfxUnit *)
{
    return const_cast<void *>(value);
}

const DfxType *RenderType()
{
    static const DfxType *type = dfx_typedef("vtk.CRender", LendRender, nullptr, DescribeRender);
    return type;
}

void PutRender(DfxUnit *unit)
{
    dfx_out_object(unit, 0, RenderType(), dfx_unit_data(unit), 0);
}

kelmar::VtkRenderHost *HostOf(DfxUnit *unit)
{
    return static_cast<kelmar::VtkRenderHost *>(static_cast<kelmar::RenderHost *>(dfx_unit_data(unit)));
}

// Run in the cycle, the renderer draws its window, as the host's renderer
// does once a cycle.
void RunRender(DfxUnit *unit)
{
    PutRender(unit);
    HostOf(unit)->GetWindow()->Render();
}

// The renderer takes the viewers in it out as it goes.
void RemoveRender(DfxUnit *unit)
{
    delete HostOf(unit);
}

DfxUnit *MakeRender(DfxUnit *host, const DfxDialog *dialog)
{
    if (!kelmar::DisplayAvailable()) {
        dfx_warning("%S: renderer '%s' needs an X display and none can be opened\n", host,
                    dfx_dialog_unit_name(dialog));
        return nullptr;
    }
    kelmar::PreferCompatibilityContext();
    std::unique_ptr<kelmar::VtkRenderHost> render(new kelmar::VtkRenderHost(
        dfx_dialog_int(dialog, 0, 0), dfx_dialog_int(dialog, 0, 1), dfx_dialog_int(dialog, 1, 0) != 0));
    const DfxUnitHooks hooks = {RunRender, nullptr, nullptr, nullptr, RemoveRender};
    DfxUnit *unit = dfx_unit_new(host, "render", dfx_dialog_unit_name(dialog), &hooks,
                                 static_cast<kelmar::RenderHost *>(render.get()));
    render.release(); // the unit's now
    dfx_unit_add_output(unit, "renderer", RenderType());
    PutRender(unit);
    return unit;
}

const DfxIconDef kRender = {MakeRender, nullptr, kRenderDialog, kButtons, "render", ""};
const DfxIconEntry kIcons[] = {{"host", "render", &kRender}, {"", "", nullptr}};
const DfxFolder kFolder = {"host", kIcons};
const DfxVersionRecord kVersion = {dfx_version_text, dfx_version_text};

} // namespace

bool AddRenderIcon()
{
    static const bool added = FindIcon("render") || AddFolder(&kVersion, &kFolder, "");
    return added;
}

} // namespace dfx
