// Generic convex pair: separation by axes and GJK, contacts by cutting
// lines along the normal through the feature points of both shapes.
#include "primitives/CxGeomConvexPair.h"
#include "primitives/CxGeomClosest.h"
#include "primitives/CxGeomGjk.h"

#include <float.h>

namespace {

// Axes shorter than this are skipped.
const PxReal kZeroLength = 1e-15;
// Shrinking used to find a penetration direction, as a fraction of the
// smaller shape's size.
const PxReal kShrinkFraction = 0.1;
// Cosine limits of the curved-feature classification.
const PxReal kParallelCos = 0.999999;
const PxReal kPerpendicularCos = 0.0001;
const int kRimPointsPerCap = 8;
// Search of the direction of least penetration: first and smallest turn
// (radians, roughly) and the iteration limit.
const PxReal kFirstTurn = 0.25;
const PxReal kSmallestTurn = 1e-5;
const int kRefineIterations = 24;
const int kSearchStarts = 3;
// Relative allowance on the reach of edge pairs.
const PxReal kClipReach = 1e-9;
// A penetration direction proposed by the shrunk copies needs no more than
// this relative precision: the climb refines it.
const PxReal kProposalPrecision = 1e-4;

struct Segment {
    PxVector3 a, b;
};

struct Features {
    int pointCount;
    PxVector3 points[2 * kRimPointsPerCap];
    int edgeCount;
    Segment edges[12];
};

void axisOf(const CxShape *shape, int k, PxVector3 out)
{
    PxV3Copy(out, shape->tm[k]);
}

void boxFeatures(const CxShape *box, Features *f)
{
    const PxReal *r = box->size;
    f->pointCount = 0;
    for (int corner = 0; corner < 8; ++corner) {
        PxVector3 local = {(corner & 1) ? r[0] : -r[0], (corner & 2) ? r[1] : -r[1], (corner & 4) ? r[2] : -r[2]};
        PxV3MulTM(f->points[f->pointCount++], local, box->tm);
    }
    f->edgeCount = 0;
    for (int j = 0; j < 3; ++j) {
        int k = (j + 1) % 3, l = (j + 2) % 3;
        for (int corner = 0; corner < 4; ++corner) {
            PxVector3 local;
            local[k] = (corner & 1) ? r[k] : -r[k];
            local[l] = (corner & 2) ? r[l] : -r[l];
            local[j] = -r[j];
            Segment *e = &f->edges[f->edgeCount++];
            PxV3MulTM(e->a, local, box->tm);
            local[j] = r[j];
            PxV3MulTM(e->b, local, box->tm);
        }
    }
}

// Rim points of both caps, starting at the direction of the other shape,
// and the four side lines at 0, 90, 180 and 270 degrees from it.
void cylinderFeatures(const CxShape *cylinder, const PxVector3 towardOther, Features *f)
{
    PxVector3 axis, u, w;
    axisOf(cylinder, 2, axis);
    PxV3AddScaled(u, towardOther, axis, -PxV3Dot(towardOther, axis));
    if (PxV3Normalize(u) < 1e-9) axisOf(cylinder, 0, u);
    PxV3Cross(w, axis, u);
    PxReal radius = cylinder->size[0], half = cylinder->size[1];
    PxVector3 centre;
    PxV3Copy(centre, cylinder->tm[3]);
    f->pointCount = 0;
    f->edgeCount = 0;
    for (int k = 0; k < kRimPointsPerCap; ++k) {
        PxReal angle = 2.0 * M_PI * k / kRimPointsPerCap;
        PxVector3 radial;
        PxV3Scale(radial, u, radius * cos(angle));
        PxV3AddScaled(radial, radial, w, radius * sin(angle));
        PxVector3 bottom, top;
        PxV3Add(bottom, centre, radial);
        PxV3AddScaled(bottom, bottom, axis, -half);
        PxV3Add(top, centre, radial);
        PxV3AddScaled(top, top, axis, half);
        PxV3Copy(f->points[f->pointCount++], bottom);
        PxV3Copy(f->points[f->pointCount++], top);
        if (k % (kRimPointsPerCap / 4) == 0) {
            Segment *e = &f->edges[f->edgeCount++];
            PxV3Copy(e->a, bottom);
            PxV3Copy(e->b, top);
        }
    }
}

void triangleFeatures(const CxShape *triangle, Features *f)
{
    f->pointCount = 3;
    f->edgeCount = 3;
    for (int i = 0; i < 3; ++i) {
        PxV3Copy(f->points[i], triangle->vertex[i]);
        PxV3Copy(f->edges[i].a, triangle->vertex[i]);
        PxV3Copy(f->edges[i].b, triangle->vertex[(i + 1) % 3]);
    }
}

void shapeFeatures(const CxShape *shape, const PxVector3 towardOther, Features *f)
{
    f->pointCount = f->edgeCount = 0;
    switch (shape->kind) {
    case CxShapeBox: boxFeatures(shape, f); break;
    case CxShapeCylinder: cylinderFeatures(shape, towardOther, f); break;
    case CxShapeTriangle: triangleFeatures(shape, f); break;
    case CxShapeSphere:
    case CxShapeCone: break; // not handled by the generic contact generator
    }
}

// Appends the feature points, the points where the edges enter or leave
// the other solid, and the middles of their parts inside it.
int gatherRaw(const Features *f, const CxShape *other, PxVector3 *raw, int count)
{
    for (int i = 0; i < f->pointCount; ++i) PxV3Copy(raw[count++], f->points[i]);
    for (int i = 0; i < f->edgeCount; ++i) {
        PxVector3 d;
        PxV3Sub(d, f->edges[i].b, f->edges[i].a);
        PxReal s0, s1;
        if (!CxShapeLineClip(other, f->edges[i].a, d, &s0, &s1)) continue;
        if (s0 > 0.0 && s0 <= 1.0) PxV3AddScaled(raw[count++], f->edges[i].a, d, s0);
        if (s1 < 1.0 && s1 >= 0.0) PxV3AddScaled(raw[count++], f->edges[i].a, d, s1);
        // The middle of the part inside reaches into the overlap when the
        // ends only touch its rim.
        PxReal lo = fmax(s0, 0.0), hi = fmin(s1, 1.0);
        if (lo < hi) PxV3AddScaled(raw[count++], f->edges[i].a, d, 0.5 * (lo + hi));
    }
    return count;
}

// The best few axes found so far, best first: penetration searches start
// from each of them.
struct AxisSearch {
    int count;
    CxSeparation top[kSearchStarts];
};

// Edge against edge: where two edges pass within reach of each other
// (at most the penetration apart), their closest points are where the
// shapes reach deepest into each other.
int gatherEdgePairs(const Features *f1, const Features *f2, PxReal reach, PxVector3 *raw, int count)
{
    for (int i = 0; i < f1->edgeCount; ++i)
        for (int j = 0; j < f2->edgeCount; ++j) {
            PxReal s, t;
            PxVector3 c1, c2;
            PxReal distance2 = CxClosestPointsSegmentSegment(f1->edges[i].a, f1->edges[i].b, f2->edges[j].a,
                                                             f2->edges[j].b, &s, &t, c1, c2);
            if (distance2 > reach * reach * (1.0 + kClipReach)) continue;
            PxV3Copy(raw[count++], c1);
            PxV3Copy(raw[count++], c2);
        }
    return count;
}

void consider(PxReal separation, const PxVector3 normal, AxisSearch *search)
{
    int at = search->count;
    while (at > 0 && separation > search->top[at - 1].separation) --at;
    if (at >= kSearchStarts) return;
    int last = search->count < kSearchStarts ? search->count : kSearchStarts - 1;
    for (int k = last; k > at; --k) search->top[k] = search->top[k - 1];
    search->top[at].separation = separation;
    PxV3Copy(search->top[at].normal, normal);
    if (search->count < kSearchStarts) ++search->count;
}

PxReal bestSeparation(const AxisSearch *search)
{
    return search->count > 0 ? search->top[0].separation : -DBL_MAX;
}

// Separation along a unit axis in the better of its two orientations.
void considerAxis(const CxShape *shape1, const CxShape *shape2, const PxVector3 axis, AxisSearch *search)
{
    PxReal lo1, hi1, lo2, hi2;
    CxShapeProject(shape1, axis, &lo1, &hi1);
    CxShapeProject(shape2, axis, &lo2, &hi2);
    PxVector3 negated;
    PxV3Scale(negated, axis, -1.0);
    if (lo1 - hi2 >= lo2 - hi1)
        consider(lo1 - hi2, axis, search);
    else
        consider(lo2 - hi1, negated, search);
}

void shapeCentre(const CxShape *shape, PxVector3 out)
{
    if (shape->kind != CxShapeTriangle) {
        PxV3Copy(out, shape->tm[3]);
        return;
    }
    PxV3Add(out, shape->vertex[0], shape->vertex[1]);
    PxV3Add(out, out, shape->vertex[2]);
    PxV3Scale(out, out, 1.0 / 3.0);
}

// Overlapping shapes: the closest points of copies shrunk by delta point
// along a direction of small penetration; the line of centres always
// gives a finite answer, however deep.
void addPenetrationAxes(const CxShape *shape1, const CxShape *shape2, PxReal delta, PxReal touch, AxisSearch *best)
{
    CxShape inner1, inner2;
    CxShapeShrink(shape1, delta, &inner1);
    CxShapeShrink(shape2, delta, &inner2);
    CxGjkResult core;
    CxGjkDistancePrecision(&inner1, &inner2, DBL_MAX, touch * touch, kProposalPrecision, &core);
    PxVector3 direction;
    if (!core.overlap) {
        PxV3Sub(direction, core.point1, core.point2);
        if (PxV3Normalize(direction) > kZeroLength) considerAxis(shape1, shape2, direction, best);
    }
    PxVector3 c1, c2;
    shapeCentre(shape1, c1);
    shapeCentre(shape2, c2);
    PxV3Sub(direction, c1, c2);
    if (PxV3Normalize(direction) <= kZeroLength) PxV3Set(direction, 0.0, 0.0, 1.0);
    considerAxis(shape1, shape2, direction, best);
}

// Separation along the unit axis L with shape 1 on the + side, from the
// deepest points p of shape 1 and q of shape 2 along it.
PxReal separationAlong(const CxShape *shape1, const CxShape *shape2, const PxVector3 L, PxVector3 p, PxVector3 q)
{
    PxVector3 down;
    PxV3Scale(down, L, -1.0);
    CxShapeSupport(shape1, down, p);
    CxShapeSupport(shape2, L, q);
    return PxV3Dot(p, L) - PxV3Dot(q, L);
}

// Overlapping shapes: climbs from the best axis towards the direction of
// least penetration. The separation along L, min over shape 1 of p.L minus
// max over shape 2 of q.L, changes with L at the rate p* - q* of its two
// support points; steps along the part of that across L are kept when
// they raise the separation.
void refineAxis(const CxShape *shape1, const CxShape *shape2, CxSeparation *best)
{
    PxVector3 L, p, q;
    PxV3Copy(L, best->normal);
    PxReal separation = separationAlong(shape1, shape2, L, p, q);
    PxReal step = kFirstTurn;
    for (int iteration = 0; iteration < kRefineIterations && step > kSmallestTurn; ++iteration) {
        PxVector3 rate, trial, trialP, trialQ;
        PxV3Sub(rate, p, q);
        PxV3AddScaled(rate, rate, L, -PxV3Dot(rate, L));
        if (PxV3Normalize(rate) <= kZeroLength) break; // already the best direction
        PxV3AddScaled(trial, L, rate, step);
        PxV3Normalize(trial);
        PxReal trialSeparation = separationAlong(shape1, shape2, trial, trialP, trialQ);
        if (trialSeparation > separation) {
            separation = trialSeparation;
            PxV3Copy(L, trial);
            PxV3Copy(p, trialP);
            PxV3Copy(q, trialQ);
            step = fmin(kFirstTurn, 1.5 * step);
        } else {
            step *= 0.5;
        }
    }
    if (separation > best->separation) {
        best->separation = separation;
        PxV3Copy(best->normal, L);
    }
}

// Tries the candidate axes (those of zero length skipped) into a fresh
// search; 0 as soon as one separates the shapes by more than eps.
int searchAxes(const CxShape *shape1, const CxShape *shape2, const PxVector3 *axes, int axisCount, PxReal eps,
               AxisSearch *search)
{
    search->count = 0;
    for (int k = 0; k < axisCount; ++k) {
        PxVector3 axis;
        PxV3Copy(axis, axes[k]);
        if (PxV3Normalize(axis) < kZeroLength) continue;
        considerAxis(shape1, shape2, axis, search);
        if (bestSeparation(search) > eps) return 0;
    }
    return 1;
}

} // namespace

