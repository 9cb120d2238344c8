/* Primitive geometries (sphere, box, plane, cylinder, cone, triangle list)
 * and the pair functions between them: intersection tests that report a
 * touch flag and contacts, safe times for continuous motion, and the
 * line-segment functions of ray queries.
 *
 * Local frames: a box, sphere and cylinder are centred on their origin; the
 * cylinder's axis is local z; the plane is the local x-y plane with the
 * solid half-space z <= 0 and the normal +z; a cone has its base disc
 * a quarter of its height below the origin and its top (the apex, or a top
 * disc of the given upper radius) three quarters above.
 *
 * Pair functions see model 1 as the first type of their name (box-sphere:
 * the box is model 1); contact normals point from model 2 towards model 1. */
#ifndef KELMAR_CDXPRIMITIVES_H
#define KELMAR_CDXPRIMITIVES_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* ---- Registration (after CdxInit) ---- */

/* Sphere, box and plane, in that order. */
void CdxSphereBoxPlaneRegisterTypes(void);
/* Sphere, box, plane, then cylinder, cone and triangle list. */
void CdxPrimitivesRegisterTypes(void);
/* The pairs among sphere, box and plane, and their line-segment functions. */
void CdxSphereBoxPlaneRegisterInteractions(void);
/* Those, then every pair with a cylinder, cone or triangle list and the
 * cylinder and cone line-segment functions. */
void CdxPrimitivesRegisterInteractions(void);
/* Number of primitive types: 6. */
int CdxPrimitivesGetTypeCount(void);
/* One pair each, in both orders (both types must be registered). */
void CdxSphereSphereRegisterInteraction(void);
void CdxBoxBoxRegisterInteraction(void);
void CdxBoxPlaneRegisterInteraction(void);
void CdxBoxSphereRegisterInteraction(void);
void CdxSpherePlaneRegisterInteraction(void);
void CdxConePlaneRegisterInteraction(void);
void CdxConeSphereRegisterInteraction(void);
void CdxConeBoxRegisterInteraction(void);
void CdxConeConeRegisterInteraction(void);
void CdxBoxCylinderRegisterInteraction(void);
void CdxCylinderPlaneRegisterInteraction(void);
void CdxCylinderSphereRegisterInteraction(void);
void CdxCylinderCylinderRegisterInteraction(void);
void CdxConeCylinderRegisterInteraction(void);
void CdxSphereTriangleListRegisterInteraction(void);
void CdxBoxTriangleListRegisterInteraction(void);
void CdxCylinderTriangleListRegisterInteraction(void);

/* ---- Sphere ---- */
CdxGeometryID CdxSphereCreate(PxReal radius); /* null for a negative radius or no memory */
void CdxSphereSetRadius(CdxGeometryID sphere, PxReal radius);
PxReal CdxSphereGetRadius(CdxGeometryID sphere);
CdxGeometryTypeID CdxSphereRegisterType(void);
CdxGeometryTypeID CdxSphereGetTypeId(void); /* -1 before registration */

/* ---- Box: created from full lengths, stored as half-extents ---- */
CdxGeometryID CdxBoxCreate(PxReal dx, PxReal dy, PxReal dz);
void CdxBoxSetDimensions(CdxGeometryID box, PxReal dx, PxReal dy, PxReal dz);
void CdxBoxGetDimensions(CdxGeometryID box, PxVector3 lengths); /* full lengths */
const PxReal *CdxBoxGetRadii(CdxGeometryID box);                /* the three half-extents */
PxReal CdxBoxGetBSphereRadius(CdxGeometryID box);
CdxGeometryTypeID CdxBoxRegisterType(void);
CdxGeometryTypeID CdxBoxGetTypeId(void);

/* ---- Plane ---- */
CdxGeometryID CdxPlaneCreate(void);
/* The local z axis in the world; +z when transform is null. */
void CdxPlaneGetNormal(CdxGeometryID plane, const PxMatrix4 transform, PxVector3 normal);
/* Signed distance of a world point from the plane along its normal. */
PxReal CdxPlaneGetDistanceToPoint(CdxGeometryID plane, const PxMatrix4 transform, const PxVector3 point);
CdxGeometryTypeID CdxPlaneRegisterType(void);
CdxGeometryTypeID CdxPlaneGetTypeId(void);

/* ---- Cylinder: axis local z, centred on the origin ---- */
CdxGeometryID CdxCylinderCreate(PxReal radius, PxReal height);
void CdxCylinderSetRadius(CdxGeometryID cylinder, PxReal radius);
void CdxCylinderSetHeight(CdxGeometryID cylinder, PxReal height);
void CdxCylinderSetGeometricalParameters(CdxGeometryID cylinder, PxReal radius, PxReal height);
PxReal CdxCylinderGetRadius(CdxGeometryID cylinder);
PxReal CdxCylinderGetHeight(CdxGeometryID cylinder); /* 2 x half-height */
PxReal CdxCylinderGetHalfHeight(CdxGeometryID cylinder);
/* World centres of the two caps: origin +- halfHeight x local z axis. */
void CdxCylinderGetEndCenters(CdxGeometryID cylinder, const PxMatrix4 transform, PxVector3 top, PxVector3 bottom);
CdxGeometryTypeID CdxCylinderRegisterType(void);
CdxGeometryTypeID CdxCylinderGetTypeId(void);

