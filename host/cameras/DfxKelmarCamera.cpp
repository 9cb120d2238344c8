// A named camera of a scene, bound and unbound with the scene.
#include "cameras/DfxKelmarCamera.h"

#include <cstring>

#include <kelmar/KelmarCamera.h>

#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"

namespace kelmar {

DfxKelmarCamera::DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit, const char *solid, int width,
                                 int height, const double pose[4][4])
    : DfxObject(name, sceneName, unit), makes_(true), solid_(solid ? solid : ""), width_(width), height_(height)
{
    std::memcpy(pose_, pose, sizeof pose_);
}

DfxKelmarCamera::~DfxKelmarCamera()
{
    Retire();
}

bool DfxKelmarCamera::NewScene(DfxScene *scene)
{
    Unmake();
    camera_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    if (makes_) return Make(scene);
    camera_ = dynamic_cast<KelmarCamera *>(scene->LookupObject(Name(), false));
    if (!camera_) {
        scene->Warning(0, "camera '%s' not found in scene\n", Name());
        return false;
    }
    scene_ = scene;
    return true;
}

// The camera joins the scene's objects under the object's name, so that
// views and films find it like one of the file's.
bool DfxKelmarCamera::Make(DfxScene *scene)
{
    auto *camera = new KelmarCamera(scene, width_, height_);
    if (!solid_.empty() && !camera->AttachTo(solid_.c_str())) {
        scene->Warning(0, "solid '%s' of camera '%s' not found in scene\n", solid_.c_str(), Name());
        delete camera;
        return false;
    }
    camera->SetRelTM(pose_);
    if (scene->InsertObject(Name(), camera)) {
        scene->Warning(0, "camera '%s' already exists in scene\n", Name());
        delete camera;
        return false;
    }
    camera_ = camera;
    scene_ = scene;
    return true;
}

void DfxKelmarCamera::Unmake()
{
    if (!makes_ || !camera_) return;
    if (scene_) scene_->RemoveObject(camera_);
    delete camera_;
    camera_ = nullptr;
}

KelmarCamera *DfxKelmarCamera::Require() const
{
    if (!camera_) Raise(kBadObjCamera, kCameraNotResolved, Name(), SceneName());
    return camera_;
}

} // namespace kelmar
