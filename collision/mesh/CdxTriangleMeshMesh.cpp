// The mesh-mesh pair function and the diagnostics of two meshes.
#include "primitives/CxPrimitivePair.h"
#include "mesh/CxSODistTriTri.h"
#include "mesh/CxTriangleMeshMesh.h"

#include <float.h>

namespace {

// Summed normals shorter than this are left as they are.
const PxReal kShortNormal = 1e-7;

int beginMeshPair(CdxModelPair *pair, CdxIntersectResult *result, CxPair *p, CxTriangleMesh **a, CxTriangleMesh **b)
{
    if (!CxPairBegin(pair, result, p)) return 0;
    *a = CxTriangleMeshBuilt(p->model1->geometry);
    *b = CxTriangleMeshBuilt(p->model2->geometry);
    return *a && *b;
}

// The pair normal in A's frame: the small-mesh normal, else the summed
// contact normals, else from B's centre towards A's.
void pairNormal(const CxMeshMeshQuery *q, int small, PxVector3 normal)
{
    if (small && CxMeshMeshTraceNormal(q, normal)) return;
    PxV3Copy(normal, q->normalSum);
    if (PxV3Normalize(normal) > kShortNormal) return;
    PxVector3 centreB;
    q->bToA.applyPoint(centreB, q->b->sphereCentre);
    PxV3Sub(normal, q->a->sphereCentre, centreB);
    if (PxV3Normalize(normal) == 0.0) PxV3Set(normal, 0.0, 0.0, 1.0);
}

// Held contacts to the result: normals normalised (or the shared one),
// separations averaged over their merges, all carried into the world.
void writeContacts(const CxMeshMeshQuery *q, int shareNormal, const PxVector3 shared, const PxReal tm[4][4],
                   CdxIntersectResult *result)
{
    for (int i = 0; i < q->heldCount; ++i) {
        const CxHeldContact *h = &q->held[i];
        CdxContact *c = &result->contacts[i];
        *c = h->contact;
        PxVector3 normal;
        PxV3Copy(normal, shareNormal ? shared : h->contact.normal);
        if (PxV3Length(normal) > kShortNormal) PxV3Normalize(normal);
        c->separation = h->contact.separation / h->merged;
        PxV3MulTM(c->position, h->contact.position, tm);
        PxV3MulTMDir(c->normal, normal, tm);
    }
    result->contactCount = q->heldCount;
}

struct ClosestSearch {
    const CxMeshMeshQuery *q;
    PxReal best;
    int triangleA, triangleB;
};

void closestLeaves(ClosestSearch *s, int ta, int tb)
{
    PxVector3 va[3], vb[3], pa, pb;
    for (int k = 0; k < 3; ++k) {
        PxV3Copy(va[k], CxMeshVertex(s->q->a, ta, k));
        s->q->bToA.applyPoint(vb[k], CxMeshVertex(s->q->b, tb, k));
    }
    PxReal distance = CxSODistTriTriClosest(va, vb, pa, pb);
    if (distance < s->best) {
        s->best = distance;
        s->triangleA = ta;
        s->triangleB = tb;
    }
}

// Branch and bound: a node pair whose boxes are farther apart than the best
// distance so far cannot hold a closer pair.
void closestNodes(ClosestSearch *s, const BVNode *na, const BVNode *nb)
{
    if (s->best == 0.0 || CxObbSeparation(&na->box, &nb->box, &s->q->bToA) >= s->best) return;
    int leafA = na->triangle >= 0, leafB = nb->triangle >= 0;
    if (leafA && leafB) {
        closestLeaves(s, na->triangle, nb->triangle);
        return;
    }
    PxReal sizeA = na->box.halfExtents[0] + na->box.halfExtents[1] + na->box.halfExtents[2];
    PxReal sizeB = nb->box.halfExtents[0] + nb->box.halfExtents[1] + nb->box.halfExtents[2];
    if (leafA || (!leafB && sizeA <= sizeB)) {
        closestNodes(s, na, nb->left);
        closestNodes(s, na, nb->right);
    } else {
        closestNodes(s, na->left, nb);
        closestNodes(s, na->right, nb);
    }
}

} // namespace

int CdxTriangleMeshTriangleMeshIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    CxTriangleMesh *a, *b;
    if (!beginMeshPair(pair, result, &p, &a, &b)) return CxPairNoTouch(result);
    int capacity = result->contacts && result->contactCapacity > 0 ? result->contactCapacity : 0;
    CxMeshMeshQuery q;
    CxMeshMeshQueryInit(&q, a, p.tm1, b, p.tm2, p.eps);
    q.limit = capacity < CxMeshMeshMaxHeld ? capacity : CxMeshMeshMaxHeld;
    q.stopAtFirst = capacity == 0;
    CxMeshMeshDescend(&q);
    if (!q.touched) return CxPairNoTouch(result);

    int small = CxMeshMeshIsSmall(a, b);
    PxVector3 local;
    pairNormal(&q, small, local);
    PxV3MulTMDir(result->normal, local, p.tm1);
    writeContacts(&q, small, local, p.tm1, result);
    return 1;
}

int CdxTriangleMeshTriangleMeshGetIntersectingTriangles(CdxModelPair *pair, int *pairs, int capacity)
{
    CdxIntersectResult scratch = {};
    CxPair p;
    CxTriangleMesh *a, *b;
    if (!beginMeshPair(pair, &scratch, &p, &a, &b)) return 0;
    CxMeshMeshQuery q;
    CxMeshMeshQueryInit(&q, a, p.tm1, b, p.tm2, p.eps);
    q.pairs = pairs;
    q.pairCapacity = pairs && capacity > 0 ? capacity : 0;
    CxMeshMeshDescend(&q);
    return q.pairCount;
}

int CdxTriangleMeshTriangleMeshGetClosestTriangles(CdxModelPair *pair, int *triangle1, int *triangle2,
                                                   PxReal *distance)
{
    CdxIntersectResult scratch = {};
    CxPair p;
    CxTriangleMesh *a, *b;
    if (!beginMeshPair(pair, &scratch, &p, &a, &b)) return 0;
    CxMeshMeshQuery q;
    CxMeshMeshQueryInit(&q, a, p.tm1, b, p.tm2, 0.0);
    // Crossing triangles are at distance 0: the first crossing pair found.
    int crossing[2] = {0, 0};
    q.stopAtFirst = 1;
    q.pairs = crossing;
    q.pairCapacity = 1;
    CxMeshMeshDescend(&q);
    ClosestSearch s = {&q, 0.0, crossing[0], crossing[1]};
    if (!q.touched) {
        s.best = DBL_MAX;
        closestNodes(&s, a->tree->root(), b->tree->root());
    }
    if (triangle1) *triangle1 = s.triangleA;
    if (triangle2) *triangle2 = s.triangleB;
    if (distance) *distance = s.best;
    return 1;
}
