// REMOVE: objects and joints that an imported file made and this file does
// not want. Each is unregistered and deleted; a solid takes the joints that
// hold it along.
#include <string>
#include <vector>

#include <kelmar/Joint.h>
#include <kelmar/RbdConstraint.h>
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

void DeleteJoint(Scene &scene, Joint *joint)
{
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

// OBJECT: anything registered; SOLID: a solid.
int RemoveObject(PxXMLElement *element, const char *kind, bool solidOnly)
{
    Scene *scene = GetScene(element);
    const std::string name = NameOf(element);
    Object *object = scene ? scene->LookupObject(scene->GetFullId(name.c_str()), false) : nullptr;
    Solid *solid = dynamic_cast<Solid *>(object);
    if (!object || (solidOnly && !solid)) {
        LoadError(PxXMLElementGetInput(element), "%s '%s' to be removed is not found\n", kind, name.c_str());
        return PX_XML_SKIP_ELEMENT;
    }
    if (solid) DeleteJointsOf(*scene, *solid);
    scene->RemoveObject(object);
    delete object;
    return PX_XML_SKIP_ELEMENT;
}

int RemoveAnyObject(PxXMLElement *element)
{
    return RemoveObject(element, "Object", false);
}

int RemoveSolid(PxXMLElement *element)
{
    return RemoveObject(element, "Solid", true);
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
                               PX_XML_ELEMENT("JOINT", RemoveJoint), PX_XML_END};
    return PxXMLElementProcess(element, handlers, nullptr);
}

} // namespace kelmar
