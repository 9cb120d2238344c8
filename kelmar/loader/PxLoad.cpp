// The scene-file reader's top level: the root element PX and the elements
// this reader knows (WORLD, GEOMETRIES, SOLID, the joints, ROBOT); others
// are reported as unknown by the XML reader and skipped. ROBOT is also
// read beside PX, at the root.
#include <kelmar/SceneLoader.h>

#include <map>

#include <kelmar/Scene.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

#include "LoadElements.h"
#include "LoadJoints.h"

namespace kelmar {

namespace {

std::map<const PxXMLInput *, Scene *> &InputScenes()
{
    static std::map<const PxXMLInput *, Scene *> scenes;
    return scenes;
}

// WORLD belongs to the top-level file: imported files cannot change the universe.
int HandleWorld(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    Universe *universe = scene ? scene->GetUniverse() : nullptr;
    if (!universe) {
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE,
                            "Universe not yet defined! Ignoring material data\n");
        return PX_XML_SKIP_ELEMENT;
    }
    return universe->loadStatus(element);
}

int HandleRoot(PxXMLElement *element);

PxXMLHandler *TopLevelHandlers()
{
    static PxXMLHandler handlers[] = {
        PX_XML_ELEMENT("WORLD", HandleWorld),       PX_XML_ELEMENT("GEOMETRIES", LoadGeometries),
        PX_XML_ELEMENT("SOLID", LoadSolid),         PX_XML_ELEMENT("HINGE", LoadHinge),
        PX_XML_ELEMENT("PRISMATIC", LoadPrismatic), PX_XML_ELEMENT("SPRING", LoadSpring),
        PX_XML_ELEMENT("BSJOINT", LoadBSJoint),     PX_XML_ELEMENT("RPROJOINT", LoadRPROJoint),
        PX_XML_ELEMENT("LINEAR1", LoadLinear1),     PX_XML_ELEMENT("LINEAR2", LoadLinear2),
        PX_XML_ELEMENT("ROBOT", LoadRobot),         PX_XML_END};
    for (PxXMLHandler *h = handlers; h->type != PX_XML_END_OF_TABLE; ++h) h->wasCalled = h->error = 0;
    return handlers;
}

int HandleRoot(PxXMLElement *element)
{
    return PxXMLElementProcess(element, TopLevelHandlers(), nullptr);
}

} // namespace

Scene *GetScene(const PxXMLInput *input)
{
    auto it = InputScenes().find(input);
    return it == InputScenes().end() ? nullptr : it->second;
}

Scene *GetScene(const PxXMLElement *element)
{
    return GetScene(PxXMLElementGetInput(element));
}

void SetInputScene(const PxXMLInput *input, Scene *scene)
{
    if (scene)
        InputScenes()[input] = scene;
    else
        InputScenes().erase(input);
}

bool PxLoad(Scene *scene, PxXMLInput *input)
{
    if (!IsRigidTM(scene->GetPlacement(), 1e-7)) {
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "Invalid basis transformation\n");
        return false;
    }
    const char *name = input->stream && input->stream->name ? input->stream->name : "";
    if (!scene->PushFile(name)) {
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, "Cyclic import of file '%s'\n", name);
        return false;
    }
    Scene *previous = GetScene(input);
    SetInputScene(input, scene);
    PxXMLHandler root[] = {PX_XML_ELEMENT("PX", HandleRoot), PX_XML_ELEMENT("ROBOT", LoadRobot), PX_XML_END};
    const int result = PxXMLInputProcess(input, root);
    SetInputScene(input, previous ? previous : scene);
    scene->PopFile();
    return result == PX_XML_OK;
}

} // namespace kelmar
