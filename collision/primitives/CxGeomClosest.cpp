// Closest points between points, segments and triangles, by Voronoi
// regions of the features.
#include "primitives/CxGeomClosest.h"

namespace {

PxReal clamp01(PxReal x)
{
    return x < 0.0 ? 0.0 : (x > 1.0 ? 1.0 : x);
}

// Squared lengths below this count as a degenerate (point) segment.
const PxReal kDegenerateLength2 = 1e-28;

} // namespace

PxReal CxClosestPointOnSegment(const PxVector3 p, const PxVector3 a, const PxVector3 b, PxVector3 out)
{
    PxVector3 ab, ap;
    PxV3Sub(ab, b, a);
    PxV3Sub(ap, p, a);
    PxReal length2 = PxV3LengthSquared(ab);
    PxReal t = length2 > kDegenerateLength2 ? clamp01(PxV3Dot(ap, ab) / length2) : 0.0;
    PxV3AddScaled(out, a, ab, t);
    return t;
}

PxReal CxClosestPointsSegmentSegment(const PxVector3 p1, const PxVector3 q1, const PxVector3 p2, const PxVector3 q2,
                                     PxReal *s, PxReal *t, PxVector3 c1, PxVector3 c2)
{
    PxVector3 d1, d2, r;
    PxV3Sub(d1, q1, p1);
    PxV3Sub(d2, q2, p2);
    PxV3Sub(r, p1, p2);
    PxReal a = PxV3Dot(d1, d1), e = PxV3Dot(d2, d2), f = PxV3Dot(d2, r);
    PxReal sc, tc;
    if (a <= kDegenerateLength2 && e <= kDegenerateLength2) {
        sc = tc = 0.0;
    } else if (a <= kDegenerateLength2) {
        sc = 0.0;
        tc = clamp01(f / e);
    } else {
        PxReal c = PxV3Dot(d1, r);
        if (e <= kDegenerateLength2) {
            tc = 0.0;
            sc = clamp01(-c / a);
        } else {
            PxReal b = PxV3Dot(d1, d2);
            PxReal denom = a * e - b * b;
            // Parallel segments (denom 0): any s works, take 0.
            sc = denom > 0.0 ? clamp01((b * f - c * e) / denom) : 0.0;
            tc = (b * sc + f) / e;
            if (tc < 0.0) {
                tc = 0.0;
                sc = clamp01(-c / a);
            } else if (tc > 1.0) {
                tc = 1.0;
                sc = clamp01((b - c) / a);
            }
        }
    }
    PxV3AddScaled(c1, p1, d1, sc);
    PxV3AddScaled(c2, p2, d2, tc);
    *s = sc;
    *t = tc;
    PxVector3 gap;
    PxV3Sub(gap, c1, c2);
    return PxV3LengthSquared(gap);
}

int CxClosestPointOnTriangle(const PxVector3 p, const PxVector3 a, const PxVector3 b, const PxVector3 c,
                             PxVector3 out, PxReal weights[3])
{
    PxVector3 ab, ac, ap, bp, cp;
    PxV3Sub(ab, b, a);
    PxV3Sub(ac, c, a);
    PxV3Sub(ap, p, a);
    PxReal d1 = PxV3Dot(ab, ap), d2 = PxV3Dot(ac, ap);
    if (d1 <= 0.0 && d2 <= 0.0) {
        PxV3Copy(out, a);
        weights[0] = 1.0, weights[1] = weights[2] = 0.0;
        return CxTriangleVertexA;
    }
    PxV3Sub(bp, p, b);
    PxReal d3 = PxV3Dot(ab, bp), d4 = PxV3Dot(ac, bp);
    if (d3 >= 0.0 && d4 <= d3) {
        PxV3Copy(out, b);
        weights[1] = 1.0, weights[0] = weights[2] = 0.0;
        return CxTriangleVertexA + 1;
    }
    PxReal vc = d1 * d4 - d3 * d2;
    if (vc <= 0.0 && d1 >= 0.0 && d3 <= 0.0) {
        PxReal v = d1 / (d1 - d3);
        PxV3AddScaled(out, a, ab, v);
        weights[0] = 1.0 - v, weights[1] = v, weights[2] = 0.0;
        return CxTriangleEdgeAB;
    }
    PxV3Sub(cp, p, c);
    PxReal d5 = PxV3Dot(ab, cp), d6 = PxV3Dot(ac, cp);
    if (d6 >= 0.0 && d5 <= d6) {
        PxV3Copy(out, c);
        weights[2] = 1.0, weights[0] = weights[1] = 0.0;
        return CxTriangleVertexA + 2;
    }
    PxReal vb = d5 * d2 - d1 * d6;
    if (vb <= 0.0 && d2 >= 0.0 && d6 <= 0.0) {
        PxReal w = d2 / (d2 - d6);
        PxV3AddScaled(out, a, ac, w);
        weights[0] = 1.0 - w, weights[1] = 0.0, weights[2] = w;
        return CxTriangleEdgeAB + 2;
    }
    PxReal va = d3 * d6 - d5 * d4;
    if (va <= 0.0 && (d4 - d3) >= 0.0 && (d5 - d6) >= 0.0) {
        PxReal w = (d4 - d3) / ((d4 - d3) + (d5 - d6));
        PxVector3 bc;
        PxV3Sub(bc, c, b);
        PxV3AddScaled(out, b, bc, w);
        weights[0] = 0.0, weights[1] = 1.0 - w, weights[2] = w;
        return CxTriangleEdgeAB + 1;
    }
    PxReal sum = va + vb + vc;
    if (sum == 0.0) {
        // A degenerate triangle that no region claimed: its first vertex.
        PxV3Copy(out, a);
        weights[0] = 1.0, weights[1] = weights[2] = 0.0;
        return CxTriangleVertexA;
    }
    PxReal v = vb / sum, w = vc / sum;
    out[0] = a[0] + ab[0] * v + ac[0] * w;
    out[1] = a[1] + ab[1] * v + ac[1] * w;
    out[2] = a[2] + ab[2] * v + ac[2] * w;
    weights[0] = 1.0 - v - w, weights[1] = v, weights[2] = w;
    return CxTriangleFace;
}
