// The sphere geometry: a ball of the given radius centred on its origin.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

namespace {

// 4/3 pi: the volume of the unit ball.
const PxReal kUnitBallVolume = 4.1887902047863905;
// Segments shorter than this hit nothing.
const PxReal kShortestSegment = 1e-14;

void sphereAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    PxReal r = CxSphereRecord(geometry)->radius;
    const PxReal *centre = transform ? transform[3] : gCxIdentityTM[3];
    PxVector3 lo = {centre[0] - r, centre[1] - r, centre[2] - r};
    PxVector3 hi = {centre[0] + r, centre[1] + r, centre[2] + r};
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
}

void sphereXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, sphereAABB);
}

void sphereBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = CxSphereRecord(geometry)->radius;
}

// Centre + radius x the unit direction (the centre for a zero direction).
void sphereMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction, PxVector3 point)
{
    PxVector3 unit;
    PxV3Copy(unit, direction);
    PxV3Normalize(unit);
    const PxReal *centre = transform ? transform[3] : gCxIdentityTM[3];
    PxV3AddScaled(point, centre, unit, CxSphereRecord(geometry)->radius);
}

int16_t sphereMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    PxReal r = CxSphereRecord(geometry)->radius;
    PxM4Identity(relTransform);
    PxM3Identity(inertia);
    for (int k = 0; k < 3; ++k) inertia[k][k] = 0.4 * r * r;
    *volume = kUnitBallVolume * r * r * r;
    return 1;
}

} // namespace

CdxGeometryID CdxSphereCreate(PxReal radius)
{
    if (!(radius >= 0.0)) {
        CxPrimitiveWarn("CdxSphereCreate", "the radius must be zero or positive");
        return nullptr;
    }
    CdxSphereRecord *sphere = static_cast<CdxSphereRecord *>(
        CxPrimitiveCreate(sizeof(CdxSphereRecord), gCdxSphereTypeId, "CdxSphereCreate"));
    if (!sphere) return nullptr;
    sphere->radius = radius;
    return &sphere->header;
}

void CdxSphereSetRadius(CdxGeometryID geometry, PxReal radius)
{
    CdxSphereRecord *sphere = CxSphereRecord(geometry);
    if (!sphere || !(radius >= 0.0)) {
        CxPrimitiveWarn("CdxSphereSetRadius", "needs a sphere and a radius >= 0");
        return;
    }
    sphere->radius = radius;
    CdxGeometryNoteEdit();
}

PxReal CdxSphereGetRadius(CdxGeometryID geometry)
{
    CdxSphereRecord *sphere = CxSphereRecord(geometry);
    return sphere ? sphere->radius : 0.0;
}

CdxGeometryTypeID CdxSphereRegisterType(void)
{
    return CxPrimitiveRegister(&gCdxSphereTypeId, "CdxSphere", sphereAABB, sphereXYAABB, sphereBSphere,
                               sphereMaximumPoint, sphereMassProperties);
}

CdxGeometryTypeID CdxSphereGetTypeId(void)
{
    return gCdxSphereTypeId;
}

// The segment direction is normalised and the first crossing of the
// sphere's surface at or after p0 is reported (the exit when p0 is inside).
int CdxSphereLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    if (!model || !result) return 0;
    CdxSphereRecord *sphere = CxSphereRecord(model->geometry);
    if (!sphere) return 0;
    PxVector3 u;
    PxV3Sub(u, p1, p0);
    PxReal length = PxV3Normalize(u);
    if (length < kShortestSegment) return 0;
    const PxReal *centre = model->transform ? (*model->transform)[3] : gCxIdentityTM[3];
    PxVector3 m;
    PxV3Sub(m, p0, centre);
    PxReal r = sphere->radius;
    PxReal b = PxV3Dot(m, u), c = PxV3Dot(m, m) - r * r;
    PxReal disc = b * b - c;
    if (disc < 0.0) return 0;
    PxReal root = sqrt(disc);
    PxReal s = -b - root;
    if (s < 0.0) s = -b + root; // p0 inside: the exit
    if (s < 0.0 || s > length) return 0;
    PxVector3 point, normal;
    PxV3AddScaled(point, p0, u, s);
    PxV3Sub(normal, point, centre);
    if (r > 0.0)
        PxV3Scale(normal, normal, 1.0 / r);
    else
        PxV3Scale(normal, u, -1.0);
    return CxLineSegHit(model, result, point, normal, s);
}
