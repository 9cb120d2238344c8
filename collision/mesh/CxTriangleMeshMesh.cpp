// Two meshes: both trees are descended at once, always opening the node
// with the larger box; the triangle pairs at the leaves are intersected and
// the ends of their intersection segments become contacts.
#include "mesh/CxTriangleMeshMesh.h"
#include "mesh/CxSODistTriTri.h"
#include "mesh/CxTriangleMeshTriTri.h"

namespace {

// Edge directions shorter than this give no edge-edge normal.
const PxReal kZeroLength = 1e-14;

// The triangle's corners and unit normal in A's frame.
void triangleInA(const CxMeshMeshQuery *q, const CxTriangleMesh *mesh, int t, int fromB, PxVector3 v[3], PxVector3 n)
{
    for (int k = 0; k < 3; ++k) {
        if (fromB)
            q->bToA.applyPoint(v[k], CxMeshVertex(mesh, t, k));
        else
            PxV3Copy(v[k], CxMeshVertex(mesh, t, k));
    }
    if (fromB)
        q->bToA.applyDirection(n, CxMeshNormal(mesh, t));
    else
        PxV3Copy(n, CxMeshNormal(mesh, t));
}

// The normal from B towards A that the configuration of a crossing
// suggests, and its feature dimensions: an edge of A through B's face
// pushes along B's normal, an edge of B through A's face against A's
// normal, two crossing edges along their cross product turned away from B.
int configurationNormal(const CxTriTriIntersection *x, const PxVector3 va[3], const PxVector3 na,
                        const PxVector3 vb[3], const PxVector3 nb, PxVector3 normal)
{
    if (x->source[0] == CxTriTriFromA && x->source[1] == CxTriTriFromA) {
        PxV3Copy(normal, nb);
        return CdxDimEdge | CdxDimFace << 8;
    }
    if (x->source[0] == CxTriTriFromB && x->source[1] == CxTriTriFromB) {
        PxV3Scale(normal, na, -1.0);
        return CdxDimFace | CdxDimEdge << 8;
    }
    int endA = x->source[0] == CxTriTriFromA ? 0 : 1, endB = 1 - endA;
    PxVector3 edgeA, edgeB, away;
    PxV3Sub(edgeA, va[(x->edge[endA] + 1) % 3], va[x->edge[endA]]);
    PxV3Sub(edgeB, vb[(x->edge[endB] + 1) % 3], vb[x->edge[endB]]);
    PxV3Cross(normal, edgeA, edgeB);
    PxReal scale = PxV3Length(edgeA) * PxV3Length(edgeB);
    if (!(PxV3Normalize(normal) > kZeroLength * scale)) {
        PxV3Copy(normal, nb);
        return CdxDimEdge | CdxDimFace << 8;
    }
    PxV3Sub(away, nb, na);
    if (PxV3LengthSquared(away) < kZeroLength) {
        // Equal face normals: away from B's corners towards A's.
        for (int k = 0; k < 3; ++k) {
            PxV3Add(away, away, va[k]);
            PxV3Sub(away, away, vb[k]);
        }
    }
    if (PxV3Dot(normal, away) < 0.0) PxV3Scale(normal, normal, -1.0);
    return CdxDimEdge | CdxDimEdge << 8;
}

// Normal (from B towards A), depth and feature dimensions of a crossing.
// Each triangle is culled against the other's walls and measured below
// its face; the face that the other reaches less deeply under is the way
// out (on a finely divided surface the configuration of one small pair
// says little about which solid is inside which). When neither reaches
// over the other's face, the configuration decides and the depth is 0.
int crossingContact(const CxTriTriIntersection *x, const PxVector3 va[3], const PxVector3 na, const PxVector3 vb[3],
                    const PxVector3 nb, PxVector3 normal, PxReal *depth)
{
    *depth = 0.0;
    if (x->coplanar) {
        PxV3Copy(normal, nb);
        return CdxDimFace | CdxDimFace << 8;
    }
    CxSODist d;
    CxSODistTriTri(va, na, vb, nb, &d);
    if (!d.aOverB && !d.bOverA) return configurationNormal(x, va, na, vb, nb, normal);
    if (d.aOverB && (!d.bOverA || d.aUnderB >= d.bUnderA)) {
        PxV3Copy(normal, nb);
        *depth = fmin(d.aUnderB, 0.0);
        return CdxDimEdge | CdxDimFace << 8;
    }
    PxV3Scale(normal, na, -1.0);
    *depth = fmin(d.bUnderA, 0.0);
    return CdxDimFace | CdxDimEdge << 8;
}

// The segment's share of the area vector of the intersection trace, taken
// about A's bounding-sphere centre (any point serves for a closed trace).
void addTrace(CxMeshMeshQuery *q, const CxTriTriIntersection *x)
{
    if (x->coplanar) return;
    PxVector3 p0, p1, area;
    PxV3Sub(p0, x->points[0], q->a->sphereCentre);
    PxV3Sub(p1, x->points[1], q->a->sphereCentre);
    PxV3Cross(area, p0, p1);
    PxV3AddScaled(q->traceArea, q->traceArea, area, 0.5);
    q->traceLength += PxV3Distance(x->points[0], x->points[1]);
}

void collideTriTri(CxMeshMeshQuery *q, int ta, int tb)
{
    PxVector3 va[3], vb[3], na, nb;
    triangleInA(q, q->a, ta, 0, va, na);
    triangleInA(q, q->b, tb, 1, vb, nb);
    CxTriTriIntersection x;
    if (!CxTriTriIntersect(va, na, vb, nb, &x)) return;
    q->touched = 1;
    if (q->pairs && q->pairCount < q->pairCapacity) {
        q->pairs[2 * q->pairCount] = ta;
        q->pairs[2 * q->pairCount + 1] = tb;
    }
    ++q->pairCount;
    if (q->stopAtFirst) return;
    PxVector3 normal;
    PxReal depth;
    int dims = crossingContact(&x, va, na, vb, nb, normal, &depth);
    addTrace(q, &x);
    PxV3Add(q->normalSum, q->normalSum, normal);
    for (int k = 0; k < x.count; ++k) CullContacts(q, x.points[k], normal, depth, dims, ta, tb);
}

PxReal boxSize(const BVNode *node)
{
    return node->box.halfExtents[0] + node->box.halfExtents[1] + node->box.halfExtents[2];
}

void CollideNode(CxMeshMeshQuery *q, const BVNode *na, const BVNode *nb)
{
    if (q->stopAtFirst && q->touched) return;
    if (CxObbDisjoint(&na->box, &nb->box, &q->bToA, q->eps)) return;
    int leafA = na->triangle >= 0, leafB = nb->triangle >= 0;
    if (leafA && leafB) {
        collideTriTri(q, na->triangle, nb->triangle);
    } else if (leafA || (!leafB && boxSize(na) <= boxSize(nb))) {
        CollideNode(q, na, nb->left);
        CollideNode(q, na, nb->right);
    } else {
        CollideNode(q, na->left, nb);
        CollideNode(q, na->right, nb);
    }
}

} // namespace

