// Graphics primitives made from collision geometries.
#include <kelmar/Scene.h>

#include <kelmar/CdxGeometry.h>
#include <kelmar/CdxPrimitives.h>
#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/GraphicsPrimitive.h>

namespace kelmar {

// The primitive of a geometry is registered under the geometry's name in
// the current scope, so every solid on that geometry shares it.
GraphicsPrimitive *Scene::GraphicsPrimFromGeometry(const char *name)
{
    GraphicsPrimitive *primitive = LookupGP(Scoped(name).c_str(), false);
    if (primitive) return primitive;
    CdxGeometryID geometry = LookupGeometry(name);
    primitive = geometry ? CreateGraphicsPrimFromGeometry(geometry) : nullptr;
    if (primitive && InsertGP(name, primitive)) {
        delete primitive;
        return nullptr;
    }
    return primitive;
}

// Values pass through single precision, as the drawing uses them.
GraphicsPrimitive *Scene::CreateGraphicsPrimFromGeometry(CdxGeometryID g)
{
    auto f = [](double v) { return static_cast<double>(static_cast<float>(v)); };
    const CdxGeometryTypeID type = CdxGeometryGetTypeId(g);
    if (type < 0) return nullptr;
    if (type == CdxSphereGetTypeId()) return GraphicsPrimitive::Sphere(f(CdxSphereGetRadius(g)));
    if (type == CdxBoxGetTypeId()) {
        PxVector3 d;
        CdxBoxGetDimensions(g, d);
        return GraphicsPrimitive::Box(f(d[0]), f(d[1]), f(d[2]));
    }
    if (type == CdxCylinderGetTypeId())
        return GraphicsPrimitive::Cylinder(f(CdxCylinderGetRadius(g)), f(CdxCylinderGetHeight(g)));
    if (type == CdxPlaneGetTypeId()) return GraphicsPrimitive::Square(24, 24);
    if (type == CdxTriangleMeshGetTypeId()) return GraphicsPrimitive::Mesh(g);
    return nullptr;
}

} // namespace kelmar
