// The hull the composite pair tests bound a part by. Private to the
// collision library.
#ifndef KELMAR_COLLISION_CDXCOMPOSITEHULL_H
#define KELMAR_COLLISION_CDXCOMPOSITEHULL_H

#include "framework/CdxGeometryRecord.h"
#include "primitives/CxPrimitiveRecords.h"

// What holds a sphere, cylinder or box: the points within radius of the
// segment from -halfLength to +halfLength along its z axis.
struct CdxHull {
    PxReal halfLength;
    PxReal radius;
};

// False for other kinds.
inline bool CdxHullOf(const CdxGeometry *geometry, CdxHull *hull)
{
    const CdxGeometryTypeID type = geometry ? geometry->typeId : -1;
    if (type < 0) return false;
    if (type == gCdxSphereTypeId) {
        *hull = {0.0, reinterpret_cast<const CdxSphereRecord *>(geometry)->radius};
    } else if (type == gCdxCylinderTypeId) {
        const CdxCylinderRecord *cylinder = reinterpret_cast<const CdxCylinderRecord *>(geometry);
        *hull = {cylinder->halfHeight, cylinder->radius};
    } else if (type == gCdxBoxTypeId) {
        *hull = {0.0, reinterpret_cast<const CdxBoxRecord *>(geometry)->sphereRadius};
    } else {
        return false;
    }
    return true;
}

#endif
