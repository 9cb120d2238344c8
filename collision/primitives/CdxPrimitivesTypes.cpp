// Type numbers, record access and the shared steps of the per-type
// functions of the six primitive geometries; type registration.
#include "primitives/CxPrimitivePair.h"
#include "primitives/CxPrimitiveRecords.h"

#include <kelmar/CdxFrame.h>
#include <kelmar/CdxMessage.h>
#include <kelmar/PxMemory.h>
#include <kelmar/PxVector.h>

#include <stdio.h>
#include <string.h>

CdxGeometryTypeID gCdxSphereTypeId = -1;
CdxGeometryTypeID gCdxBoxTypeId = -1;
CdxGeometryTypeID gCdxPlaneTypeId = -1;
CdxGeometryTypeID gCdxCylinderTypeId = -1;
CdxGeometryTypeID gCdxConeTypeId = -1;
CdxGeometryTypeID gCdxTriangleListTypeId = -1;

namespace {

const int kPrimitiveTypeCount = 6;

template <typename Record> Record *recordOf(CdxGeometryID geometry, CdxGeometryTypeID id)
{
    if (!geometry || id < 0 || geometry->typeId != id) return nullptr;
    return reinterpret_cast<Record *>(geometry);
}

// Type numbers die with the registry: CdxTerm runs this.
void forgetTypeNumbers(void)
{
    gCdxSphereTypeId = gCdxBoxTypeId = gCdxPlaneTypeId = -1;
    gCdxCylinderTypeId = gCdxConeTypeId = gCdxTriangleListTypeId = -1;
}

} // namespace

CdxSphereRecord *CxSphereRecord(CdxGeometryID g)
{
    return recordOf<CdxSphereRecord>(g, gCdxSphereTypeId);
}
CdxBoxRecord *CxBoxRecord(CdxGeometryID g)
{
    return recordOf<CdxBoxRecord>(g, gCdxBoxTypeId);
}
CdxPlaneRecord *CxPlaneRecord(CdxGeometryID g)
{
    return recordOf<CdxPlaneRecord>(g, gCdxPlaneTypeId);
}
CdxCylinderRecord *CxCylinderRecord(CdxGeometryID g)
{
    return recordOf<CdxCylinderRecord>(g, gCdxCylinderTypeId);
}
CdxConeRecord *CxConeRecord(CdxGeometryID g)
{
    return recordOf<CdxConeRecord>(g, gCdxConeTypeId);
}
CdxTriangleListRecord *CxTriangleListRecord(CdxGeometryID g)
{
    return recordOf<CdxTriangleListRecord>(g, gCdxTriangleListTypeId);
}

void CxPrimitiveWarn(const char *function, const char *problem)
{
    char text[200];
    snprintf(text, sizeof text, "%s: %s", function, problem);
    CdxError(gCdxCoreErrorList, CdxErrWarning, text);
}

void *CxPrimitiveCreate(size_t size, CdxGeometryTypeID type, const char *what)
{
    if (type < 0) {
        CxPrimitiveWarn(what, "the geometry type is not registered");
        return nullptr;
    }
    void *record = PxMemoryAPI.createZeroed(size);
    if (!record) {
        CxPrimitiveWarn(what, "out of memory");
        return nullptr;
    }
    CdxGeometryInitObject(static_cast<CdxGeometryID>(record), type);
    return record;
}

void CxPrimitiveDestroy(CdxGeometryID geometry)
{
    PxMemoryAPI.destroy(geometry);
}

void CxPrimitiveStoreBounds(CdxGeometryID geometry, const PxVector3 lo, const PxVector3 hi, PxVector3 min,
                            PxVector3 max)
{
    // Every box of every moving primitive passes here each step. Read
    // first: the compiler cannot tell the outputs from the inputs, and
    // storing as it read cost a check for overlap and a reload per store.
    const PxReal box[6] = {lo[0], hi[0], lo[1], hi[1], lo[2], hi[2]};
    for (int k = 0; k < 6; ++k) geometry->bounds[k] = box[k];
    for (int axis = 0; axis < 3; ++axis) {
        min[axis] = box[2 * axis];
        max[axis] = box[2 * axis + 1];
    }
}

