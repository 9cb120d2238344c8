// The cylinder geometry: radius and half-height about the local z axis,
// centred on the origin.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

namespace {

// Direction components below this count as zero for the support point.
const PxReal kSupportZero = 9.999999747378752e-05;

void setParameters(CdxCylinderRecord *cylinder, PxReal radius, PxReal height)
{
    cylinder->radius = radius;
    cylinder->halfHeight = 0.5 * height;
    cylinder->sphereRadius = sqrt(radius * radius + cylinder->halfHeight * cylinder->halfHeight);
}

// Extent along world axis k: radius sqrt(1 - a_k^2) + halfHeight |a_k| for
// the axis a (local z in the world).
void cylinderAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    const PxReal(*tm)[4] = transform ? transform : gCxIdentityTM;
    PxVector3 lo, hi;
    for (int k = 0; k < 3; ++k) {
        PxReal a = tm[2][k];
        PxReal across = 1.0 - a * a;
        PxReal extent = cylinder->radius * (across > 0.0 ? sqrt(across) : 0.0) + cylinder->halfHeight * fabs(a);
        lo[k] = tm[3][k] - extent;
        hi[k] = tm[3][k] + extent;
    }
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
}

void cylinderXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, cylinderAABB);
}

void cylinderBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = CxCylinderRecord(geometry)->sphereRadius;
}

void cylinderMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction,
                          PxVector3 point)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    CxShape shape;
    CxShapeSetCylinder(&shape, transform, cylinder->radius, cylinder->halfHeight);
    CxShapeSupportLimit(&shape, direction, kSupportZero, point);
}

// Solid cylinder of length L = 2 halfHeight: I_xx = I_yy = r^2/4 + L^2/12,
// I_zz = r^2/2 per unit mass.
int16_t cylinderMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    PxReal r2 = cylinder->radius * cylinder->radius, length = 2.0 * cylinder->halfHeight;
    PxM4Identity(relTransform);
    PxM3Identity(inertia);
    inertia[0][0] = inertia[1][1] = 0.25 * r2 + length * length / 12.0;
    inertia[2][2] = 0.5 * r2;
    *volume = M_PI * r2 * length;
    return 1;
}

CdxCylinderRecord *cylinderOrWarn(CdxGeometryID geometry, PxReal value, const char *function)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    if (!cylinder || !(value >= 0.0)) {
        CxPrimitiveWarn(function, "needs a cylinder and a length >= 0");
        return nullptr;
    }
    return cylinder;
}

} // namespace

CdxGeometryID CdxCylinderCreate(PxReal radius, PxReal height)
{
    if (!(radius >= 0.0 && height >= 0.0)) {
        CxPrimitiveWarn("CdxCylinderCreate", "the radius and height must be zero or positive");
        return nullptr;
    }
    CdxCylinderRecord *cylinder = static_cast<CdxCylinderRecord *>(
        CxPrimitiveCreate(sizeof(CdxCylinderRecord), gCdxCylinderTypeId, "CdxCylinderCreate"));
    if (!cylinder) return nullptr;
    setParameters(cylinder, radius, height);
    return &cylinder->header;
}

void CdxCylinderSetRadius(CdxGeometryID geometry, PxReal radius)
{
    if (CdxCylinderRecord *cylinder = cylinderOrWarn(geometry, radius, "CdxCylinderSetRadius")) {
        setParameters(cylinder, radius, 2.0 * cylinder->halfHeight);
        CdxGeometryNoteEdit();
    }
}

void CdxCylinderSetHeight(CdxGeometryID geometry, PxReal height)
{
    if (CdxCylinderRecord *cylinder = cylinderOrWarn(geometry, height, "CdxCylinderSetHeight")) {
        setParameters(cylinder, cylinder->radius, height);
        CdxGeometryNoteEdit();
    }
}

void CdxCylinderSetGeometricalParameters(CdxGeometryID geometry, PxReal radius, PxReal height)
{
    CdxCylinderRecord *cylinder = cylinderOrWarn(geometry, fmin(radius, height),
                                                 "CdxCylinderSetGeometricalParameters");
    if (!cylinder) return;
    setParameters(cylinder, radius, height);
    CdxGeometryNoteEdit();
}

PxReal CdxCylinderGetRadius(CdxGeometryID geometry)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    return cylinder ? cylinder->radius : 0.0;
}

PxReal CdxCylinderGetHeight(CdxGeometryID geometry)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    return cylinder ? 2.0 * cylinder->halfHeight : 0.0;
}

PxReal CdxCylinderGetHalfHeight(CdxGeometryID geometry)
{
    CdxCylinderRecord *cylinder = CxCylinderRecord(geometry);
    return cylinder ? cylinder->halfHeight : 0.0;
}

void CdxCylinderGetEndCenters(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 top, PxVector3 bottom)
{
    const PxReal(*tm)[4] = transform ? transform : gCxIdentityTM;
    PxReal half = CdxCylinderGetHalfHeight(geometry);
    PxV3AddScaled(top, tm[3], tm[2], half);
    PxV3AddScaled(bottom, tm[3], tm[2], -half);
}

CdxGeometryTypeID CdxCylinderRegisterType(void)
{
    return CxPrimitiveRegister(&gCdxCylinderTypeId, "CdxCylinder", cylinderAABB, cylinderXYAABB, cylinderBSphere,
                               cylinderMaximumPoint, cylinderMassProperties);
}

CdxGeometryTypeID CdxCylinderGetTypeId(void)
{
    return gCdxCylinderTypeId;
}

// The nearest crossing of the side or a cap; the normal is the cap's when
// the hit is nearer the cap plane than the side.
int CdxCylinderLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    if (!model || !result) return 0;
    CdxCylinderRecord *cylinder = CxCylinderRecord(model->geometry);
    if (!cylinder) return 0;
    CxShape shape;
    CxShapeFromModel(model, &shape);
    PxReal t;
    if (!CxShapeSegmentFirstHit(&shape, p0, p1, &t)) return 0;
    PxVector3 u, point, local, localNormal = {0.0, 0.0, 0.0}, normal;
    PxV3Sub(u, p1, p0);
    PxV3AddScaled(point, p0, u, t);
    PxV3MulTMInverse(local, point, shape.tm);
    PxReal radial = sqrt(local[0] * local[0] + local[1] * local[1]);
    PxReal toCap = cylinder->halfHeight - fabs(local[2]), toSide = cylinder->radius - radial;
    if (toCap <= toSide || radial == 0.0)
        localNormal[2] = local[2] >= 0.0 ? 1.0 : -1.0;
    else
        PxV3Set(localNormal, local[0] / radial, local[1] / radial, 0.0);
    PxV3MulTMDir(normal, localNormal, shape.tm);
    return CxLineSegHit(model, result, point, normal, t * PxV3Length(u));
}
