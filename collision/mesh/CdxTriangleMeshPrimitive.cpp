// The mesh's pair functions with the primitives (the mesh is model 1):
// candidates from every touching triangle, reduced to the pair's budget.
#include "mesh/CxTriangleMeshPrimitive.h"

#include <kelmar/CdxContactSimplify.h>

namespace {

const CdxRequest kPlaneRequest = {3, 0};
const CdxRequest kConvexRequest = {6, 0};
// Candidates gathered over all triangles before reduction.
const int kBufferSize = 1000;
// Plane candidates survive when deeper than this share of the deepest
// (the crossing points at the plane drop out as soon as anything
// penetrates).
const PxReal kPlaneKeep = 0.01;

// Keeps the plane candidates below kPlaneKeep x the deepest separation.
int keepDeepPlaneContacts(CdxContact *contacts, int count)
{
    PxReal deepest = 0.0;
    for (int k = 0; k < count; ++k) deepest = fmin(deepest, contacts[k].separation);
    int kept = 0;
    for (int k = 0; k < count; ++k)
        if (contacts[k].separation < kPlaneKeep * deepest) contacts[kept++] = contacts[k];
    return kept;
}

// The pair normal, from the primitive towards the mesh in the mesh frame:
// the deepest contact's (the feature that reaches furthest in, as a
// primitive pair would report it), or the mean of the touching triangles'
// when there are no contacts. Contact normals point the other way.
void pairNormal(const CxMeshPrimitiveQuery *q, PxVector3 normal)
{
    if (q->count > 0) {
        int deepest = 0;
        for (int k = 1; k < q->count; ++k)
            if (q->contacts[k].separation < q->contacts[deepest].separation) deepest = k;
        PxV3Scale(normal, q->contacts[deepest].normal, -1.0);
        return;
    }
    PxV3Scale(normal, q->normalSum, -1.0);
    if (PxV3Normalize(normal) == 0.0) PxV3Set(normal, 0.0, 0.0, 1.0);
}

// Contacts into the world with their final direction and the mesh's
// feature in the low byte of dims.
void contactsToWorld(CdxContact *contacts, int count, const PxReal tm[4][4])
{
    for (int k = 0; k < count; ++k) {
        CdxContact *c = &contacts[k];
        PxVector3 position, normal;
        PxV3MulTM(position, c->position, tm);
        PxV3MulTMDir(normal, c->normal, tm);
        PxV3Copy(c->position, position);
        PxV3Scale(c->normal, normal, -1.0);
        c->dims = (uint16_t)(((c->dims & 0xff) << 8) | (c->dims >> 8));
    }
}

int meshPrimitiveIntersect(CdxModelPair *pair, CdxIntersectResult *result, const CdxRequest *typeDefault)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CxMeshPrimitiveQuery q;
    if (!CxMeshPrimitiveQueryInit(&p, &q)) return CxPairNoTouch(result);
    int budget = CxPairBudget(pair, result, typeDefault);
    CdxContact buffer[kBufferSize];
    q.contacts = buffer;
    q.capacity = budget > 0 ? kBufferSize : 0;
    q.stopAtFirst = budget == 0;
    CxMeshPrimitiveDescend(&q);
    if (!q.touched) return CxPairNoTouch(result);
    if (q.kind == CxMeshPlane) q.count = keepDeepPlaneContacts(buffer, q.count);

    PxVector3 local, normal;
    pairNormal(&q, local);
    PxV3MulTMDir(normal, local, p.tm1);
    PxV3Copy(result->normal, normal);
    contactsToWorld(buffer, q.count, p.tm1);
    const CdxRequest *request = pair->request ? pair->request : typeDefault;
    result->contactCount = CdxContactSimplify(normal, buffer, q.count, result->contacts, budget,
                                              request->requestOption);
    return 1;
}

} // namespace

int CdxTriangleMeshPlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    return meshPrimitiveIntersect(pair, result, &kPlaneRequest);
}

int CdxTriangleMeshSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    return meshPrimitiveIntersect(pair, result, &kConvexRequest);
}

int CdxTriangleMeshBoxIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    return meshPrimitiveIntersect(pair, result, &kConvexRequest);
}

int CdxTriangleMeshCylinderIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    return meshPrimitiveIntersect(pair, result, &kConvexRequest);
}

int CdxTriangleMeshPrimitiveGetIntersectingTriangle(CdxModelPair *pair, int *triangles, int capacity)
{
    CdxIntersectResult scratch = {};
    CxPair p;
    if (!CxPairBegin(pair, &scratch, &p)) return 0;
    CxMeshPrimitiveQuery q;
    if (!CxMeshPrimitiveQueryInit(&p, &q)) return 0;
    q.geometric = 1;
    q.triangles = triangles;
    q.triangleCapacity = triangles && capacity > 0 ? capacity : 0;
    CxMeshPrimitiveDescend(&q);
    return q.triangleCount;
}
