// PART of a SOLID: one geometry of a composite with its own material,
// density, appearance and placement in the composite's frame. Parts are
// read first and made once the whole SOLID element is known.
#include "LoadSolidPart.h"

#include <cstring>

#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>

#include "LoadSolidGraphics.h"

namespace kelmar {

namespace {

PartValues &PartOf(PxXMLElement *element)
{
    return *static_cast<PartValues *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
}

int LoadPartAppearance(PxXMLElement *element)
{
    return ReadAppearance(element, PartOf(element).appearance);
}

// TRANSFORM: the part's transform tags inside an element of their own.
int LoadPartTransform(PxXMLElement *element)
{
    PartValues &part = PartOf(element);
    PxXMLHandler handlers[] = {KELMAR_TRANSFORM_TAGS(PartValues, transform), PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &part);
    std::memcpy(part.transformHandlers, handlers, sizeof handlers);
    part.hasTransformElement = true;
    return result;
}

} // namespace

int LoadSolidPart(PxXMLElement *element)
{
    PxXMLInput *input = PxXMLElementGetInput(element);
    SolidRecord *record = static_cast<SolidRecord *>(PxXMLInputGetUserData(input));
    record->parts.emplace_back();
    PartValues &p = record->parts.back();
    p.density = -1;
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("GEOMETRY_ID", PxXMLParseString, offsetof(PartValues, geometry), kSolidTextSize),
        PX_XML_VALUE("MATERIAL", PxXMLParseString, offsetof(PartValues, material), kSolidTextSize),
        PX_XML_VALUE("DENSITY", PxXMLParseDouble, offsetof(PartValues, density), 1),
        PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(PartValues, color), 4),
        PX_XML_VALUE("TEXTURE", PxXMLParseString, offsetof(PartValues, texture), kSolidTextSize),
        PX_XML_VALUE("GRAPHICSPRIM", PxXMLParseString, offsetof(PartValues, primitive), kSolidTextSize),
        PX_XML_VALUE("NOGRAPHICS", PxXMLParseUInt, offsetof(PartValues, noGraphics), 1),
        PX_XML_VALUE("NOCOLLISION", PxXMLParseUInt, offsetof(PartValues, noCollision), 1),
        PX_XML_ELEMENT("GRAPHICS", LoadPartAppearance),
        PX_XML_ELEMENT("TRANSFORM", LoadPartTransform),
        KELMAR_TRANSFORM_TAGS(PartValues, transform),
        PX_XML_END};
    static_assert(sizeof handlers <= sizeof p.handlers, "PART handler table");
    PxXMLInputSetUserData(input, &p);
    const int result = PxXMLElementProcess(element, handlers, &p);
    PxXMLInputSetUserData(input, record);
    std::memcpy(p.handlers, handlers, sizeof handlers);
    return result;
}

namespace {

bool HasTransform(const PxXMLHandler *h)
{
    for (const char *tag : {"TM", "POS", "ROT", "QUAT", "EULER"})
        if (Given(h, tag)) return true;
    return false;
}

// The part's appearance, or null with its message.
bool PartGraphics(Scene &scene, PxXMLInput *input, const PartValues &p, const char *id, int material,
                  Graphics *&graphics)
{
    graphics = nullptr;
    if (p.noGraphics) return true;
    const AppearanceRequest request = {
        p.appearance.read && p.appearance.primitive[0] ? p.appearance.primitive : p.primitive,
        p.geometry,
        p.appearance.read && p.appearance.texture[0] ? p.appearance.texture : p.texture,
        Given(p.appearance.handlers, "COLOR") ? p.appearance.color
        : Given(p.handlers, "COLOR")          ? p.color
                                              : nullptr,
        material,
        "solid part of",
        id};
    GraphicsPrimitive *primitive = ChoosePrimitive(scene, input, request);
    if (!primitive) {
        LoadError(input, "GraphicsPrimitive could'nt be created for solid part of '%s', part omitted.\n", id);
        return false;
    }
    graphics = MakeAppearance(scene, input, primitive, request, p.appearance);
    return true;
}

} // namespace

bool MakePart(Scene &scene, PxXMLInput *input, const PartValues &p, const char *id, int material, double density,
              PartRecord &out)
{
    out.geometry = p.geometry[0] ? scene.LookupGeometry(p.geometry) : nullptr;
    if (!p.geometry[0]) {
        LoadError(input, "No geometry specified for solid part of '%s', part omitted.\n", id);
        return false;
    }
    if (!out.geometry) {
        LoadError(input, "Geometry '%s' specified for solid part of '%s' is not created yet, part omitted.\n",
                  p.geometry, id);
        return false;
    }
    const PxXMLHandler *transformTags = p.hasTransformElement ? p.transformHandlers : p.handlers;
    if (!HasTransform(transformTags)) {
        LoadError(input, "No Transform specified for solid part of '%s', part omitted.\n", id);
        return false;
    }
    out.density = Given(p.handlers, "DENSITY") ? p.density : density;
    CheckDensityAndMaterial(p.handlers, input, &scene, id, out.density, density, out.material, p.material, material);
    GenerateTransform(input, transformTags, id, p.transform, scene.GetScale(), nullptr, out.relTM);
    out.excluded = p.noCollision != 0;
    return PartGraphics(scene, input, p, id, out.material, out.graphics);
}

} // namespace kelmar
