// The composite geometry record. Private to the collision library.
#ifndef KELMAR_COLLISION_CDXCOMPOSITERECORD_H
#define KELMAR_COLLISION_CDXCOMPOSITERECORD_H

#include "framework/CdxGeometryRecord.h"
#include "framework/CdxModelRecord.h"

struct CdxCompositeApartBlock; // CdxCompositeApart.cpp

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
    // The elements' boxes at their placements, united in the composite's
    // own frame, which the model's box is turned from (see CdxComposite.h).
    PxReal frameBox[6];  // min x, y, z, max x, y, z
    int frameBoxCurrent; // 0: found again when next asked
    // The stamp of the last rebuild, unique among all composites (a new one
    // at a freed one's address included), so that what was worked out from
    // the elements before one is known to be stale.
    unsigned long long build;
    // The pairs this composite was last found apart in as model 1, made
    // when the first is met (CdxCompositeApart.cpp); null till then.
    CdxCompositeApartBlock *apart;
};

// The composite record of a geometry, or null when it is not composite.
CdxCompositeGeometry *CdxCompositeFromGeometry(CdxGeometry *geometry);

// The box of a composite model at transform, its elements already placed
// there by the model's update: its box in its own frame turned by
// transform (the elements' boxes where they stand, united, for an empty
// composite or one with composite elements). Other geometries as
// CdxGeometryGetAABB. 1 on success.
int CdxCompositeGeometryPlacedAABB(CdxGeometry *geometry, const PxReal (*transform)[4], PxVector3 min, PxVector3 max);

// The box of a composite at transform turned from its box in its own
// frame, without placing its elements; 0 (nothing written) for other
// geometries and for composites whose box is united where their elements
// stand (empty, or with composite elements). The space's box update uses
// it: the pair functions place the elements of the composites they test,
// and readers outside them call CdxModelUpdate first.
int CdxCompositeGeometryTurnedAABB(CdxGeometry *geometry, const PxReal (*transform)[4], PxVector3 min, PxVector3 max);

// Places the elements at transform, unless they already stand where that
// would put them (same transform, same storage, nothing changed since).
void CdxCompositeGeometryEnsurePlaced(CdxGeometry *geometry, const PxReal (*transform)[4]);

// True when the pair (model 1 composite c, holding records) was last
// tested apart and may be answered "no touch" without a test: its models
// have since moved by less than half the hull clearance found then
// (CdxHullClearance), and nothing else that test read has changed.
bool CdxCompositeStaysApart(CdxCompositeGeometry *c, const CdxModelPair *pair);

// After a test of the pair (model 1 composite c) found it apart: records
// it with its clearance and the models' poses when both models are in a
// space (a test's own element pairs are not).
void CdxCompositeRecordApart(CdxCompositeGeometry *c, const CdxModelPair *pair);

// After a test found the pair touching: its record, if any, goes.
void CdxCompositeForgetApart(CdxCompositeGeometry *c, const CdxModelPair *pair);

// Frees c's records.
void CdxCompositeApartFree(CdxCompositeGeometry *c);

// Points every element's reference frame at the composite model's current
// transform pointer.
void CdxCompositeModelSetElementReferences(CdxModel *model);

#endif
