// The records of the six primitive geometries (each starts with the
// geometry header) and their registered type numbers. Private to the
// collision library.
#ifndef KELMAR_COLLISION_CXPRIMITIVERECORDS_H
#define KELMAR_COLLISION_CXPRIMITIVERECORDS_H

#include <kelmar/CdxPrimitives.h>

#include "framework/CdxGeometryRecord.h"

struct CdxSphereRecord {
    CdxGeometry header;
    PxReal radius;
};

struct CdxBoxRecord {
    CdxGeometry header;
    PxVector3 radii;     // half-extents
    PxReal sphereRadius; // sqrt(rx^2 + ry^2 + rz^2)
};

struct CdxPlaneRecord {
    CdxGeometry header;
};

struct CdxCylinderRecord {
    CdxGeometry header;
    PxReal radius;
    PxReal halfHeight;
    PxReal sphereRadius; // sqrt(radius^2 + halfHeight^2)
};

struct CdxConeRecord {
    CdxGeometry header;
    PxReal upperHeight;  // origin to the top along +z: 0.75 x height
    PxReal lowerHeight;  // origin to the base along -z: 0.25 x height
    PxReal radius;       // base radius
    PxReal upperRadius;  // top radius, 0 for a pointed cone
    PxReal sinHalfAngle; // of the side against the axis; 1 for a flat cone
};

// Candidate contacts gathered over all triangles of one pair test before
// they are reduced.
enum { CX_TRIANGLE_LIST_CANDIDATES = 1000 };

struct CdxTriangleListRecord {
    CdxGeometry header;
    PxVector3 radii; // half-extents of the caller's bounding box
    PxReal sphereRadius;
    CdxUserTriangle *triangles; // the callback's output array
    int capacity;
    void *userData;
    CdxTriangleListCallback callback;
    // Scratch of the list's pair tests, which run one at a time: the list's
    // own, so that tests of different lists (and universes) share nothing.
    CdxContact candidates[CX_TRIANGLE_LIST_CANDIDATES];
};

// Type numbers, -1 until registered.
extern CdxGeometryTypeID gCdxSphereTypeId;
extern CdxGeometryTypeID gCdxBoxTypeId;
extern CdxGeometryTypeID gCdxPlaneTypeId;
extern CdxGeometryTypeID gCdxCylinderTypeId;
extern CdxGeometryTypeID gCdxConeTypeId;
extern CdxGeometryTypeID gCdxTriangleListTypeId;

// The record of a geometry of the given type, or null for another type
// (or a null geometry).
CdxSphereRecord *CxSphereRecord(CdxGeometryID geometry);
CdxBoxRecord *CxBoxRecord(CdxGeometryID geometry);
CdxPlaneRecord *CxPlaneRecord(CdxGeometryID geometry);
CdxCylinderRecord *CxCylinderRecord(CdxGeometryID geometry);
CdxConeRecord *CxConeRecord(CdxGeometryID geometry);
CdxTriangleListRecord *CxTriangleListRecord(CdxGeometryID geometry);

// Shared steps of the per-type functions.

// A zeroed record of size bytes with the header of type; null (with a
// warning naming what) when the type is not registered or memory is short.
void *CxPrimitiveCreate(size_t size, CdxGeometryTypeID type, const char *what);
void CxPrimitiveDestroy(CdxGeometryID geometry);
// Writes the world box and the geometry's cached bounds.
void CxPrimitiveStoreBounds(CdxGeometryID geometry, const PxVector3 lo, const PxVector3 hi, PxVector3 min,
                            PxVector3 max);
// Box and triangle list: half-extents and bounding-sphere radius from full
// lengths, which must all be zero or positive (checked by the first).
int CxPrimitiveValidLengths(PxReal dx, PxReal dy, PxReal dz);
void CxPrimitiveSetHalfExtents(PxVector3 radii, PxReal *sphereRadius, PxReal dx, PxReal dy, PxReal dz);
// Box and triangle list: the world box of half-extents radii placed by the
// transform (null: the identity), stored as the geometry's bounds.
void CxPrimitiveBoxBounds(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 radii, PxVector3 min,
                          PxVector3 max);
// Box and triangle list: the mass properties of a solid box of half-extents
// radii at the origin, per unit density. Returns 1.
int16_t CxPrimitiveBoxMass(const PxVector3 radii, PxMatrix4 relTransform, PxMatrix3 inertia, PxReal *volume);
// The x-y part of the type's world box, through its AABB function.
void CxPrimitiveXYFromAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4],
                           CdxGeometryGetAABBFn getAABB);
// Registers a type once per CdxInit and forgets its number at CdxTerm.
CdxGeometryTypeID CxPrimitiveRegister(CdxGeometryTypeID *id, const char *name, CdxGeometryGetAABBFn getAABB,
                                      CdxGeometryGetXYAABBFn getXYAABB, CdxGeometryGetBSphereFn getBSphere,
                                      CdxGeometryMaximumPointFn maximumPoint,
                                      CdxGeometryGetMassPropertiesFn getMassProperties);
// Reports a refused parameter of a primitive function (warning).
void CxPrimitiveWarn(const char *function, const char *problem);
// Fills a line-segment hit; returns 1.
int CxLineSegHit(CdxModelID model, CdxLineSegResult *result, const PxVector3 point, const PxVector3 normal,
                 PxReal distance);

#endif
