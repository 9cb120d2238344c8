// The triangle-mesh record, its bounding-volume tree and the steps shared
// by the mesh's functions. Private to the collision library.
#ifndef KELMAR_COLLISION_CXTRIANGLEMESHRECORD_H
#define KELMAR_COLLISION_CXTRIANGLEMESHRECORD_H

#include <kelmar/CdxTriangleMesh.h>

#include "framework/CdxGeometryRecord.h"
#include "mesh/CxObb.h"

struct CxTriangleMesh;

struct BVNode {
    BVNode *left;
    BVNode *right;
    BVNode *parent; // null for the root
    CxObb box;      // in the mesh frame
    int triangle;   // -1 for internal nodes
};

// The triangle indices under one node (option bit 1).
struct BVNodeTriangles {
    int *first;
    int count;
};

struct BVTree {
    CxTriangleMesh *mesh;
    BVNode *nodes; // 2n - 1 for n triangles
    int nodeCount;
    int nodesUsed;
    int sweptRectangles;   // option bit 0
    int keepNodeTriangles; // option bit 1
    int obbStartDepth;
    int *indices;                   // permuted triangle indices (option bit 1), else null
    BVNodeTriangles *nodeTriangles; // per node (option bit 1), else null
    int depth;                      // deepest level (root 0)

    // Allocates the nodes for mesh; 0 when memory is short.
    int setMesh(CxTriangleMesh *mesh);
    void setOBBStartDepth(int depth) { obbStartDepth = depth > 0 ? depth : 0; }
    // Builds the whole tree; 0 when memory is short.
    int build();
    // Refits every box to the current vertices, keeping the box axes.
    void refit();
    BVNode *root() const { return nodesUsed > 0 ? nodes : nullptr; }
};

BVTree *BVTreeCreate(int sweptRectangles, int keepNodeTriangles);
void BVTreeDestroy(BVTree *tree);

// Connectivity made by build; vertices are corners matched by their
// coordinates.
struct CxMeshTopology {
    int *neighbours;   // 3 per triangle: the triangle across the edge from corner e to e + 1, -1 none
    int *cornerVertex; // 3 per triangle: the vertex at each corner
    int vertexCount;
    int *vertexCorner; // per vertex: one corner (3 x triangle + corner) at it
    int *ringStart;    // per vertex + 1: its ring is ring[ringStart[v] .. ringStart[v + 1])
    int *ring;         // the vertices joined to a vertex by an edge (repeats possible)
};

struct CxMeshTriangle {
    PxReal *vertex[3]; // caller-owned, three reals each
};

struct CxTriangleMesh {
    CdxGeometry header;
    BVTree *tree; // null until built
    int *flags;   // per triangle, every entry 1 after build
    int triangleCount;
    CxMeshTriangle *triangles;
    PxReal *normals; // 3 per triangle, after build
    PxReal *areas;   // 1 per triangle, after build
    int capacity;    // at least 1
    CdxTriangleMeshDestroyCallback destroyCallback;
    void *destroyData;
    void *reserved;
    PxReal *vertexArray; // stored for the caller
    int vertexCount;
    PxVector3 boxMin; // local box of all vertices
    PxVector3 boxMax;
    PxVector3 sphereCentre; // bounding sphere in the mesh frame
    PxReal sphereRadius;
    PxReal minArea;
    int options;
    int obbStartDepth;
    int closed;              // 1: every edge shared by two triangles running opposite ways
    CxMeshTopology topology; // after build
};

extern CdxGeometryTypeID gCxTriangleMeshTypeId;

// The mesh record of a geometry, or null for another type.
CxTriangleMesh *CxTriangleMeshRecord(CdxGeometryID geometry);
// The same, only when the mesh is built.
CxTriangleMesh *CxTriangleMeshBuilt(CdxGeometryID geometry);

inline const PxReal *CxMeshVertex(const CxTriangleMesh *mesh, int triangle, int corner)
{
    return mesh->triangles[triangle].vertex[corner];
}
inline const PxReal *CxMeshNormal(const CxTriangleMesh *mesh, int triangle)
{
    return mesh->normals + 3 * triangle;
}

// Twice the area vector: (b - a) x (c - a).
void CxTriangleCross(const PxReal *a, const PxReal *b, const PxReal *c, PxVector3 out);

// Builds the topology (replacing an earlier one). Returns 1 when the mesh
// is closed, 0 when not, -1 (and no topology) when memory is short.
int CxTriangleMeshBuildTopology(const CxTriangleMesh *mesh, CxMeshTopology *topology);
void CxTriangleMeshFreeTopology(CxMeshTopology *topology);
inline const PxReal *CxMeshVertexPosition(const CxTriangleMesh *mesh, int vertex)
{
    int corner = mesh->topology.vertexCorner[vertex];
    return CxMeshVertex(mesh, corner / 3, corner % 3);
}

// The mesh functions behind the public CdxTriangleMesh ones.
CdxGeometryID CxTriangleMeshCreate(int maxTriangles, int options);
void CxTriangleMeshDestroy(CdxGeometryID geometry);
int CxTriangleMeshAddTriangle(CdxGeometryID geometry, PxReal *a, PxReal *b, PxReal *c);
int CxTriangleMeshBuild(CdxGeometryID geometry);
CdxGeometryTypeID CxTriangleMeshRegisterType(void);
void CxTriangleMeshGetAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max);
void CxTriangleMeshGetBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius);
void CxTriangleMeshMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction,
                                PxVector3 point);
int16_t CxTriangleMeshGetMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia,
                                        PxReal *volume);
// Unit normals and areas of every triangle from the current vertices.
void CxTriangleMeshComputeNormals(CxTriangleMesh *mesh);
// The local box of all vertices and a bounding sphere centred on it.
void CxTriangleMeshComputeBounds(CxTriangleMesh *mesh);

// Normals, bounds and tree boxes anew from the vertices (deformable descent).
void CxTriangleMeshRefit(CxTriangleMesh *mesh);

#endif
