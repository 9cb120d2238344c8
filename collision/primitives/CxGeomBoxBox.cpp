// Box-box separating axes and edge clipping, all in box 1's frame: box 2
// has rotation R (R[i][j] = axis i of box 1 . axis j of box 2, so column j
// is box 2's axis j) and centre t.
#include "primitives/CxGeomBoxBox.h"

#include <float.h>

namespace {

// An axis counts as perpendicular to a normal when |cos| is below this.
const PxReal kPerpendicularCos = 0.0001;
// Edge pairs nearer to parallel than this (squared sine) are skipped even
// with a zero tolerance: their cross product is lost in rounding.
const PxReal kParallelSin2 = 1e-14;
// An edge clearly beyond the plane that keeps candidates is not clipped:
// "clearly" by this fraction of the magnitudes involved, a thousand times
// the rounding of the few operations behind a candidate's separation, so
// the edges passed over are exactly those whose points would all be
// dropped.
const PxReal kClearFraction = 1e-12;

void relativePose(const PxMatrix4 tm1, const PxMatrix4 tm2, CxBoxBoxRelative *rel)
{
    // Through a local copy: the poses need not be reloaded after every store.
    PxVector3 d;
    for (int k = 0; k < 3; ++k) d[k] = tm2[3][k] - tm1[3][k];
    CxBoxBoxRelative out;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) out.R[i][j] = PxV3Dot(tm1[i], tm2[j]);
        out.t[i] = PxV3Dot(tm1[i], d);
    }
    *rel = out;
}

void column(const PxReal R[3][3], int j, PxVector3 out)
{
    PxV3Set(out, R[0][j], R[1][j], R[2][j]);
}

// Projection radius of box 2 (columns of R) on L.
PxReal radius2(const PxVector3 r2, const PxReal R[3][3], const PxVector3 L)
{
    PxReal sum = 0.0;
    for (int k = 0; k < 3; ++k) {
        PxVector3 axis;
        column(R, k, axis);
        sum += r2[k] * fabs(PxV3Dot(L, axis));
    }
    return sum;
}

struct Best {
    PxReal separation;
    int code;
};

// The edge axes e_I x b_j of box 1's edge I, into best; 0 when one of them
// separates the boxes by more than eps. Component I of L is zero: the sums
// leave out its terms (in the same order otherwise), which changes no more
// than the sign of a zero.
template <int I>
int edgeAxes(const PxVector3 r1, const PxVector3 r2, const PxReal R[3][3], const PxVector3 t, PxReal eps,
             PxReal parallelLimit, Best *best)
{
    const int lo = I == 0 ? 1 : 0, hi = I == 2 ? 1 : 2;
    for (int j = 0; j < 3; ++j) {
        PxReal length2 = 1.0 - R[I][j] * R[I][j];
        if (length2 < parallelLimit) continue;
        // e_I x b_j, as PxV3Cross computes it from the unit vector e_I.
        PxReal Llo = lo == 1 ? -R[2][j] : I == 1 ? R[2][j] : -R[1][j];
        PxReal Lhi = hi == 2 ? (I == 0 ? R[1][j] : -R[0][j]) : R[0][j];
        PxReal tL = t[lo] * Llo + t[hi] * Lhi;
        PxReal radius = r1[lo] * fabs(Llo) + r1[hi] * fabs(Lhi);
        PxReal sum2 = r2[0] * fabs(Llo * R[lo][0] + Lhi * R[hi][0]);
        sum2 += r2[1] * fabs(Llo * R[lo][1] + Lhi * R[hi][1]);
        sum2 += r2[2] * fabs(Llo * R[lo][2] + Lhi * R[hi][2]);
        PxReal s = fabs(tL) - (radius + sum2);
        if (s > 0.0 && s * s > 10.0 * eps * eps * length2) return 0;
        PxReal normalised = s / sqrt(length2);
        if (normalised > best->separation) *best = {normalised, 6 + 3 * I + j};
    }
    return 1;
}

