// PART children of a SOLID element.
#ifndef KELMAR_LOADER_LOADSOLIDPART_H
#define KELMAR_LOADER_LOADSOLIDPART_H

#include "LoadSolid.h"

namespace kelmar {

// Makes the part's record (geometry, graphics, placement, material) from
// its values; false, with the message, when the part is left out. A part
// without MATERIAL or DENSITY takes the composite's (material < 0 or
// density < 0: the default).
bool MakePart(Scene &scene, PxXMLInput *input, const PartValues &part, const char *id, int material, double density,
              PartRecord &out);

} // namespace kelmar

#endif
