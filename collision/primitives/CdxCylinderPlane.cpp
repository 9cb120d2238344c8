// Cylinder against plane (the cylinder is model 1): the side lines and cap
// diameters below the plane give the contact candidates.
#include "primitives/CxPrimitivePair.h"

namespace {

const CdxRequest kDefaultRequest = {4, 0};
const int kMaxCandidates = 12;
// Squared axis components that make the cylinder upright or lying.
const PxReal kUpright2 = 0.9999999999;
const PxReal kLying2 = 1e-10;
const PxReal kStanding2 = 0.999999;
const PxReal kZeroLength = 1e-15;

// Adds the ends of the segment's part below the plane: both ends, or only
// the crossing point.
int addBelow(const PxVector3 a, const PxVector3 b, int bothEnds, PxVector3 *points, int count)
{
    PxVector3 d;
    PxV3Sub(d, b, a);
    return CxAddPartBelowPlane(a, d, 0.0, 1.0, bothEnds, points, count);
}

} // namespace

int CdxCylinderPlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxCylinderRecord *cylinder = CxCylinderRecord(p.model1->geometry);
    if (!cylinder || !CxPlaneRecord(p.model2->geometry)) return CxPairNoTouch(result);
    PxReal rc = cylinder->radius, h = cylinder->halfHeight;

    // The cylinder in the plane frame, axis a.
    PxVector3 c, a, across;
    PxV3MulTMInverse(c, p.tm1[3], p.tm2);
    PxV3MulTMDirInverse(a, p.tm1[2], p.tm2);
    PxReal az2 = a[2] * a[2];
    PxReal separation = c[2] - (rc * sqrt(fmax(0.0, 1.0 - az2)) + h * fabs(a[2]));
    if (separation > p.eps) return CxPairNoTouch(result);

    // Steepest descent in the cap plane (-z without its part along a), or
    // the cylinder's x axis when it stands upright.
    PxVector3 down = {a[2] * a[0], a[2] * a[1], a[2] * a[2] - 1.0};
    if (PxV3Normalize(down) < kZeroLength) PxV3MulTMDirInverse(down, p.tm1[0], p.tm2);
    PxV3Cross(across, a, down);

    PxVector3 points[kMaxCandidates];
    int count = 0;
    const PxReal *offsets[2] = {down, across};
    for (int k = 0; k < 4; ++k) {
        PxVector3 bottom, top;
        PxV3AddScaled(bottom, c, offsets[k / 2], (k % 2) ? -rc : rc);
        PxV3AddScaled(top, bottom, a, h);
        PxV3AddScaled(bottom, bottom, a, -h);
        count = addBelow(bottom, top, 1, points, count);
    }
    for (int cap = -1; cap <= 1; cap += 2) {
        PxVector3 centre, from, to;
        PxV3AddScaled(centre, c, a, cap * h);
        PxV3AddScaled(from, centre, down, -rc);
        PxV3AddScaled(to, centre, down, rc);
        count = addBelow(from, to, 0, points, count);
    }
    if (count == 0 && az2 >= kUpright2) {
        PxV3AddScaled(points[count++], c, a, a[2] > 0.0 ? -h : h); // lower cap centre
    } else if (count == 0 && az2 <= kLying2) {
        PxVector3 low;
        PxV3AddScaled(low, c, down, rc);
        PxV3AddScaled(points[count++], low, a, -h);
        PxV3AddScaled(points[count++], low, a, h);
    }

    int low = az2 > kStanding2 ? 2 : (az2 < 1.0 - kStanding2 ? 3 : 1);
    CdxContact candidates[kMaxCandidates];
    return CxPlanePairContacts(&p, points, count, 0.01 * separation, low | (2 << 8), candidates, result,
                               &kDefaultRequest);
}
