// The renderer, window and interactor of kelmar-view.
#include "VtkRenderHost.h"

#include <vtkInteractorObserver.h>
#include <vtkPropCollection.h>

#include "vtkViewer.h"

namespace kelmar {

VtkRenderHost::VtkRenderHost(int width, int height, bool offScreen) : window_(vtkSmartPointer<vtkRenderWindow>::New())
{
    window_->SetSize(width, height);
    // VTK asks for 8 samples a pixel by default: Mesa's software renderer
    // then shades every pixel eight times (measured: 4.5 times slower).
    window_->SetMultiSamples(0);
    window_->SetOffScreenRendering(offScreen ? 1 : 0);
    window_->AddRenderer(renderer_);
    interactor_->SetRenderWindow(window_);
    interactor_->SetInteractorStyle(nullptr);
}

// Viewers still in the renderer leave it first, so that none keeps
// pointing at a renderer that is gone.
VtkRenderHost::~VtkRenderHost()
{
    vtkPropCollection *props = renderer_->GetViewProps();
    for (int i = props->GetNumberOfItems() - 1; i >= 0; --i) {
        auto *viewer = vtkViewer::SafeDownCast(props->GetItemAsObject(i));
        if (viewer && viewer->GetRender() == this) viewer->SetRender(nullptr);
    }
    interactor_->SetInteractorStyle(nullptr);
    window_->Finalize();
}

void VtkRenderHost::AddProp(vtkProp *prop)
{
    renderer_->AddViewProp(prop);
}

void VtkRenderHost::RemoveProp(vtkProp *prop)
{
    renderer_->RemoveViewProp(prop);
}

void VtkRenderHost::SetCurrentInteractorStyle(vtkInteractorObserver *style)
{
    interactor_->SetInteractorStyle(style);
}

vtkInteractorObserver *VtkRenderHost::GetCurrentInteractorStyle() const
{
    return interactor_->GetInteractorStyle();
}

void VtkRenderHost::Update(int)
{
    window_->Render();
}

} // namespace kelmar
