// CAMERA and CAMHEAD: simulated cameras render with OpenGL, so the library
// that has them (graphics) reads their elements; it hands its readers in
// here when it is installed. Until then the elements are skipped with a
// note, so scene files that carry them still load.
#include <cstring>

#include <kelmar/SceneLoader.h>

#include "LoadElements.h"

namespace kelmar {

namespace {
PxXMLElementFunction gCameraReader = nullptr;
PxXMLElementFunction gHeadReader = nullptr;
} // namespace

void SetCameraElementHandlers(PxXMLElementFunction camera, PxXMLElementFunction head)
{
    gCameraReader = camera;
    gHeadReader = head;
}

int LoadCamera(PxXMLElement *element)
{
    const PxXMLElementFunction reader = std::strcmp(element->name, "CAMHEAD") == 0 ? gHeadReader : gCameraReader;
    if (reader) return reader(element);
    LoadWarning(PxXMLElementGetInput(element), "<%s> skipped: no camera library is installed\n", element->name);
    return PX_XML_SKIP_ELEMENT;
}

} // namespace kelmar
