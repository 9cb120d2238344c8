// Separating distances between two triangles.
#include "mesh/CxSODistTriTri.h"
#include "primitives/CxGeomClosest.h"
#include "mesh/CxTriangleMeshTriTri.h"

#include <float.h>

namespace {

// 1 when every corner of a lies strictly outside the wall: a is culled.
int outsideWall(const PxVector3 a[3], const PxVector3 origin, const PxVector3 inward)
{
    for (int k = 0; k < 3; ++k) {
        PxVector3 d;
        PxV3Sub(d, a[k], origin);
        if (PxV3Dot(d, inward) >= 0.0) return 0;
    }
    return 1;
}

} // namespace

int CxSODistTriUnderFace(const PxVector3 a[3], const PxVector3 b[3], const PxVector3 nb, PxReal *height)
{
    PxVector3 inward[3];
    for (int e = 0; e < 3; ++e) {
        PxVector3 edge;
        PxV3Sub(edge, b[(e + 1) % 3], b[e]);
        PxV3Cross(inward[e], nb, edge);
        if (outsideWall(a, b[e], inward[e])) return 0;
    }
    PxVector3 bufferA[6], bufferB[6];
    for (int k = 0; k < 3; ++k) PxV3Copy(bufferA[k], a[k]);
    PxVector3 *in = bufferA, *out = bufferB;
    int count = 3;
    for (int e = 0; e < 3 && count > 0; ++e) {
        count = CxClipPolygonByHalfPlane(in, count, b[e], inward[e], out);
        PxVector3 *swap = in;
        in = out;
        out = swap;
    }
    if (count == 0) return 0;
    PxReal lowest = DBL_MAX;
    for (int k = 0; k < count; ++k) {
        PxVector3 d;
        PxV3Sub(d, in[k], b[0]);
        lowest = fmin(lowest, PxV3Dot(d, nb));
    }
    *height = lowest;
    return 1;
}

void CxSODistTriTri(const PxVector3 a[3], const PxVector3 na, const PxVector3 b[3], const PxVector3 nb, CxSODist *out)
{
    out->aUnderB = out->bUnderA = 0.0;
    out->aOverB = CxSODistTriUnderFace(a, b, nb, &out->aUnderB);
    out->bOverA = CxSODistTriUnderFace(b, a, na, &out->bUnderA);
}

PxReal CxSODistTriTriClosest(const PxVector3 a[3], const PxVector3 b[3], PxVector3 pointA, PxVector3 pointB)
{
    PxReal best = DBL_MAX;
    PxVector3 nearest;
    PxReal weights[3];
    for (int k = 0; k < 3; ++k) {
        CxClosestPointOnTriangle(a[k], b[0], b[1], b[2], nearest, weights);
        PxVector3 gap;
        PxV3Sub(gap, a[k], nearest);
        PxReal d2 = PxV3LengthSquared(gap);
        if (d2 < best) {
            best = d2;
            PxV3Copy(pointA, a[k]);
            PxV3Copy(pointB, nearest);
        }
        CxClosestPointOnTriangle(b[k], a[0], a[1], a[2], nearest, weights);
        PxV3Sub(gap, b[k], nearest);
        d2 = PxV3LengthSquared(gap);
        if (d2 < best) {
            best = d2;
            PxV3Copy(pointA, nearest);
            PxV3Copy(pointB, b[k]);
        }
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            PxReal s, t;
            PxVector3 ca, cb;
            PxReal d2 = CxClosestPointsSegmentSegment(a[i], a[(i + 1) % 3], b[j], b[(j + 1) % 3], &s, &t, ca, cb);
            if (d2 < best) {
                best = d2;
                PxV3Copy(pointA, ca);
                PxV3Copy(pointB, cb);
            }
        }
    return sqrt(best);
}
