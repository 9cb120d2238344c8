/* Triangle meshes: a collision geometry made of triangles whose vertex
 * coordinates the caller owns, with a bounding-volume tree (one triangle
 * per leaf, an oriented box per node) that the pair functions descend.
 *
 * Use: create the mesh, add every triangle, build, then place it in
 * models. A triangle's normal is (b - a) x (c - a) normalised, so a closed
 * mesh whose triangles run counter-clockwise seen from outside has outward
 * normals. A mesh in which every edge is shared by exactly two triangles
 * running it in opposite directions is closed: it is treated as a solid
 * (contacts from behind a face are not reported, mass properties are those
 * of the enclosed volume); any other mesh is a two-sided surface.
 *
 * In every pair function the mesh is model 1; contact normals point from
 * model 2 towards the mesh and element1 of each contact is the index of
 * the mesh triangle it lies on (for two meshes element2 is the other
 * mesh's triangle). */
#ifndef KELMAR_CDXTRIANGLEMESH_H
#define KELMAR_CDXTRIANGLEMESH_H

#include "CdxTypes.h"

PX_EXTERN_C_BEGIN

/* Option bits of CdxTriangleMeshCreateWithOptions. */
enum {
    /* Swept-sphere rectangles on the tree nodes: accepted, no further
     * effect. */
    CdxTriangleMeshOptionSweptRectangles = 1,
    /* Keep the triangle index list of every tree node (used to refit the
     * boxes of meshes whose vertices move, see the OBB start depth). */
    CdxTriangleMeshOptionKeepNodeTriangles = 2
};

/* Called by CdxTriangleMeshDestroy with the mesh and the data given. */
typedef void (*CdxTriangleMeshDestroyCallback)(CdxGeometryID mesh, void *data);

/* ---- Registration (after CdxInit and the primitive types) ---- */

/* Registers the type "CxTriangleMesh" once per CdxInit and returns its
 * number. */
CdxGeometryTypeID CdxTriangleMeshRegisterType(void);
CdxGeometryTypeID CdxTriangleMeshGetTypeId(void); /* -1 before registration */
const char *CdxTriangleMeshGetTypeName(void);     /* "CxTriangleMesh" */
/* Registers mesh-mesh, then mesh-plane, mesh-sphere, mesh-box and
 * mesh-cylinder (intersect functions only; pairs with a primitive type
 * that is not registered are left out), then the mesh's line-segment
 * function. */
void CdxTriangleMeshRegisterInteractions(void);

/* ---- Life ---- */

/* A mesh with room for maxTriangles (values below 1 give 1); null when the
 * type is not registered or memory is short. */
CdxGeometryID CdxTriangleMeshCreate(int maxTriangles);
/* The same with option bits (null: 0). */
CdxGeometryID CdxTriangleMeshCreateWithOptions(int maxTriangles, const int *options);
/* Runs the destroy callback, then frees the mesh (never the vertices). */
void CdxTriangleMeshDestroy(CdxGeometryID mesh);
void CdxTriangleMeshSetDestroyCallback(CdxGeometryID mesh, CdxTriangleMeshDestroyCallback fn, void *data);

/* Adds the triangle a, b, c (pointers to three reals each, kept, not
 * copied: they must live as long as the mesh). The capacity doubles when
 * full. A built mesh becomes unbuilt until it is built again. Returns 1
 * when added; 0 for a triangle whose area is below the
 * minimum area (warning 29 with its corners and area), a null argument or
 * no memory (warning 28). */
int CdxTriangleMeshAddTriangle(CdxGeometryID mesh, PxReal *a, PxReal *b, PxReal *c);
/* Computes normals, areas, flags, the local box, the bounding sphere and
 * the tree (replacing an earlier one). Returns 1, or 0 when the mesh has
 * no triangles (warning 30) or memory is short; the mesh stays unbuilt
 * then. Vertices moved after a build need a new build, unless the OBB
 * start depth is set (see below). */
int CdxTriangleMeshBuild(CdxGeometryID mesh);
int CdxTriangleMeshIsBuilt(CdxGeometryID mesh);

/* Smallest area of a triangle that is added (1e-14 at creation). */
void CdxTriangleMeshSetMinAreaThreshold(CdxGeometryID mesh, PxReal area);
PxReal CdxTriangleMeshGetMinAreaThreshold(CdxGeometryID mesh);
/* Tree levels shallower than depth get axis-aligned boxes (0 at
 * creation: oriented boxes everywhere); takes effect at the next build.
 * When both meshes of a pair have a nonzero depth, the pair refits every
 * node box to the current vertices once per call before descending, so
 * meshes whose vertices move stay correct without a rebuild. */
void CdxTriangleMeshSetOBBStartDepth(CdxGeometryID mesh, int depth);
int CdxTriangleMeshGetOBBStartDepth(CdxGeometryID mesh);

/* A vertex array and its count, stored for the caller (the OBJ reader
 * stores the array it made). */
void CdxTriangleMeshSetVertexArray(CdxGeometryID mesh, PxReal *vertices, int vertexCount);
PxReal *CdxTriangleMeshGetVertexArray(CdxGeometryID mesh, int *vertexCount);

/* ---- Queries ---- */

