// Frames between meshes and the separating-axis tests of oriented boxes.
#include "mesh/CxObb.h"

#include <float.h>

namespace {

// Added to the absolute rotation terms: edges that are parallel up to
// rounding produce a near-zero cross axis that must never cull.
const PxReal kParallelGuard = 1e-6;
// Cross axes shorter than this (squared) are parallel edges: skipped by the
// separation measure, whose face axes already cover them.
const PxReal kParallelLength2 = 1e-12;

// Box b carried into a's frame, then expressed along a's axes: the
// rotation R[i][j] = a_i . b_j and the centre offset t along a's axes.
void relativeFrame(const CxObb *a, const CxObb *b, const BVTransform *bToA, PxReal R[3][3], PxVector3 t)
{
    PxVector3 axisB[3], centreB, offset;
    for (int j = 0; j < 3; ++j) bToA->applyDirection(axisB[j], b->axes[j]);
    bToA->applyPoint(centreB, b->centre);
    PxV3Sub(offset, centreB, a->centre);
    for (int i = 0; i < 3; ++i) {
        t[i] = PxV3Dot(offset, a->axes[i]);
        for (int j = 0; j < 3; ++j) R[i][j] = PxV3Dot(a->axes[i], axisB[j]);
    }
}

} // namespace

void BVTransform::thisIsFirstThenInverseSecond(const PxMatrix4 a, const PxMatrix4 b)
{
    // p_b = (p R_a + t_a - t_b) R_b^T.
    for (int i = 0; i < 3; ++i) PxV3MulTMDirInverse(rotation[i], a[i], b);
    PxV3MulTMInverse(translation, a[3], b);
}

void BVTransform::applyPoint(PxVector3 out, const PxVector3 p) const
{
    PxV3MulM3(out, p, rotation);
    PxV3Add(out, out, translation);
}

void BVTransform::applyDirection(PxVector3 out, const PxVector3 d) const
{
    PxV3MulM3(out, d, rotation);
}

int CxObbDisjoint(const CxObb *a, const CxObb *b, const BVTransform *bToA, PxReal margin)
{
    PxReal R[3][3], absR[3][3];
    PxVector3 t;
    relativeFrame(a, b, bToA, R, t);
    const PxReal *ha = a->halfExtents, *hb = b->halfExtents;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) absR[i][j] = fabs(R[i][j]) + kParallelGuard;

    for (int i = 0; i < 3; ++i) {
        PxReal rb = hb[0] * absR[i][0] + hb[1] * absR[i][1] + hb[2] * absR[i][2];
        if (fabs(t[i]) > ha[i] + rb + margin) return 1;
    }
    for (int j = 0; j < 3; ++j) {
        PxReal ra = ha[0] * absR[0][j] + ha[1] * absR[1][j] + ha[2] * absR[2][j];
        PxReal tj = t[0] * R[0][j] + t[1] * R[1][j] + t[2] * R[2][j];
        if (fabs(tj) > ra + hb[j] + margin) return 1;
    }
    for (int i = 0; i < 3; ++i) {
        int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            PxReal ra = ha[i1] * absR[i2][j] + ha[i2] * absR[i1][j];
            PxReal rb = hb[j1] * absR[i][j2] + hb[j2] * absR[i][j1];
            PxReal tl = t[i2] * R[i1][j] - t[i1] * R[i2][j];
            if (fabs(tl) > ra + rb + margin) return 1;
        }
    }
    return 0;
}

PxReal CxObbSeparation(const CxObb *a, const CxObb *b, const BVTransform *bToA)
{
    PxReal R[3][3], absR[3][3];
    PxVector3 t;
    relativeFrame(a, b, bToA, R, t);
    const PxReal *ha = a->halfExtents, *hb = b->halfExtents;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) absR[i][j] = fabs(R[i][j]);

    PxReal best = -DBL_MAX;
    for (int i = 0; i < 3; ++i) {
        PxReal rb = hb[0] * absR[i][0] + hb[1] * absR[i][1] + hb[2] * absR[i][2];
        best = fmax(best, fabs(t[i]) - ha[i] - rb);
    }
    for (int j = 0; j < 3; ++j) {
        PxReal ra = ha[0] * absR[0][j] + ha[1] * absR[1][j] + ha[2] * absR[2][j];
        PxReal tj = t[0] * R[0][j] + t[1] * R[1][j] + t[2] * R[2][j];
        best = fmax(best, fabs(tj) - ra - hb[j]);
    }
    for (int i = 0; i < 3; ++i) {
        int i1 = (i + 1) % 3, i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            PxReal length2 = 1.0 - R[i][j] * R[i][j];
            if (length2 < kParallelLength2) continue;
            int j1 = (j + 1) % 3, j2 = (j + 2) % 3;
            PxReal ra = ha[i1] * absR[i2][j] + ha[i2] * absR[i1][j];
            PxReal rb = hb[j1] * absR[i][j2] + hb[j2] * absR[i][j1];
            PxReal tl = t[i2] * R[i1][j] - t[i1] * R[i2][j];
            best = fmax(best, (fabs(tl) - ra - rb) / sqrt(length2));
        }
    }
    return best;
}

PxReal CxObbSupportValue(const CxObb *box, const PxVector3 d)
{
    PxReal value = PxV3Dot(box->centre, d);
    for (int i = 0; i < 3; ++i) value += box->halfExtents[i] * fabs(PxV3Dot(box->axes[i], d));
    return value;
}

int CxObbAbovePlane(const CxObb *box, const PxVector3 n, const PxVector3 p, PxReal margin)
{
    PxVector3 down;
    PxV3Scale(down, n, -1.0);
    PxReal lowest = -CxObbSupportValue(box, down);
    return lowest - PxV3Dot(p, n) > margin;
}

int CxObbSegmentClip(const CxObb *box, const PxVector3 p, const PxVector3 d, PxReal *t0, PxReal *t1)
{
    PxVector3 offset;
    PxV3Sub(offset, p, box->centre);
    for (int i = 0; i < 3; ++i) {
        PxReal start = PxV3Dot(offset, box->axes[i]), step = PxV3Dot(d, box->axes[i]);
        PxReal h = box->halfExtents[i];
        if (step == 0.0) {
            if (fabs(start) > h) return 0;
            continue;
        }
        PxReal a = (-h - start) / step, b = (h - start) / step;
        if (a > b) {
            PxReal swap = a;
            a = b;
            b = swap;
        }
        *t0 = fmax(*t0, a);
        *t1 = fmin(*t1, b);
        if (*t0 > *t1) return 0;
    }
    return 1;
}

void CxObbCorners(const CxObb *box, PxVector3 corners[8])
{
    for (int k = 0; k < 8; ++k) {
        PxV3Copy(corners[k], box->centre);
        for (int i = 0; i < 3; ++i) {
            PxReal s = (k >> i) & 1 ? box->halfExtents[i] : -box->halfExtents[i];
            PxV3AddScaled(corners[k], corners[k], box->axes[i], s);
        }
    }
}
