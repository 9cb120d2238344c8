// Graphics of solids and composite parts.
#include "LoadSolidGraphics.h"

#include <cstring>

#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

namespace kelmar {

int ReadAppearance(PxXMLElement *element, AppearanceValues &a)
{
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("PRIMID", PxXMLParseString, offsetof(AppearanceValues, primitive), kSolidTextSize),
        PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(AppearanceValues, color), 4),
        PX_XML_VALUE("TEXTURE", PxXMLParseString, offsetof(AppearanceValues, texture), kSolidTextSize),
        KELMAR_TRANSFORM_TAGS(AppearanceValues, transform), PX_XML_END};
    static_assert(sizeof handlers <= sizeof a.handlers, "GRAPHICS handler table");
    const int result = PxXMLElementProcess(element, handlers, &a);
    std::memcpy(a.handlers, handlers, sizeof handlers);
    a.read = true;
    return result;
}

GraphicsPrimitive *ChoosePrimitive(Scene &scene, PxXMLInput *input, const AppearanceRequest &r)
{
    if (r.primitive[0]) {
        if (GraphicsPrimitive *named = scene.LookupGP(r.primitive)) return named;
        LoadWarning(input, "GraphicsPrimitive '%s' specified for %s '%s' is not created yet. Using default.\n",
                    r.primitive, r.owner, r.id);
    }
    return r.geometry[0] ? scene.GraphicsPrimFromGeometry(r.geometry) : nullptr;
}

Graphics *MakeAppearance(Scene &scene, PxXMLInput *input, GraphicsPrimitive *primitive, const AppearanceRequest &r,
                         const AppearanceValues &a)
{
    float color[4] = {1, 1, 1, 1};
    if (r.color)
        std::memcpy(color, r.color, sizeof color);
    else if (const Universe *universe = scene.GetUniverse())
        universe->GetMaterialColor(r.material < 0 || r.material >= universe->GetNumMaterials() ? 0 : r.material,
                                   color);
    double relative[4][4];
    PxM4Identity(relative);
    if (a.read) GenerateTransform(input, a.handlers, r.id, a.transform, scene.GetScale(), nullptr, relative);
    Graphics *graphics = new Graphics(primitive, color, nullptr, relative);
    if (r.texture[0]) graphics->SetTexture(r.texture);
    return graphics;
}

} // namespace kelmar
