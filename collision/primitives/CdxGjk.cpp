// GJK on the Minkowski difference shape1 - shape2: the simplex is reduced
// to the smallest face holding the point closest to the origin, whose
// barycentric weights also give the closest points of the two shapes.
#include "primitives/CxGeomGjk.h"
#include "primitives/CxGeomClosest.h"

namespace {

const int kMaxIterations = 64;
// Converged when |v|^2 - v.w <= precision |v|^2: the default precision.
const PxReal kRelativePrecision = 1e-12;
// Squared distance at which the boolean touch test calls the shapes touching.
const PxReal kTouchLimit2 = 1e-8;

struct Simplex {
    int count;
    PxVector3 w[4]; // difference points
    PxVector3 a[4]; // their shape-1 points
    PxVector3 b[4]; // their shape-2 points
    PxReal weight[4];
};

void keep(Simplex *s, const int *indices, const PxReal *weights, int n)
{
    Simplex reduced;
    reduced.count = n;
    for (int k = 0; k < n; ++k) {
        int i = indices[k];
        PxV3Copy(reduced.w[k], s->w[i]);
        PxV3Copy(reduced.a[k], s->a[i]);
        PxV3Copy(reduced.b[k], s->b[i]);
        reduced.weight[k] = weights[k];
    }
    *s = reduced;
}

void closestOnSegment(Simplex *s)
{
    PxVector3 d;
    PxV3Sub(d, s->w[1], s->w[0]);
    PxReal length2 = PxV3LengthSquared(d);
    PxReal t = length2 > 0.0 ? -PxV3Dot(s->w[0], d) / length2 : 0.0;
    if (t <= 0.0) {
        const int only[1] = {0};
        const PxReal one[1] = {1.0};
        keep(s, only, one, 1);
    } else if (t >= 1.0) {
        const int only[1] = {1};
        const PxReal one[1] = {1.0};
        keep(s, only, one, 1);
    } else {
        s->weight[0] = 1.0 - t;
        s->weight[1] = t;
    }
}

// Reduces a triangle simplex to the feature closest to the origin; returns
// the squared distance.
PxReal closestOnTriangle(Simplex *s, const int corner[3])
{
    const PxVector3 origin = {0.0, 0.0, 0.0};
    PxVector3 point;
    PxReal w[3];
    CxClosestPointOnTriangle(origin, s->w[corner[0]], s->w[corner[1]], s->w[corner[2]], point, w);
    int indices[3];
    PxReal weights[3];
    int n = 0;
    for (int k = 0; k < 3; ++k) {
        if (w[k] > 0.0) {
            indices[n] = corner[k];
            weights[n++] = w[k];
        }
    }
    if (n == 0) {
        indices[0] = corner[0];
        weights[0] = 1.0;
        n = 1;
    }
    keep(s, indices, weights, n);
    return PxV3LengthSquared(point);
}

// Side of the plane through p, q, r on which x lies (sign of the volume).
PxReal planeSide(const PxVector3 p, const PxVector3 q, const PxVector3 r, const PxVector3 x)
{
    PxVector3 pq, pr, px, n;
    PxV3Sub(pq, q, p);
    PxV3Sub(pr, r, p);
    PxV3Sub(px, x, p);
    PxV3Cross(n, pq, pr);
    return PxV3Dot(n, px);
}

// Tetrahedron: 1 when the origin is inside; otherwise reduces the simplex
// to the closest face feature.
int closestOnTetrahedron(Simplex *s)
{
    static const int faces[4][4] = {{0, 1, 2, 3}, {0, 1, 3, 2}, {0, 2, 3, 1}, {1, 2, 3, 0}};
    const PxVector3 origin = {0.0, 0.0, 0.0};
    int outside = 0;
    PxReal best = HUGE_VAL;
    Simplex bestSimplex = *s;
    for (int f = 0; f < 4; ++f) {
        const int *face = faces[f];
        PxReal sideOrigin = planeSide(s->w[face[0]], s->w[face[1]], s->w[face[2]], origin);
        PxReal sideOpposite = planeSide(s->w[face[0]], s->w[face[1]], s->w[face[2]], s->w[face[3]]);
        // The origin is beyond this face unless it lies strictly on the
        // side of the opposite corner; a flat tetrahedron makes every face
        // a candidate.
        if (sideOrigin * sideOpposite > 0.0) continue;
        outside = 1;
        Simplex candidate = *s;
        PxReal distance2 = closestOnTriangle(&candidate, face);
        if (distance2 < best) {
            best = distance2;
            bestSimplex = candidate;
        }
    }
    if (!outside) return 1;
    *s = bestSimplex;
    return 0;
}

// Closest point of the simplex to the origin; returns 1 when the simplex
// encloses the origin.
int reduce(Simplex *s, PxVector3 v)
{
    int enclosed = 0;
    switch (s->count) {
    case 1: s->weight[0] = 1.0; break;
    case 2: closestOnSegment(s); break;
    case 3: {
        const int corner[3] = {0, 1, 2};
        closestOnTriangle(s, corner);
        break;
    }
    case 4: enclosed = closestOnTetrahedron(s); break;
    }
    PxV3Zero(v);
    if (enclosed) return 1;
    for (int k = 0; k < s->count; ++k) PxV3AddScaled(v, v, s->w[k], s->weight[k]);
    return 0;
}

void supportPoint(const CxShape *shape1, const CxShape *shape2, const PxVector3 v, PxVector3 a, PxVector3 b,
                  PxVector3 w)
{
    PxVector3 negated;
    PxV3Scale(negated, v, -1.0);
    CxShapeSupport(shape1, negated, a);
    CxShapeSupport(shape2, v, b);
    PxV3Sub(w, a, b);
}

void closestPoints(const Simplex *s, CxGjkResult *result)
{
    PxV3Zero(result->point1);
    PxV3Zero(result->point2);
    for (int k = 0; k < s->count; ++k) {
        PxV3AddScaled(result->point1, result->point1, s->a[k], s->weight[k]);
        PxV3AddScaled(result->point2, result->point2, s->b[k], s->weight[k]);
    }
}

int alreadyInSimplex(const Simplex *s, const PxVector3 w)
{
    for (int k = 0; k < s->count; ++k)
        if (s->w[k][0] == w[0] && s->w[k][1] == w[1] && s->w[k][2] == w[2]) return 1;
    return 0;
}

} // namespace