PxReal CxConvexAxisSeparation(const CxShape *shape1, const CxShape *shape2, const PxVector3 axis)
{
    PxReal lo1, hi1, lo2, hi2;
    CxShapeProject(shape1, axis, &lo1, &hi1);
    CxShapeProject(shape2, axis, &lo2, &hi2);
    return lo1 - hi2;
}

int CxConvexSeparation(const CxShape *shape1, const CxShape *shape2, const PxVector3 *axes, int axisCount, PxReal eps,
                       CxSeparation *out)
{
    AxisSearch search;
    if (!searchAxes(shape1, shape2, axes, axisCount, eps, &search)) return 0;

    PxReal size = fmin(CxShapeSize(shape1), CxShapeSize(shape2));
    PxReal touch = 1e-12 * fmax(size, 1e-300);
    CxGjkResult gjk;
    CxGjkDistance(shape1, shape2, eps, touch * touch, &gjk);
    if (gjk.farther) return 0;
    if (!gjk.overlap) {
        if (gjk.distance > eps) return 0;
        PxVector3 direction;
        PxV3Sub(direction, gjk.point1, gjk.point2);
        if (PxV3Normalize(direction) > kZeroLength) {
            out->separation = gjk.distance;
            PxV3Copy(out->normal, direction);
            return 1;
        }
    }
    addPenetrationAxes(shape1, shape2, kShrinkFraction * size, touch, &search);
    // A climb can stall on a ridge (a face normal of a box); starting from
    // each of the best axes, the best climb wins.
    *out = search.top[0];
    for (int k = 0; k < search.count; ++k) {
        CxSeparation climbed = search.top[k];
        refineAxis(shape1, shape2, &climbed);
        if (climbed.separation > out->separation) *out = climbed;
    }
    return 1;
}

