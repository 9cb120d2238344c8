// A second viewport showing a scene camera's live picture: the camera
// renders through its own EGL context, and the picture is shown as an
// image in a renderer of its own in the upper right corner of the window.
#ifndef KELMAR_VIEWER_CAMERAVIEWPORT_H
#define KELMAR_VIEWER_CAMERAVIEWPORT_H

#include <string>
#include <vector>

#include <vtkNew.h>
#include <vtkRenderWindow.h>
#include <vtkSmartPointer.h>

class vtkImageActor;
class vtkImageData;
class vtkRenderer;

namespace kelmar {

class KelmarCamera;
class Universe;

class CameraViewport {
public:
    CameraViewport();
    ~CameraViewport();
    // Finds the camera (a KelmarCamera) by its full name; false when none.
    bool Open(Universe *universe, const std::string &name, vtkRenderWindow *window);
    // Takes a new picture; call outside the window's rendering (the
    // window's context is released first, as EGL needs).
    bool Refresh();
    const std::string &GetError() const { return error_; }

private:
    KelmarCamera *camera_ = nullptr;
    vtkSmartPointer<vtkRenderWindow> window_; // kept alive until the viewport leaves it
    vtkNew<vtkRenderer> renderer_;
    vtkNew<vtkImageData> image_;
    vtkNew<vtkImageActor> actor_;
    std::vector<unsigned char> rgb_;
    std::string error_;
};

} // namespace kelmar

#endif
