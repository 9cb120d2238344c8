// Box against box: the axis of largest separation over the 15 separating
// axes, then the clipped edges of both boxes as contact candidates.
#include "primitives/CxGeomBoxBox.h"
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxContactSimplify.h>

namespace {

const CdxRequest kDefaultRequest = {4, 0};

// Within this fraction of their mean half edge two boxes count as just
// touching. The clipped edges of boxes that barely overlap, touch or are
// apart within the tolerance would give few candidates or none (a stack the
// solver lifts by a hair would lose its contacts and fall freely for a
// step), so their candidates are those of box 2 sunk into box 1 by this
// much, with the sinking added back to their separations.
const PxReal kTouchFraction = 1e-4;

// Box 2's pose moved by distance along the world direction.
void movePose(const PxMatrix4 tm, const PxVector3 direction, PxReal distance, PxMatrix4 out)
{
    PxM4Copy(out, tm);
    PxV3AddScaled(out[3], out[3], direction, distance);
}

} // namespace

int CdxBoxBoxIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxBoxRecord *box1 = CxBoxRecord(p.model1->geometry);
    CdxBoxRecord *box2 = CxBoxRecord(p.model2->geometry);
    if (!box1 || !box2) return CxPairNoTouch(result);
    const PxReal *r1 = box1->radii, *r2 = box2->radii;
    CxBoxBoxAxis axis;
    if (!CxBoxBoxSeparatingAxis(r1, p.tm1, r2, p.tm2, p.eps, &axis)) return CxPairNoTouch(result);

    PxVector3 normal;
    PxV3MulTMDir(normal, axis.normal, p.tm1);
    const PxReal slack = kTouchFraction * (r1[0] + r1[1] + r1[2] + r2[0] + r2[1] + r2[2]) / 6.0;
    PxReal sunk = 0.0;
    if (axis.separation > -slack) {
        sunk = axis.separation + slack;
        PxMatrix4 tm2;
        movePose(p.tm2, normal, sunk, tm2);
        if (!CxBoxBoxSeparatingAxis(r1, p.tm1, r2, tm2, p.eps + sunk, &axis)) return CxPairNoTouch(result);
        PxV3MulTMDir(normal, axis.normal, p.tm1);
    }
    PxVector3 points[CxBoxBoxMaxCandidates];
    PxReal separations[CxBoxBoxMaxCandidates];
    int count = CxBoxBoxCandidates(r1, r2, &axis, points, separations);
    CdxContact candidates[CxBoxBoxMaxCandidates];
    for (int k = 0; k < count; ++k) {
        PxVector3 position;
        PxV3MulTM(position, points[k], p.tm1);
        CxContactSet(&candidates[k], position, normal, separations[k] + sunk, axis.dims);
    }
    // Touching even when no candidate survived (within tolerance, not
    // penetrating).
    CdxContactSimplifyBufferToResult(normal, candidates, count, result, &kDefaultRequest);
    return 1;
}
