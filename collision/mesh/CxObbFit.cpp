// Fitting oriented boxes to triangles of a mesh: the one-triangle box, the
// covariance axes of a triangle set, the extents along given axes and the
// tighter fit by turning the box about its axes.
#include "mesh/CxTriangleMeshRecord.h"

#include <float.h>

namespace {

// Cyclic Jacobi: stop when the off-diagonal part is this small relative
// to the whole matrix; give up after kMaxSweeps sweeps.
const PxReal kJacobiTolerance = 0.001;
const int kMaxSweeps = 35;
// Guards the division by the total area of degenerate triangle sets.
const PxReal kAreaGuard = 1e-14;
// The tighter fit searches the turn angle in [-pi/4, pi/4] (the cross
// section repeats every pi/2), probing at 0.32 and 0.68 of the bracket and
// keeping the better two thirds, until the bracket is narrower than this.
const PxReal kSearchProbeLow = 0.32;
const PxReal kSearchProbeHigh = 0.68;
const PxReal kSearchWidth = 0.1;
// The angle search reads at most this many triangles of a node (evenly
// spread); the final extents always read them all.
const int kSearchSample = 32;
// Smaller sets are left as the covariance fits them: the turn gains little
// there and these nodes are the most numerous.
const int kTighterMinimum = 4;

// One Jacobi rotation zeroing a[p][q]; v collects the rotations (its
// columns become the eigenvectors).
void jacobiRotate(PxMatrix3 a, PxMatrix3 v, int p, int q)
{
    if (a[p][q] == 0.0) return;
    PxReal theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
    PxReal t = (theta >= 0.0 ? 1.0 : -1.0) / (fabs(theta) + sqrt(theta * theta + 1.0));
    PxReal c = 1.0 / sqrt(t * t + 1.0), s = t * c;
    for (int k = 0; k < 3; ++k) {
        PxReal akp = a[k][p], akq = a[k][q];
        a[k][p] = c * akp - s * akq;
        a[k][q] = s * akp + c * akq;
    }
    for (int k = 0; k < 3; ++k) {
        PxReal apk = a[p][k], aqk = a[q][k];
        a[p][k] = c * apk - s * aqk;
        a[q][k] = s * apk + c * aqk;
    }
    for (int k = 0; k < 3; ++k) {
        PxReal vkp = v[k][p], vkq = v[k][q];
        v[k][p] = c * vkp - s * vkq;
        v[k][q] = s * vkp + c * vkq;
    }
}

// Eigenvectors of the symmetric a (destroyed) as the columns of v; 0 when
// the sweeps run out.
int jacobiEigenvectors(PxMatrix3 a, PxMatrix3 v)
{
    PxM3Identity(v);
    for (int sweep = 0;; ++sweep) {
        PxReal off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        PxReal diagonal = a[0][0] * a[0][0] + a[1][1] * a[1][1] + a[2][2] * a[2][2];
        if (sqrt(2.0 * off) <= kJacobiTolerance * sqrt(2.0 * off + diagonal)) return 1;
        if (sweep == kMaxSweeps) return 0;
        jacobiRotate(a, v, 0, 1);
        jacobiRotate(a, v, 0, 2);
        jacobiRotate(a, v, 1, 2);
    }
}

// Area-weighted covariance of the triangles' surfaces, about their area
// centroid; coordinates are taken relative to a reference vertex so that
// meshes far from their origin keep their precision.
void surfaceCovariance(const CxTriangleMesh *mesh, const int *indices, int count, PxMatrix3 cov)
{
    const PxReal *ref = CxMeshVertex(mesh, indices[0], 0);
    PxReal sum[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
    PxVector3 mean = {0, 0, 0};
    PxReal totalArea = 0.0;
    for (int n = 0; n < count; ++n) {
        int t = indices[n];
        PxVector3 p[3], centroid = {0, 0, 0};
        for (int k = 0; k < 3; ++k) {
            PxV3Sub(p[k], CxMeshVertex(mesh, t, k), ref);
            PxV3Add(centroid, centroid, p[k]);
        }
        PxV3Scale(centroid, centroid, 1.0 / 3.0);
        // Twice the area: the sums below are divided by 6 x the total of
        // these, which is 12 x the total area.
        PxReal area2 = 2.0 * mesh->areas[t];
        totalArea += area2;
        PxV3AddScaled(mean, mean, centroid, area2);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                sum[i][j] += area2 * (9.0 * centroid[i] * centroid[j] + p[0][i] * p[0][j] + p[1][i] * p[1][j] +
                                      p[2][i] * p[2][j]);
    }
    totalArea += kAreaGuard;
    PxV3Scale(mean, mean, 1.0 / totalArea);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) cov[i][j] = sum[i][j] / (6.0 * totalArea) - mean[i] * mean[j];
}

// Full extent of the triangles' vertices along u and along v.
PxReal crossSectionArea(const CxTriangleMesh *mesh, const int *indices, int count, int stride, const PxVector3 u,
                        const PxVector3 v)
{
    PxReal loU = DBL_MAX, hiU = -DBL_MAX, loV = DBL_MAX, hiV = -DBL_MAX;
    for (int n = 0; n < count; n += stride)
        for (int k = 0; k < 3; ++k) {
            const PxReal *x = CxMeshVertex(mesh, indices[n], k);
            PxReal pu = PxV3Dot(x, u), pv = PxV3Dot(x, v);
            if (pu < loU) loU = pu;
            if (pu > hiU) hiU = pu;
            if (pv < loV) loV = pv;
            if (pv > hiV) hiV = pv;
        }
    return (hiU - loU) * (hiV - loV);
}

// u and v turned by angle in their plane.
void turnPair(const PxVector3 u, const PxVector3 v, PxReal angle, PxVector3 outU, PxVector3 outV)
{
    PxReal c = cos(angle), s = sin(angle);
    for (int k = 0; k < 3; ++k) {
        PxReal uk = u[k], vk = v[k];
        outU[k] = c * uk + s * vk;
        outV[k] = -s * uk + c * vk;
    }
}

} // namespace