void CxGjkDistance(const CxShape *shape1, const CxShape *shape2, PxReal stopDistance, PxReal touchLimit2,
                   CxGjkResult *result)
{
    CxGjkDistancePrecision(shape1, shape2, stopDistance, touchLimit2, kRelativePrecision, result);
}

void CxGjkDistancePrecision(const CxShape *shape1, const CxShape *shape2, PxReal stopDistance, PxReal touchLimit2,
                            PxReal precision, CxGjkResult *result)
{
    result->overlap = 0;
    result->farther = 0;
    result->iterations = 0;
    Simplex s;
    PxVector3 v = {1.0, 0.0, 0.0};
    s.count = 1;
    supportPoint(shape1, shape2, v, s.a[0], s.b[0], s.w[0]);
    s.weight[0] = 1.0;
    PxV3Copy(v, s.w[0]);
    PxReal v2 = PxV3LengthSquared(v);
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        result->iterations = iteration + 1;
        if (v2 <= touchLimit2) {
            result->overlap = 1;
            break;
        }
        PxVector3 a, b, w;
        supportPoint(shape1, shape2, v, a, b, w);
        PxReal vw = PxV3Dot(v, w);
        // v.w / |v| is a lower bound of the distance along the direction v.
        if (vw > 0.0 && vw * vw > v2 * stopDistance * stopDistance) {
            result->farther = 1;
            result->distance = vw / sqrt(v2);
            closestPoints(&s, result);
            return;
        }
        if (v2 - vw <= precision * v2 || alreadyInSimplex(&s, w)) break;
        PxV3Copy(s.w[s.count], w);
        PxV3Copy(s.a[s.count], a);
        PxV3Copy(s.b[s.count], b);
        ++s.count;
        PxVector3 next;
        if (reduce(&s, next)) {
            result->overlap = 1;
            break;
        }
        PxReal next2 = PxV3LengthSquared(next);
        // No progress means v is as close as rounding allows.
        int stalled = next2 >= v2;
        PxV3Copy(v, next);
        v2 = next2;
        if (stalled) break;
    }
    if (result->overlap) {
        result->distance = 0.0;
        PxV3Zero(result->point1);
        PxV3Zero(result->point2);
        return;
    }
    result->distance = sqrt(v2);
    closestPoints(&s, result);
}

int CxGjkTouch(const CxShape *shape1, const CxShape *shape2, PxReal tolerance)
{
    CxGjkResult result;
    CxGjkDistance(shape1, shape2, tolerance, kTouchLimit2, &result);
    if (result.overlap) return 1;
    if (result.farther) return 0;
    return result.distance <= tolerance;
}