void CxTriangleMeshRefit(CxTriangleMesh *mesh)
{
    CxTriangleMeshComputeNormals(mesh);
    CxTriangleMeshComputeBounds(mesh);
    mesh->tree->refit();
}

void CxMeshMeshQueryInit(CxMeshMeshQuery *q, CxTriangleMesh *a, const PxReal tmA[4][4], CxTriangleMesh *b,
                         const PxReal tmB[4][4], PxReal eps)
{
    // Deformable pairs: each tree refitted once, also when a mesh meets itself.
    if (a->tree->obbStartDepth > 0 && b->tree->obbStartDepth > 0) {
        CxTriangleMeshRefit(a);
        if (b != a) CxTriangleMeshRefit(b);
    }
    q->a = a;
    q->b = b;
    q->bToA.thisIsFirstThenInverseSecond(tmB, tmA);
    q->eps = eps;
    q->stopAtFirst = q->touched = 0;
    q->limit = q->heldCount = 0;
    PxV3Zero(q->normalSum);
    PxV3Zero(q->traceArea);
    q->traceLength = 0.0;
    q->pairs = nullptr;
    q->pairCapacity = q->pairCount = 0;
}

void CxMeshMeshDescend(CxMeshMeshQuery *q)
{
    CollideNode(q, q->a->tree->root(), q->b->tree->root());
}
