// Life of a triangle mesh: creation, adding triangles, the build (normals,
// areas, flags, local box, bounding sphere, tree) and destruction.
#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/CdxMessage.h>
#include <kelmar/PxMemory.h>

#include <float.h>
#include <stdio.h>

CdxGeometryTypeID gCxTriangleMeshTypeId = -1;

namespace {

// Smallest triangle area accepted at creation.
const PxReal kDefaultMinArea = 1e-14;
// Build shrinks the triangle array when it has more than this many unused
// places.
const int kShrinkSlack = 10;

void freeBuildArrays(CxTriangleMesh *mesh)
{
    PxMemoryAPI.destroy(mesh->normals);
    PxMemoryAPI.destroy(mesh->areas);
    PxMemoryAPI.destroy(mesh->flags);
    CxTriangleMeshFreeTopology(&mesh->topology);
    BVTreeDestroy(mesh->tree);
    mesh->normals = mesh->areas = nullptr;
    mesh->flags = nullptr;
    mesh->tree = nullptr;
}

int resizeTriangles(CxTriangleMesh *mesh, int capacity)
{
    void *grown = PxMemoryAPI.resize(mesh->triangles, sizeof(CxMeshTriangle) * (size_t)capacity);
    if (!grown) return 0;
    mesh->triangles = static_cast<CxMeshTriangle *>(grown);
    mesh->capacity = capacity;
    return 1;
}

void reportDegenerate(const PxReal *a, const PxReal *b, const PxReal *c, PxReal area)
{
    char text[400];
    snprintf(text, sizeof text, "\n[(%g, %g, %g), (%g, %g, %g), (%g, %g, %g)] area %g", a[0], a[1], a[2], b[0], b[1],
             b[2], c[0], c[1], c[2], area);
    CdxError(gCdxCoreErrorList, CdxErrMeshDegenerateTriangle, text);
}

int buildTree(CxTriangleMesh *mesh)
{
    BVTree *tree = BVTreeCreate(mesh->options & CdxTriangleMeshOptionSweptRectangles,
                                mesh->options & CdxTriangleMeshOptionKeepNodeTriangles);
    if (!tree) return 0;
    tree->setOBBStartDepth(mesh->obbStartDepth);
    if (!tree->setMesh(mesh) || !tree->build()) {
        BVTreeDestroy(tree);
        return 0;
    }
    mesh->tree = tree;
    return 1;
}

} // namespace

void CxTriangleMeshComputeBounds(CxTriangleMesh *mesh)
{
    PxV3Set(mesh->boxMin, DBL_MAX, DBL_MAX, DBL_MAX);
    PxV3Set(mesh->boxMax, -DBL_MAX, -DBL_MAX, -DBL_MAX);
    for (int t = 0; t < mesh->triangleCount; ++t)
        for (int k = 0; k < 3; ++k) {
            const PxReal *v = CxMeshVertex(mesh, t, k);
            for (int i = 0; i < 3; ++i) {
                mesh->boxMin[i] = fmin(mesh->boxMin[i], v[i]);
                mesh->boxMax[i] = fmax(mesh->boxMax[i], v[i]);
            }
        }
    PxV3Add(mesh->sphereCentre, mesh->boxMin, mesh->boxMax);
    PxV3Scale(mesh->sphereCentre, mesh->sphereCentre, 0.5);
    PxReal radius2 = 0.0;
    for (int t = 0; t < mesh->triangleCount; ++t)
        for (int k = 0; k < 3; ++k) {
            PxVector3 d;
            PxV3Sub(d, CxMeshVertex(mesh, t, k), mesh->sphereCentre);
            radius2 = fmax(radius2, PxV3LengthSquared(d));
        }
    mesh->sphereRadius = sqrt(radius2);
}

CxTriangleMesh *CxTriangleMeshRecord(CdxGeometryID geometry)
{
    if (!geometry || gCxTriangleMeshTypeId < 0 || geometry->typeId != gCxTriangleMeshTypeId) return nullptr;
    return reinterpret_cast<CxTriangleMesh *>(geometry);
}

CxTriangleMesh *CxTriangleMeshBuilt(CdxGeometryID geometry)
{
    CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    return mesh && mesh->tree ? mesh : nullptr;
}

void CxTriangleCross(const PxReal *a, const PxReal *b, const PxReal *c, PxVector3 out)
{
    PxVector3 ab, ac;
    PxV3Sub(ab, b, a);
    PxV3Sub(ac, c, a);
    PxV3Cross(out, ab, ac);
}

