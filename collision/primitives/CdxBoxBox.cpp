// Box against box: the axis of largest separation over the 15 separating
// axes, then the clipped edges of both boxes as contact candidates.
#include "primitives/CxGeomBoxBox.h"
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxContactSimplify.h>

namespace {
const CdxRequest kDefaultRequest = {4, 0};
}

int CdxBoxBoxIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxBoxRecord *box1 = CxBoxRecord(p.model1->geometry);
    CdxBoxRecord *box2 = CxBoxRecord(p.model2->geometry);
    if (!box1 || !box2) return CxPairNoTouch(result);
    CxBoxBoxAxis axis;
    if (!CxBoxBoxSeparatingAxis(box1->radii, p.tm1, box2->radii, p.tm2, p.eps, &axis)) return CxPairNoTouch(result);

    PxVector3 normal;
    PxV3MulTMDir(normal, axis.normal, p.tm1);
    PxVector3 points[CxBoxBoxMaxCandidates];
    PxReal separations[CxBoxBoxMaxCandidates];
    int count = CxBoxBoxCandidates(box1->radii, p.tm1, box2->radii, p.tm2, &axis, points, separations);
    CdxContact candidates[CxBoxBoxMaxCandidates];
    for (int k = 0; k < count; ++k) {
        PxVector3 position;
        PxV3MulTM(position, points[k], p.tm1);
        CxContactSet(&candidates[k], position, normal, separations[k], axis.dims);
    }
    // Touching even when no candidate survived (within tolerance, not
    // penetrating).
    CdxContactSimplifyBufferToResult(normal, candidates, count, result, &kDefaultRequest);
    return 1;
}
