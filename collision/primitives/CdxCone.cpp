// The cone geometry: a solid of revolution about local z between a base
// disc of the given radius a quarter of the height below the origin and a
// top disc of the upper radius (0: the apex) three quarters above it. For
// a pointed cone the origin is the centre of mass.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

namespace {

// Direction components below this count as zero for the support point.
const PxReal kSupportZero = 1e-14;

void setParameters(CdxConeRecord *cone, PxReal height, PxReal radius, PxReal upperRadius)
{
    cone->upperHeight = 0.75 * height;
    cone->lowerHeight = 0.25 * height;
    cone->radius = radius;
    cone->upperRadius = upperRadius;
    PxReal slope = radius - upperRadius;
    cone->sinHalfAngle = height > 0.0 ? slope / sqrt(height * height + slope * slope) : 1.0;
}

int validParameters(PxReal height, PxReal radius, PxReal upperRadius)
{
    return height >= 0.0 && radius >= 0.0 && upperRadius >= 0.0;
}

void coneShape(CdxGeometryID geometry, const PxMatrix4 transform, CxShape *shape)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    CxShapeSetCone(shape, transform, cone->radius, cone->upperRadius, -cone->lowerHeight, cone->upperHeight);
}

// The box of the support points along the six world axis directions.
void coneAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    CxShape shape;
    coneShape(geometry, transform, &shape);
    PxVector3 lo, hi;
    for (int k = 0; k < 3; ++k) {
        PxVector3 axis = {0.0, 0.0, 0.0}, point;
        axis[k] = 1.0;
        CxShapeSupportLimit(&shape, axis, kSupportZero, point);
        hi[k] = point[k];
        axis[k] = -1.0;
        CxShapeSupportLimit(&shape, axis, kSupportZero, point);
        lo[k] = point[k];
    }
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
}

void coneXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, coneAABB);
}

// The farther of the two rims from the origin.
void coneBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    PxV3Zero(centre);
    PxReal base = sqrt(cone->radius * cone->radius + cone->lowerHeight * cone->lowerHeight);
    PxReal top = sqrt(cone->upperRadius * cone->upperRadius + cone->upperHeight * cone->upperHeight);
    *radius = fmax(base, top);
}

void coneMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction, PxVector3 point)
{
    CxShape shape;
    coneShape(geometry, transform, &shape);
    CxShapeSupportLimit(&shape, direction, kSupportZero, point);
}

// Per-unit-mass inertia of a cone cut at the top (radius rt at zt, rb at
// zb): the slices' integrals by 3-point Gauss-Legendre, which is exact for
// these polynomials of degree 4 in z. Writes the volume and the centroid
// height.
void frustumMass(PxReal rb, PxReal zb, PxReal rt, PxReal zt, PxMatrix3 inertia, PxReal *volume, PxReal *centroidZ)
{
    static const PxReal node[3] = {-0.7745966692414834, 0.0, 0.7745966692414834};
    static const PxReal weight[3] = {5.0 / 9.0, 8.0 / 9.0, 5.0 / 9.0};
    PxReal half = 0.5 * (zt - zb), middle = 0.5 * (zt + zb);
    PxReal area[3], z[3];
    PxReal v = 0.0, moment = 0.0;
    for (int k = 0; k < 3; ++k) {
        z[k] = middle + half * node[k];
        PxReal rho = rb + (rt - rb) * (z[k] - zb) / (zt - zb);
        area[k] = M_PI * rho * rho;
        v += half * weight[k] * area[k];
        moment += half * weight[k] * area[k] * z[k];
    }
    PxReal zc = moment / v;
    PxReal axial = 0.0, lateral = 0.0;
    for (int k = 0; k < 3; ++k) {
        PxReal rho2 = area[k] / M_PI;
        // A thin disc of mass dm: dm rho^2 / 2 about its axis, dm rho^2 / 4
        // about a diameter, plus dm (z - zc)^2 moved to the centroid.
        axial += half * weight[k] * area[k] * 0.5 * rho2;
        lateral += half * weight[k] * area[k] * (0.25 * rho2 + (z[k] - zc) * (z[k] - zc));
    }
    PxM3Identity(inertia);
    inertia[0][0] = inertia[1][1] = lateral / v;
    inertia[2][2] = axial / v;
    *volume = v;
    *centroidZ = zc;
}

