// A RenderHost over one VTK renderer in a window with an interactor: the
// renderer of kelmar-view, of the host stand-in and of the viewer's tests.
// Update renders the window; a renderer deleted takes its viewers out.
#ifndef KELMAR_VIEWER_VTKRENDERHOST_H
#define KELMAR_VIEWER_VTKRENDERHOST_H

#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkRenderWindowInteractor.h>
#include <vtkRenderer.h>
#include <vtkSmartPointer.h>

#include "RenderHost.h"

namespace kelmar {

class VtkRenderHost : public RenderHost {
public:
    // Window size in pixels; offScreen: no window is mapped (tests, screenshots).
    VtkRenderHost(int width, int height, bool offScreen);
    ~VtkRenderHost() override;

    void AddProp(vtkProp *prop) override;
    void RemoveProp(vtkProp *prop) override;
    void SetCurrentInteractorStyle(vtkInteractorObserver *style) override;
    vtkInteractorObserver *GetCurrentInteractorStyle() const override;
    void Update(int flags) override;
    vtkRenderer *GetRenderer() const override { return renderer_; }

    vtkRenderWindow *GetWindow() const { return window_; }
    vtkRenderWindowInteractor *GetInteractor() const { return interactor_; }

private:
    vtkNew<vtkRenderer> renderer_;
    vtkSmartPointer<vtkRenderWindow> window_;
    vtkNew<vtkRenderWindowInteractor> interactor_;
};

} // namespace kelmar

#endif
