// A robot of a scene: named in its file, or built from a base joint and a
// base solid (then owned, and deleted when unbound).
#include "objects/DfxObject.h"

#include <kelmar/Joint.h>
#include <kelmar/Robot.h>
#include <kelmar/Solid.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"

namespace kelmar {

DfxRobot::DfxRobot(const char *name, const char *sceneName, DfxUnit *unit) : DfxObject(name, sceneName, unit)
{
}

DfxRobot::DfxRobot(const char *name, const char *sceneName, DfxUnit *unit, const char *baseJoint,
                   const char *baseSolid, int depth)
    : DfxObject(name, sceneName, unit), baseJoint_(baseJoint ? baseJoint : ""),
      baseSolid_(baseSolid ? baseSolid : ""), depth_(depth), builds_(true)
{
}

DfxRobot::~DfxRobot()
{
    Retire();
}

Robot *DfxRobot::Require() const
{
    if (!robot_) Raise(kBadObjRobot, kRobotNotResolved, Name(), SceneName());
    return robot_;
}

bool DfxRobot::NewScene(DfxScene *scene)
{
    if (builds_) delete robot_;
    robot_ = nullptr;
    scene_ = nullptr;
    if (!scene) return true;
    if (builds_) return Build(scene);
    robot_ = dynamic_cast<Robot *>(scene->LookupObject(Name(), false));
    if (!robot_) {
        scene->Warning(0, "robot '%s' not found in scene\n", Name());
        return false;
    }
    scene_ = scene;
    return true;
}

bool DfxRobot::Build(DfxScene *scene)
{
    Joint *joint = scene->LookupJoint(baseJoint_.c_str(), false);
    if (!joint) {
        scene->Error(0, "BaseJoint '%s' of robot not defined\n", baseJoint_.c_str());
        return false;
    }
    Solid *solid = scene->LookupSolid(baseSolid_.c_str(), false);
    if (!solid) {
        scene->Error(0, "BaseSolid '%s' of robot not defined\n", baseSolid_.c_str());
        return false;
    }
    robot_ = new Robot(joint, solid, depth_);
    scene_ = scene;
    return true;
}

} // namespace kelmar