// Pointed cone of height h and radius r about its centroid (the origin):
// I_xx = I_yy = 0.15 r^2 + 0.0375 h^2, I_zz = 0.3 r^2, volume pi r^2 h / 3.
int16_t coneMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    PxReal h = cone->upperHeight + cone->lowerHeight, r = cone->radius;
    PxM4Identity(relTransform);
    if (cone->upperRadius > 0.0 && h > 0.0) {
        PxReal centroidZ;
        frustumMass(r, -cone->lowerHeight, cone->upperRadius, cone->upperHeight, inertia, volume, &centroidZ);
        relTransform[3][2] = centroidZ;
        return 1;
    }
    PxM3Identity(inertia);
    inertia[0][0] = inertia[1][1] = 0.15 * r * r + 0.0375 * h * h;
    inertia[2][2] = 0.3 * r * r;
    *volume = M_PI * r * r * h / 3.0;
    return 1;
}

} // namespace

CdxGeometryID CdxConeCreate(PxReal height, PxReal radius, PxReal upperRadius)
{
    if (!validParameters(height, radius, upperRadius)) {
        CxPrimitiveWarn("CdxConeCreate", "the height and radii must be zero or positive");
        return nullptr;
    }
    CdxConeRecord *cone = static_cast<CdxConeRecord *>(
        CxPrimitiveCreate(sizeof(CdxConeRecord), gCdxConeTypeId, "CdxConeCreate"));
    if (!cone) return nullptr;
    setParameters(cone, height, radius, upperRadius);
    return &cone->header;
}

CdxGeometryID CdxConeCreatePointed(PxReal height, PxReal radius)
{
    return CdxConeCreate(height, radius, 0.0);
}

void CdxConeSetGeometricalParameters(CdxGeometryID geometry, PxReal height, PxReal radius, PxReal upperRadius)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    if (!cone || !validParameters(height, radius, upperRadius)) {
        CxPrimitiveWarn("CdxConeSetGeometricalParameters", "needs a cone and lengths >= 0");
        return;
    }
    setParameters(cone, height, radius, upperRadius);
    CdxGeometryNoteEdit();
}

PxReal CdxConeGetLength(CdxGeometryID geometry)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    return cone ? cone->upperHeight + cone->lowerHeight : 0.0;
}

PxReal CdxConeGetLowerRadius(CdxGeometryID geometry)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    return cone ? cone->radius : 0.0;
}

PxReal CdxConeGetUpperRadius(CdxGeometryID geometry)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    return cone ? cone->upperRadius : 0.0;
}

PxReal CdxConeGetZOffset(CdxGeometryID geometry)
{
    CdxConeRecord *cone = CxConeRecord(geometry);
    return cone ? 0.25 * (cone->upperHeight + cone->lowerHeight) : 0.0;
}

CdxGeometryTypeID CdxConeRegisterType(void)
{
    return CxPrimitiveRegister(&gCdxConeTypeId, "CdxCone", coneAABB, coneXYAABB, coneBSphere, coneMaximumPoint,
                               coneMassProperties);
}

CdxGeometryTypeID CdxConeGetTypeId(void)
{
    return gCdxConeTypeId;
}

// The nearest crossing of the side or a disc; the normal belongs to the
// surface the hit point is closest to.
int CdxConeLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    if (!model || !result) return 0;
    CdxConeRecord *cone = CxConeRecord(model->geometry);
    if (!cone) return 0;
    CxShape shape;
    CxShapeFromModel(model, &shape);
    PxReal t;
    if (!CxShapeSegmentFirstHit(&shape, p0, p1, &t)) return 0;
    PxVector3 u, point, local, localNormal, normal;
    PxV3Sub(u, p1, p0);
    PxV3AddScaled(point, p0, u, t);
    PxV3MulTMInverse(local, point, shape.tm);
    PxReal height = cone->upperHeight + cone->lowerHeight;
    // Radius grows by slope per unit of z along the side.
    PxReal slope = height > 0.0 ? (cone->upperRadius - cone->radius) / height : 0.0;
    PxReal sideRadius = cone->radius + slope * (local[2] + cone->lowerHeight);
    PxReal radial = sqrt(local[0] * local[0] + local[1] * local[1]);
    PxReal toSide = (sideRadius - radial) / sqrt(1.0 + slope * slope);
    PxReal toBase = local[2] + cone->lowerHeight;
    PxReal toTop = cone->upperRadius > 0.0 ? cone->upperHeight - local[2] : HUGE_VAL;
    if (radial > 0.0 && toSide < toBase && toSide < toTop) {
        PxV3Set(localNormal, local[0] / radial, local[1] / radial, -slope);
        PxV3Normalize(localNormal);
    } else {
        PxV3Set(localNormal, 0.0, 0.0, toBase <= toTop ? -1.0 : 1.0);
    }
    PxV3MulTMDir(normal, localNormal, shape.tm);
    return CxLineSegHit(model, result, point, normal, t * PxV3Length(u));
}
