// The collision model record. Private to the collision library: spaces and
// pair tests read and write these fields directly.
#ifndef KELMAR_COLLISION_CDXMODELRECORD_H
#define KELMAR_COLLISION_CDXMODELRECORD_H

#include <kelmar/CdxModel.h>

struct CdxModel {
    CdxGeometry *geometry;   // may be null
    PxMatrix4 *transform;    // world transform, not owned
    PxReal *linearVelocity;  // 3 reals, not owned, may be null
    PxReal *angularVelocity; // 3 reals, not owned, may be null
    CdxModel *parent;        // composite this model is an element of
    PxReal contactTolerance; // length
    void *userData;
    void *reserved;
    CdxSpace *space;               // null outside a space
    int spaceId;                   // -1 outside a space
    CdxModelUpdateFn updateFn;     // refreshes transform before it is read
    PxMatrix4 *relativeTransform;  // offset in the reference frame, or null
    PxMatrix4 *referenceTransform; // frame the offset applies to, or null
    void *bodyData;                // the dynamics body the model follows
    PxReal density;                // mass / volume
    int materialId;
    int requestId;
    int responseId;
    const char *name; // not owned
};

// The framework's model pool: first block of capacity models (CdxInit).
int CdxModelInit(int capacity);
void CdxModelTerm(void);
// Returns a model record to the pool without looking at its geometry.
void CdxModelPutRecord(CdxModel *model);

#endif