int CxPrimitiveValidLengths(PxReal dx, PxReal dy, PxReal dz)
{
    return dx >= 0.0 && dy >= 0.0 && dz >= 0.0;
}

void CxPrimitiveSetHalfExtents(PxVector3 radii, PxReal *sphereRadius, PxReal dx, PxReal dy, PxReal dz)
{
    PxV3Set(radii, 0.5 * dx, 0.5 * dy, 0.5 * dz);
    *sphereRadius = PxV3Length(radii);
}

// Extent along world axis k: sum_i |R_ik| r_i for local axes R_i.
void CxPrimitiveBoxBounds(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 radii, PxVector3 min,
                          PxVector3 max)
{
    const PxReal(*tm)[4] = transform ? transform : gCxIdentityTM;
    PxVector3 lo, hi;
    for (int k = 0; k < 3; ++k) {
        PxReal extent = fabs(tm[0][k]) * radii[0] + fabs(tm[1][k]) * radii[1] + fabs(tm[2][k]) * radii[2];
        lo[k] = tm[3][k] - extent;
        hi[k] = tm[3][k] + extent;
    }
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
}

// I_ii = (r_j^2 + r_k^2) / 3 per unit mass; volume 8 r_x r_y r_z.
int16_t CxPrimitiveBoxMass(const PxVector3 radii, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    PxM4Identity(relTransform);
    PxM3Identity(inertia);
    for (int i = 0; i < 3; ++i) {
        PxReal rj = radii[(i + 1) % 3], rk = radii[(i + 2) % 3];
        inertia[i][i] = (rj * rj + rk * rk) / 3.0;
    }
    *volume = 8.0 * radii[0] * radii[1] * radii[2];
    return 1;
}

void CxPrimitiveXYFromAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4],
                           CdxGeometryGetAABBFn getAABB)
{
    PxVector3 min, max;
    getAABB(geometry, transform, min, max);
    out[0] = min[0];
    out[1] = max[0];
    out[2] = min[1];
    out[3] = max[1];
}

CdxGeometryTypeID CxPrimitiveRegister(CdxGeometryTypeID *id, const char *name, CdxGeometryGetAABBFn getAABB,
                                      CdxGeometryGetXYAABBFn getXYAABB, CdxGeometryGetBSphereFn getBSphere,
                                      CdxGeometryMaximumPointFn maximumPoint,
                                      CdxGeometryGetMassPropertiesFn getMassProperties)
{
    if (*id >= 0 && strcmp(CdxGeometryGetTypeNameFromId(*id), name) == 0) return *id;
    *id = CdxGeometryRegisterType(name, CxPrimitiveDestroy, getAABB, getXYAABB, getBSphere, maximumPoint,
                                  getMassProperties);
    if (*id >= 0) CdxRegisterTermAction(forgetTypeNumbers);
    return *id;
}

int CxLineSegHit(CdxModelID model, CdxLineSegResult *result, const PxVector3 point, const PxVector3 normal,
                 PxReal distance)
{
    result->model = model;
    PxV3Copy(result->point, point);
    PxV3Copy(result->normal, normal);
    result->distance = distance;
    result->face = -1;
    return 1;
}

void CdxSphereBoxPlaneRegisterTypes(void)
{
    CdxSphereRegisterType();
    CdxBoxRegisterType();
    CdxPlaneRegisterType();
}

void CdxPrimitivesRegisterTypes(void)
{
    CdxSphereBoxPlaneRegisterTypes();
    CdxCylinderRegisterType();
    CdxConeRegisterType();
    CdxTriangleListRegisterType();
}

int CdxPrimitivesGetTypeCount(void)
{
    return kPrimitiveTypeCount;
}
