// A named camera of a scene, bound and unbound with the scene.
#ifdef KELMAR_HOST_CAMERAS

#include "objects/DfxKelmarCamera.h"

#include <kelmar/KelmarCamera.h>

#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"

namespace kelmar {

DfxKelmarCamera::~DfxKelmarCamera()
{
    Retire();
}

bool DfxKelmarCamera::NewScene(DfxScene *scene)
{
    camera_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    camera_ = dynamic_cast<KelmarCamera *>(scene->LookupObject(Name(), false));
    if (!camera_) {
        scene->Warning(0, "camera '%s' not found in scene\n", Name());
        return false;
    }
    scene_ = scene;
    return true;
}

KelmarCamera *DfxKelmarCamera::Require() const
{
    if (!camera_) Raise(kBadObjCamera, kCameraNotResolved, Name(), SceneName());
    return camera_;
}

} // namespace kelmar

#endif
