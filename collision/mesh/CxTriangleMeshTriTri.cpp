// Intersection of two triangles: each triangle cuts the other's plane in a
// segment of the line where the planes meet, and the two segments overlap
// in the intersection; coplanar triangles overlap in a polygon.
#include "mesh/CxTriangleMeshTriTri.h"

namespace {

// Distances below this share of the triangles' size count as zero, so
// that corners lying on the other plane are treated as lying on it.
const PxReal kPlaneTolerance = 1e-12;
// Planes whose normals' cross product is shorter than this are parallel.
const PxReal kParallel = 1e-14;

struct LinePiece {
    int count;
    PxVector3 point[2];
    int edge[2];
};

// Signed distances of the corners of t from the plane through p with unit
// normal n, snapped to 0 below tolerance. Returns -1 or +1 when all lie on
// one side, 2 when all are on the plane, 0 when the plane cuts t.
int planeSide(const PxVector3 t[3], const PxVector3 p, const PxVector3 n, PxReal tolerance, PxReal d[3])
{
    int below = 0, above = 0;
    for (int k = 0; k < 3; ++k) {
        PxVector3 offset;
        PxV3Sub(offset, t[k], p);
        d[k] = PxV3Dot(offset, n);
        if (fabs(d[k]) <= tolerance) d[k] = 0.0;
        below += d[k] < 0.0;
        above += d[k] > 0.0;
    }
    if (below == 3) return -1;
    if (above == 3) return 1;
    return below + above == 0 ? 2 : 0;
}

// Where triangle t meets the other plane (corners on it, edges crossing it).
void planeCut(const PxVector3 t[3], const PxReal d[3], LinePiece *piece)
{
    piece->count = 0;
    for (int k = 0; k < 3 && piece->count < 2; ++k) {
        int j = (k + 1) % 3;
        if (d[k] == 0.0) {
            PxV3Copy(piece->point[piece->count], t[k]);
            piece->edge[piece->count++] = k;
        } else if ((d[k] < 0.0 && d[j] > 0.0) || (d[k] > 0.0 && d[j] < 0.0)) {
            PxVector3 step;
            PxV3Sub(step, t[j], t[k]);
            PxV3AddScaled(piece->point[piece->count], t[k], step, d[k] / (d[k] - d[j]));
            piece->edge[piece->count++] = k;
        }
    }
    if (piece->count == 1) {
        PxV3Copy(piece->point[1], piece->point[0]);
        piece->edge[1] = piece->edge[0];
        piece->count = 2;
    }
}

// Orders the piece's ends along direction; returns their positions.
void orderAlong(LinePiece *piece, const PxVector3 direction, PxReal s[2])
{
    s[0] = PxV3Dot(piece->point[0], direction);
    s[1] = PxV3Dot(piece->point[1], direction);
    if (s[0] <= s[1]) return;
    PxReal swap = s[0];
    s[0] = s[1];
    s[1] = swap;
    PxVector3 p;
    PxV3Copy(p, piece->point[0]);
    PxV3Copy(piece->point[0], piece->point[1]);
    PxV3Copy(piece->point[1], p);
    int e = piece->edge[0];
    piece->edge[0] = piece->edge[1];
    piece->edge[1] = e;
}

void takeEnd(CxTriTriIntersection *out, int end, const LinePiece *piece, int source)
{
    PxV3Copy(out->points[end], piece->point[end]);
    out->source[end] = source;
    out->edge[end] = piece->edge[end];
}

int coplanarOverlap(const PxVector3 a[3], const PxVector3 b[3], const PxVector3 nb, CxTriTriIntersection *out)
{
    PxVector3 bufferA[7], bufferB[7];
    for (int k = 0; k < 3; ++k) PxV3Copy(bufferA[k], a[k]);
    int count = 3;
    PxVector3 *in = bufferA, *clipped = bufferB;
    for (int e = 0; e < 3 && count > 0; ++e) {
        PxVector3 edge, inward;
        PxV3Sub(edge, b[(e + 1) % 3], b[e]);
        PxV3Cross(inward, nb, edge);
        count = CxClipPolygonByHalfPlane(in, count, b[e], inward, clipped);
        PxVector3 *swap = in;
        in = clipped;
        clipped = swap;
    }
    if (count > 6) count = 6;
    out->coplanar = 1;
    out->count = count;
    for (int k = 0; k < count; ++k) PxV3Copy(out->points[k], in[k]);
    return count;
}

PxReal triangleSize(const PxVector3 t[3])
{
    PxReal size = 0.0;
    for (int k = 0; k < 3; ++k) size = fmax(size, PxV3Distance(t[k], t[(k + 1) % 3]));
    return size;
}

} // namespace

int CxTriTriIntersect(const PxVector3 a[3], const PxVector3 na, const PxVector3 b[3], const PxVector3 nb,
                      CxTriTriIntersection *out)
{
    out->count = 0;
    out->coplanar = 0;
    PxReal tolerance = kPlaneTolerance * fmax(triangleSize(a), triangleSize(b));
    PxReal da[3], db[3];
    int sideB = planeSide(b, a[0], na, tolerance, db);
    if (sideB == -1 || sideB == 1) return 0;
    int sideA = planeSide(a, b[0], nb, tolerance, da);
    if (sideA == -1 || sideA == 1) return 0;
    PxVector3 direction;
    PxV3Cross(direction, na, nb);
    if (sideB == 2 || sideA == 2 || PxV3Length(direction) < kParallel) return coplanarOverlap(a, b, nb, out);

    LinePiece pieceA, pieceB;
    planeCut(a, da, &pieceA);
    planeCut(b, db, &pieceB);
    PxReal sa[2], sb[2];
    orderAlong(&pieceA, direction, sa);
    orderAlong(&pieceB, direction, sb);
    if (fmax(sa[0], sb[0]) > fmin(sa[1], sb[1])) return 0;
    // Each end of the overlap is the inner of the two pieces' ends.
    if (sa[0] >= sb[0])
        takeEnd(out, 0, &pieceA, CxTriTriFromA);
    else
        takeEnd(out, 0, &pieceB, CxTriTriFromB);
    if (sa[1] <= sb[1])
        takeEnd(out, 1, &pieceA, CxTriTriFromA);
    else
        takeEnd(out, 1, &pieceB, CxTriTriFromB);
    out->count = 2;
    return 2;
}

int CxClipPolygonByHalfPlane(const PxVector3 *in, int count, const PxVector3 origin, const PxVector3 inward,
                             PxVector3 *out)
{
    int n = 0;
    for (int k = 0; k < count; ++k) {
        const PxReal *p = in[k], *q = in[(k + 1) % count];
        PxVector3 dp, dq;
        PxV3Sub(dp, p, origin);
        PxV3Sub(dq, q, origin);
        PxReal sp = PxV3Dot(dp, inward), sq = PxV3Dot(dq, inward);
        if (sp >= 0.0) PxV3Copy(out[n++], p);
        if ((sp >= 0.0) != (sq >= 0.0)) {
            PxVector3 step;
            PxV3Sub(step, q, p);
            PxV3AddScaled(out[n++], p, step, sp / (sp - sq));
        }
    }
    return n;
}
