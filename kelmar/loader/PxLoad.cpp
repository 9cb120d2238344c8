// The scene-file reader's top level: the root element PX, the elements a
// scene file is made of (ROBOT, CAMERA and CAMHEAD also beside PX, at the
// root), and the scene an input reads into (carried by the input itself,
// so that imports nest without shared state).
#include <kelmar/SceneLoader.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <kelmar/PxMessage.h>
#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

#include "LoadElements.h"
#include "LoadJoints.h"

namespace kelmar {

namespace {

// The toolkit refuses a value it cannot take (a mass out of its range, a
// singular inertia) with a warning of its own and keeps the old one. The
// element that handed the value on says so at its place, so that the load
// counts it and ends with warnings instead of looking clean.
template <PxXMLElementFunction Load> int NotingRefusals(PxXMLElement *element)
{
    const long before = PxMessageGetCount(PX_CHANNEL_WARNING);
    const int result = Load(element);
    const long refused = PxMessageGetCount(PX_CHANNEL_WARNING) - before;
    if (refused > 0)
        LoadWarning(PxXMLElementGetInput(element),
                    "<%s%s%s>: the toolkit refused or adjusted %ld of its values (its warnings say which).\n",
                    element->name, element->attributes ? " " : "", element->attributes ? element->attributes : "",
                    refused);
    return result;
}

int HandleRoot(PxXMLElement *element)
{
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("COLOR", LoadDefaultColor),
                               PX_XML_ELEMENT("VAR", LoadVariable),
                               PX_XML_ELEMENT("DEFAULT_VAR", LoadDefaultVariable),
                               PX_XML_ELEMENT("IMPORT", LoadImport),
                               PX_XML_ELEMENT("WORLD", NotingRefusals<LoadWorld>),
                               PX_XML_ELEMENT("GEOMETRIES", LoadGeometries),
                               PX_XML_ELEMENT("GRAPHICPRIMS", LoadGraphicPrims),
                               PX_XML_ELEMENT("GRAPHICS", LoadGraphics),
                               PX_XML_ELEMENT("SOLID", NotingRefusals<LoadSolid>),
                               PX_XML_ELEMENT("HINGE", NotingRefusals<LoadHinge>),
                               PX_XML_ELEMENT("PRISMATIC", NotingRefusals<LoadPrismatic>),
                               PX_XML_ELEMENT("SPRING", NotingRefusals<LoadSpring>),
                               PX_XML_ELEMENT("BSJOINT", NotingRefusals<LoadBSJoint>),
                               PX_XML_ELEMENT("RPROJOINT", NotingRefusals<LoadRPROJoint>),
                               PX_XML_ELEMENT("LINEAR1", NotingRefusals<LoadLinear1>),
                               PX_XML_ELEMENT("LINEAR2", NotingRefusals<LoadLinear2>),
                               PX_XML_ELEMENT("ROBOT", NotingRefusals<LoadRobot>),
                               PX_XML_ELEMENT("NOCOLLISION", LoadNoCollision),
                               PX_XML_ELEMENT("REMOVE", LoadRemove),
                               PX_XML_ELEMENT("CAMERA", LoadCamera),
                               PX_XML_ELEMENT("CAMHEAD", LoadCamera),
                               PX_XML_END};
    return PxXMLElementProcess(element, handlers, nullptr);
}

// The name a file is kept under on the scene's file stack: its real path
// when it can be found, so that two names of one file are one file.
std::string FileKey(const PxXMLInput *input)
{
    const char *name = input->stream && input->stream->name ? input->stream->name : "";
    const char *located = PxGetFileLocation(name);
    char path[PATH_MAX];
    return located && realpath(located, path) ? std::string(path) : std::string(name);
}

} // namespace

Scene *GetScene(const PxXMLInput *input)
{
    return static_cast<Scene *>(PxXMLInputGetScene(input));
}

Scene *GetScene(const PxXMLElement *element)
{
    return GetScene(PxXMLElementGetInput(element));
}

void SetInputScene(PxXMLInput *input, Scene *scene)
{
    PxXMLInputSetScene(input, scene);
}

bool PxLoad(Scene *scene, PxXMLInput *input)
{
    if (!IsRigidTM(scene->GetPlacement(), 1e-7)) {
        LoadError(input, "Invalid basis transformation\n");
        return false;
    }
    const std::string file = FileKey(input);
    if (!scene->PushFile(file.c_str())) {
        LoadError(input, "Cyclic import of file '%s'\n", file.c_str());
        return false;
    }
    Scene *previous = GetScene(input);
    SetInputScene(input, scene);
    PxXMLHandler root[] = {PX_XML_ELEMENT("PX", HandleRoot), PX_XML_ELEMENT("ROBOT", LoadRobot),
                           PX_XML_ELEMENT("CAMERA", LoadCamera), PX_XML_ELEMENT("CAMHEAD", LoadCamera), PX_XML_END};
    int result = PxXMLInputProcess(input, root);
    // An empty file, a folder or a file of comments alone has nothing to
    // load: that is no scene, not an empty one.
    if (result == PX_XML_OK && !PxXMLHandlerWasCalled(root, "PX") && !PxXMLHandlerWasCalled(root, "ROBOT") &&
        !PxXMLHandlerWasCalled(root, "CAMERA") && !PxXMLHandlerWasCalled(root, "CAMHEAD")) {
        LoadError(input, "No <PX> element found in '%s'. Nothing loaded.\n", file.c_str());
        result = PX_XML_STRUCTURE_ERROR;
    }
    SetInputScene(input, previous ? previous : scene);
    scene->PopFile();
    return result == PX_XML_OK;
}

} // namespace kelmar
