// Sphere against sphere: one contact on the line of centres.
#include "primitives/CxPrimitivePair.h"

namespace {
const CdxRequest kDefaultRequest = {1, 0};
}

int CdxSphereSphereIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxSphereRecord *sphere1 = CxSphereRecord(p.model1->geometry);
    CdxSphereRecord *sphere2 = CxSphereRecord(p.model2->geometry);
    if (!sphere1 || !sphere2) return CxPairNoTouch(result);
    PxReal r1 = sphere1->radius, r2 = sphere2->radius;
    const PxReal *c1 = p.tm1[3], *c2 = p.tm2[3];
    PxVector3 normal;
    PxV3Sub(normal, c1, c2);
    PxReal distance = PxV3Normalize(normal);
    if (distance == 0.0) PxV3Set(normal, 0.0, 0.0, 1.0);
    PxReal separation = distance - (r1 + r2);
    if (separation > p.eps) return CxPairNoTouch(result);
    // The point dividing the centres in the ratio of the radii: the touching
    // point when the spheres just touch.
    PxVector3 position;
    if (r1 + r2 > 0.0) {
        PxV3Scale(position, c1, r2 / (r1 + r2));
        PxV3AddScaled(position, position, c2, r1 / (r1 + r2));
    } else {
        PxV3Add(position, c1, c2);
        PxV3Scale(position, position, 0.5);
    }
    return CxPairSingleContact(pair, result, &kDefaultRequest, position, normal, separation, 0x0303);
}
