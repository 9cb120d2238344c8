// A mesh against one primitive (sphere, box, cylinder or plane): the
// descent of the mesh tree against the primitive's box and the test of
// each surviving triangle. Private to the collision library.
#ifndef KELMAR_COLLISION_CXTRIANGLEMESHPRIMITIVE_H
#define KELMAR_COLLISION_CXTRIANGLEMESHPRIMITIVE_H

#include "primitives/CxPrimitivePair.h"
#include "mesh/CxTriangleMeshRecord.h"

enum CxMeshPrimitiveKind { CxMeshSphere, CxMeshBox, CxMeshCylinder, CxMeshPlane };

// Everything in the mesh frame.
struct CxMeshPrimitiveQuery {
    const CxTriangleMesh *mesh;
    CxMeshPrimitiveKind kind;
    PxReal eps;            // summed contact tolerances
    CxShape shape;         // sphere, box or cylinder
    CxObb bounds;          // the primitive's box grown by eps
    PxVector3 planeNormal; // plane: unit normal and a point
    PxVector3 planePoint;
    int stopAtFirst; // touch only: stop at the first touching triangle
    int geometric;   // count every triangle within reach (no contacts)
    // Output.
    CdxContact *contacts; // normals from the triangle towards the primitive
    int capacity;
    int count;
    int touched;
    PxVector3 normalSum;
    int *triangles; // touching triangle numbers, when not null
    int triangleCapacity;
    int triangleCount;
};

// Sets up the query for a pair whose model 1 is a built mesh and model 2 a
// sphere, box, cylinder or plane; 0 for any other pair.
int CxMeshPrimitiveQueryInit(const CxPair *pair, CxMeshPrimitiveQuery *query);
// Runs the descent from the root.
void CxMeshPrimitiveDescend(CxMeshPrimitiveQuery *query);

#endif
