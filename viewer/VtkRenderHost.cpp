// The renderer, window and interactor of kelmar-view.
#include "VtkRenderHost.h"

#include <vtkInteractorObserver.h>

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

VtkRenderHost::~VtkRenderHost()
{
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
