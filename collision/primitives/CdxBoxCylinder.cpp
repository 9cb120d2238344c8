// Box against cylinder (the box is model 1).
#include "primitives/CxPrimitivePair.h"

namespace {
const CdxRequest kDefaultRequest = {4, 0};
}

// Candidate axes: the box's face axes, the cylinder axis, the box axes
// crossed with the cylinder axis, and the direction from the cylinder axis
// towards the box centre across the axis; GJK settles the rest.
int CdxBoxCylinderIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxBoxRecord *box = CxBoxRecord(p.model1->geometry);
    CdxCylinderRecord *cylinder = CxCylinderRecord(p.model2->geometry);
    if (!box || !cylinder) return CxPairNoTouch(result);
    CxShape shape1, shape2;
    CxShapeSetBox(&shape1, p.tm1, box->radii);
    CxShapeSetCylinder(&shape2, p.tm2, cylinder->radius, cylinder->halfHeight);

    const PxReal *a = p.tm2[2];
    PxVector3 axes[8];
    for (int i = 0; i < 3; ++i) {
        PxV3Copy(axes[i], p.tm1[i]);
        PxV3Cross(axes[4 + i], p.tm1[i], a);
    }
    PxV3Copy(axes[3], a);
    PxVector3 toBox;
    PxV3Sub(toBox, p.tm1[3], p.tm2[3]);
    PxV3AddScaled(axes[7], toBox, a, -PxV3Dot(toBox, a));
    return CxConvexPairIntersect(result, &shape1, &shape2, axes, 8, p.eps, &kDefaultRequest);
}
