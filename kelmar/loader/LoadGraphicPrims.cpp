// GRAPHICPRIMS: drawable shapes registered by name for GRAPHICS elements
// and solids (lengths times the scene scale).
#include <string>

#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kIdSize = 256;

struct PrimitiveValues {
    char id[kIdSize];
    double radius, topRadius, height, length, width;
    double dims[3];
    double radii[2];
    int corners;
    double start[3], end[3];
    double params[4];
};

// PARAMS replaces the separate tags when given.
double Pick(const PxXMLHandler *handlers, const PrimitiveValues &v, int index, double value)
{
    return Given(handlers, "PARAMS") ? v.params[index] : value;
}

GraphicsPrimitive *MakeCone(const PxXMLHandler *h, const PrimitiveValues &v, double s)
{
    const double radius = s * Pick(h, v, 0, v.radius);
    const bool closed = Given(h, "TOPRADIUS") || Given(h, "PARAMS");
    if (!closed) return GraphicsPrimitive::Cone(radius, s * v.height);
    return GraphicsPrimitive::ClosedCone(radius, s * Pick(h, v, 1, v.topRadius), s * Pick(h, v, 2, v.height));
}

GraphicsPrimitive *MakeFrustum(const PxXMLHandler *h, const PrimitiveValues &v, double s)
{
    const int corners = Given(h, "PARAMS") ? static_cast<int>(v.params[3]) : v.corners;
    return GraphicsPrimitive::Frustum(s * Pick(h, v, 0, v.radii[0]), s * Pick(h, v, 1, v.radii[1]),
                                      s * Pick(h, v, 2, v.height), corners);
}

GraphicsPrimitive *MakeLine(const PrimitiveValues &v, double s)
{
    const double a[3] = {s * v.start[0], s * v.start[1], s * v.start[2]};
    const double b[3] = {s * v.end[0], s * v.end[1], s * v.end[2]};
    return GraphicsPrimitive::Line(a, b);
}

GraphicsPrimitive *MakePrimitive(const std::string &k, const PxXMLHandler *h, const PrimitiveValues &v, double s)
{
    if (k == "SPHERE") return GraphicsPrimitive::Sphere(s * v.radius);
    if (k == "BOX") return GraphicsPrimitive::Box(s * v.dims[0], s * v.dims[1], s * v.dims[2]);
    if (k == "SQUARE") return GraphicsPrimitive::Square(s * v.params[0], s * v.params[1]);
    if (k == "CYLINDER") return GraphicsPrimitive::Cylinder(s * Pick(h, v, 0, v.radius), s * Pick(h, v, 1, v.height));
    if (k == "CONE") return MakeCone(h, v, s);
    if (k == "FRUSTUM") return MakeFrustum(h, v, s);
    if (k == "LINE") return MakeLine(v, s);
    const double length = s * Pick(h, v, 0, v.length), width = s * Pick(h, v, 1, v.width);
    return k == "ARROW" ? GraphicsPrimitive::Arrow(length, width) : GraphicsPrimitive::Frame(length, width);
}

int LoadPrimitive(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    PrimitiveValues v = {};
    SetDefaultID(v.id, element->attributes, kIdSize);
    PxXMLHandler handlers[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(PrimitiveValues, id), kIdSize),
                               PX_XML_VALUE("RADIUS", PxXMLParseDouble, offsetof(PrimitiveValues, radius), 1),
                               PX_XML_VALUE("TOPRADIUS", PxXMLParseDouble, offsetof(PrimitiveValues, topRadius), 1),
                               PX_XML_VALUE("HEIGHT", PxXMLParseDouble, offsetof(PrimitiveValues, height), 1),
                               PX_XML_VALUE("DIMS", PxXMLParseDoubleArray, offsetof(PrimitiveValues, dims), 3),
                               PX_XML_VALUE("RADII", PxXMLParseDoubleArray, offsetof(PrimitiveValues, radii), 2),
                               PX_XML_VALUE("CORNERS", PxXMLParseInt, offsetof(PrimitiveValues, corners), 1),
                               PX_XML_VALUE("START", PxXMLParseDoubleArray, offsetof(PrimitiveValues, start), 3),
                               PX_XML_VALUE("END", PxXMLParseDoubleArray, offsetof(PrimitiveValues, end), 3),
                               PX_XML_VALUE("LEN", PxXMLParseDouble, offsetof(PrimitiveValues, length), 1),
                               PX_XML_VALUE("WIDTH", PxXMLParseDouble, offsetof(PrimitiveValues, width), 1),
                               PX_XML_VALUE("WITDH", PxXMLParseDouble, offsetof(PrimitiveValues, width), 1),
                               PX_XML_VALUE("PARAMS", PxXMLParseDoubleArray, offsetof(PrimitiveValues, params), 4),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!scene) return result;
    const std::string id = v.id[0] ? std::string(v.id) : scene->MakeDefaultId("GP");
    GraphicsPrimitive *primitive = MakePrimitive(element->name, handlers, v, scene->GetScale());
    if (scene->InsertGP(id.c_str(), primitive)) {
        LoadError(input, "Duplicate graphics primitive '%s' detected. Graphics Primitive not created.\n", id.c_str());
        delete primitive;
    }
    return result;
}

} // namespace

int LoadGraphicPrims(PxXMLElement *element)
{
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("SPHERE", LoadPrimitive), PX_XML_ELEMENT("BOX", LoadPrimitive),
                               PX_XML_ELEMENT("SQUARE", LoadPrimitive), PX_XML_ELEMENT("CYLINDER", LoadPrimitive),
                               PX_XML_ELEMENT("CONE", LoadPrimitive),   PX_XML_ELEMENT("FRUSTUM", LoadPrimitive),
                               PX_XML_ELEMENT("LINE", LoadPrimitive),   PX_XML_ELEMENT("ARROW", LoadPrimitive),
                               PX_XML_ELEMENT("FRAME", LoadPrimitive),  PX_XML_END};
    return PxXMLElementProcess(element, handlers, nullptr);
}

} // namespace kelmar
