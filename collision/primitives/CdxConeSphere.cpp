// Cone against sphere (the cone is model 1): one contact from the point of
// the cone nearest to the sphere centre, found in the cone's half-plane
// through that centre, where the cone is a trapezoid (base, side, top).
#include "primitives/CxGeomClosest.h"
#include "primitives/CxPrimitivePair.h"

namespace {

const CdxRequest kDefaultRequest = {1, 0};
const PxReal kZeroLength = 1e-14;

struct Nearest {
    PxReal rho, z;       // the nearest boundary point in (radius, height)
    PxReal outRho, outZ; // outward unit normal of its feature there
    PxReal distance;     // from the centre; negative when the centre is inside
    int dims;
};

// The three boundary segments of the trapezoid, as (rho, z) pairs.
struct Trapezoid {
    PxReal baseR, baseZ, topR, topZ;
};

void sideNormal(const Trapezoid *t, PxReal *outRho, PxReal *outZ)
{
    PxReal dr = t->topR - t->baseR, dz = t->topZ - t->baseZ, length = sqrt(dr * dr + dz * dz);
    *outRho = length > 0.0 ? dz / length : 1.0;
    *outZ = length > 0.0 ? -dr / length : 0.0;
}

void nearestInside(const Trapezoid *t, PxReal rho, PxReal z, Nearest *n)
{
    PxReal sideRho, sideZ;
    sideNormal(t, &sideRho, &sideZ);
    PxReal height = t->topZ - t->baseZ;
    PxReal sideR = height > 0.0 ? t->baseR + (t->topR - t->baseR) * (z - t->baseZ) / height : t->baseR;
    PxReal toSide = (sideR - rho) * sideRho, toBase = z - t->baseZ;
    PxReal toTop = t->topR > 0.0 ? t->topZ - z : HUGE_VAL;
    if (toSide <= toBase && toSide <= toTop) {
        *n = {rho + toSide * sideRho, z + toSide * sideZ, sideRho, sideZ, -toSide, 3};
    } else if (toBase <= toTop) {
        *n = {rho, t->baseZ, 0.0, -1.0, -toBase, 2};
    } else {
        *n = {rho, t->topZ, 0.0, 1.0, -toTop, 2};
    }
}

void nearestOutside(const Trapezoid *t, PxReal rho, PxReal z, Nearest *n)
{
    const PxVector3 p = {rho, z, 0.0};
    const PxVector3 corners[4] = {
        {0.0, t->baseZ, 0.0}, {t->baseR, t->baseZ, 0.0}, {t->topR, t->topZ, 0.0}, {0.0, t->topZ, 0.0}};
    PxReal sideRho, sideZ;
    sideNormal(t, &sideRho, &sideZ);
    const PxReal outward[3][2] = {{0.0, -1.0}, {sideRho, sideZ}, {0.0, 1.0}};
    *n = {0.0, t->baseZ, 0.0, -1.0, HUGE_VAL, 2};
    for (int s = 0; s < 3; ++s) {
        PxVector3 q;
        PxReal u = CxClosestPointOnSegment(p, corners[s], corners[s + 1], q);
        PxReal d = PxV3Distance(p, q);
        if (d >= n->distance) continue;
        // Dimension: inside a segment its face (side 3, discs 2); at a rim
        // corner 1; at the apex 0.
        int dims = s == 1 ? 3 : 2;
        int corner = u <= 0.0 ? s : (u >= 1.0 ? s + 1 : -1);
        if (corner == 1 || (corner == 2 && t->topR > 0.0)) dims = 1;
        if (corner == 2 && t->topR == 0.0) dims = 0;
        *n = {q[0], q[1], outward[s][0], outward[s][1], d, dims};
    }
}

int insideTrapezoid(const Trapezoid *t, PxReal rho, PxReal z)
{
    PxReal height = t->topZ - t->baseZ;
    if (z < t->baseZ || z > t->topZ || height <= 0.0) return 0;
    return rho <= t->baseR + (t->topR - t->baseR) * (z - t->baseZ) / height;
}

} // namespace

int CdxConeSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxConeRecord *cone = CxConeRecord(p.model1->geometry);
    CdxSphereRecord *sphere = CxSphereRecord(p.model2->geometry);
    if (!cone || !sphere) return CxPairNoTouch(result);
    PxVector3 c;
    PxV3MulTMInverse(c, p.tm2[3], p.tm1);
    PxReal rho = sqrt(c[0] * c[0] + c[1] * c[1]);
    PxReal ux = 1.0, uy = 0.0;
    if (rho > kZeroLength) ux = c[0] / rho, uy = c[1] / rho;
    Trapezoid t = {cone->radius, -cone->lowerHeight, cone->upperRadius, cone->upperHeight};
    Nearest n;
    if (insideTrapezoid(&t, rho, c[2]))
        nearestInside(&t, rho, c[2], &n);
    else
        nearestOutside(&t, rho, c[2], &n);

    // Normal from the sphere towards the cone: against the feature's
    // outward normal, or along centre-to-point when that is well defined.
    PxVector3 q = {n.rho * ux, n.rho * uy, n.z}, normal;
    PxV3Sub(normal, q, c);
    if (n.distance <= 0.0 || PxV3Normalize(normal) < kZeroLength)
        PxV3Set(normal, -n.outRho * ux, -n.outRho * uy, -n.outZ);
    PxReal separation = n.distance - sphere->radius;
    if (separation > p.eps) return CxPairNoTouch(result);
    PxVector3 local, position, worldNormal;
    PxV3AddScaled(local, c, normal, sphere->radius);
    PxV3MulTM(position, local, p.tm1);
    PxV3MulTMDir(worldNormal, normal, p.tm1);
    return CxPairSingleContact(pair, result, &kDefaultRequest, position, worldNormal, separation, n.dims | 0x0300);
}
