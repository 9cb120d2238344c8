// The public triangle-mesh functions: they check their arguments and
// forward to the mesh record's functions; and the registration of the
// mesh's pairs.
#include "primitives/CxPrimitiveRecords.h"
#include "mesh/CxTriangleMeshRecord.h"

#include <kelmar/CdxInteractionTable.h>

namespace {

const char *const kTypeName = "CxTriangleMesh";

void registerPair(CdxGeometryTypeID other, CdxIntersectFn intersect)
{
    if (other < 0) return;
    CdxInteractions interactions;
    CdxInteractionsInit(&interactions);
    interactions.intersectFn = intersect;
    CdxInteractionTableSetElement(gCxTriangleMeshTypeId, other, &interactions, nullptr);
}

} // namespace

CdxGeometryTypeID CdxTriangleMeshRegisterType(void)
{
    return CxTriangleMeshRegisterType();
}

CdxGeometryTypeID CdxTriangleMeshGetTypeId(void)
{
    return gCxTriangleMeshTypeId;
}

const char *CdxTriangleMeshGetTypeName(void)
{
    return kTypeName;
}

void CdxTriangleMeshRegisterInteractions(void)
{
    if (gCxTriangleMeshTypeId < 0) return;
    registerPair(gCxTriangleMeshTypeId, CdxTriangleMeshTriangleMeshIntersect);
    registerPair(gCdxPlaneTypeId, CdxTriangleMeshPlaneIntersect);
    registerPair(gCdxSphereTypeId, CdxTriangleMeshSphereIntersect);
    registerPair(gCdxBoxTypeId, CdxTriangleMeshBoxIntersect);
    registerPair(gCdxCylinderTypeId, CdxTriangleMeshCylinderIntersect);
    CdxLineSegRegisterInteraction(gCxTriangleMeshTypeId, IxTriangleMeshLineSegment);
}

CdxGeometryID CdxTriangleMeshCreate(int maxTriangles)
{
    return CxTriangleMeshCreate(maxTriangles, 0);
}

CdxGeometryID CdxTriangleMeshCreateWithOptions(int maxTriangles, const int *options)
{
    return CxTriangleMeshCreate(maxTriangles, options ? *options : 0);
}

void CdxTriangleMeshDestroy(CdxGeometryID mesh)
{
    CxTriangleMeshDestroy(mesh);
}

void CdxTriangleMeshSetDestroyCallback(CdxGeometryID mesh, CdxTriangleMeshDestroyCallback fn, void *data)
{
    if (CxTriangleMesh *m = CxTriangleMeshRecord(mesh)) {
        m->destroyCallback = fn;
        m->destroyData = data;
    }
}

int CdxTriangleMeshAddTriangle(CdxGeometryID mesh, PxReal *a, PxReal *b, PxReal *c)
{
    CdxGeometryNoteEdit();
    return CxTriangleMeshAddTriangle(mesh, a, b, c);
}

int CdxTriangleMeshBuild(CdxGeometryID mesh)
{
    CdxGeometryNoteEdit();
    return CxTriangleMeshBuild(mesh);
}

int CdxTriangleMeshIsBuilt(CdxGeometryID mesh)
{
    return CxTriangleMeshBuilt(mesh) != nullptr;
}

void CdxTriangleMeshSetMinAreaThreshold(CdxGeometryID mesh, PxReal area)
{
    if (CxTriangleMesh *m = CxTriangleMeshRecord(mesh)) m->minArea = area;
}

PxReal CdxTriangleMeshGetMinAreaThreshold(CdxGeometryID mesh)
{
    CxTriangleMesh *m = CxTriangleMeshRecord(mesh);
    return m ? m->minArea : 0.0;
}

void CdxTriangleMeshSetOBBStartDepth(CdxGeometryID mesh, int depth)
{
    if (CxTriangleMesh *m = CxTriangleMeshRecord(mesh)) m->obbStartDepth = depth > 0 ? depth : 0;
}

int CdxTriangleMeshGetOBBStartDepth(CdxGeometryID mesh)
{
    CxTriangleMesh *m = CxTriangleMeshRecord(mesh);
    return m ? m->obbStartDepth : 0;
}

void CdxTriangleMeshSetVertexArray(CdxGeometryID mesh, PxReal *vertices, int vertexCount)
{
    if (CxTriangleMesh *m = CxTriangleMeshRecord(mesh)) {
        m->vertexArray = vertices;
        m->vertexCount = vertexCount;
    }
}

PxReal *CdxTriangleMeshGetVertexArray(CdxGeometryID mesh, int *vertexCount)
{
    CxTriangleMesh *m = CxTriangleMeshRecord(mesh);
    if (vertexCount) *vertexCount = m ? m->vertexCount : 0;
    return m ? m->vertexArray : nullptr;
}

int CdxTriangleMeshGetTriangleCount(CdxGeometryID mesh)
{
    CxTriangleMesh *m = CxTriangleMeshRecord(mesh);
    return m ? m->triangleCount : 0;
}

int CdxTriangleMeshGetTriangleVertexPtrs(CdxGeometryID mesh, int index, PxReal **a, PxReal **b, PxReal **c)
{
    CxTriangleMesh *m = CxTriangleMeshRecord(mesh);
    if (!m || index < 0 || index >= m->triangleCount) return 0;
    const CxMeshTriangle *t = &m->triangles[index];
    if (a) *a = t->vertex[0];
    if (b) *b = t->vertex[1];
    if (c) *c = t->vertex[2];
    return 1;
}

const PxReal *CdxTriangleMeshGetTriangleNormalPtr(CdxGeometryID mesh, int index)
{
    CxTriangleMesh *m = CxTriangleMeshBuilt(mesh);
    if (!m || index < 0 || index >= m->triangleCount) return nullptr;
    return CxMeshNormal(m, index);
}

int CdxTriangleMeshGetTriangleNormal(CdxGeometryID mesh, int index, PxVector3 normal)
{
    const PxReal *n = CdxTriangleMeshGetTriangleNormalPtr(mesh, index);
    if (!n || !normal) return 0;
    PxV3Copy(normal, n);
    return 1;
}

int *CdxTriangleMeshGetAuxData(CdxGeometryID mesh)
{
    CxTriangleMesh *m = CxTriangleMeshRecord(mesh);
    return m ? m->flags : nullptr;
}

int CdxTriangleMeshIsClosed(CdxGeometryID mesh)
{
    CxTriangleMesh *m = CxTriangleMeshBuilt(mesh);
    return m ? m->closed : 0;
}

void CdxTriangleMeshGetAABB(CdxGeometryID mesh, const PxMatrix4 transform, PxVector3 min, PxVector3 max)
{
    if (min && max) CxTriangleMeshGetAABB(mesh, transform, min, max);
}

void CdxTriangleMeshGetBSphere(CdxGeometryID mesh, PxVector3 centre, PxReal *radius)
{
    if (centre && radius) CxTriangleMeshGetBSphere(mesh, centre, radius);
}

int16_t CdxTriangleMeshGetMassProperties(CdxGeometryID mesh, PxMatrix4 relTransform, PxMatrix3 inertia,
                                         PxReal *volume)
{
    if (!relTransform || !inertia || !volume) return 0;
    return CxTriangleMeshGetMassProperties(mesh, relTransform, inertia, volume);
}
