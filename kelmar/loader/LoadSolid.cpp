// SOLID: a solid on a registered geometry, or a composite of PARTs, with
// its material, appearance, placement and initial body state.
#include <cstring>
#include <memory>
#include <string>

#include <kelmar/CdxModel.h>
#include <kelmar/Composite.h>
#include <kelmar/Graphics.h>
#include <kelmar/RbdBody.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Solid.h>

#include "LoadSolidGraphics.h"
#include "LoadSolidPart.h"

namespace kelmar {

namespace {

int LoadSolidAppearance(PxXMLElement *element)
{
    SolidRecord *record = static_cast<SolidRecord *>(PxXMLInputGetUserData(PxXMLElementGetInput(element)));
    return ReadAppearance(element, record->appearance);
}

// Everything a solid's creation needs besides the values read.
struct Making {
    Scene &scene;
    PxXMLInput *input;
    const PxXMLHandler *handlers;
    SolidRecord &record;
    std::string id;
    int material;
    double density;
    double pose[4][4];
};

bool NameIsFree(Making &m)
{
    if (m.id == "WORLD") {
        LoadError(m.input, "A solid cannot have an <ID> of 'WORLD'.This is a reserved word. Solid not created.\n");
        return false;
    }
    if (!m.scene.LookupObject(m.scene.GetFullId(m.id.c_str()), false)) return true;
    LoadError(m.input, "Duplicate solid ID '%s' detected. Solid not created.\n", m.id.c_str());
    return false;
}

// The geometry of a simple solid, or null with its message (also when the
// solid is a composite: then the parts are used).
CdxGeometryID ShapeOf(Making &m)
{
    const SolidValues &v = m.record.values;
    const bool composite = !m.record.parts.empty();
    if (composite && v.geometry[0])
        LoadWarning(m.input, "Defined both geometry and parts for solid '%s', using parts only!\n", m.id.c_str());
    if (composite) return nullptr;
    if (!v.geometry[0]) {
        LoadError(m.input, "Neither geometry nor parts specified for solid '%s'. Solid not created.\n", m.id.c_str());
        return nullptr;
    }
    CdxGeometryID geometry = m.scene.LookupGeometry(v.geometry);
    if (!geometry)
        LoadError(m.input, "Geometry '%s' specified for solid '%s'is not created yet. Solid not created.\n",
                  v.geometry, m.id.c_str());
    return geometry;
}

AppearanceRequest RequestOf(const Making &m)
{
    const SolidValues &v = m.record.values;
    const AppearanceValues &a = m.record.appearance;
    const bool composite = !m.record.parts.empty();
    return {a.read && a.primitive[0] ? a.primitive : v.primitive,
            composite ? "" : v.geometry,
            a.read && a.texture[0] ? a.texture : v.texture,
            a.read && Given(a.handlers, "COLOR") ? a.color
            : Given(m.handlers, "COLOR")         ? v.color
                                                 : nullptr,
            m.material,
            "solid",
            m.id.c_str()};
}

// The solid's primitive; false when it needs one and none can be made.
bool PrimitiveOf(Making &m, GraphicsPrimitive *&primitive)
{
    primitive = nullptr;
    if (std::strcmp(m.record.values.primitive, "NOGRAPHICS") == 0) return true;
    const AppearanceRequest request = RequestOf(m);
    primitive = ChoosePrimitive(m.scene, m.input, request);
    if (primitive || !request.geometry[0]) return true;
    LoadError(m.input, "No GraphicsPrimitive could be created for solid '%s'. Solid not created.\n", m.id.c_str());
    return false;
}

// Mass properties given in BODY, scaled: mass s^3, inertia s^5, offset s.
struct MassValues {
    double mass = 0;
    double moi[6];
    double com[3];
    const double *inertia = nullptr;
};

MassValues MassOf(Making &m)
{
    const BodyValues &b = m.record.body;
    const double s = m.scene.GetScale(), s3 = s * s * s;
    MassValues mass;
    if (!b.read) return mass;
    if (Given(b.handlers, "MASS")) mass.mass = b.mass * s3;
    for (int i = 0; i < 6; ++i) mass.moi[i] = b.moi[i] * s3 * s * s;
    for (int i = 0; i < 3; ++i) mass.com[i] = Given(b.handlers, "COM") ? b.com[i] * s : 0.0;
    if (Given(b.handlers, "MOI")) mass.inertia = mass.moi;
    if (Given(b.handlers, "COM") && !mass.inertia)
        LoadWarning(m.input, "You have to supply an inertia tensor in order to use an COM offset for solid '%s'\n",
                    m.id.c_str());
    return mass;
}

bool Enabled(const Making &m)
{
    const SolidValues &v = m.record.values;
    const BodyValues &b = m.record.body;
    const bool dynamic = v.dynamic && !v.frozen;
    if (b.read && Given(b.handlers, "ENABLED")) return dynamic && b.enabled;
    return dynamic && !(m.scene.options & Scene::kCreateDisabled);
}

// A composite of the usable parts, or null with its message.
Composite *MakeComposite(Making &m, std::vector<Graphics *> &partGraphics)
{
    auto composite = std::make_unique<Composite>();
    for (const PartValues &values : m.record.parts) {
        PartRecord part = {};
        if (!MakePart(m.scene, m.input, values, m.id.c_str(), m.material, m.density, part)) continue;
        if (composite->AddComponent(part.geometry, part.graphics, part.excluded, part.relTM, part.material,
                                    part.density) &&
            part.graphics)
            partGraphics.push_back(part.graphics);
    }
    if (composite->GetNumParts() > 0) return composite.release();
    LoadError(m.input, "No <PART>s specified for composite '%s', solid not created\n", m.id.c_str());
    return nullptr;
}

// Creates the solid's model and body at its pose; null with the message.
Solid *Create(Making &m, CdxGeometryID geometry, std::vector<Graphics *> &partGraphics)
{
    const SolidValues &v = m.record.values;
    const MassValues mass = MassOf(m);
    double com[3] = {mass.com[0], mass.com[1], mass.com[2]};
    std::unique_ptr<Solid> solid(geometry ? new Solid : MakeComposite(m, partGraphics));
    if (!solid) return nullptr;
    solid->SetInitialTM(m.pose);
    const bool made = geometry
                          ? solid->CreateFromGeometry(&m.scene, geometry, v.frozen != 0, v.noCollision != 0,
                                                      m.material, m.density, mass.mass, mass.inertia, Enabled(m), com)
                          : static_cast<Composite *>(solid.get())
                                ->Build(&m.scene, v.frozen != 0, m.material, mass.mass, mass.inertia, Enabled(m),
                                        com);
    if (made) return solid.release();
    LoadError(m.input, "Couldn't create solid '%s'. Try to increase pool size\n", m.id.c_str());
    return nullptr;
}

// Collision type, option bits and freezing as the element says.
void ApplyFlags(Making &m, Solid &solid)
{
    const SolidValues &v = m.record.values;
    solid.type = v.collisionType;
    if (Given(m.handlers, "INTERACTABLE")) {
        if (v.interactable)
            solid.SetOptions(Solid::kInteractable);
        else
            solid.ClearOptions(Solid::kInteractable);
    }
    if (Given(m.handlers, "DRAWCONTACTS")) {
        if (v.drawContacts)
            solid.SetOptions(Solid::kDrawContacts);
        else
            solid.ClearOptions(Solid::kDrawContacts);
    }
    // Unfreezing wakes a body; a new body is not frozen, and one the file
    // wants asleep stays asleep.
    if (!(v.dynamic && !v.frozen))
        solid.Freeze();
    else if (solid.GetBody() && RbdBodyIsFrozen(solid.GetBody()))
        solid.UnFreeze();
}

void Build(Making &m)
{
    if (!NameIsFree(m)) return;
    const SolidValues &v = m.record.values;
    m.density = v.density;
    CheckDensityAndMaterial(m.handlers, m.input, &m.scene, m.id.c_str(), m.density, -1, m.material, v.material, -1);
    CdxGeometryID geometry = ShapeOf(m);
    if (!geometry && m.record.parts.empty()) return;
    PlaceElement(&m.scene, m.input, m.handlers, v.transform, "solid", m.id.c_str(), m.pose);
    GraphicsPrimitive *primitive = nullptr;
    if (!PrimitiveOf(m, primitive)) return;
    std::vector<Graphics *> partGraphics;
    Solid *solid = Create(m, geometry, partGraphics);
    if (!solid) return;
    ApplyBody(*solid, m.scene, m.record.body);
    ApplyFlags(m, *solid);
    for (Graphics *graphics : partGraphics) graphics->SetBaseTM(solid->GetTM());
    if (primitive) {
        Graphics *graphics = MakeAppearance(m.scene, m.input, primitive, RequestOf(m), m.record.appearance);
        graphics->SetBaseTM(solid->GetTM());
        solid->SetGraphics(graphics);
    }
    m.scene.InsertObject(m.id.c_str(), solid);
    if (solid->GetModel()) CdxModelSetName(solid->GetModel(), solid->GetName());
}

} // namespace

int LoadSolid(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    auto record = std::make_unique<SolidRecord>();
    SolidValues &v = record->values;
    v.dynamic = 1;
    v.density = -1;
    SetDefaultID(v.id, element->attributes, kSolidTextSize);
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(SolidValues, id), kSolidTextSize),
        PX_XML_VALUE("MATERIAL", PxXMLParseString, offsetof(SolidValues, material), kSolidTextSize),
        PX_XML_VALUE("DENSITY", PxXMLParseDouble, offsetof(SolidValues, density), 1),
        PX_XML_VALUE("COLOR", PxXMLParseColor, offsetof(SolidValues, color), 4),
        PX_XML_VALUE("TEXTURE", PxXMLParseString, offsetof(SolidValues, texture), kSolidTextSize),
        PX_XML_VALUE("COLLISION_TYPE", PxXMLParseInt, offsetof(SolidValues, collisionType), 1),
        PX_XML_VALUE("GEOMETRY_ID", PxXMLParseString, offsetof(SolidValues, geometry), kSolidTextSize),
        PX_XML_VALUE("GRAPHICSPRIM", PxXMLParseString, offsetof(SolidValues, primitive), kSolidTextSize),
        PX_XML_VALUE("FROZEN", PxXMLParseUInt, offsetof(SolidValues, frozen), 1),
        PX_XML_VALUE("DYNAMIC", PxXMLParseUInt, offsetof(SolidValues, dynamic), 1),
        PX_XML_VALUE("INTERACTABLE", PxXMLParseUInt, offsetof(SolidValues, interactable), 1),
        PX_XML_VALUE("DRAWCONTACTS", PxXMLParseUInt, offsetof(SolidValues, drawContacts), 1),
        PX_XML_VALUE("NOCOLLISION", PxXMLParseUInt, offsetof(SolidValues, noCollision), 1),
        PX_XML_ELEMENT("PART", LoadSolidPart),
        PX_XML_ELEMENT("BODY", LoadSolidBody),
        PX_XML_ELEMENT("GRAPHICS", LoadSolidAppearance),
        KELMAR_TRANSFORM_TAGS(SolidValues, transform),
        PX_XML_END};
    const int result = ProcessFor(record.get(), element, handlers, &v);
    if (!scene) return result;
    Making m{*scene, input, handlers, *record, v.id[0] ? std::string(v.id) : scene->MakeDefaultId("OBJ"), -1, -1, {}};
    Build(m);
    return result;
}

} // namespace kelmar
