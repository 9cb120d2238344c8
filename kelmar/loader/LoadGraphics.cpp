// GRAPHICS: a free graphics object on a registered primitive, placed in the
// world, on a solid (it follows the solid) or on a joint's frame.
#include <cstring>
#include <string>

#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Joint.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kIdSize = 256;

struct GraphicsValues {
    char id[kIdSize];
    char primitive[kIdSize];
    float color[4];
    TransformSpec transform;
};

// The base a RELTO name gives: a solid's own transform (followed), or a
// joint's frame at load time (folded into reference); null base otherwise.
const double (*BaseOf(Scene &scene, PxXMLInput *input, const GraphicsValues &v, double reference[4][4]))[4]
{
    PxM4Copy(reference, scene.GetPlacement());
    const char *name = v.transform.relTo;
    if (!name[0] || std::strcmp(name, "WORLD") == 0) return nullptr;
    if (Solid *solid = scene.LookupSolid(name)) {
        PxM4Identity(reference);
        return solid->GetTM();
    }
    if (Joint *joint = scene.LookupJoint(name)) {
        joint->GetTM(1, reference);
        return nullptr;
    }
    LoadWarning(input,
                "Neither joint nor solid '%s' referenced from graphics '%s' is created yet, using world coordinates "
                "instead.\n",
                name, v.id);
    PxM4Identity(reference);
    return nullptr;
}

} // namespace

int LoadGraphics(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    GraphicsValues v = {};
    SetDefaultID(v.id, element->attributes, kIdSize);
    PxXMLHandler handlers[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(GraphicsValues, id), kIdSize),
                               PX_XML_VALUE("PRIMID", PxXMLParseString, offsetof(GraphicsValues, primitive), kIdSize),
                               PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(GraphicsValues, color), 4),
                               KELMAR_TRANSFORM_TAGS(GraphicsValues, transform), PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!scene) return result;
    if (!v.id[0]) SetDefaultID(v.id, scene->MakeDefaultId("GRA").c_str(), kIdSize);
    if (!v.primitive[0]) {
        LoadError(input, "No graphics primitive specified for graphics '%s', not created.\n", v.id);
        return result;
    }
    GraphicsPrimitive *primitive = scene->LookupGP(v.primitive);
    if (!primitive) {
        LoadError(input,
                  "GraphicsPrimitive '%s' specified for graphics '%s' is not created yet, graphics not created!\n",
                  v.primitive, v.id);
        return result;
    }
    if (scene->LookupGraphics(scene->GetFullId(v.id), false)) {
        LoadError(input, "Duplicate graphics ID '%s' detected. Graphics not created.\n", v.id);
        return result;
    }
    double reference[4][4], relative[4][4];
    const double(*base)[4] = BaseOf(*scene, input, v, reference);
    GenerateTransform(input, handlers, v.id, v.transform, scene->GetScale(), reference, relative);
    float color[4];
    if (Given(handlers, "COLOR"))
        std::memcpy(color, v.color, sizeof color);
    else
        Graphics::GetDefaultColor(color);
    scene->InsertGraphics(v.id, new Graphics(primitive, color, base, relative));
    return result;
}

} // namespace kelmar