CdxGeometryID CxTriangleMeshCreate(int maxTriangles, int options)
{
    if (gCxTriangleMeshTypeId < 0) {
        CdxError(gCdxCoreErrorList, CdxErrWarning, "CdxTriangleMeshCreate: the triangle mesh type is not registered");
        return nullptr;
    }
    CxTriangleMesh *mesh = static_cast<CxTriangleMesh *>(PxMemoryAPI.createZeroed(sizeof(CxTriangleMesh)));
    if (!mesh) return nullptr;
    CdxGeometryInitObject(&mesh->header, gCxTriangleMeshTypeId);
    mesh->minArea = kDefaultMinArea;
    mesh->options = options;
    if (!resizeTriangles(mesh, maxTriangles > 1 ? maxTriangles : 1)) {
        PxMemoryAPI.destroy(mesh);
        return nullptr;
    }
    return &mesh->header;
}

void CxTriangleMeshDestroy(CdxGeometryID geometry)
{
    CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    if (!mesh) return;
    if (mesh->destroyCallback) mesh->destroyCallback(geometry, mesh->destroyData);
    freeBuildArrays(mesh);
    PxMemoryAPI.destroy(mesh->triangles);
    PxMemoryAPI.destroy(mesh);
}

int CxTriangleMeshAddTriangle(CdxGeometryID geometry, PxReal *a, PxReal *b, PxReal *c)
{
    CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    if (!mesh || !a || !b || !c) return 0;
    PxVector3 cross;
    CxTriangleCross(a, b, c, cross);
    PxReal area = 0.5 * PxV3Length(cross);
    if (!(area >= mesh->minArea)) {
        reportDegenerate(a, b, c, area);
        return 0;
    }
    if (mesh->triangleCount == mesh->capacity && !resizeTriangles(mesh, 2 * mesh->capacity)) {
        CdxError(gCdxCoreErrorList, CdxErrMeshTrianglesFull, nullptr);
        return 0;
    }
    // The tree, normals and topology no longer cover every triangle: the
    // mesh is unbuilt until the next build.
    freeBuildArrays(mesh);
    CxMeshTriangle *t = &mesh->triangles[mesh->triangleCount++];
    t->vertex[0] = a;
    t->vertex[1] = b;
    t->vertex[2] = c;
    return 1;
}

void CxTriangleMeshComputeNormals(CxTriangleMesh *mesh)
{
    for (int t = 0; t < mesh->triangleCount; ++t) {
        PxReal *n = mesh->normals + 3 * t;
        CxTriangleCross(CxMeshVertex(mesh, t, 0), CxMeshVertex(mesh, t, 1), CxMeshVertex(mesh, t, 2), n);
        PxReal length = PxV3Normalize(n);
        mesh->areas[t] = 0.5 * length;
        // A triangle of no area (accepted only below a zero threshold)
        // still gets a unit normal so that no test divides by zero.
        if (length == 0.0) PxV3Set(n, 0.0, 0.0, 1.0);
    }
}

int CxTriangleMeshBuild(CdxGeometryID geometry)
{
    CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    if (!mesh) return 0;
    if (mesh->triangleCount == 0) {
        CdxError(gCdxCoreErrorList, CdxErrMeshEmpty, nullptr);
        return 0;
    }
    if (mesh->capacity > mesh->triangleCount + kShrinkSlack) resizeTriangles(mesh, mesh->triangleCount);
    freeBuildArrays(mesh);
    size_t n = (size_t)mesh->triangleCount;
    mesh->normals = static_cast<PxReal *>(PxMemoryAPI.create(3 * n * sizeof(PxReal)));
    mesh->areas = static_cast<PxReal *>(PxMemoryAPI.create(n * sizeof(PxReal)));
    mesh->flags = static_cast<int *>(PxMemoryAPI.create(n * sizeof(int)));
    if (!mesh->normals || !mesh->areas || !mesh->flags) {
        freeBuildArrays(mesh);
        return 0;
    }
    for (size_t t = 0; t < n; ++t) mesh->flags[t] = 1;
    CxTriangleMeshComputeNormals(mesh);
    CxTriangleMeshComputeBounds(mesh);
    if (!buildTree(mesh)) {
        freeBuildArrays(mesh);
        return 0;
    }
    int closed = CxTriangleMeshBuildTopology(mesh, &mesh->topology);
    if (closed < 0) {
        freeBuildArrays(mesh);
        return 0;
    }
    mesh->closed = closed;
    return 1;
}
