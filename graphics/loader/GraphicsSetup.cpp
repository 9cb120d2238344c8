// Installing the graphics library into the robot layer.
#include <kelmar/GraphicsSetup.h>

#include <kelmar/CameraLoader.h>
#include <kelmar/GLBackend.h>
#include <kelmar/SceneLoader.h>

namespace kelmar {

void InstallGraphics()
{
    GLBackend::Install();
    SetCameraElementHandlers(LoadCameraElement, LoadCamHeadElement);
}

} // namespace kelmar
