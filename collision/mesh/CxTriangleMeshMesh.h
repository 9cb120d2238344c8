// Two meshes: the simultaneous descent of both trees, the contacts of
// crossing triangle pairs and their culling. Private to the collision
// library.
#ifndef KELMAR_COLLISION_CXTRIANGLEMESHMESH_H
#define KELMAR_COLLISION_CXTRIANGLEMESHMESH_H

#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/CdxTypes.h>

// At most this many contacts are held while a pair is descended.
enum { CxMeshMeshMaxHeld = 30 };

struct CxHeldContact {
    CdxContact contact; // separation and normal are sums until the end
    int merged;         // contacts merged into this one
};

struct CxMeshMeshQuery {
    const CxTriangleMesh *a; // model 1: everything is computed in its frame
    const CxTriangleMesh *b;
    BVTransform bToA;
    PxReal eps;
    int stopAtFirst;
    int touched;
    int limit; // contacts held at most
    int heldCount;
    CxHeldContact held[CxMeshMeshMaxHeld];
    PxVector3 normalSum;
    PxVector3 traceArea; // sum of p0 x p1 / 2 over the oriented segments
    PxReal traceLength;
    int *pairs; // crossing triangle pairs, when not null
    int pairCapacity;
    int pairCount;
};

// Prepares a query for two built meshes placed by tmA and tmB (refitting
// the trees first when both are deformable).
void CxMeshMeshQueryInit(CxMeshMeshQuery *q, CxTriangleMesh *a, const PxReal tmA[4][4], CxTriangleMesh *b,
                         const PxReal tmB[4][4], PxReal eps);
void CxMeshMeshDescend(CxMeshMeshQuery *q);

// Offers a contact (mesh A's frame): merged into a held one within
// squared distance 0.01, else held, making room when the limit is reached.
void CullContacts(CxMeshMeshQuery *q, const PxVector3 position, const PxVector3 normal, PxReal separation, int dims,
                  int triangleA, int triangleB);
// Small-mesh mode: both meshes together have fewer than 120 triangles and
// not both more than 19.
int CxMeshMeshIsSmall(const CxTriangleMesh *a, const CxTriangleMesh *b);
// The one normal of small-mesh mode, from the trace of the intersection
// (A's frame); 0 when there is none.
int CxMeshMeshTraceNormal(const CxMeshMeshQuery *q, PxVector3 normal);

#endif
