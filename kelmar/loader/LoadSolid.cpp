// SOLID: a solid on a registered geometry with its material, appearance,
// placement and initial body state. Lengths are multiplied by the scene
// scale s, masses by s^3 and inertias by s^5.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include <kelmar/CdxModel.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>
#include <kelmar/Universe.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kTextSize = 256;

struct BodyValues {
    unsigned int enabled;
    double mass;
    double moi[6];
    double com[3];
    double vel[3], angvel[3];
    PxXMLHandler handlers[7];
};

struct SolidValues {
    char id[kTextSize], material[kTextSize], geometry[kTextSize], relto[kTextSize];
    double density;
    float color[4];
    unsigned int frozen, dynamic, noCollision, interactable;
    int collisionType;
    TransformSpec transform;
};

bool Given(const PxXMLHandler *handlers, const char *tag)
{
    return PxXMLHandlerWasCalled(handlers, tag) && PxXMLHandlerGetError(handlers, tag) == PX_XML_OK;
}

int LoadBody(PxXMLElement *element)
{
    BodyValues *v = static_cast<BodyValues *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    PxXMLHandler handlers[] = {PX_XML_VALUE("ENABLED", PxXMLParseUInt, offsetof(BodyValues, enabled), 1),
                               PX_XML_VALUE("MASS", PxXMLParseDouble, offsetof(BodyValues, mass), 1),
                               PX_XML_VALUE("MOI", PxXMLParseDoubleArray, offsetof(BodyValues, moi), 6),
                               PX_XML_VALUE("COM", PxXMLParseDoubleArray, offsetof(BodyValues, com), 3),
                               PX_XML_VALUE("VEL", PxXMLParseDoubleArray, offsetof(BodyValues, vel), 3),
                               PX_XML_VALUE("ANGVEL", PxXMLParseDoubleArray, offsetof(BodyValues, angvel), 3),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, v);
    std::memcpy(v->handlers, handlers, sizeof handlers);
    return result;
}

void Report(PxXMLInput *input, const char *format, const char *a, const char *b = "")
{
    input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, format, a, b);
}

// The material named by text (a name or an index within the table), else -1.
int MaterialOf(const Universe *universe, const char *text)
{
    if (!universe || !text[0]) return -1;
    const int byName = universe->GetMaterialId(text);
    if (byName >= 0) return byName;
    char *end = nullptr;
    const long index = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && index >= 0 && index < universe->GetNumMaterials() ? static_cast<int>(index)
                                                                                            : -1;
}

void ApplyBody(Solid *solid, const Scene *scene, const PxXMLHandler *body, const BodyValues &b)
{
    RbdBodyID id = solid->GetBody();
    if (!id) return;
    const double s = scene->GetScale();
    double v[3];
    if (!(scene->options & Scene::kIgnoreVelocities)) {
        if (Given(body, "VEL")) {
            PxV3MulTMDir(v, b.vel, scene->GetPlacement());
            RbdBodySetLinearVelocity(id, s * v[0], s * v[1], s * v[2]);
        }
        if (Given(body, "ANGVEL")) {
            PxV3MulTMDir(v, b.angvel, scene->GetPlacement());
            RbdBodySetAngularVelocity(id, v[0], v[1], v[2]);
        }
    }
}

Graphics *MakeGraphics(Scene *scene, Solid *solid, const char *geometryName, const float color[4])
{
    GraphicsPrimitive *primitive = scene->GraphicsPrimFromGeometry(geometryName);
    return primitive ? new Graphics(primitive, color, solid->GetTM()) : nullptr;
}

} // namespace

