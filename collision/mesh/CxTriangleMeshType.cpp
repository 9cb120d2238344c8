// The per-type functions of the triangle mesh (world box, bounding sphere,
// support point) and its registration as "CxTriangleMesh".
#include "primitives/CxPrimitiveRecords.h"
#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/CdxFrame.h>

#include <float.h>
#include <string.h>

namespace {

const char *const kTypeName = "CxTriangleMesh";

const PxMatrix4 kIdentityTM = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

void forgetTypeNumber(void)
{
    gCxTriangleMeshTypeId = -1;
}

// World box of a local box (centre, half-extents along the given local
// axes) placed by tm: extent along world axis k is sum_i h_i |(axis_i R)_k|.
void placedBox(const PxReal centre[3], const PxReal half[3], const PxReal axes[3][3], const PxReal tm[4][4],
               PxVector3 lo, PxVector3 hi)
{
    PxVector3 c, extent = {0, 0, 0};
    PxV3MulTM(c, centre, tm);
    for (int i = 0; i < 3; ++i) {
        PxVector3 axis;
        PxV3MulTMDir(axis, axes[i], tm);
        for (int k = 0; k < 3; ++k) extent[k] += half[i] * fabs(axis[k]);
    }
    PxV3Sub(lo, c, extent);
    PxV3Add(hi, c, extent);
}

void meshXYAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxReal out[4])
{
    CxPrimitiveXYFromAABB(geometry, transform, out, CxTriangleMeshGetAABB);
}

// Largest dot(v, d) over the vertices under node, skipping subtrees whose
// box cannot beat the best so far.
void supportDescent(const CxTriangleMesh *mesh, const BVNode *node, const PxVector3 d, PxReal *best,
                    const PxReal **bestVertex)
{
    if (CxObbSupportValue(&node->box, d) <= *best) return;
    if (node->triangle >= 0) {
        for (int k = 0; k < 3; ++k) {
            const PxReal *v = CxMeshVertex(mesh, node->triangle, k);
            PxReal value = PxV3Dot(v, d);
            if (value > *best) {
                *best = value;
                *bestVertex = v;
            }
        }
        return;
    }
    // The more promising child first tightens the bound for the other.
    const BVNode *first = node->left, *second = node->right;
    if (CxObbSupportValue(&second->box, d) > CxObbSupportValue(&first->box, d)) {
        first = node->right;
        second = node->left;
    }
    supportDescent(mesh, first, d, best, bestVertex);
    supportDescent(mesh, second, d, best, bestVertex);
}

} // namespace

void CxTriangleMeshGetAABB(CdxGeometryID geometry, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    if (!mesh) return;
    const PxReal(*tm)[4] = transform ? transform : kIdentityTM;
    // Two valid bounds, the placed local box and the placed root box; the
    // world box is their intersection.
    PxVector3 centre, half, lo, hi;
    PxV3Add(centre, mesh->boxMin, mesh->boxMax);
    PxV3Scale(centre, centre, 0.5);
    PxV3Sub(half, mesh->boxMax, mesh->boxMin);
    PxV3Scale(half, half, 0.5);
    PxMatrix3 identity;
    PxM3Identity(identity);
    if (!mesh->tree) {
        // Unbuilt: no local box yet, only the placed origin.
        PxV3Zero(centre);
        PxV3Zero(half);
    }
    placedBox(centre, half, identity, tm, lo, hi);
    if (const BVNode *root = mesh->tree ? mesh->tree->root() : nullptr) {
        PxVector3 rootLo, rootHi;
        placedBox(root->box.centre, root->box.halfExtents, root->box.axes, tm, rootLo, rootHi);
        for (int k = 0; k < 3; ++k) {
            lo[k] = fmax(lo[k], rootLo[k]);
            hi[k] = fmin(hi[k], rootHi[k]);
        }
    }
    CxPrimitiveStoreBounds(geometry, lo, hi, min, max);
}

void CxTriangleMeshGetBSphere(CdxGeometryID geometry, PxVector3 centre, PxReal *radius)
{
    CxTriangleMesh *mesh = CxTriangleMeshRecord(geometry);
    if (!mesh) return;
    PxV3Copy(centre, mesh->sphereCentre);
    *radius = mesh->sphereRadius;
}

void CxTriangleMeshMaximumPoint(CdxGeometryID geometry, const PxMatrix4 transform, const PxVector3 direction,
                                PxVector3 point)
{
    CxTriangleMesh *mesh = CxTriangleMeshBuilt(geometry);
    const PxReal(*tm)[4] = transform ? transform : kIdentityTM;
    if (!mesh) {
        PxV3Copy(point, tm[3]);
        return;
    }
    PxVector3 local;
    PxV3MulTMDirInverse(local, direction, tm);
    PxReal best = -DBL_MAX;
    const PxReal *vertex = CxMeshVertex(mesh, 0, 0);
    supportDescent(mesh, mesh->tree->root(), local, &best, &vertex);
    PxV3MulTM(point, vertex, tm);
}

CdxGeometryTypeID CxTriangleMeshRegisterType(void)
{
    if (gCxTriangleMeshTypeId >= 0 && strcmp(CdxGeometryGetTypeNameFromId(gCxTriangleMeshTypeId), kTypeName) == 0)
        return gCxTriangleMeshTypeId;
    gCxTriangleMeshTypeId = CdxGeometryRegisterType(kTypeName, CxTriangleMeshDestroy, CxTriangleMeshGetAABB,
                                                    meshXYAABB, CxTriangleMeshGetBSphere, CxTriangleMeshMaximumPoint,
                                                    CxTriangleMeshGetMassProperties);
    if (gCxTriangleMeshTypeId >= 0) CdxRegisterTermAction(forgetTypeNumber);
    return gCxTriangleMeshTypeId;
}