/* ---- Cone: base radius at z = -height/4, upper radius at z = 3 height/4
 * (0: a pointed cone with its apex there) ---- */
CdxGeometryID CdxConeCreate(PxReal height, PxReal radius, PxReal upperRadius);
CdxGeometryID CdxConeCreatePointed(PxReal height, PxReal radius);
void CdxConeSetGeometricalParameters(CdxGeometryID cone, PxReal height, PxReal radius, PxReal upperRadius);
PxReal CdxConeGetLength(CdxGeometryID cone);      /* upper + lower height */
PxReal CdxConeGetLowerRadius(CdxGeometryID cone); /* base radius */
PxReal CdxConeGetUpperRadius(CdxGeometryID cone);
PxReal CdxConeGetZOffset(CdxGeometryID cone); /* (upper + lower height) / 4 */
CdxGeometryTypeID CdxConeRegisterType(void);
CdxGeometryTypeID CdxConeGetTypeId(void);

/* ---- Triangle list: triangles handed out by the caller on demand ---- */

/* A triangle of the caller's: pointers to its three corners (3 reals
 * each, in the list's frame) and to its unit normal (3 reals). */
typedef struct CdxUserTriangle {
    PxReal *vertex[3];
    PxReal *normal;
} CdxUserTriangle;

/* Called before each test with the pair, the centre of the other geometry
 * in the list's frame and a search radius (that geometry's bounding radius
 * plus the summed tolerances). It writes the triangles near that sphere
 * into the array given to CdxTriangleListSetList and returns how many it
 * wrote (at most the array's capacity; more are ignored). */
typedef int (*CdxTriangleListCallback)(CdxModelPair *pair, const PxVector3 centre, PxReal radius);

/* dx, dy, dz: full lengths of a box around all triangles (centred on the
 * list's origin), used for bounds and mass. Null when callback is null. */
CdxGeometryID CdxTriangleListCreate(PxReal dx, PxReal dy, PxReal dz, CdxTriangleListCallback callback);
void CdxTriangleListSetBBDimensions(CdxGeometryID list, PxReal dx, PxReal dy, PxReal dz);
/* The callback's output array (capacity triangles) and a word for the
 * caller. */
void CdxTriangleListSetList(CdxGeometryID list, CdxUserTriangle *triangles, int capacity, void *userData);
void CdxTriangleListGetList(CdxGeometryID list, CdxUserTriangle **triangles, int *capacity, void **userData);
/* Writes the unit normal (b - a) x (c - b) normalised, or (1, 0, 0) for a
 * degenerate triangle, into *normal. 0 when the triangle has no normal
 * pointer. */
int CdxUserTriangleComputeNormal(CdxUserTriangle *triangle);
CdxGeometryTypeID CdxTriangleListRegisterType(void);
CdxGeometryTypeID CdxTriangleListGetTypeId(void);

/* ---- Pair functions (registered by the functions above) ---- */
int CdxSphereSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxSpherePlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxBoxSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxBoxBoxIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxBoxPlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxConePlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxConeSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result);
/* Touch only (convex distance), never contacts: cone-box, cone-cone,
 * cone-cylinder. */
int CdxConeConvexIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxBoxCylinderIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxCylinderPlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxCylinderSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxCylinderCylinderIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxSphereTriangleListIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxBoxTriangleListIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxCylinderTriangleListIntersect(CdxModelPair *pair, CdxIntersectResult *result);

/* Safe times: the result gets the pair and the earliest time of impact
 * found within maximumTime (maximumTime when none); the return value says
 * whether an impact time was found. */
int CdxSphereSphereSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxSpherePlaneSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxBoxBoxSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxBoxPlaneSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxBoxSphereSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxBoxCylinderSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxCylinderCylinderSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);
int CdxCylinderSphereSafeTime(CdxModelPair *pair, PxReal maximumTime, CdxSafeTimeResult *result);

/* Boxes A and B keep their orientation and move with constant linear
 * velocities over [0, T]; radii are half-extents. Returns 0 when an axis
 * keeps them apart for the whole interval, else 1 with *time the latest
 * entry time over the 15 axes and normal that axis (unit, from B towards
 * A; zero when the boxes overlap at the start). */
int CdxMovingBoxBoxIntersect(const PxVector3 radiiA, const PxMatrix4 transformA, const PxVector3 velocityA,
                             const PxVector3 radiiB, const PxMatrix4 transformB, const PxVector3 velocityB, PxReal T,
                             PxReal *time, PxVector3 normal);

/* Line segments p0..p1 (world): 1 on a hit with the point, the outward
 * surface normal there and the distance from p0 in the result. A segment
 * starting inside reports where it leaves the solid. */
int CdxSphereLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);
int CdxBoxLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);
int CdxPlaneLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);
int CdxCylinderLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);
int CdxConeLineSegIntersect(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);

PX_EXTERN_C_END

#endif
