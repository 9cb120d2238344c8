// A named camera head of a scene, bound and unbound with the scene.
#ifdef KELMAR_HOST_CAMERAS

#include "objects/DfxKelmarCamHead.h"

#include <kelmar/KelmarCamHead.h>

#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"

namespace kelmar {

DfxKelmarCamHead::~DfxKelmarCamHead()
{
    Retire();
}

bool DfxKelmarCamHead::NewScene(DfxScene *scene)
{
    head_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    head_ = dynamic_cast<KelmarCamHead *>(scene->LookupObject(Name(), false));
    if (!head_) {
        scene->Warning(0, "camhead '%s' not found in scene\n", Name());
        return false;
    }
    scene_ = scene;
    return true;
}

KelmarCamHead *DfxKelmarCamHead::Require() const
{
    if (!head_) Raise(kBadObjCamhead, kCamheadNotResolved, Name(), SceneName());
    return head_;
}

} // namespace kelmar

#endif
