// Cone against plane (the cone is model 1): the lowest feature of the cone
// gives one contact (a point), two (a side line lying on the plane) or
// three (a disc lying on it, at 0, 120 and 240 degrees of the cone's x axis).
#include "primitives/CxPrimitivePair.h"

namespace {

const CdxRequest kDefaultRequest = {2, 0};
// A disc or side line counts as lying on the plane when its ends differ in
// height by less than this fraction of its size.
const PxReal kFlatFraction = 1e-3;
const PxReal kZeroLength = 1e-15;
// sqrt(3), for the rim points at 120 and 240 degrees.
const PxReal kSqrt3 = sqrt(3.0);

struct LowPoint {
    PxVector3 point; // plane frame
    int dims;
};

// The cone in the plane frame: axis, disc centres and the rim points that
// reach lowest.
struct ConeInPlane {
    PxVector3 axis, x, y, baseCentre, topCentre, down;
    PxReal baseRadius, topRadius, slope; // slope: sqrt(1 - a_z^2)
};

void placeCone(const CdxConeRecord *cone, const PxMatrix4 tmCone, const PxMatrix4 tmPlane, ConeInPlane *c)
{
    PxVector3 origin;
    PxV3MulTMInverse(origin, tmCone[3], tmPlane);
    PxV3MulTMDirInverse(c->x, tmCone[0], tmPlane);
    PxV3MulTMDirInverse(c->y, tmCone[1], tmPlane);
    PxV3MulTMDirInverse(c->axis, tmCone[2], tmPlane);
    PxV3AddScaled(c->baseCentre, origin, c->axis, -cone->lowerHeight);
    PxV3AddScaled(c->topCentre, origin, c->axis, cone->upperHeight);
    c->baseRadius = cone->radius;
    c->topRadius = cone->upperRadius;
    const PxReal *a = c->axis;
    c->slope = sqrt(fmax(0.0, 1.0 - a[2] * a[2]));
    // Steepest descent within the disc planes.
    PxV3Set(c->down, a[2] * a[0], a[2] * a[1], a[2] * a[2] - 1.0);
    if (PxV3Normalize(c->down) < kZeroLength) PxV3Copy(c->down, c->x);
}

int discContacts(const PxVector3 centre, PxReal r, const ConeInPlane *c, LowPoint *out)
{
    const PxReal cosines[3] = {1.0, -0.5, -0.5}, sines[3] = {0.0, 0.5 * kSqrt3, -0.5 * kSqrt3};
    for (int k = 0; k < 3; ++k) {
        PxV3AddScaled(out[k].point, centre, c->x, r * cosines[k]);
        PxV3AddScaled(out[k].point, out[k].point, c->y, r * sines[k]);
        out[k].dims = 2;
    }
    return 3;
}

// The lowest feature; returns the number of its contact points.
int lowestFeature(const ConeInPlane *c, LowPoint *out)
{
    PxVector3 baseLow, topLow;
    PxV3AddScaled(baseLow, c->baseCentre, c->down, c->baseRadius);
    PxV3AddScaled(topLow, c->topCentre, c->down, c->topRadius);
    int axisUp = c->axis[2] > 0.0;
    // A disc lies flat when its rim spans little height.
    const PxReal *flatCentre = axisUp ? c->baseCentre : c->topCentre;
    PxReal flatRadius = axisUp ? c->baseRadius : c->topRadius;
    if (flatRadius > 0.0 && 2.0 * c->slope < kFlatFraction) return discContacts(flatCentre, flatRadius, c, out);
    PxReal length = PxV3Distance(baseLow, topLow);
    if (fabs(baseLow[2] - topLow[2]) <= kFlatFraction * length) {
        PxV3Copy(out[0].point, baseLow);
        PxV3Copy(out[1].point, topLow);
        out[0].dims = out[1].dims = 3;
        return 2;
    }
    int baseLower = baseLow[2] < topLow[2];
    PxV3Copy(out[0].point, baseLower ? baseLow : topLow);
    // A rim point is on an edge; a pointed top is a vertex.
    out[0].dims = (baseLower || c->topRadius > 0.0) ? 1 : 0;
    return 1;
}

} // namespace

int CdxConePlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxConeRecord *cone = CxConeRecord(p.model1->geometry);
    if (!cone || !CxPlaneRecord(p.model2->geometry)) return CxPairNoTouch(result);
    ConeInPlane c;
    placeCone(cone, p.tm1, p.tm2, &c);
    LowPoint low[3];
    int count = lowestFeature(&c, low);
    PxReal separation = low[0].point[2];
    for (int k = 1; k < count; ++k) separation = fmin(separation, low[k].point[2]);
    if (separation > p.eps) return CxPairNoTouch(result);

    const PxReal *normal = p.tm2[2];
    PxV3Copy(result->normal, normal);
    int budget = CxPairBudget(pair, result, &kDefaultRequest);
    int written = 0;
    for (int k = 0; k < count && written < budget; ++k) {
        PxVector3 position;
        PxV3MulTM(position, low[k].point, p.tm2);
        CxContactSet(&result->contacts[written++], position, normal, low[k].point[2], low[k].dims | (2 << 8));
    }
    result->contactCount = written;
    return 1;
}
