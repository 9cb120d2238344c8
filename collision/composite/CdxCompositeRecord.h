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
    // The last placement of every element, so that the pair tests need not
    // place them again at the pose the broad phase's update just placed
    // them at. Held only for composites without composite elements.
    PxMatrix4 placedAt;        // the composite transform they stand at
    PxMatrix4 **placedTargets; // the element transforms written (maxElementCount)
    int placedCurrent;         // 1 while the two above describe the elements
};

// The composite record of a geometry, or null when it is not composite.
CdxCompositeGeometry *CdxCompositeFromGeometry(CdxGeometry *geometry);

// The box of a composite whose elements already stand at transform (its
// model's update has just placed them); other geometries as
// CdxGeometryGetAABB. 1 on success.
int CdxCompositeGeometryPlacedAABB(CdxGeometry *geometry, const PxReal (*transform)[4], PxVector3 min, PxVector3 max);

// Places the elements at transform, unless they already stand where that
// would put them (same transform, same storage, nothing changed since).
void CdxCompositeGeometryEnsurePlaced(CdxGeometry *geometry, const PxReal (*transform)[4]);

// Points every element's reference frame at the composite model's current
// transform pointer.
void CdxCompositeModelSetElementReferences(CdxModel *model);

#endif
