// Box against plane (the box is model 1): the parts of the box's edges
// below the plane give the contact candidates.
#include "primitives/CxPrimitivePair.h"

namespace {

const CdxRequest kDefaultRequest = {4, 0};
const int kMaxCandidates = 24;
// A box axis counts as lying in the plane when |cos| with the normal is
// below this.
const PxReal kPerpendicularCos = 0.0001;

// The 4 edges along the first axis give both ends of their part below the
// plane, the other 8 only their crossing points; returns the count.
int edgeCandidates(const PxVector3 centre, const PxReal axes[3][3], const PxVector3 r,
                   PxVector3 points[kMaxCandidates])
{
    int count = 0;
    for (int j = 0; j < 3; ++j) {
        int k = (j + 1) % 3, l = (j + 2) % 3;
        PxVector3 half;
        PxV3Scale(half, axes[j], r[j]);
        for (int corner = 0; corner < 4; ++corner) {
            PxVector3 c;
            PxV3AddScaled(c, centre, axes[k], (corner & 1) ? r[k] : -r[k]);
            PxV3AddScaled(c, c, axes[l], (corner & 2) ? r[l] : -r[l]);
            count = CxAddPartBelowPlane(c, half, -1.0, 1.0, j == 0, points, count);
        }
    }
    return count;
}

// Within this fraction of its mean half edge a box counts as just touching
// the plane.
const PxReal kTouchFraction = 1e-4;

// The corners of a box just touching the plane or above it within the
// contact tolerance that are no higher than highest. Without them a resting
// box that the solver lifts by a hair would lose some or all of its
// contacts and fall freely for a step.
int lowCorners(const PxVector3 centre, const PxReal axes[3][3], const PxVector3 r, PxReal highest,
               PxVector3 points[kMaxCandidates])
{
    int count = 0;
    for (int corner = 0; corner < 8; ++corner) {
        PxVector3 c;
        PxV3Copy(c, centre);
        for (int i = 0; i < 3; ++i) PxV3AddScaled(c, c, axes[i], (corner >> i & 1) ? r[i] : -r[i]);
        if (c[2] <= highest) PxV3Copy(points[count++], c);
    }
    return count;
}

} // namespace

int CdxBoxPlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxBoxRecord *box = CxBoxRecord(p.model1->geometry);
    if (!box || !CxPlaneRecord(p.model2->geometry)) return CxPairNoTouch(result);
    const PxReal *r = box->radii;

    // The box in the plane frame, where the normal is +z.
    PxVector3 centre;
    PxReal axes[3][3];
    PxV3MulTMInverse(centre, p.tm1[3], p.tm2);
    int lying = 0;
    PxReal reach = 0.0;
    for (int i = 0; i < 3; ++i) {
        PxV3MulTMDirInverse(axes[i], p.tm1[i], p.tm2);
        reach += fabs(axes[i][2]) * r[i];
        if (fabs(axes[i][2]) < kPerpendicularCos) ++lying;
    }
    PxReal separation = centre[2] - reach;
    if (separation > p.eps) return CxPairNoTouch(result);

    // Just touching: the lowest corners.
    const PxReal slack = kTouchFraction * (r[0] + r[1] + r[2]) / 3.0;
    const bool touching = separation > -slack;
    const PxReal keepBelow = touching ? separation + slack : 0.01 * separation;
    PxVector3 points[kMaxCandidates];
    int count = touching ? lowCorners(centre, axes, r, keepBelow, points) : edgeCandidates(centre, axes, r, points);
    if (count == 0) return CxPairNoTouch(result);
    CdxContact candidates[kMaxCandidates];
    return CxPlanePairContacts(&p, points, count, keepBelow + 1e-300, lying | (2 << 8), candidates, result,
                               &kDefaultRequest);
}