void CxObbSortAxes(CxObb *box)
{
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2 - i; ++j) {
            if (box->halfExtents[j] >= box->halfExtents[j + 1]) continue;
            PxReal h = box->halfExtents[j];
            box->halfExtents[j] = box->halfExtents[j + 1];
            box->halfExtents[j + 1] = h;
            PxVector3 axis;
            PxV3Copy(axis, box->axes[j]);
            PxV3Copy(box->axes[j], box->axes[j + 1]);
            PxV3Copy(box->axes[j + 1], axis);
        }
}

void CxObbFitExtents(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count)
{
    PxVector3 lo = {DBL_MAX, DBL_MAX, DBL_MAX}, hi = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    for (int n = 0; n < count; ++n)
        for (int k = 0; k < 3; ++k) {
            const PxReal *x = CxMeshVertex(mesh, indices[n], k);
            for (int a = 0; a < 3; ++a) {
                PxReal p = PxV3Dot(x, box->axes[a]);
                if (p < lo[a]) lo[a] = p;
                if (p > hi[a]) hi[a] = p;
            }
        }
    PxV3Zero(box->centre);
    for (int a = 0; a < 3; ++a) {
        box->halfExtents[a] = 0.5 * fabs(hi[a] - lo[a]);
        PxV3AddScaled(box->centre, box->centre, box->axes[a], 0.5 * (lo[a] + hi[a]));
    }
    CxObbSortAxes(box);
}

void CdxObbFitTighter(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count)
{
    int stride = count > kSearchSample ? count / kSearchSample : 1;
    for (int axis = 0; axis < 3; ++axis) {
        PxReal *u = box->axes[(axis + 1) % 3], *v = box->axes[(axis + 2) % 3];
        PxReal best = crossSectionArea(mesh, indices, count, stride, u, v);
        PxReal lo = -0.25 * M_PI, hi = 0.25 * M_PI;
        PxVector3 tu, tv;
        while (hi - lo > kSearchWidth) {
            PxReal a1 = lo + kSearchProbeLow * (hi - lo), a2 = lo + kSearchProbeHigh * (hi - lo);
            turnPair(u, v, a1, tu, tv);
            PxReal f1 = crossSectionArea(mesh, indices, count, stride, tu, tv);
            turnPair(u, v, a2, tu, tv);
            PxReal f2 = crossSectionArea(mesh, indices, count, stride, tu, tv);
            if (f1 <= f2)
                hi = a2;
            else
                lo = a1;
        }
        turnPair(u, v, 0.5 * (lo + hi), tu, tv);
        if (crossSectionArea(mesh, indices, count, stride, tu, tv) < best) {
            PxV3Copy(u, tu);
            PxV3Copy(v, tv);
        }
    }
    CxObbFitExtents(mesh, box, indices, count);
}

