// The geometry header every geometry record starts with, and the type
// registry behind it. Private to the collision library.
#ifndef KELMAR_COLLISION_CDXGEOMETRYRECORD_H
#define KELMAR_COLLISION_CDXGEOMETRYRECORD_H

#include <kelmar/CdxGeometry.h>

// First member of every geometry record; a type's record appends its own
// parameters, e.g. struct CdxSphereRecord { CdxGeometry header; PxReal radius; }.
struct CdxGeometry {
    CdxGeometryTypeID typeId;
    PxReal bounds[6]; // x-min, x-max, y-min, y-max, z-min, z-max, cached by getAABB
};

// The registry: capacity and count of types and seven parallel arrays of
// capacity entries, indexed by type number.
struct CdxGeometryRegistry {
    CdxGeometryTypeID capacity;
    CdxGeometryTypeID count;
    CdxGeometryDestroyFn *destroy;
    CdxGeometryGetAABBFn *getAABB;
    CdxGeometryGetXYAABBFn *getXYAABB;
    CdxGeometryGetBSphereFn *getBSphere;
    CdxGeometryMaximumPointFn *maximumPoint;
    CdxGeometryGetMassPropertiesFn *getMassProperties;
    const char **name;
};

extern CdxGeometryRegistry gCdxGeometryRegistry;

// Creates the registry for capacity types (CdxInit); 0 when memory is short.
int CdxGeometryInit(int capacity);
// Fresh empty arrays for capacity types into r; 0 (nothing allocated) when
// memory is short.
int CdxGeometryInitRegistry(CdxGeometryRegistry &r, int capacity);
// Room for capacity types, the registered ones kept under their numbers;
// 0 (registry unchanged) when memory is short. Never shrinks.
int CdxGeometryGrow(int capacity);
// Frees it: capacity and count 0 (CdxTerm).
void CdxGeometryTerm(void);

// Adds one to the edit count (CdxGeometryGetEditCount): every setter that
// changes a shape in place calls it.
void CdxGeometryNoteEdit(void);

// Replaces each off-diagonal pair of a 3x3 with its mean.
void CdxSymmetrizeInertia(PxMatrix3 inertia);

#endif
