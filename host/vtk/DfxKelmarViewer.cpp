// The host viewer: a consumer of its universe for the administrator, a
// prop in the host's renderer, a style that steps the connected program.
#include "vtk/DfxKelmarViewer.h"

#include <vtkObjectFactory.h>

#include "admin/DfxKelmarAdmin.h"

namespace kelmar {

vtkStandardNewMacro(vtkDfxKelmarViewer);

namespace {

void ExecuteSuccessors(void *method)
{
    dfx_execute_successor(static_cast<DfxUnit *>(method));
}

} // namespace

// Called from the window's events, where no host boundary is: a host
// exception of the program ends the step and is reported.
void vtkDfxKelmarViewer::RunStepMethod(void *method)
{
    char id[64], text[512];
    if (prog_protect(ExecuteSuccessors, method, id, sizeof id, text, sizeof text))
        dfx_error("%S: step failed: %s: %s", static_cast<DfxUnit *>(method), id, text);
}

void vtkDfxKelmarViewer::SetStepMethod(DfxUnit *method)
{
    stepMethod_ = method;
    GetStyle()->SetStepCallback(method ? RunStepMethod : nullptr, method);
}

vtkDfxKelmarViewer *NewHostViewer(const char *universeName, RenderHost *render, DfxUnit *unit)
{
    vtkDfxKelmarViewer *viewer = vtkDfxKelmarViewer::New();
    TheAdmin().Register(static_cast<DfxUniverseConsumer *>(viewer), universeName, unit);
    viewer->SetRender(render);
    return viewer;
}

void DeleteHostViewer(vtkDfxKelmarViewer *viewer)
{
    if (!viewer) return;
    TheAdmin().UnRegister(static_cast<DfxUniverseConsumer *>(viewer));
    viewer->SetStepMethod(nullptr);
    viewer->SetUniverse(nullptr);
    viewer->SetRender(nullptr);
    viewer->Delete();
}

} // namespace kelmar
