// Cameras and camera heads of a scene: referred to by name, or made on
// binding and taken out again on unbinding.
#include "objects/DfxCamera.h"

#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/PxVector.h>

#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"

namespace kelmar {

namespace {

// The object of a scene named name, if it is a T.
template <class T> T *Named(DfxScene *scene, const char *name, const char *kind)
{
    T *object = dynamic_cast<T *>(scene->LookupObject(name, false));
    if (!object) scene->Warning(0, "%s '%s' not found in scene\n", kind, name);
    return object;
}

// Takes object out of its scene and deletes it.
void Discard(Object *object)
{
    if (object->scene) object->scene->RemoveObject(object);
    delete object;
}

} // namespace

DfxKelmarCamera::DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit)
    : DfxObject(name, sceneName, unit)
{
    PxM4Identity(relative_);
}

DfxKelmarCamera::DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit, const char *solid, int width,
                                 int height)
    : DfxObject(name, sceneName, unit), solid_(solid ? solid : ""), width_(width), height_(height), makes_(true)
{
    PxM4Identity(relative_);
}

DfxKelmarCamera::~DfxKelmarCamera()
{
    Retire();
}

KelmarCamera *DfxKelmarCamera::Require() const
{
    if (!camera_) Raise(kBadObjCamera, kCameraNotResolved, Name(), SceneName());
    return camera_;
}

bool DfxKelmarCamera::NewScene(DfxScene *scene)
{
    Destroy();
    scene_ = nullptr;
    if (!scene) return true;
    camera_ = makes_ ? (Build(scene) ? camera_ : nullptr) : Named<KelmarCamera>(scene, Name(), "camera");
    if (!camera_) return false;
    scene_ = scene;
    return true;
}

// A made camera keeps its pose relative to its solid and its view angle.
void DfxKelmarCamera::Destroy()
{
    if (makes_ && camera_) {
        PxM4Copy(relative_, camera_->GetRelTM());
        viewAngle_ = camera_->GetViewAngle();
        placed_ = true;
        Discard(camera_);
    }
    camera_ = nullptr;
}

bool DfxKelmarCamera::Build(DfxScene *scene)
{
    auto *camera = new KelmarCamera(scene, width_, height_);
    if (!camera->AttachTo(solid_.c_str())) {
        scene->Warning(0, "solid '%s' for camera '%s' not found in scene\n", solid_.c_str(), Name());
        delete camera;
        return false;
    }
    camera->SetRelTM(relative_);
    if (placed_) camera->SetViewAngle(viewAngle_);
    if (scene->InsertObject(Name(), camera)) {
        scene->Error(0, "Duplicate object ID '%s' detected. Camera not created.\n", Name());
        delete camera;
        return false;
    }
    camera_ = camera;
    return true;
}

DfxKelmarCamHead::DfxKelmarCamHead(const char *name, const char *sceneName, DfxUnit *unit, bool makes)
    : DfxObject(name, sceneName, unit), makes_(makes)
{
}

DfxKelmarCamHead::~DfxKelmarCamHead()
{
    Retire();
}

KelmarCamHead *DfxKelmarCamHead::Require() const
{
    if (!head_) Raise(kBadObjCamhead, kCamheadNotResolved, Name(), SceneName());
    return head_;
}

bool DfxKelmarCamHead::NewScene(DfxScene *scene)
{
    Destroy();
    scene_ = nullptr;
    if (!scene) return true;
    if (!makes_) {
        head_ = Named<KelmarCamHead>(scene, Name(), "camera head");
    } else {
        auto *head = new KelmarCamHead(scene);
        if (placed_) head->SetJoints(joints_);
        if (scene->InsertObject(Name(), head)) {
            scene->Error(0, "Duplicate object ID '%s' detected. Camera not created.\n", Name());
            delete head;
        } else {
            head_ = head;
        }
    }
    if (!head_) return false;
    scene_ = scene;
    return true;
}

// A made head keeps its joints.
void DfxKelmarCamHead::Destroy()
{
    if (makes_ && head_) {
        head_->GetJoints(joints_);
        placed_ = true;
        Discard(head_);
    }
    head_ = nullptr;
}

} // namespace kelmar
