// The box geometry: created from its full lengths, stored as half-extents.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxGeometry.h>

namespace {

void boxAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    CxPrimitiveBoxBounds(geometry, transform, CxBoxRecord(geometry)->radii, min, max);
}

void boxXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, boxAABB);
}

void boxBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    PxV3Zero(centre);
    *radius = CxBoxRecord(geometry)->sphereRadius;
}

PxReal sign(PxReal x)
{
    return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0);
}

// Centre + sum_i sign(d . axis_i) r_i axis_i; a zero component leaves the
// point midway along that axis.
void boxMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction, PxVector3 point)
{
    const PxReal *r = CxBoxRecord(geometry)->radii;
    const PxReal(*tm)[4] = transform ? transform : gCxIdentityTM;
    PxV3Copy(point, tm[3]);
    for (int i = 0; i < 3; ++i) PxV3AddScaled(point, point, tm[i], sign(PxV3Dot(direction, tm[i])) * r[i]);
}

int16_t boxMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume)
{
    return CxPrimitiveBoxMass(CxBoxRecord(geometry)->radii, relTransform, inertia, volume);
}

} // namespace

CdxGeometryID CdxBoxCreate(PxReal dx, PxReal dy, PxReal dz)
{
    if (!CxPrimitiveValidLengths(dx, dy, dz)) {
        CxPrimitiveWarn("CdxBoxCreate", "the lengths must be zero or positive");
        return nullptr;
    }
    CdxBoxRecord *box = static_cast<CdxBoxRecord *>(
        CxPrimitiveCreate(sizeof(CdxBoxRecord), gCdxBoxTypeId, "CdxBoxCreate"));
    if (!box) return nullptr;
    CxPrimitiveSetHalfExtents(box->radii, &box->sphereRadius, dx, dy, dz);
    return &box->header;
}

void CdxBoxSetDimensions(CdxGeometryID geometry, PxReal dx, PxReal dy, PxReal dz)
{
    CdxBoxRecord *box = CxBoxRecord(geometry);
    if (!box || !CxPrimitiveValidLengths(dx, dy, dz)) {
        CxPrimitiveWarn("CdxBoxSetDimensions", "needs a box and lengths >= 0");
        return;
    }
    CxPrimitiveSetHalfExtents(box->radii, &box->sphereRadius, dx, dy, dz);
    CdxGeometryNoteEdit();
}

void CdxBoxGetDimensions(CdxGeometryID geometry, PxVector3 lengths)
{
    CdxBoxRecord *box = CxBoxRecord(geometry);
    if (!box) {
        PxV3Zero(lengths);
        return;
    }
    PxV3Scale(lengths, box->radii, 2.0);
}

const PxReal *CdxBoxGetRadii(CdxGeometryID geometry)
{
    CdxBoxRecord *box = CxBoxRecord(geometry);
    return box ? box->radii : nullptr;
}

PxReal CdxBoxGetBSphereRadius(CdxGeometryID geometry)
{
    CdxBoxRecord *box = CxBoxRecord(geometry);
    return box ? box->sphereRadius : 0.0;
}

CdxGeometryTypeID CdxBoxRegisterType(void)
{
    return CxPrimitiveRegister(&gCdxBoxTypeId, "CdxBox", boxAABB, boxXYAABB, boxBSphere, boxMaximumPoint,
                               boxMassProperties);
}

CdxGeometryTypeID CdxBoxGetTypeId(void)
{
    return gCdxBoxTypeId;
}

// Slab test in the box frame: the segment enters through the face of the
// latest entry and leaves through the face of the earliest exit.
int CdxBoxLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    if (!model || !result) return 0;
    CdxBoxRecord *box = CxBoxRecord(model->geometry);
    if (!box) return 0;
    const PxReal(*tm)[4] = model->transform ? (const PxReal(*)[4]) * model->transform : gCxIdentityTM;
    PxVector3 start, end, u;
    PxV3MulTMInverse(start, p0, tm);
    PxV3MulTMInverse(end, p1, tm);
    PxV3Sub(u, end, start);
    PxReal tEnter = -HUGE_VAL, tExit = HUGE_VAL;
    int enterFace = -1, exitFace = -1;
    for (int k = 0; k < 3; ++k) {
        PxReal r = box->radii[k];
        if (u[k] == 0.0) {
            if (fabs(start[k]) > r) return 0;
            continue;
        }
        PxReal tNeg = (-r - start[k]) / u[k], tPos = (r - start[k]) / u[k];
        // Moving up (u > 0) enters through -face and leaves through +face.
        PxReal tIn = u[k] > 0.0 ? tNeg : tPos, tOut = u[k] > 0.0 ? tPos : tNeg;
        int faceIn = u[k] > 0.0 ? 3 + k : k, faceOut = u[k] > 0.0 ? k : 3 + k;
        if (tIn > tEnter) tEnter = tIn, enterFace = faceIn;
        if (tOut < tExit) tExit = tOut, exitFace = faceOut;
    }
    if (tEnter > tExit) return 0;
    PxReal t;
    int face;
    if (tEnter >= 0.0) {
        t = tEnter, face = enterFace;
    } else {
        t = tExit, face = exitFace; // p0 inside: the exit
    }
    if (face < 0 || t < 0.0 || t > 1.0) return 0;
    PxVector3 localNormal = {0.0, 0.0, 0.0}, local, point, normal;
    localNormal[face % 3] = face < 3 ? 1.0 : -1.0;
    PxV3AddScaled(local, start, u, t);
    PxV3MulTM(point, local, tm);
    PxV3MulTMDir(normal, localNormal, tm);
    CxLineSegHit(model, result, point, normal, t * PxV3Distance(p1, p0));
    result->face = face;
    return 1;
}
