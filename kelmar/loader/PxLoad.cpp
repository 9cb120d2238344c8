// The scene-file reader's top level: the root element PX, the elements a
// scene file is made of (ROBOT, CAMERA and CAMHEAD also beside PX, at the
// root), and the scene an input reads into (carried by the input itself,
// so that imports nest without shared state).
#include <kelmar/SceneLoader.h>

#include <climits>
#include <cstdlib>
#include <string>

#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

#include "LoadElements.h"
#include "LoadJoints.h"

namespace kelmar {

namespace {

int HandleRoot(PxXMLElement *element)
{
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("COLOR", LoadDefaultColor),
                               PX_XML_ELEMENT("VAR", LoadVariable),
                               PX_XML_ELEMENT("DEFAULT_VAR", LoadDefaultVariable),
                               PX_XML_ELEMENT("IMPORT", LoadImport),
                               PX_XML_ELEMENT("WORLD", LoadWorld),
                               PX_XML_ELEMENT("GEOMETRIES", LoadGeometries),
                               PX_XML_ELEMENT("GRAPHICPRIMS", LoadGraphicPrims),
                               PX_XML_ELEMENT("GRAPHICS", LoadGraphics),
                               PX_XML_ELEMENT("SOLID", LoadSolid),
                               PX_XML_ELEMENT("HINGE", LoadHinge),
                               PX_XML_ELEMENT("PRISMATIC", LoadPrismatic),
                               PX_XML_ELEMENT("SPRING", LoadSpring),
                               PX_XML_ELEMENT("BSJOINT", LoadBSJoint),
                               PX_XML_ELEMENT("RPROJOINT", LoadRPROJoint),
                               PX_XML_ELEMENT("LINEAR1", LoadLinear1),
                               PX_XML_ELEMENT("LINEAR2", LoadLinear2),
                               PX_XML_ELEMENT("ROBOT", LoadRobot),
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
    const int result = PxXMLInputProcess(input, root);
    SetInputScene(input, previous ? previous : scene);
    scene->PopFile();
    return result == PX_XML_OK;
}

} // namespace kelmar
