// Joint elements: each makes its kind of joint on the scene being read and
// lets the joint read the element.
#include "LoadJoints.h"

#include <kelmar/BSJoint.h>
#include <kelmar/Hinge.h>
#include <kelmar/Linear1.h>
#include <kelmar/Linear2.h>
#include <kelmar/Prismatic.h>
#include <kelmar/RPROJoint.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Spring.h>

namespace kelmar {

namespace {

template <class Kind> int LoadJoint(PxXMLElement *element, const char *kind)
{
    Scene *scene = GetScene(element);
    if (!scene) return PX_XML_SKIP_ELEMENT;
    Kind *joint = new Kind(scene);
    const int result = joint->loadStatus(element);
    if (result == PX_XML_OK) return result;
    scene->RemoveJoint(joint);
    delete joint;
    PxXMLInput *input = PxXMLElementGetInput(element);
    input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "%s not created.\n", kind);
    return result;
}

} // namespace

int LoadHinge(PxXMLElement *element)
{
    return LoadJoint<Hinge>(element, "Hinge");
}

int LoadPrismatic(PxXMLElement *element)
{
    return LoadJoint<Prismatic>(element, "Prismatic");
}

int LoadSpring(PxXMLElement *element)
{
    return LoadJoint<Spring>(element, "Spring");
}

int LoadRPROJoint(PxXMLElement *element)
{
    return LoadJoint<RPROJoint>(element, "RPROJoint");
}

int LoadBSJoint(PxXMLElement *element)
{
    return LoadJoint<BSJoint>(element, "BSJoint");
}

int LoadLinear1(PxXMLElement *element)
{
    return LoadJoint<Linear1>(element, "Linear1");
}

int LoadLinear2(PxXMLElement *element)
{
    return LoadJoint<Linear2>(element, "Linear2");
}

} // namespace kelmar
