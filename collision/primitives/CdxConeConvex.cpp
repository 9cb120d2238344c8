// Cone against box, cone and cylinder: touch only, from the convex
// distance test on the two shapes' support points; no contacts.
#include "primitives/CxGeomGjk.h"
#include "primitives/CxPrimitivePair.h"

int CdxConeConvexIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CxShape shape1, shape2;
    if (!CxConeRecord(p.model1->geometry) || !CxShapeFromModel(p.model1, &shape1) ||
        !CxShapeFromModel(p.model2, &shape2))
        return CxPairNoTouch(result);
    PxV3Zero(result->normal);
    result->contactCount = 0;
    return CxGjkTouch(&shape1, &shape2, p.eps);
}
