// A line segment against a mesh: the tree is descended with a segment-box
// test, every leaf triangle is intersected, and the nearest hit is kept.
#include "primitives/CxPrimitivePair.h"
#include "mesh/CxTriangleMeshRecord.h"

namespace {

// Segments shorter than this hit nothing; a triangle whose plane the
// segment runs along (|det| below this share) is missed.
const PxReal kZeroLength = 1e-14;

struct SegmentSearch {
    const CxTriangleMesh *mesh;
    PxVector3 p0; // mesh frame
    PxVector3 d;  // p1 - p0, mesh frame
    PxReal best;  // parameter of the nearest hit so far, 1 when none
    int triangle; // its triangle, -1 when none
};

// Segment parameter of the crossing with the triangle (Moller-Trumbore),
// or -1 when it misses.
PxReal crossTriangle(const SegmentSearch *s, int triangle)
{
    const PxReal *a = CxMeshVertex(s->mesh, triangle, 0), *b = CxMeshVertex(s->mesh, triangle, 1),
                 *c = CxMeshVertex(s->mesh, triangle, 2);
    PxVector3 ab, ac, h, offset, q;
    PxV3Sub(ab, b, a);
    PxV3Sub(ac, c, a);
    PxV3Cross(h, s->d, ac);
    PxReal det = PxV3Dot(ab, h);
    PxReal scale = PxV3Length(ab) * PxV3Length(ac) * PxV3Length(s->d);
    if (fabs(det) <= kZeroLength * scale) return -1.0;
    PxReal inverse = 1.0 / det;
    PxV3Sub(offset, s->p0, a);
    PxReal u = PxV3Dot(offset, h) * inverse;
    if (u < 0.0 || u > 1.0) return -1.0;
    PxV3Cross(q, offset, ab);
    PxReal v = PxV3Dot(s->d, q) * inverse;
    if (v < 0.0 || u + v > 1.0) return -1.0;
    PxReal t = PxV3Dot(ac, q) * inverse;
    return t >= 0.0 && t <= 1.0 ? t : -1.0;
}

void descend(SegmentSearch *s, const BVNode *node)
{
    PxReal t0 = 0.0, t1 = s->best;
    if (!CxObbSegmentClip(&node->box, s->p0, s->d, &t0, &t1)) return;
    if (node->triangle < 0) {
        descend(s, node->left);
        descend(s, node->right);
        return;
    }
    PxReal t = crossTriangle(s, node->triangle);
    if (t >= 0.0 && (t < s->best || s->triangle < 0)) {
        s->best = t;
        s->triangle = node->triangle;
    }
}

} // namespace

int IxTriangleMeshLineSegment(CdxModelID model, const PxVector3 p0, const PxVector3 p1, CdxLineSegResult *result)
{
    if (!model || !result) return 0;
    const CxTriangleMesh *mesh = CxTriangleMeshBuilt(model->geometry);
    if (!mesh) return 0;
    const PxReal(*tm)[4] = model->transform ? (const PxReal(*)[4]) * model->transform : gCxIdentityTM;
    SegmentSearch s;
    s.mesh = mesh;
    PxV3MulTMInverse(s.p0, p0, tm);
    PxVector3 end;
    PxV3MulTMInverse(end, p1, tm);
    PxV3Sub(s.d, end, s.p0);
    PxReal length = PxV3Length(s.d);
    if (length < kZeroLength) return 0;
    s.best = 1.0;
    s.triangle = -1;
    descend(&s, mesh->tree->root());
    if (s.triangle < 0) return 0;

    PxVector3 local, point, normal;
    PxV3AddScaled(local, s.p0, s.d, s.best);
    PxV3MulTM(point, local, tm);
    PxV3Copy(local, CxMeshNormal(mesh, s.triangle));
    // An open mesh has no outside: its normal faces where the segment came from.
    if (!mesh->closed && PxV3Dot(local, s.d) > 0.0) PxV3Scale(local, local, -1.0);
    PxV3MulTMDir(normal, local, tm);
    return CxLineSegHit(model, result, point, normal, s.best * length);
}
