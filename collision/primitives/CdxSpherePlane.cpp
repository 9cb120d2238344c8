// Sphere against plane: one contact at the sphere's lowest point.
#include "primitives/CxPrimitivePair.h"

namespace {
const CdxRequest kDefaultRequest = {1, 0};
}

int CdxSpherePlaneIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxSphereRecord *sphere = CxSphereRecord(p.model1->geometry);
    if (!sphere || !CxPlaneRecord(p.model2->geometry)) return CxPairNoTouch(result);
    PxReal r = sphere->radius;
    const PxReal *centre = p.tm1[3];
    // The plane frame is the identity when the plane has no transform.
    PxVector3 local;
    PxV3MulTMInverse(local, centre, p.tm2);
    PxReal height = local[2] - r;
    if (height > p.eps) return CxPairNoTouch(result);
    const PxReal *normal = p.tm2[2];
    PxVector3 position;
    PxV3AddScaled(position, centre, normal, -r);
    return CxPairSingleContact(pair, result, &kDefaultRequest, position, normal, height, 0x0203);
}
