// Script entries of vtkViewer: a host viewer of a universe in a renderer
// of the host (a vtk.CRender: the stand-in's is a kelmar::RenderHost).
#include "objects/DfxUniverse.h"
#include "script/ScriptEntries.h"
#include "vtk/DfxKelmarViewer.h"

namespace kelmar {
namespace script {

namespace {

void New(KelmarCall *c)
{
    const char *label = "vtkViewer:vtkViewer";
    auto *render = static_cast<RenderHost *>(Object(c, 0, label));
    auto *universe = static_cast<DfxUniverse *>(Object(c, 1, label));
    vtkDfxKelmarViewer *viewer = NewHostViewer(universe ? universe->Name() : "", render,
                                               universe ? universe->GetUnit() : nullptr);
    viewer->SetUniverse(universe); // the very universe given, whatever its name finds
    c->self = viewer;
}

void Free(KelmarCall *c)
{
    DeleteHostViewer(Self<vtkDfxKelmarViewer>(c));
}

const NamedEntry kEntries[] = {
    {"vtkViewer_vtkViewer", New},
    {"vtkViewer_FREE_vtkViewer", Free},
};

} // namespace

EntryList ViewerEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