void ObbFinder::computeObbOneTriangle(const PxReal *a, const PxReal *b, const PxReal *c, CxObb *box)
{
    const PxReal *corner[3] = {a, b, c};
    // The longest edge is the first in-plane axis, the normal the flat one.
    PxVector3 edge[3];
    int longest = 0;
    for (int e = 0; e < 3; ++e) {
        PxV3Sub(edge[e], corner[(e + 1) % 3], corner[e]);
        if (PxV3LengthSquared(edge[e]) > PxV3LengthSquared(edge[longest])) longest = e;
    }
    PxVector3 u, n, v;
    PxV3Copy(u, edge[longest]);
    if (PxV3Normalize(u) == 0.0) PxV3Set(u, 1.0, 0.0, 0.0);
    PxV3Cross(n, edge[0], edge[1]);
    PxV3AddScaled(n, n, u, -PxV3Dot(n, u));
    if (PxV3Normalize(n) == 0.0) {
        // A sliver or a point: any direction across u.
        PxVector3 other = {0.0, 0.0, 0.0};
        other[fabs(u[0]) < 0.6 ? 0 : 1] = 1.0;
        PxV3Cross(n, u, other);
        PxV3Normalize(n);
    }
    PxV3Cross(v, n, u);
    PxV3Copy(box->axes[0], u);
    PxV3Copy(box->axes[1], v);
    PxV3Copy(box->axes[2], n);
    PxVector3 lo = {DBL_MAX, DBL_MAX, DBL_MAX}, hi = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 3; ++i) {
            PxReal p = PxV3Dot(corner[k], box->axes[i]);
            lo[i] = fmin(lo[i], p);
            hi[i] = fmax(hi[i], p);
        }
    PxV3Zero(box->centre);
    for (int i = 0; i < 3; ++i) {
        box->halfExtents[i] = 0.5 * (hi[i] - lo[i]);
        PxV3AddScaled(box->centre, box->centre, box->axes[i], 0.5 * (lo[i] + hi[i]));
    }
    // Along the normal all three corners project alike up to rounding.
    box->halfExtents[2] = 0.0;
    CxObbSortAxes(box);
}

void ObbFinder::processAxisAligned(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count)
{
    PxMatrix3 identity;
    PxM3Identity(identity);
    for (int a = 0; a < 3; ++a) PxV3Copy(box->axes[a], identity[a]);
    CxObbFitExtents(mesh, box, indices, count);
}

void ObbFinder::process(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count, int fitTighter)
{
    if (count == 1) {
        int t = indices[0];
        computeObbOneTriangle(CxMeshVertex(mesh, t, 0), CxMeshVertex(mesh, t, 1), CxMeshVertex(mesh, t, 2), box);
        return;
    }
    PxMatrix3 cov, vectors;
    surfaceCovariance(mesh, indices, count, cov);
    if (!jacobiEigenvectors(cov, vectors)) {
        processAxisAligned(mesh, box, indices, count);
    } else {
        for (int a = 0; a < 3; ++a) PxV3Set(box->axes[a], vectors[0][a], vectors[1][a], vectors[2][a]);
        // Rounding leaves the columns orthonormal to about 1e-16; make the
        // frame exactly right-handed for the descents' rotations.
        PxV3Normalize(box->axes[0]);
        PxV3Cross(box->axes[2], box->axes[0], box->axes[1]);
        PxV3Normalize(box->axes[2]);
        PxV3Cross(box->axes[1], box->axes[2], box->axes[0]);
        CxObbFitExtents(mesh, box, indices, count);
    }
    if (fitTighter && count >= kTighterMinimum) CdxObbFitTighter(mesh, box, indices, count);
}
