// Cylinder against sphere (the cylinder is model 1): one contact from the
// nearest of the cap, side and rim features, in the cylinder frame.
#include "primitives/CxPrimitivePair.h"

namespace {

const CdxRequest kDefaultRequest = {1, 0};
// Zero-length guard of the radial direction.
const PxReal kZeroLength = 1e-15;

struct Candidate {
    PxReal separation;
    PxVector3 normal; // cylinder frame, from the sphere towards the cylinder
    int dims;
};

// OverlapCylSphere for the sphere centre c in the cylinder frame.
void overlapCylinderSphere(const PxVector3 c, PxReal rc, PxReal h, PxReal rs, Candidate *best)
{
    // The cap facing the centre.
    best->separation = fabs(c[2]) - h - rs;
    PxV3Set(best->normal, 0.0, 0.0, c[2] > 0.0 ? -1.0 : 1.0);
    best->dims = 0x0302;

    PxReal rho = sqrt(c[0] * c[0] + c[1] * c[1]);
    PxVector3 radial = {1.0, 0.0, 0.0};
    if (rho > kZeroLength) PxV3Set(radial, c[0] / rho, c[1] / rho, 0.0);
    if (fabs(c[2]) <= h) {
        // The side, when the centre is within the height.
        PxReal side = rho - rc - rs;
        if (side > best->separation) {
            best->separation = side;
            PxV3Scale(best->normal, radial, -1.0);
            best->dims = 0x0303;
        }
    } else if (rho > rc) {
        // The rim, when the centre is beyond both the radius and the height.
        PxVector3 rim = {rc * radial[0], rc * radial[1], c[2] > 0.0 ? h : -h}, toRim;
        PxV3Sub(toRim, rim, c);
        PxReal distance = PxV3Normalize(toRim);
        if (distance - rs > best->separation && distance > kZeroLength) {
            best->separation = distance - rs;
            PxV3Copy(best->normal, toRim);
            best->dims = 0x0301;
        }
    }
}

} // namespace

int CdxCylinderSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxCylinderRecord *cylinder = CxCylinderRecord(p.model1->geometry);
    CdxSphereRecord *sphere = CxSphereRecord(p.model2->geometry);
    if (!cylinder || !sphere) return CxPairNoTouch(result);
    PxVector3 c;
    PxV3MulTMInverse(c, p.tm2[3], p.tm1);
    Candidate best;
    overlapCylinderSphere(c, cylinder->radius, cylinder->halfHeight, sphere->radius, &best);
    if (best.separation > p.eps) return CxPairNoTouch(result);
    PxVector3 local, position, normal;
    PxV3AddScaled(local, c, best.normal, sphere->radius);
    PxV3MulTM(position, local, p.tm1);
    PxV3MulTMDir(normal, best.normal, p.tm1);
    return CxPairSingleContact(pair, result, &kDefaultRequest, position, normal, best.separation, best.dims);
}
