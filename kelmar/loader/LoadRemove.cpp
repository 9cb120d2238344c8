// REMOVE: objects and joints that an imported file made and this file does
// not want. Each is unregistered and deleted; a solid takes the joints that
// hold it and the robots it belongs to along.
#include <string>
#include <vector>

#include <kelmar/Joint.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Robot.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

// The name of a REMOVE child: its identifier, else its content.
std::string NameOf(PxXMLElement *element)
{
    const std::string text = ReadElementText(element);
    return element->attributes && *element->attributes ? std::string(element->attributes) : text;
}

// A robot holds its solids and joints: one that loses either goes with it.
template <class Uses> void DeleteRobotsThat(Scene &scene, Uses uses)
{
    std::vector<Robot *> robots;
    scene.ForEachObject([&](const char *, Object *object) {
        Robot *robot = dynamic_cast<Robot *>(object);
        if (robot && uses(*robot)) robots.push_back(robot);
    });
    for (Robot *robot : robots) {
        scene.RemoveObject(robot);
        delete robot;
    }
}

bool HoldsJoint(Robot &robot, const Joint *joint)
{
    bool holds = false;
    robot.ForEachJointNode([&](Robot *node) { holds = holds || node->joint == joint; });
    return holds;
}

void DeleteJoint(Scene &scene, Joint *joint)
{
    DeleteRobotsThat(scene, [&](Robot &robot) { return HoldsJoint(robot, joint); });
    scene.RemoveJoint(joint);
    delete joint;
}

void DeleteJointsOf(Scene &scene, const Solid &solid)
{
    std::vector<Joint *> held;
    scene.ForEachJoint([&](const char *, Joint *joint) {
        RbdConstraintID c = joint->GetConstraint();
        const bool holds = c && solid.GetBody() &&
                           (RbdConstraintGetBody(c, 0) == solid.GetBody() ||
                            RbdConstraintGetBody(c, 1) == solid.GetBody());
        if (holds) held.push_back(joint);
    });
    for (Joint *joint : held) DeleteJoint(scene, joint);
}

enum class Kind { kAny, kSolid, kRobot };

bool IsOfKind(Object *object, Kind kind)
{
    if (kind == Kind::kSolid) return dynamic_cast<Solid *>(object) != nullptr;
    if (kind == Kind::kRobot) return dynamic_cast<Robot *>(object) != nullptr;
    return object != nullptr;
}

// OBJECT: anything registered; SOLID: a solid; ROBOT: a robot.
int RemoveObject(PxXMLElement *element, const char *word, Kind kind)
{
    Scene *scene = GetScene(element);
    const std::string name = NameOf(element);
    Object *object = scene ? scene->LookupObject(scene->GetFullId(name.c_str()), false) : nullptr;
    if (!object || !IsOfKind(object, kind)) {
        LoadError(PxXMLElementGetInput(element), "%s '%s' to be removed is not found\n", word, name.c_str());
        return PX_XML_SKIP_ELEMENT;
    }
    if (Solid *solid = dynamic_cast<Solid *>(object)) {
        DeleteJointsOf(*scene, *solid);
        DeleteRobotsThat(*scene, [&](Robot &robot) { return robot.IsPart(solid); });
    }
    scene->RemoveObject(object);
    delete object;
    return PX_XML_SKIP_ELEMENT;
}

int RemoveAnyObject(PxXMLElement *element)
{
    return RemoveObject(element, "Object", Kind::kAny);
}

int RemoveSolid(PxXMLElement *element)
{
    return RemoveObject(element, "Solid", Kind::kSolid);
}

int RemoveRobot(PxXMLElement *element)
{
    return RemoveObject(element, "Robot", Kind::kRobot);
}

int RemoveJoint(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    const std::string name = NameOf(element);
    Joint *joint = scene ? scene->LookupJoint(scene->GetFullId(name.c_str()), false) : nullptr;
    if (!joint)
        LoadError(PxXMLElementGetInput(element), "Joint '%s' to be removed is not found\n", name.c_str());
    else
        DeleteJoint(*scene, joint);
    return PX_XML_SKIP_ELEMENT;
}

} // namespace

int LoadRemove(PxXMLElement *element)
{
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("OBJECT", RemoveAnyObject), PX_XML_ELEMENT("SOLID", RemoveSolid),
                               PX_XML_ELEMENT("ROBOT", RemoveRobot), PX_XML_ELEMENT("JOINT", RemoveJoint),
                               PX_XML_END};
    return PxXMLElementProcess(element, handlers, nullptr);
}

} // namespace kelmar
