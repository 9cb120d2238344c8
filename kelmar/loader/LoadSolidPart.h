// PART children of a SOLID element.
#ifndef KELMAR_LOADER_LOADSOLIDPART_H
#define KELMAR_LOADER_LOADSOLIDPART_H

#include "LoadSolid.h"

namespace kelmar {

// Makes the part's record (geometry, graphics, placement, material) from
// its values; false, with the message, when the part is left out.
bool MakePart(Scene &scene, PxXMLInput *input, const PartValues &part, const char *id, PartRecord &out);

} // namespace kelmar

#endif