int LoadSolid(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    SolidValues v = {};
    v.dynamic = 1;
    v.density = -1;
    BodyValues body = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kTextSize - 1);
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(SolidValues, id), kTextSize),
        PX_XML_VALUE("MATERIAL", PxXMLParseString, offsetof(SolidValues, material), kTextSize),
        PX_XML_VALUE("GEOMETRY_ID", PxXMLParseString, offsetof(SolidValues, geometry), kTextSize),
        PX_XML_VALUE("RELTO", PxXMLParseString, offsetof(SolidValues, relto), kTextSize),
        PX_XML_VALUE("DENSITY", PxXMLParseDouble, offsetof(SolidValues, density), 1),
        PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(SolidValues, color), 4),
        PX_XML_VALUE("FROZEN", PxXMLParseUInt, offsetof(SolidValues, frozen), 1),
        PX_XML_VALUE("DYNAMIC", PxXMLParseUInt, offsetof(SolidValues, dynamic), 1),
        PX_XML_VALUE("NOCOLLISION", PxXMLParseUInt, offsetof(SolidValues, noCollision), 1),
        PX_XML_VALUE("INTERACTABLE", PxXMLParseUInt, offsetof(SolidValues, interactable), 1),
        PX_XML_VALUE("COLLISION_TYPE", PxXMLParseInt, offsetof(SolidValues, collisionType), 1),
        PX_XML_VALUE("TM", PxXMLParseDoubleArray, offsetof(SolidValues, transform.tm), 16),
        PX_XML_VALUE("POS", PxXMLParseDoubleArray, offsetof(SolidValues, transform.pos), 3),
        PX_XML_VALUE("ROT", PxXMLParseDoubleArray, offsetof(SolidValues, transform.rot), 9),
        PX_XML_VALUE("QUAT", PxXMLParseDoubleArray, offsetof(SolidValues, transform.quat), 4),
        PX_XML_VALUE("EULER", PxXMLParseDoubleArray, offsetof(SolidValues, transform.euler), 3),
        PX_XML_ELEMENT("BODY", LoadBody),
        PX_XML_END};
    void *previous = PxXMLInputGetUserData(input);
    PxXMLInputSetUserData(input, &body);
    const int result = PxXMLElementProcess(element, handlers, &v);
    PxXMLInputSetUserData(input, previous);
    if (!scene) return result;
    const Universe *universe = scene->GetUniverse();
    const std::string id = v.id[0] ? std::string(v.id) : scene->MakeDefaultId("OBJ");
    if (id == "WORLD") {
        Report(input, "A solid cannot have an <ID> of 'WORLD'.This is a reserved word. Solid not created.\n", "");
        return result;
    }
    if (scene->LookupObject(scene->GetFullId(id.c_str()), false)) {
        Report(input, "Duplicate solid ID '%s' detected. Solid not created.\n", id.c_str());
        return result;
    }
    if (Given(handlers, "DENSITY") && v.density <= 0) {
        Report(input, "Invalid density specified for solid '%s'. Using default value.\n", id.c_str());
        v.density = -1;
    }
    int material = MaterialOf(universe, v.material);
    if (v.material[0] && material < 0)
        Report(input, "Unknown material '%s' for solid '%s', using default material\n", v.material, id.c_str());
    CdxGeometryID geometry = v.geometry[0] ? scene->LookupGeometry(v.geometry) : nullptr;
    if (!v.geometry[0]) {
        Report(input, "Neither geometry nor parts specified for solid '%s'. Solid not created.\n", id.c_str());
        return result;
    }
    if (!geometry) {
        Report(input, "Geometry '%s' specified for solid '%s'is not created yet. Solid not created.\n", v.geometry,
               id.c_str());
        return result;
    }
    const double(*reference)[4] = v.relto[0] ? scene->GetSolidTransform(v.relto, "solid", id.c_str()) : nullptr;
    double pose[4][4];
    GenerateTransform(input, handlers, id.c_str(), v.transform, scene->GetScale(),
                      reference ? reference : scene->GetPlacement(), pose);
    Solid *solid = new Solid;
    solid->SetInitialTM(pose);
    const double s = scene->GetScale();
    const PxXMLHandler *b = body.handlers[0].name ? body.handlers : nullptr;
    const bool enabled = b && Given(b, "ENABLED")
                             ? body.enabled != 0 && v.dynamic && !v.frozen
                             : !(scene->options & Scene::kCreateDisabled) && v.dynamic && !v.frozen;
    double moi[6];
    for (int i = 0; i < 6; ++i) moi[i] = body.moi[i] * s * s * s * s * s;
    double com[3] = {body.com[0] * s, body.com[1] * s, body.com[2] * s};
    const double mass = b && Given(b, "MASS") ? body.mass * s * s * s : 0.0;
    if (!solid->CreateFromGeometry(scene, geometry, v.frozen != 0, v.noCollision != 0, material, v.density, mass,
                                   b && Given(b, "MOI") ? moi : nullptr, enabled, com)) {
        Report(input, "Couldn't create solid '%s'. Try to increase pool size\n", id.c_str());
        delete solid;
        return result;
    }
    if (b) ApplyBody(solid, scene, b, body);
    solid->type = v.collisionType;
    if (Given(handlers, "INTERACTABLE")) {
        if (v.interactable)
            solid->SetOptions(Solid::kInteractable);
        else
            solid->ClearOptions(Solid::kInteractable);
    }
    float color[4];
    if (Given(handlers, "COLOR"))
        std::memcpy(color, v.color, sizeof color);
    else if (universe)
        universe->GetMaterialColor(material < 0 ? 0 : material, color);
    solid->SetGraphics(MakeGraphics(scene, solid, v.geometry, color));
    scene->InsertObject(id.c_str(), solid);
    if (solid->GetModel()) CdxModelSetName(solid->GetModel(), solid->GetName());
    return result;
}

} // namespace kelmar
