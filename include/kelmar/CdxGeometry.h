/* Geometry type registry and the per-type dispatchers.
 *
 * A geometry type registers six functions once per CdxInit; its records
 * begin with the common geometry header (type number and cached bounds)
 * and append their own parameters. Geometries are not reference counted:
 * the owner destroys them with CdxGeometryDestroy. */
#ifndef KELMAR_CDXGEOMETRY_H
#define KELMAR_CDXGEOMETRY_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Per-type functions. transform may be null: a type treats that as the
 * identity. */
typedef void (*CdxGeometryDestroyFn)(CdxGeometryID geometry);
/* World box of the geometry placed by transform; also refreshes the
 * geometry's cached bounds. */
typedef void (*CdxGeometryGetAABBFn)(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max);
/* The box in the world x-y plane only: x-min, x-max, y-min, y-max. */
typedef void (*CdxGeometryGetXYAABBFn)(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4]);
/* Bounding sphere in the geometry's own frame. */
typedef void (*CdxGeometryGetBSphereFn)(CdxGeometryID geometry, PxVector3 centre, PxReal *radius);
/* Point of the placed geometry farthest along the world direction. */
typedef void (*CdxGeometryMaximumPointFn)(CdxGeometryID geometry, const PxMatrix4 transform,
                                          const PxVector3 direction, PxVector3 point);
/* Centre-of-mass frame in the geometry frame, inertia per unit mass (about
 * the centre of mass, in the axes of that frame) and volume. Returns 1
 * when computed, 0 when the geometry has no mass properties. */
typedef int16_t (*CdxGeometryGetMassPropertiesFn)(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia,
                                                  PxReal *volume);

/* Registers a type and returns its number (the count before the call).
 * Past the capacity given to CdxInit this is fatal error 21. */
CdxGeometryTypeID CdxGeometryRegisterType(const char *name, CdxGeometryDestroyFn destroy,
                                          CdxGeometryGetAABBFn getAABB, CdxGeometryGetXYAABBFn getXYAABB,
                                          CdxGeometryGetBSphereFn getBSphere, CdxGeometryMaximumPointFn maximumPoint,
                                          CdxGeometryGetMassPropertiesFn getMassProperties);
CdxGeometryTypeID CdxGeometryGetRegisteredTypeCount(void);
/* Forgets every registered type (count 0); the interaction table stays. */
void CdxGeometryResetTypes(void);
int CdxGeometryTypeIsRegistered(CdxGeometryTypeID id); /* id != -1 */
int CdxGeometryTypeIdIsValid(CdxGeometryTypeID id);    /* 0 <= id < count */
int CdxGeometryIsValid(CdxGeometryID geometry);        /* non-null, valid type */
/* The registered name, or "UnknownGeometryType". */
const char *CdxGeometryGetTypeName(CdxGeometryID geometry);
const char *CdxGeometryGetTypeNameFromId(CdxGeometryTypeID id);

/* The geometry header: sets the type and zeroes the cached bounds. */
void CdxGeometryInitObject(CdxGeometryID geometry, CdxGeometryTypeID typeId);
CdxGeometryTypeID CdxGeometryGetTypeId(CdxGeometryID geometry); /* -1 for null */
void CdxGeometryResetMBounds(CdxGeometryID geometry);
/* The six cached bounds, null for null. */
PxReal *CdxGeometryGetBounds(CdxGeometryID geometry);
/* Edits in place of what the pair tests read from a shape, counted over
 * all geometries: a primitive resized (sphere, box, cylinder, cone, a
 * triangle list's box), triangles added to a mesh or a mesh built, a
 * composite's element added or removed, the composite rebuilt or
 * decomposed, and an element model given another geometry, contact
 * tolerance or material. A geometry shared by several models, or an
 * element deep in a composite, cannot name what it reaches: whatever was
 * worked out from shapes while the count stood (a pair's kept contacts)
 * is stale once it moved. A placement changed in place counts from the
 * composite's rebuild, as for its box. The count may be read and moved
 * from several threads at once. */
unsigned long long CdxGeometryGetEditCount(void);

/* Dispatchers through the type's functions. Each returns 1 when the type
 * function ran, 0 for an invalid geometry or a type without that function. */
int CdxGeometryDestroy(CdxGeometryID geometry);
int CdxGeometryGetAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max);
int CdxGeometryGetXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4]);
int CdxGeometryGetBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius);
int CdxGeometryMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction,
                            PxVector3 point);
/* The type's status (0 when it cannot run); afterwards the inertia is made
 * symmetric by replacing each off-diagonal pair with its mean. */
int16_t CdxGeometryGetMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia,
                                     PxReal *volume);

PX_EXTERN_C_END

#endif
