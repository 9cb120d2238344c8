// CAMERA and CAMHEAD: simulated cameras are not part of the robot layer
// yet; their elements are skipped with a note, so scene files that carry
// them still load.
#include "LoadElements.h"

namespace kelmar {

int LoadCamera(PxXMLElement *element)
{
    LoadWarning(PxXMLElementGetInput(element), "<%s> skipped: simulated cameras are not supported yet\n",
                element->name);
    return PX_XML_SKIP_ELEMENT;
}

} // namespace kelmar