int CxPolytopeSeparation(const CxShape *shape1, const CxShape *shape2, const PxVector3 *axes, int axisCount,
                         PxReal eps, CxSeparation *out)
{
    AxisSearch search;
    if (!searchAxes(shape1, shape2, axes, axisCount, eps, &search)) return 0;
    if (search.count == 0) return 0;
    *out = search.top[0];
    return 1;
}

int CxConvexContactCandidates(const CxShape *shape1, const CxShape *shape2, const PxVector3 n, PxReal sep,
                              CxContactPoint out[CxConvexMaxCandidates])
{
    PxVector3 down;
    PxV3Scale(down, n, -1.0);
    Features f1, f2;
    shapeFeatures(shape1, down, &f1);
    shapeFeatures(shape2, n, &f2);
    PxVector3 raw[CxConvexMaxCandidates];
    int rawCount = gatherRaw(&f1, shape2, raw, 0);
    rawCount = gatherRaw(&f2, shape1, raw, rawCount);
    rawCount = gatherEdgePairs(&f1, &f2, fabs(sep), raw, rawCount);
    // The deepest points of both shapes along the normal.
    PxVector3 deepest1, deepest2;
    CxShapeSupport(shape1, down, deepest1);
    CxShapeSupport(shape2, n, deepest2);
    PxV3Copy(raw[rawCount++], deepest1);
    PxV3Copy(raw[rawCount++], deepest2);

    int count = 0;
    for (int k = 0; k < rawCount; ++k) {
        PxReal in1, out1, in2, out2;
        if (!CxShapeLineClip(shape1, raw[k], n, &in1, &out1)) continue;
        if (!CxShapeLineClip(shape2, raw[k], n, &in2, &out2)) continue;
        PxReal gap = in1 - out2;
        if (!(gap < 0.01 * sep)) continue;
        PxV3AddScaled(out[count].position, raw[k], n, in1);
        out[count++].separation = gap;
    }
    if (count == 0 && sep < 0.0) {
        // Degenerate alignments (a normal in a triangle's plane) cut no
        // line through both solids: the middle of the two deepest points.
        PxV3Add(out[0].position, deepest1, deepest2);
        PxV3Scale(out[0].position, out[0].position, 0.5);
        out[0].separation = sep;
        count = 1;
    }
    return count;
}

int CxShapeFeatureDim(const CxShape *shape, const PxVector3 n)
{
    switch (shape->kind) {
    case CxShapeSphere: return 3;
    case CxShapeBox: {
        int perpendicular = 0;
        for (int i = 0; i < 3; ++i)
            if (fabs(PxV3Dot(shape->tm[i], n)) < kPerpendicularCos) ++perpendicular;
        return perpendicular;
    }
    case CxShapeCylinder:
    case CxShapeCone: {
        PxReal c = fabs(PxV3Dot(shape->tm[2], n));
        if (c > kParallelCos) return 2;
        if (sqrt(fmax(0.0, 1.0 - c * c)) > kParallelCos) return 3;
        return 1;
    }
    case CxShapeTriangle: {
        if (fabs(PxV3Dot(shape->normal, n)) >= 1.0 - kPerpendicularCos) return 2;
        for (int i = 0; i < 3; ++i) {
            PxVector3 edge;
            PxV3Sub(edge, shape->vertex[(i + 1) % 3], shape->vertex[i]);
            PxReal length = PxV3Normalize(edge);
            if (length > 0.0 && fabs(PxV3Dot(edge, n)) < kPerpendicularCos) return 1;
        }
        return 0;
    }
    }
    return 0;
}
