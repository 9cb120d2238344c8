// The plane geometry: the local x-y plane bounding the solid half-space
// z <= 0; its normal is the local +z axis.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

#include <float.h>

namespace {

// A normal component this close to +-1 makes the plane axis-aligned.
const PxReal kAxisAligned = 0.9999995;
// Support points of the unbounded half-space are taken this far out.
const PxReal kFar = 1e30;

void planeAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    PxVector3 lo = {-DBL_MAX, -DBL_MAX, -DBL_MAX}, hi = {DBL_MAX, DBL_MAX, DBL_MAX};
    if (!transform) {
        hi[2] = 0.0;
    } else {
        // Only a plane facing along a world axis bounds the solid on it.
        for (int k = 0; k < 3; ++k) {
            if (transform[2][k] >= kAxisAligned) hi[k] = transform[3][k];
            if (transform[2][k] <= -kAxisAligned) lo[k] = transform[3][k];
        }
    }
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
}

void planeXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, planeAABB);
}

// A half-space has no finite bounding sphere.
void planeBSphere(CdxGeometryID, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = DBL_MAX;
}

// Straight along the normal the support is the plane origin; any other
// direction runs off to the far limit, staying in the solid (z <= 0).
void planeMaximumPoint(CdxGeometryID, const PxMatrix4 transform, const PxVector3 direction, PxVector3 point)
{
    const PxReal(*tm)[4] = transform ? transform : gCxIdentityTM;
    PxVector3 local;
    PxV3MulTMDirInverse(local, direction, tm);
    PxV3Normalize(local);
    PxVector3 far = {kFar * local[0], kFar * local[1], local[2] < 0.0 ? kFar * local[2] : 0.0};
    PxV3MulTM(point, far, tm);
}

int16_t planeMassProperties(CdxGeometryID, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    PxM4Identity(relTransform);
    PxM3Identity(inertia);
    *volume = 1.0;
    return 1;
}

} // namespace

CdxGeometryID CdxPlaneCreate(void)
{
    CdxPlaneRecord *plane = static_cast<CdxPlaneRecord *>(
        CxPrimitiveCreate(sizeof(CdxPlaneRecord), gCdxPlaneTypeId, "CdxPlaneCreate"));
    return plane ? &plane->header : nullptr;
}

void CdxPlaneGetNormal(CdxGeometryID, const PxMatrix4 transform, PxVector3 normal)
{
    if (transform)
        PxV3Copy(normal, transform[2]);
    else
        PxV3Set(normal, 0.0, 0.0, 1.0);
}

PxReal CdxPlaneGetDistanceToPoint(CdxGeometryID, const PxMatrix4 transform, const PxVector3 point)
{
    if (!transform) return point[2];
    PxVector3 offset;
    PxV3Sub(offset, point, transform[3]);
    return PxV3Dot(offset, transform[2]);
}

CdxGeometryTypeID CdxPlaneRegisterType(void)
{
    return CxPrimitiveRegister(&gCdxPlaneTypeId, "CdxPlane", planeAABB, planeXYAABB, planeBSphere, planeMaximumPoint,
                               planeMassProperties);
}

CdxGeometryTypeID CdxPlaneGetTypeId(void)
{
    return gCdxPlaneTypeId;
}

// The point where the segment crosses the plane; a segment lying in the
// plane hits at p0.
int CdxPlaneLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    if (!model || !result || !CxPlaneRecord(model->geometry)) return 0;
    const PxReal(*tm)[4] = model->transform ? (const PxReal(*)[4]) * model->transform : nullptr;
    PxReal d0 = CdxPlaneGetDistanceToPoint(model->geometry, tm, p0);
    PxReal d1 = CdxPlaneGetDistanceToPoint(model->geometry, tm, p1);
    if ((d0 > 0.0 && d1 > 0.0) || (d0 < 0.0 && d1 < 0.0)) return 0;
    PxReal t = d0 == d1 ? 0.0 : d0 / (d0 - d1);
    PxVector3 u, point, normal;
    PxV3Sub(u, p1, p0);
    PxV3AddScaled(point, p0, u, t);
    CdxPlaneGetNormal(model->geometry, tm, normal);
    return CxLineSegHit(model, result, point, normal, t * PxV3Length(u));
}
