// ROBOT elements: a robot built automatically from a base solid and joint,
// or explicitly from nested ROBOT elements, or a reference to a robot
// defined before. Top-level robots are registered; nested ones become
// sub-robots of the element around them; inside NOCOLLISION a robot only
// switches off the collisions of its adjacent links.
#include "LoadJoints.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include <kelmar/Joint.h>
#include <kelmar/Robot.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kNameSize = 256;

enum class Use { kTop, kNested, kNoCollision };

struct RobotValues {
    char id[kNameSize], solid[kNameSize], joint[kNameSize];
    unsigned int autoBuild, depth, replace;
};

// What the nested ROBOT elements of one element add to it.
struct SubRobots {
    std::vector<Robot *> robots;
};

void Warn(PxXMLInput *input, const char *format, const char *text = "")
{
    input->errorHandler(input, PX_XML_WARNING, PX_XML_BAD_VALUE, format, text);
}

void Fail(PxXMLInput *input, const char *format)
{
    input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "%s", format);
}

Robot *ReadRobot(PxXMLElement *element, Use use);

int LoadNestedRobot(PxXMLElement *element)
{
    SubRobots *subs = static_cast<SubRobots *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    Robot *robot = ReadRobot(element, Use::kNested);
    if (robot && subs)
        subs->robots.push_back(robot);
    else
        delete robot;
    return PX_XML_OK;
}

// An element with nothing but a name: the robot defined under that name.
Robot *Refer(PxXMLInput *input, Scene *scene, const RobotValues &v, Use use)
{
    Robot *known = dynamic_cast<Robot *>(scene->LookupObject(v.id));
    if (!known) {
        Warn(input, "robot '%s' not yet defined, ignoring\n", v.id);
        return nullptr;
    }
    if (use == Use::kTop) Warn(input, "recursive robot definition ignored\n");
    if (use == Use::kNoCollision) known->SetCollisionOfAdjacentLinks(false);
    return use == Use::kNested ? new Robot(known) : nullptr;
}

void DeleteAll(std::vector<Robot *> &robots)
{
    for (Robot *robot : robots) delete robot;
    robots.clear();
}

// The robot the element describes, from its base (solid, joint) and sub-robots.
Robot *Build(PxXMLInput *input, const PxXMLHandler *h, const RobotValues &v, Solid *solid, Joint *joint,
             std::vector<Robot *> &subs)
{
    const bool replace = Given(h, "REPLACE") && v.replace;
    if (replace && (solid || joint)) {
        if (subs.size() != 1) {
            Fail(input, "replacing virtual joint or solid is only supported if single subrobot is given\n");
            DeleteAll(subs);
            return nullptr;
        }
        const char *refusal = subs[0]->ReplaceVirtualBasis(joint, solid);
        if (refusal) Warn(input, "%s\n", refusal);
        return subs[0];
    }
    if (!solid && !joint && subs.size() == 1) {
        if (!replace)
            Warn(input, "robot '%s' with no basis and a single sub robot occured, using the sub robot instead\n",
                 v.id);
        return subs[0];
    }
    if (subs.empty()) {
        if (!solid) {
            Fail(input, "endeffector must have valid solid, robot not created\n");
            return nullptr;
        }
        const unsigned int autoBuild = Given(h, "AUTO") ? v.autoBuild : 1;
        const int depth = Given(h, "DEPTH") ? static_cast<int>(v.depth) : 1000;
        return autoBuild ? new Robot(joint, solid, depth) : new Robot(joint, solid, nullptr, 0);
    }
    return new Robot(joint, solid, subs.data(), static_cast<int>(subs.size()));
}

// Registers a top-level robot, with collisions between adjacent links off.
void Register(PxXMLInput *input, Scene *scene, const RobotValues &v, Robot *robot)
{
    if (!v.id[0]) {
        Warn(input, "no ID for robot supplied, ignoring\n");
        delete robot;
        return;
    }
    if (scene->LookupObject(scene->GetFullId(v.id), false)) {
        Warn(input, "cannot insert robot '%s' to scene, because an object with same name already exists, ignoring\n",
             v.id);
        delete robot;
        return;
    }
    robot->SetCollisionOfAdjacentLinks(false);
    scene->InsertObject(v.id, robot);
}

Robot *ReadRobot(PxXMLElement *element, Use use)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    RobotValues v = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kNameSize - 1);
    PxXMLHandler h[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(RobotValues, id), kNameSize),
                        PX_XML_VALUE("SOLID", PxXMLParseString, offsetof(RobotValues, solid), kNameSize),
                        PX_XML_VALUE("JOINT", PxXMLParseString, offsetof(RobotValues, joint), kNameSize),
                        PX_XML_VALUE("AUTO", PxXMLParseUInt, offsetof(RobotValues, autoBuild), 1),
                        PX_XML_VALUE("DEPTH", PxXMLParseUInt, offsetof(RobotValues, depth), 1),
                        PX_XML_VALUE("REPLACE", PxXMLParseUInt, offsetof(RobotValues, replace), 1),
                        PX_XML_ELEMENT("ROBOT", LoadNestedRobot),
                        PX_XML_END};
    SubRobots subs;
    ProcessFor(&subs, element, h, &v);
    if (!scene) {
        DeleteAll(subs.robots);
        return nullptr;
    }
    if (!v.solid[0] && !v.joint[0] && subs.robots.empty()) return Refer(input, scene, v, use);
    Solid *solid = v.solid[0] ? scene->LookupSolid(v.solid) : nullptr;
    if (v.solid[0] && !solid) Warn(input, "referenced solid '%s' not yet defined, ignoring\n", v.solid);
    Joint *joint = v.joint[0] ? scene->LookupJoint(v.joint) : nullptr;
    if (v.joint[0] && !joint) Warn(input, "referenced joint '%s' not yet defined, ignoring\n", v.joint);
    Robot *robot = Build(input, h, v, solid, joint, subs.robots);
    if (!robot) return nullptr;
    if (use == Use::kTop) {
        Register(input, scene, v, robot);
        return nullptr;
    }
    if (use == Use::kNoCollision) {
        robot->SetCollisionOfAdjacentLinks(false);
        delete robot;
        return nullptr;
    }
    // A named sub-robot is also known on its own, as a copy.
    if (v.id[0] && !scene->LookupObject(scene->GetFullId(v.id), false)) scene->InsertObject(v.id, new Robot(robot));
    return robot;
}

} // namespace

int LoadRobot(PxXMLElement *element)
{
    ReadRobot(element, Use::kTop);
    return PX_XML_OK;
}

int LoadRobotNoCollision(PxXMLElement *element)
{
    ReadRobot(element, Use::kNoCollision);
    return PX_XML_OK;
}

} // namespace kelmar
