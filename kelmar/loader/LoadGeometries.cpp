// GEOMETRIES: spheres, boxes, cylinders and planes (lengths times the scene scale).
#include <cstddef>
#include <cstring>
#include <string>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kIdSize = 256;

struct GeometryValues {
    char id[kIdSize];
    double radius, height;
    double dims[3];
    double params[2];
};

bool Called(const PxXMLHandler *handlers, const char *tag)
{
    return PxXMLHandlerWasCalled(handlers, tag) && PxXMLHandlerGetError(handlers, tag) == PX_XML_OK;
}

CdxGeometryID MakeGeometry(const char *kind, const PxXMLHandler *handlers, const GeometryValues &v, double s)
{
    const std::string k = kind;
    if (k == "SPHERE") return CdxSphereCreate(s * v.radius);
    if (k == "BOX") return CdxBoxCreate(s * v.dims[0], s * v.dims[1], s * v.dims[2]);
    if (k == "PLANE") return CdxPlaneCreate();
    if (k == "CYLINDER") {
        const bool byParams = Called(handlers, "PARAMS");
        return CdxCylinderCreate(s * (byParams ? v.params[0] : v.radius), s * (byParams ? v.params[1] : v.height));
    }
    return nullptr;
}

int LoadGeometry(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    GeometryValues v = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kIdSize - 1);
    PxXMLHandler handlers[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(GeometryValues, id), kIdSize),
                               PX_XML_VALUE("RADIUS", PxXMLParseDouble, offsetof(GeometryValues, radius), 1),
                               PX_XML_VALUE("HEIGHT", PxXMLParseDouble, offsetof(GeometryValues, height), 1),
                               PX_XML_VALUE("DIMS", PxXMLParseDoubleArray, offsetof(GeometryValues, dims), 3),
                               PX_XML_VALUE("SIZE", PxXMLParseDoubleArray, offsetof(GeometryValues, dims), 3),
                               PX_XML_VALUE("PARAMS", PxXMLParseDoubleArray, offsetof(GeometryValues, params), 2),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!scene) return result;
    const std::string id = v.id[0] ? std::string(v.id) : scene->MakeDefaultId("GEOM");
    CdxGeometryID geometry = MakeGeometry(element->name, handlers, v, scene->GetScale());
    if (!geometry) return result;
    if (scene->InsertGeometry(id.c_str(), geometry)) {
        input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE,
                            "Duplicate geometry ID '%s' detected. Geometry not created.\n", id.c_str());
        CdxGeometryDestroy(geometry);
    }
    return result;
}

} // namespace

int LoadGeometries(PxXMLElement *element)
{
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("SPHERE", LoadGeometry), PX_XML_ELEMENT("BOX", LoadGeometry),
                               PX_XML_ELEMENT("CYLINDER", LoadGeometry), PX_XML_ELEMENT("PLANE", LoadGeometry),
                               PX_XML_END};
    return PxXMLElementProcess(element, handlers, nullptr);
}

} // namespace kelmar
