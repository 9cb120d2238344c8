// The triangle-list geometry: triangles the caller hands out on demand
// through a callback, inside a caller-given bounding box centred on the
// list's origin.
#include "CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

namespace {

void setBox(CdxTriangleListRecord *list, PxReal dx, PxReal dy, PxReal dz)
{
    PxV3Set(list->radii, 0.5 * dx, 0.5 * dy, 0.5 * dz);
    list->sphereRadius = PxV3Length(list->radii);
}

void listShape(CdxGeometryID geometry, const PxMatrix4 transform, CxShape *shape)
{
    CxShapeSetBox(shape, transform, CxTriangleListRecord(geometry)->radii);
}

// The caller's bounding box placed by the transform.
void listAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    const PxReal *r = CxTriangleListRecord(geometry)->radii;
    const PxReal(*tm)[4] = transform ? transform : gCxIdentityTM;
    PxVector3 lo, hi;
    for (int k = 0; k < 3; ++k) {
        PxReal extent = fabs(tm[0][k]) * r[0] + fabs(tm[1][k]) * r[1] + fabs(tm[2][k]) * r[2];
        lo[k] = tm[3][k] - extent;
        hi[k] = tm[3][k] + extent;
    }
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
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

void listMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform,
                      const PxVector3 direction, PxVector3 point)
{
    CxShape shape;
    listShape(geometry, transform, &shape);
    CxShapeSupport(&shape, direction, point);
}

// As a solid box of the bounding half-extents: (r_j^2 + r_k^2) / 3.
int16_t listMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia,
                           PxReal *volume)
{
    const PxReal *r = CxTriangleListRecord(geometry)->radii;
    PxM4Identity(relTransform);
    PxM3Identity(inertia);
    for (int i = 0; i < 3; ++i) {
        PxReal rj = r[(i + 1) % 3], rk = r[(i + 2) % 3];
        inertia[i][i] = (rj * rj + rk * rk) / 3.0;
    }
    *volume = 8.0 * r[0] * r[1] * r[2];
    return 1;
}

}  // namespace

CdxGeometryID CdxTriangleListCreate(PxReal dx, PxReal dy, PxReal dz,
                                    CdxTriangleListCallback callback)
{
    if (!callback) return nullptr;
    if (!(dx >= 0.0 && dy >= 0.0 && dz >= 0.0)) {
        CxPrimitiveWarn("CdxTriangleListCreate", "the box lengths must be zero or positive");
        return nullptr;
    }
    CdxTriangleListRecord *list = static_cast<CdxTriangleListRecord *>(CxPrimitiveCreate(
        sizeof(CdxTriangleListRecord), gCdxTriangleListTypeId, "CdxTriangleListCreate"));
    if (!list) return nullptr;
    setBox(list, dx, dy, dz);
    list->callback = callback;
    return &list->header;
}

void CdxTriangleListSetBBDimensions(CdxGeometryID geometry, PxReal dx, PxReal dy, PxReal dz)
{
    CdxTriangleListRecord *list = CxTriangleListRecord(geometry);
    if (!list || !(dx >= 0.0 && dy >= 0.0 && dz >= 0.0)) {
        CxPrimitiveWarn("CdxTriangleListSetBBDimensions", "needs a triangle list and lengths >= 0");
        return;
    }
    setBox(list, dx, dy, dz);
}

void CdxTriangleListSetList(CdxGeometryID geometry, CdxUserTriangle *triangles, int capacity,
                            void *userData)
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

void CdxTriangleListGetList(CdxGeometryID geometry, CdxUserTriangle **triangles, int *capacity,
                            void **userData)
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
    return CxPrimitiveRegister(&gCdxTriangleListTypeId, "CdxTriangleList", listAABB, listXYAABB,
                               listBSphere, listMaximumPoint, listMassProperties);
}

CdxGeometryTypeID CdxTriangleListGetTypeId(void) { return gCdxTriangleListTypeId; }
