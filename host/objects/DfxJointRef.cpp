// A reference to a joint of a scene, of the kind the user chose.
#include "objects/DfxObject.h"

#include <kelmar/BSJoint.h>
#include <kelmar/Hinge.h>
#include <kelmar/Prismatic.h>
#include <kelmar/RPROJoint.h>
#include <kelmar/Spring.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"

namespace kelmar {

namespace {

bool IsOfType(const Joint *joint, DfxJointRef::Type type)
{
    switch (type) {
    case DfxJointRef::kHinge: return dynamic_cast<const Hinge *>(joint) != nullptr;
    case DfxJointRef::kPrismatic: return dynamic_cast<const Prismatic *>(joint) != nullptr;
    case DfxJointRef::kBallAndSocket: return dynamic_cast<const BSJoint *>(joint) != nullptr;
    case DfxJointRef::kSpring: return dynamic_cast<const Spring *>(joint) != nullptr;
    case DfxJointRef::kRPROJoint: return dynamic_cast<const RPROJoint *>(joint) != nullptr;
    case DfxJointRef::kAnyJoint: return true;
    default: return false;
    }
}

} // namespace

DfxJointRef::DfxJointRef(const char *name, const char *sceneName, DfxUnit *unit, Type type)
    : DfxJoint(name, sceneName, unit), type_(type)
{
}

DfxJointRef::~DfxJointRef()
{
    Retire();
}

const char *DfxJointRef::TypeName(Type type)
{
    static const char *const kNames[kTypes] = {"hinge", "prismatic", "ball-and-socket", "spring", "rpro joint"};
    if (type == kAnyJoint) return "joint";
    return type >= 0 && type < kTypes ? kNames[type] : "";
}

bool DfxJointRef::NewScene(DfxScene *scene)
{
    joint_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    Joint *joint = scene->LookupJoint(Name(), false);
    if (!joint) {
        scene->Warning(0, "joint '%s' not found in scene\n", Name());
        return false;
    }
    if (!IsOfType(joint, type_)) {
        scene->Warning(0, "joint '%s' is not a %s\n", Name(), TypeName(type_));
        return false;
    }
    joint_ = joint;
    scene_ = scene;
    return true;
}

} // namespace kelmar
