// WORLD: universe parameters, materials and material pairs. Only the
// top-level file of a scene may change the universe.
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Universe.h>

#include "LoadElements.h"

namespace kelmar {

int LoadWorld(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    if (scene && scene->GetNumFiles() > 1) {
        LoadWarning(input, "World specific data ignored, because it's not the top level file\n");
        return PX_XML_SKIP_ELEMENT;
    }
    Universe *universe = scene ? scene->GetUniverse() : nullptr;
    if (!universe) {
        LoadError(input, "Universe not yet defined! Ignoring material data\n");
        return PX_XML_SKIP_ELEMENT;
    }
    return universe->loadStatus(element);
}

} // namespace kelmar