// Whether the segment centre c + s half, s in [-1, 1], lies beyond the box
// of half-extents radii along one of its axes by more than clear, with
// reach = |half| + radii: its clip is then empty to the bit (see
// CxBoxEdgesClipAgainstBox), and the clip's six divisions are saved. Most
// edges a clipping passes through miss the other box sideways.
bool clearlyOutside(const PxVector3 c, const PxVector3 reach, PxReal clear)
{
    PxReal gap0 = fabs(c[0]) - reach[0], gap1 = fabs(c[1]) - reach[1], gap2 = fabs(c[2]) - reach[2];
    PxReal gap = gap0 > gap1 ? gap0 : gap1;
    gap = gap > gap2 ? gap : gap2;
    return gap > clear;
}

} // namespace

int CxBoxFeatureDim(const PxReal axes[3][3], const PxVector3 normal)
{
    int perpendicular = 0;
    for (int i = 0; i < 3; ++i)
        if (fabs(PxV3Dot(axes[i], normal)) < kPerpendicularCos) ++perpendicular;
    return perpendicular;
}

int CxBoxBoxSeparatingAxis(const PxVector3 r1, const PxMatrix4 tm1, const PxVector3 r2, const PxMatrix4 tm2,
                           PxReal eps, CxBoxBoxAxis *axis)
{
    CxBoxBoxRelative &rel = axis->relative;
    relativePose(tm1, tm2, &rel);
    const PxReal(*R)[3] = rel.R;
    const PxReal *t = rel.t;
    Best best = {-DBL_MAX, -1};

    // Face axes of box 1: |t_i| - (r1_i + sum_j r2_j |R_ij|).
    for (int i = 0; i < 3; ++i) {
        PxReal s = fabs(t[i]) - (r1[i] + r2[0] * fabs(R[i][0]) + r2[1] * fabs(R[i][1]) + r2[2] * fabs(R[i][2]));
        if (s > best.separation) best = {s, i};
        if (best.separation > eps) return 0;
    }
    // Face axes of box 2: |t . b_j| - (sum_i r1_i |R_ij| + r2_j).
    for (int j = 0; j < 3; ++j) {
        PxReal tb = t[0] * R[0][j] + t[1] * R[1][j] + t[2] * R[2][j];
        PxReal s = fabs(tb) - (r1[0] * fabs(R[0][j]) + r1[1] * fabs(R[1][j]) + r1[2] * fabs(R[2][j]) + r2[j]);
        if (s > best.separation) best = {s, 3 + j};
        if (best.separation > eps) return 0;
    }
    // Edge axes e_i x b_j, unnormalised, of squared length 1 - R_ij^2.
    PxReal parallelLimit = fmax(10.0 * eps * eps, kParallelSin2);
    if (!edgeAxes<0>(r1, r2, R, t, eps, parallelLimit, &best) ||
        !edgeAxes<1>(r1, r2, R, t, eps, parallelLimit, &best) ||
        !edgeAxes<2>(r1, r2, R, t, eps, parallelLimit, &best))
        return 0;

    axis->separation = best.separation;
    if (best.code < 3) {
        int i = best.code;
        PxV3Zero(axis->normal);
        axis->normal[i] = t[i] > 0.0 ? -1.0 : 1.0;
        axis->offset = -r1[i] - best.separation;
        PxReal box2Axes[3][3];
        PxM3Transpose(box2Axes, R);
        axis->dims = 2 | (CxBoxFeatureDim(box2Axes, axis->normal) << 8);
    } else if (best.code < 6) {
        int j = best.code - 3;
        PxVector3 b;
        column(R, j, b);
        PxReal tb = PxV3Dot(t, b);
        PxV3Scale(axis->normal, b, tb > 0.0 ? -1.0 : 1.0);
        axis->offset = r2[j] - fabs(tb);
        PxReal identity[3][3];
        PxM3Identity(identity);
        axis->dims = CxBoxFeatureDim(identity, axis->normal) | (2 << 8);
    } else {
        int i = (best.code - 6) / 3, j = (best.code - 6) % 3;
        PxVector3 e = {0.0, 0.0, 0.0}, b, L;
        e[i] = 1.0;
        column(R, j, b);
        PxV3Cross(L, e, b);
        PxReal length = sqrt(1.0 - R[i][j] * R[i][j]);
        PxReal tL = PxV3Dot(t, L);
        // Oriented from box 2 towards box 1, that is against t.
        PxV3Scale(axis->normal, L, (tL > 0.0 ? -1.0 : 1.0) / length);
        axis->offset = (radius2(r2, R, L) - fabs(tL)) / length;
        axis->dims = 0x0101;
    }
    axis->code = best.code;
    return 1;
}

