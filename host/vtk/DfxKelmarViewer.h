// The host's viewer: the VTK viewer prop that is also a consumer of a
// named universe, so that the administrator hands it the universe when it
// registers and takes it away when it goes. Its renderer is the host's
// CRender (a kelmar::RenderHost); its style steps the host program
// connected to the unit's "Simulation|Step" method, when there is one.
#ifndef KELMAR_HOST_DFXKELMARVIEWER_H
#define KELMAR_HOST_DFXKELMARVIEWER_H

#include <dfx/dfx.h>

#include "objects/DfxUniverse.h"
#include "vtkViewer.h"

namespace kelmar {

class vtkDfxKelmarViewer : public vtkViewer, public DfxUniverseConsumer {
public:
    static vtkDfxKelmarViewer *New();
    vtkTypeMacro(vtkDfxKelmarViewer, vtkViewer);

    // The prop's universe and the consumer's are one.
    void SetUniverse(Universe *universe) override { vtkViewer::SetUniverse(universe); }
    // Steps by running the successors of method (null: the universe steps itself).
    void SetStepMethod(DfxUnit *method);
    DfxUnit *GetStepMethod() const { return stepMethod_; }

protected:
    vtkDfxKelmarViewer() = default;
    ~vtkDfxKelmarViewer() override = default; // the consumer leaves the administrator

private:
    vtkDfxKelmarViewer(const vtkDfxKelmarViewer &) = delete;
    void operator=(const vtkDfxKelmarViewer &) = delete;
    static void RunStepMethod(void *method);
    DfxUnit *stepMethod_ = nullptr;
};

// A viewer of the universe named, in render (may be null), registered as
// the universe's consumer; unit (may be null) is the host unit it serves.
vtkDfxKelmarViewer *NewHostViewer(const char *universeName, RenderHost *render, DfxUnit *unit);
// Leaves the administrator and the renderer, and lets the viewer go.
void DeleteHostViewer(vtkDfxKelmarViewer *viewer);

} // namespace kelmar

#endif