int CdxTriangleMeshGetTriangleCount(CdxGeometryID mesh);
/* The three vertex pointers of triangle index; 0 for an index out of
 * range. */
int CdxTriangleMeshGetTriangleVertexPtrs(CdxGeometryID mesh, int index, PxReal **a, PxReal **b, PxReal **c);
/* Unit normal of triangle index (built meshes only; null otherwise). */
const PxReal *CdxTriangleMeshGetTriangleNormalPtr(CdxGeometryID mesh, int index);
int CdxTriangleMeshGetTriangleNormal(CdxGeometryID mesh, int index, PxVector3 normal);
/* The per-triangle flags made by build (every entry 1), null before. */
int *CdxTriangleMeshGetAuxData(CdxGeometryID mesh);
/* 1 when the built mesh is closed (see above). */
int CdxTriangleMeshIsClosed(CdxGeometryID mesh);
/* World box of the mesh placed by transform (null: identity). */
void CdxTriangleMeshGetAABB(CdxGeometryID mesh, const PxMatrix4 transform, PxVector3 min, PxVector3 max);
/* Bounding sphere in the mesh frame. */
void CdxTriangleMeshGetBSphere(CdxGeometryID mesh, PxVector3 centre, PxReal *radius);
/* Volume, centre-of-mass frame (identity rotation, the centre as
 * translation) and inertia per unit mass about the centre of mass of the
 * volume a closed mesh encloses. Returns 0 (volume 0) when the mesh is
 * unbuilt, not closed (an open surface bounds no solid, and the sum of its
 * tetrahedra would depend on where they meet) or encloses no volume. */
int16_t CdxTriangleMeshGetMassProperties(CdxGeometryID mesh, PxMatrix4 relTransform, PxMatrix3 inertia,
                                         PxReal *volume);

/* ---- Pair functions (registered by CdxTriangleMeshRegisterInteractions) ---- */

/* Two meshes: contacts at the ends of the intersection segments of
 * crossing triangles. The pair's request is not read: the budget is the
 * result's capacity (at most 30 contacts are kept); capacity 0 only
 * reports whether any triangles cross. */
int CdxTriangleMeshTriangleMeshIntersect(CdxModelPair *pair, CdxIntersectResult *result);
/* Mesh against a primitive; budget min(request contactMaxCount, capacity)
 * with the type default when the pair has no request (plane {3, 0},
 * sphere, box, cylinder {6, 0}); budget 0 reports touch only. */
int CdxTriangleMeshPlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxTriangleMeshSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxTriangleMeshBoxIntersect(CdxModelPair *pair, CdxIntersectResult *result);
int CdxTriangleMeshCylinderIntersect(CdxModelPair *pair, CdxIntersectResult *result);
/* Nearest hit of the segment p0..p1 (world) with the mesh: point, the
 * face normal (the outward one of a closed mesh, else the one facing p0)
 * and the distance from p0. */
int IxTriangleMeshLineSegment(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result);

/* ---- Diagnostics (the pair's models must be a mesh and, for the first
 * two, a second mesh; model order as in the pair) ---- */

/* Writes up to capacity index pairs {triangle of model 1, triangle of
 * model 2} of crossing triangles into pairs (2 x capacity ints); returns
 * how many crossing pairs there are (possibly more than written). */
int CdxTriangleMeshTriangleMeshGetIntersectingTriangles(CdxModelPair *pair, int *pairs, int capacity);
/* The closest triangles of two meshes and their distance (0 when they
 * cross). Returns 0 when a model is not a built mesh. */
int CdxTriangleMeshTriangleMeshGetClosestTriangles(CdxModelPair *pair, int *triangle1, int *triangle2,
                                                   PxReal *distance);
/* Model 1 a mesh, model 2 a sphere, box, cylinder or plane: writes up to
 * capacity indices of the triangles that touch the primitive within the
 * summed tolerances; returns how many touch. */
int CdxTriangleMeshPrimitiveGetIntersectingTriangle(CdxModelPair *pair, int *triangles, int capacity);

/* ---- Wavefront OBJ files ---- */

/* Reads "v x y z" vertex lines and "f i j k ..." face lines (an index may
 * carry "/texture/normal" parts and be negative, counting back from the
 * last vertex read); polygons are fanned into triangles from their first
 * corner; other lines are ignored. Equal vertices are shared. The file is
 * found through the search list. Returns a built mesh that owns its
 * vertex array (freed on destroy), or null: an unreadable file (warning),
 * a malformed line (fatal error naming the line; when the fatal handler
 * returns nothing is kept) or a file without usable triangles. */
CdxGeometryID CdxuTriangleMeshCreateFromObj(const char *fileName);
/* Writes the mesh's triangles as shared vertices and faces; returns 1, or
 * 0 with a warning when the file cannot be written. */
int CdxuTriangleMeshWriteToObj(CdxGeometryID mesh, const char *fileName);
/* The vertex sharing of the reader: a hash of three reals and their
 * ordering (negative, zero or positive; -0 and 0 are equal). */
unsigned int CdxuTriangleMeshVectorHashFn(const void *key, unsigned int size);
int CdxuTriangleMeshCompareVectors(const void *a, const void *b);

PX_EXTERN_C_END

#endif