int CxSegmentClipAgainstBox(const PxVector3 centre, const PxVector3 half, const PxVector3 radii, PxReal *s0,
                            PxReal *s1)
{
    // The segment enters slab k at the face the half edge points away from:
    //   enter = (-sign(h) r - c) / h,  leave = (sign(h) r - c) / h,
    // the two parameters in order without comparing them (the half edges'
    // signs follow no pattern a branch could learn). The interval narrows
    // by min and max, and an empty one stays empty as it narrows, so one
    // test at the end gives what a test after each slab would.
    PxReal lo = -1.0, hi = 1.0;
    for (int k = 0; k < 3; ++k) {
        if (half[k] == 0.0) {
            if (fabs(centre[k]) > radii[k]) return 0;
            continue;
        }
        const PxReal face = copysign(radii[k], half[k]);
        const PxReal enter = (-face - centre[k]) / half[k], leave = (face - centre[k]) / half[k];
        lo = enter > lo ? enter : lo;
        hi = leave < hi ? leave : hi;
    }
    *s0 = lo;
    *s1 = hi;
    return lo > hi ? 0 : 1;
}

int CxBoxEdgesClipAgainstBox(const PxVector3 centre, const PxReal axes[3][3], const PxVector3 radii,
                             const PxVector3 fixedBox, const CxBoxBoxKeep *keep, PxVector3 *points, int count)
{
    static const int kNext[3] = {1, 2, 0};
    // A local copy: the points written may alias the box as far as the
    // compiler knows, and each edge's clip reads it.
    PxVector3 fixed;
    PxV3Copy(fixed, fixedBox);
    // The plane's height of the centre and of each half edge: an edge's
    // lowest point is at centre +- its corner's two half edges - |its own|.
    PxReal height = PxV3Dot(centre, keep->normal) - keep->beyond, along[3];
    for (int m = 0; m < 3; ++m) along[m] = radii[m] * PxV3Dot(axes[m], keep->normal);
    // An edge beyond the fixed box by this much along one of its axes clips
    // to nothing: the bound on its coordinates' and radii's magnitudes (unit
    // axes) times a fraction far above the rounding of the clip's slab
    // parameters, so that the parameter of the face it misses is below -1
    // (or above 1) however it rounds.
    PxReal size = fabs(centre[0]) + fabs(centre[1]) + fabs(centre[2]) + radii[0] + radii[1] + radii[2] + fixed[0] +
                  fixed[1] + fixed[2];
    const PxReal clear = kClearFraction * size;
    for (int j = 0; j < 3; ++j) {
        int k = kNext[j], l = kNext[k];
        PxReal lowest = height - fabs(along[j]);
        // The four edges along axis j beyond at once, or one by one.
        if (lowest - fabs(along[k]) - fabs(along[l]) >= 0.0) continue;
        // The corners' centres c = centre +- u +- v: a product with -r is
        // the product with r negated, so these are centre + axes[k] (+-r_k)
        // + axes[l] (+-r_l) to the bit, formed once for the four edges.
        PxVector3 half, reach, u, v, side[2];
        PxV3Scale(half, axes[j], radii[j]);
        for (int m = 0; m < 3; ++m) reach[m] = fabs(half[m]) + fixed[m];
        PxV3Scale(u, axes[k], radii[k]);
        PxV3Scale(v, axes[l], radii[l]);
        PxV3Sub(side[0], centre, u);
        PxV3Add(side[1], centre, u);
        const PxReal ak[2] = {-along[k], along[k]}, al[2] = {-along[l], along[l]};
        for (int corner = 0; corner < 4; ++corner) {
            const int a = corner & 1, b = corner >> 1;
            if (lowest + ak[a] + al[b] >= 0.0) continue;
            PxVector3 c;
            if (b)
                PxV3Add(c, side[a], v);
            else
                PxV3Sub(c, side[a], v);
            if (clearlyOutside(c, reach, clear)) continue;
            PxReal s0, s1;
            if (!CxSegmentClipAgainstBox(c, half, fixed, &s0, &s1)) continue;
            // Edges along the first axis give both ends, so every vertex
            // inside appears once; the others give only the cut ends.
            if (j == 0 || s0 > -1.0) PxV3AddScaled(points[count++], c, half, s0);
            if (j == 0 || s1 < 1.0) PxV3AddScaled(points[count++], c, half, s1);
        }
    }
    return count;
}

