// The camera's rows come bottom-up, as VTK's images hold them, so the
// picture is copied as it is.
#include "CameraViewport.h"

#include <algorithm>
#include <cstring>

#include <vtkCamera.h>
#include <vtkImageActor.h>
#include <vtkImageData.h>
#include <vtkImageMapper3D.h>
#include <vtkRenderWindow.h>
#include <vtkRenderer.h>

#include <kelmar/KelmarCamera.h>
#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

namespace kelmar {

CameraViewport::CameraViewport() = default;

CameraViewport::~CameraViewport()
{
    if (window_) window_->RemoveRenderer(renderer_);
}

bool CameraViewport::Open(Universe *universe, const std::string &name, vtkRenderWindow *window)
{
    for (Scene *scene : universe->GetScenes())
        if (!camera_) camera_ = dynamic_cast<KelmarCamera *>(scene->LookupObject(name.c_str(), false));
    if (!camera_) {
        error_ = "no camera named '" + name + "' in the scene";
        return false;
    }
    int width = 0, height = 0;
    camera_->GetSize(&width, &height);
    image_->SetDimensions(width, height, 1);
    image_->AllocateScalars(VTK_UNSIGNED_CHAR, 3);
    actor_->GetMapper()->SetInputData(image_);
    renderer_->AddActor(actor_);
    renderer_->SetViewport(0.68, 0.68, 1.0, 1.0);
    renderer_->SetLayer(0);
    window_ = window;
    window_->AddRenderer(renderer_);
    return true;
}

bool CameraViewport::Refresh()
{
    if (!camera_) return false;
    window_->ReleaseCurrent();
    if (!camera_->GetImage1(rgb_)) {
        error_ = camera_->GetError();
        return false;
    }
    auto *pixels = static_cast<unsigned char *>(image_->GetScalarPointer());
    const size_t size = static_cast<size_t>(image_->GetNumberOfPoints()) * 3;
    std::memcpy(pixels, rgb_.data(), std::min(size, rgb_.size()));
    image_->Modified();
    // The picture fills the viewport's height.
    renderer_->GetActiveCamera()->ParallelProjectionOn();
    renderer_->ResetCamera();
    renderer_->GetActiveCamera()->SetParallelScale(0.5 * image_->GetDimensions()[1]);
    return true;
}

} // namespace kelmar
