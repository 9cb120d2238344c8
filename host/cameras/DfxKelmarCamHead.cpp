// A named camera head of a scene, bound and unbound with the scene.
#include "cameras/DfxKelmarCamHead.h"

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
    Unmake();
    head_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    if (makes_) return Make(scene);
    head_ = dynamic_cast<KelmarCamHead *>(scene->LookupObject(Name(), false));
    if (!head_) {
        scene->Warning(0, "camhead '%s' not found in scene\n", Name());
        return false;
    }
    scene_ = scene;
    return true;
}

bool DfxKelmarCamHead::Make(DfxScene *scene)
{
    static const double kIdentity[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    auto *head = new KelmarCamHead(scene);
    head->SetImageSize(kWidth, kHeight);
    head->SetHeadTM(scene->GetPlacement() ? scene->GetPlacement() : kIdentity);
    if (scene->InsertObject(Name(), head)) {
        scene->Warning(0, "camhead '%s' already exists in scene\n", Name());
        delete head;
        return false;
    }
    head_ = head;
    scene_ = scene;
    return true;
}

void DfxKelmarCamHead::Unmake()
{
    if (!makes_ || !head_) return;
    if (scene_) scene_->RemoveObject(head_);
    delete head_;
    head_ = nullptr;
}

KelmarCamHead *DfxKelmarCamHead::Require() const
{
    if (!head_) Raise(kBadObjCamhead, kCamheadNotResolved, Name(), SceneName());
    return head_;
}

} // namespace kelmar
