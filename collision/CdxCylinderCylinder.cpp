// Cylinder against cylinder.
#include "CxGeomClosest.h"
#include "CxPrimitivePair.h"

namespace {
const CdxRequest kDefaultRequest = {4, 0};
}

// Candidate axes: both cylinder axes, their cross product and the
// direction between the closest points of the two axis segments; GJK
// settles the rest.
int CdxCylinderCylinderIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxCylinderRecord *cylinder1 = CxCylinderRecord(p.model1->geometry);
    CdxCylinderRecord *cylinder2 = CxCylinderRecord(p.model2->geometry);
    if (!cylinder1 || !cylinder2) return CxPairNoTouch(result);
    CxShape shape1, shape2;
    CxShapeSetCylinder(&shape1, p.tm1, cylinder1->radius, cylinder1->halfHeight);
    CxShapeSetCylinder(&shape2, p.tm2, cylinder2->radius, cylinder2->halfHeight);

    PxVector3 axes[4], top1, bottom1, top2, bottom2, closest1, closest2;
    PxV3Copy(axes[0], p.tm1[2]);
    PxV3Copy(axes[1], p.tm2[2]);
    PxV3Cross(axes[2], p.tm1[2], p.tm2[2]);
    PxV3AddScaled(top1, p.tm1[3], p.tm1[2], cylinder1->halfHeight);
    PxV3AddScaled(bottom1, p.tm1[3], p.tm1[2], -cylinder1->halfHeight);
    PxV3AddScaled(top2, p.tm2[3], p.tm2[2], cylinder2->halfHeight);
    PxV3AddScaled(bottom2, p.tm2[3], p.tm2[2], -cylinder2->halfHeight);
    PxReal s, t;
    CxClosestPointsSegmentSegment(bottom1, top1, bottom2, top2, &s, &t, closest1, closest2);
    PxV3Sub(axes[3], closest1, closest2);
    return CxConvexPairIntersect(result, &shape1, &shape2, axes, 4, p.eps, &kDefaultRequest);
}
