// The host objects' common part: names, binding state, the checks that
// raise while unresolved.
#include "objects/DfxObject.h"

#include <cstdio>

#include <kelmar/Scene.h>
#include <kelmar/Solid.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"

namespace kelmar {

DfxObject::DfxObject(const char *name, const char *sceneName, DfxUnit *unit)
    : name_(name ? name : ""), sceneName_(sceneName ? sceneName : ""), unit_(unit)
{
}

DfxObject::~DfxObject()
{
    Retire();
}

void DfxObject::Retire()
{
    TheAdmin().UnRegister(this);
    scene_ = nullptr;
}

bool DfxObject::NewScene(DfxScene *scene)
{
    scene_ = scene;
    return true;
}

const char *DfxObject::Kind() const
{
    if (dynamic_cast<const DfxSolid *>(this)) return "solid";
    if (dynamic_cast<const DfxJoint *>(this)) return "joint";
    if (dynamic_cast<const DfxRobot *>(this)) return "robot";
    return "object";
}

void DfxObject::Description(char *text, int size) const
{
    if (!text || size <= 0) return;
    std::snprintf(text, static_cast<size_t>(size), "%s '%s' in scene '%s' (%s)\n", Kind(), Name(), SceneName(),
                  IsBound() ? "resolved" : "not yet resolved");
}

Solid *DfxSolid::Require() const
{
    if (!solid_) Raise(kBadObjSolid, kSolidNotResolved, Name(), SceneName());
    return solid_;
}

// The bound solid's full name, so that the copy finds it however this
// object named it.
DfxSolidRef *DfxSolid::Copy(DfxUnit *unit) const
{
    const char *name = solid_ && solid_->GetName() ? solid_->GetName() : Name();
    auto *copy = new DfxSolidRef(name, SceneName(), unit);
    TheAdmin().Register(copy, scene_);
    return copy;
}

Joint *DfxJoint::Require() const
{
    if (!joint_) Raise(kBadObjJoint, kJointNotResolved, Name(), SceneName());
    return joint_;
}

} // namespace kelmar
