// The triangle-list geometry: triangles the caller hands out on demand
// through a callback, inside a caller-given bounding box centred on the
// list's origin.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

namespace {

void listShape(CdxGeometryID geometry, const PxMatrix4 transform, CxShape *shape)
{
    CxShapeSetBox(shape, transform, CxTriangleListRecord(geometry)->radii);
}

// The caller's bounding box placed by the transform.
void listAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    CxPrimitiveBoxBounds(geometry, transform, CxTriangleListRecord(geometry)->radii, min, max);
}

void listXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, listAABB);
}

void listBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = CxTriangleListRecord(geometry)->sphereRadius;
}

void listMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction, PxVector3 point)
{
    CxShape shape;
    listShape(geometry, transform, &shape);
    CxShapeSupport(&shape, direction, point);
}

// As a solid box of the bounding half-extents.
int16_t listMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    return CxPrimitiveBoxMass(CxTriangleListRecord(geometry)->radii, relTransform, inertia, volume);
}

} // namespace

CdxGeometryID CdxTriangleListCreate(PxReal dx, PxReal dy, PxReal dz, CdxTriangleListCallback callback)
{
    if (!callback) return nullptr;
    if (!CxPrimitiveValidLengths(dx, dy, dz)) {
        CxPrimitiveWarn("CdxTriangleListCreate", "the box lengths must be zero or positive");
        return nullptr;
    }
    CdxTriangleListRecord *list = static_cast<CdxTriangleListRecord *>(
        CxPrimitiveCreate(sizeof(CdxTriangleListRecord), gCdxTriangleListTypeId, "CdxTriangleListCreate"));
    if (!list) return nullptr;
    CxPrimitiveSetHalfExtents(list->radii, &list->sphereRadius, dx, dy, dz);
    list->callback = callback;
    return &list->header;
}

void CdxTriangleListSetBBDimensions(CdxGeometryID geometry, PxReal dx, PxReal dy, PxReal dz)
{
    CdxTriangleListRecord *list = CxTriangleListRecord(geometry);
    if (!list || !CxPrimitiveValidLengths(dx, dy, dz)) {
        CxPrimitiveWarn("CdxTriangleListSetBBDimensions", "needs a triangle list and lengths >= 0");
        return;
    }
    CxPrimitiveSetHalfExtents(list->radii, &list->sphereRadius, dx, dy, dz);
    CdxGeometryNoteEdit();
}

void CdxTriangleListSetList(CdxGeometryID geometry, CdxUserTriangle *triangles, int capacity, void *userData)
{
    CdxTriangleListRecord *list = CxTriangleListRecord(geometry);
    if (!list || capacity < 0 || (capacity > 0 && !triangles)) {
        CxPrimitiveWarn("CdxTriangleListSetList", "needs a triangle list and an array of capacity >= 0");
        return;
    }
    list->triangles = triangles;
    list->capacity = capacity;
    list->userData = userData;
}

void CdxTriangleListGetList(CdxGeometryID geometry, CdxUserTriangle **triangles, int *capacity, void **userData)
{
    CdxTriangleListRecord *list = CxTriangleListRecord(geometry);
    if (triangles) *triangles = list ? list->triangles : nullptr;
    if (capacity) *capacity = list ? list->capacity : 0;
    if (userData) *userData = list ? list->userData : nullptr;
}

int CdxUserTriangleComputeNormal(CdxUserTriangle *triangle)
{
    if (!triangle || !triangle->normal) return 0;
    PxVector3 ab, bc;
    PxV3Sub(ab, triangle->vertex[1], triangle->vertex[0]);
    PxV3Sub(bc, triangle->vertex[2], triangle->vertex[1]);
    PxV3Cross(triangle->normal, ab, bc);
    if (PxV3Normalize(triangle->normal) == 0.0) PxV3Set(triangle->normal, 1.0, 0.0, 0.0);
    return 1;
}

CdxGeometryTypeID CdxTriangleListRegisterType(void)
{
    return CxPrimitiveRegister(&gCdxTriangleListTypeId, "CdxTriangleList", listAABB, listXYAABB, listBSphere,
                               listMaximumPoint, listMassProperties);
}

CdxGeometryTypeID CdxTriangleListGetTypeId(void)
{
    return gCdxTriangleListTypeId;
}
