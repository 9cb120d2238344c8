// GEOMETRIES: spheres, boxes, cylinders, planes, pyramids and OBJ meshes
// (lengths times the scene scale), registered under their IDs.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <string>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

const int kIdSize = 256;
const int kMaxFaces = 1024;

struct GeometryValues {
    char id[kIdSize];
    char file[kIdSize];
    double radius, topRadius, height;
    double dims[3];
    double params[2];
    int faces;
    double scale, eps;
    unsigned int flip, merge;
};

CdxGeometryID MakeCylinder(const PxXMLHandler *handlers, const GeometryValues &v, double s)
{
    const bool byParams = Given(handlers, "PARAMS");
    return CdxCylinderCreate(s * (byParams ? v.params[0] : v.radius), s * (byParams ? v.params[1] : v.height));
}

// "./name" is beside the file being read; other names go to the search list.
std::string ResolveBesideFile(const Scene &scene, const char *name)
{
    if (std::strncmp(name, "./", 2) != 0) return name;
    const std::string current = scene.CurrentFile();
    const size_t slash = current.rfind('/');
    return slash == std::string::npos ? std::string(name) : current.substr(0, slash + 1) + (name + 2);
}

CdxGeometryID MakeMesh(Scene &scene, PxXMLInput *input, const PxXMLHandler *handlers, const GeometryValues &v)
{
    const std::string file = ResolveBesideFile(scene, v.file);
    if (!IsRegularFile(file.c_str())) {
        LoadError(input, "Can't open triangle mesh from file '%s'\n", v.file);
        return nullptr;
    }
    const double scale = scene.GetScale() * (Given(handlers, "SCALE") ? v.scale : 1.0);
    CdxGeometryID mesh = MakeMeshFromObj(file.c_str(), scale, v.flip != 0, v.merge != 0, v.eps);
    if (!mesh) LoadError(input, "Can't open triangle mesh from file '%s'\n", v.file);
    return mesh;
}

bool Positive(std::initializer_list<double> lengths)
{
    for (double x : lengths)
        if (!(x > 0) || !std::isfinite(x)) return false;
    return true;
}

// Every length a shape is made from must be a finite number > 0 (the top of
// a pyramid may be a point), and a pyramid has 3 to kMaxFaces sides.
bool SizeIsValid(const std::string &k, const PxXMLHandler *handlers, const GeometryValues &v)
{
    const bool byParams = Given(handlers, "PARAMS");
    if (k == "SPHERE") return Positive({v.radius});
    if (k == "BOX") return Positive({v.dims[0], v.dims[1], v.dims[2]});
    if (k == "CYLINDER") return byParams ? Positive({v.params[0], v.params[1]}) : Positive({v.radius, v.height});
    if (k == "PYRAMID")
        return Positive({v.radius, v.height, v.topRadius + 1}) && v.faces >= 3 && v.faces <= kMaxFaces;
    if (k == "MESH") return !Given(handlers, "SCALE") || Positive({v.scale});
    return true;
}

CdxGeometryID MakeGeometry(Scene &scene, PxXMLInput *input, const char *kind, const PxXMLHandler *handlers,
                           const GeometryValues &v)
{
    const std::string k = kind;
    const double s = scene.GetScale();
    if (k == "SPHERE") return CdxSphereCreate(s * v.radius);
    if (k == "BOX") return CdxBoxCreate(s * v.dims[0], s * v.dims[1], s * v.dims[2]);
    if (k == "PLANE") return CdxPlaneCreate();
    if (k == "CYLINDER") return MakeCylinder(handlers, v, s);
    if (k == "PYRAMID") return MakePyramid(s * v.radius, s * v.topRadius, s * v.height, v.faces);
    if (k == "MESH") return MakeMesh(scene, input, handlers, v);
    return nullptr;
}

int LoadGeometry(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    GeometryValues v = {};
    v.faces = 4;
    v.eps = 1e-6;
    SetDefaultID(v.id, element->attributes, kIdSize);
    PxXMLHandler handlers[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(GeometryValues, id), kIdSize),
                               PX_XML_VALUE("RADIUS", PxXMLParseDouble, offsetof(GeometryValues, radius), 1),
                               PX_XML_VALUE("TOPRADIUS", PxXMLParseDouble, offsetof(GeometryValues, topRadius), 1),
                               PX_XML_VALUE("HEIGHT", PxXMLParseDouble, offsetof(GeometryValues, height), 1),
                               PX_XML_VALUE("DIMS", PxXMLParseDoubleArray, offsetof(GeometryValues, dims), 3),
                               PX_XML_VALUE("SIZE", PxXMLParseDoubleArray, offsetof(GeometryValues, dims), 3),
                               PX_XML_VALUE("PARAMS", PxXMLParseDoubleArray, offsetof(GeometryValues, params), 2),
                               PX_XML_VALUE("FACES", PxXMLParseInt, offsetof(GeometryValues, faces), 1),
                               PX_XML_VALUE("FILE", PxXMLParseString, offsetof(GeometryValues, file), kIdSize),
                               PX_XML_VALUE("SCALE", PxXMLParseDouble, offsetof(GeometryValues, scale), 1),
                               PX_XML_VALUE("FLIP", PxXMLParseUInt, offsetof(GeometryValues, flip), 1),
                               PX_XML_VALUE("MERGE", PxXMLParseUInt, offsetof(GeometryValues, merge), 1),
                               PX_XML_VALUE("EPS", PxXMLParseDouble, offsetof(GeometryValues, eps), 1),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!scene) return result;
    const std::string id = v.id[0] ? std::string(v.id) : scene->MakeDefaultId("GEOM");
    if (!SizeIsValid(element->name, handlers, v)) {
        LoadError(input, "Geometry '%s' has an invalid size. Geometry not created.\n", id.c_str());
        return result;
    }
    CdxGeometryID geometry = MakeGeometry(*scene, input, element->name, handlers, v);
    if (!geometry) return result;
    if (scene->InsertGeometry(id.c_str(), geometry)) {
        LoadError(input, "Duplicate geometry ID '%s' detected. Geometry not created.\n", id.c_str());
        CdxGeometryDestroy(geometry);
    }
    return result;
}

} // namespace

int LoadGeometries(PxXMLElement *element)
{
    PxXMLHandler handlers[] = {PX_XML_ELEMENT("SPHERE", LoadGeometry),
                               PX_XML_ELEMENT("BOX", LoadGeometry),
                               PX_XML_ELEMENT("CYLINDER", LoadGeometry),
                               PX_XML_ELEMENT("PLANE", LoadGeometry),
                               PX_XML_ELEMENT("PYRAMID", LoadGeometry),
                               PX_XML_ELEMENT("MESH", LoadGeometry),
                               PX_XML_END};
    return PxXMLElementProcess(element, handlers, nullptr);
}

} // namespace kelmar
