// The graphics of solids and composite parts: a primitive (named, else made
// from the geometry), a colour, a texture and a placement on the solid.
#ifndef KELMAR_LOADER_LOADSOLIDGRAPHICS_H
#define KELMAR_LOADER_LOADSOLIDGRAPHICS_H

#include "LoadSolid.h"

namespace kelmar {

class GraphicsPrimitive;

// Reads a GRAPHICS child (PRIMID, COLOR, TEXTURE, transform) into values.
int ReadAppearance(PxXMLElement *element, AppearanceValues &values);

// What one solid or part is drawn with, as the element gave it.
struct AppearanceRequest {
    const char *primitive; // GRAPHICSPRIM or PRIMID; empty: from the geometry
    const char *geometry;  // geometry name, empty for composites
    const char *texture;
    const float *color; // null: the material's colour
    int material;
    const char *owner; // "solid" or "solid part of", for messages
    const char *id;
};

// The primitive to draw, with the note for an unknown name; null when none.
GraphicsPrimitive *ChoosePrimitive(Scene &scene, PxXMLInput *input, const AppearanceRequest &request);
// A graphics object with the request's colour and texture, relative to the
// appearance's transform (scaled, relative to the solid), base not set.
Graphics *MakeAppearance(Scene &scene, PxXMLInput *input, GraphicsPrimitive *primitive,
                         const AppearanceRequest &request, const AppearanceValues &appearance);

} // namespace kelmar

#endif
