// The composite geometry record. Private to the collision library.
#ifndef KELMAR_COLLISION_CDXCOMPOSITERECORD_H
#define KELMAR_COLLISION_CDXCOMPOSITERECORD_H

#include "framework/CdxGeometryRecord.h"
#include "framework/CdxModelRecord.h"

struct CdxCompositeGeometry {
    CdxGeometry header;
    int maxElementCount;
    int elementCount;
    CdxModel **elements;            // maxElementCount entries
    PxMatrix4 **relativeTransforms; // placements, not owned
    PxReal bSphereRadius;           // about the composite origin, length
    PxReal reserved[4];
};

// The composite record of a geometry, or null when it is not composite.
CdxCompositeGeometry *CdxCompositeFromGeometry(CdxGeometry *geometry);

// The box of a composite whose elements already stand at transform (its
// model's update has just placed them); other geometries as
// CdxGeometryGetAABB. 1 on success.
int CdxCompositeGeometryPlacedAABB(CdxGeometry *geometry, const PxReal (*transform)[4], PxVector3 min, PxVector3 max);

// Points every element's reference frame at the composite model's current
// transform pointer.
void CdxCompositeModelSetElementReferences(CdxModel *model);

#endif