int CxBoxBoxCandidates(const PxVector3 r1, const PxVector3 r2, const CxBoxBoxAxis *axis,
                       PxVector3 points[CxBoxBoxMaxCandidates], PxReal separations[CxBoxBoxMaxCandidates])
{
    const CxBoxBoxRelative &rel = axis->relative;
    PxVector3 raw[CxBoxBoxMaxCandidates];
    const PxReal limit = 0.01 * axis->separation;
    // An edge whose two ends lie clearly beyond the limit gives no point
    // that is kept: it is not clipped. Clearly: by far more than the
    // rounding of a clipped point's separation, of the order of the poses'
    // and boxes' sizes.
    PxReal size = fabs(rel.t[0]) + fabs(rel.t[1]) + fabs(rel.t[2]) + r1[0] + r1[1] + r1[2] + r2[0] + r2[1] + r2[2];
    PxReal clear = kClearFraction * (size + fabs(axis->offset) + fabs(limit));

    // Box 2's edges in box 1's frame: axes are the columns of R.
    PxReal axes2[3][3];
    PxM3Transpose(axes2, rel.R);
    CxBoxBoxKeep keep;
    PxV3Copy(keep.normal, axis->normal);
    keep.beyond = axis->offset + limit + clear;
    int count = CxBoxEdgesClipAgainstBox(rel.t, axes2, r2, r1, &keep, raw, 0);

    // Box 1's edges in box 2's frame: centre -t R, axes the rows of R.
    PxVector3 centre1;
    PxV3MulM3(centre1, rel.t, rel.R);
    PxV3Scale(centre1, centre1, -1.0);
    PxV3MulM3(keep.normal, axis->normal, rel.R);
    keep.beyond = axis->offset - PxV3Dot(rel.t, axis->normal) + limit + clear;
    int first = count;
    count = CxBoxEdgesClipAgainstBox(centre1, rel.R, r1, r2, &keep, raw, count);
    for (int k = first; k < count; ++k) {
        // Back to box 1's frame: p = t + p' R^T.
        PxVector3 back;
        PxV3MulM3T(back, raw[k], rel.R);
        PxV3Add(raw[k], back, rel.t);
    }

    int kept = 0;
    for (int k = 0; k < count; ++k) {
        PxReal separation = PxV3Dot(raw[k], axis->normal) - axis->offset;
        if (separation < limit) {
            PxV3Copy(points[kept], raw[k]);
            separations[kept++] = separation;
        }
    }
    return kept;
}
