// Cylinder against cylinder.
#include "primitives/CxGeomClosest.h"
#include "primitives/CxPrimitivePair.h"

#include <functional>

namespace {

const CdxRequest kDefaultRequest = {4, 0};

// The pair seen from the other side: normals reversed, dims bytes exchanged.
void reverse(CdxIntersectResult *result)
{
    PxV3Scale(result->normal, result->normal, -1.0);
    for (int k = 0; k < result->contactCount; ++k) {
        CdxContact *c = &result->contacts[k];
        PxV3Scale(c->normal, c->normal, -1.0);
        c->dims = (uint16_t)(((c->dims & 0xff) << 8) | (c->dims >> 8));
    }
}

// The order the pair is worked out in. Models in a space go by the ids of
// their roots there (an element of a composite by its composite's), which a
// reload hands out as a fresh load does. The pool addresses of the records
// depend on what was freed before: ordering by address made a reloaded
// scene work a cylinder pair from the other side and drift from a fresh
// load. Models outside a space fall back on their addresses.
const CdxModel *Root(const CdxModel *model)
{
    while (model->parent) model = model->parent;
    return model;
}

bool InOrder(const CdxModel *a, const CdxModel *b)
{
    const CdxModel *rootA = Root(a), *rootB = Root(b);
    if (rootA->space && rootA->space == rootB->space && rootA->spaceId != rootB->spaceId)
        return rootA->spaceId < rootB->spaceId;
    return std::less<const CdxModel *>()(a, b);
}

} // namespace

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
    // Penetration directions come from a search that is not symmetric in
    // the two shapes, so the pair is always worked out in one model order
    // and reversed when listed the other way: swapping the models then
    // exactly flips every normal.
    int reversed = InOrder(p.model2, p.model1);
    if (reversed) {
        CdxCylinderRecord *swap = cylinder1;
        cylinder1 = cylinder2;
        cylinder2 = swap;
        const PxReal(*tm)[4] = p.tm1;
        p.tm1 = p.tm2;
        p.tm2 = tm;
    }
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
    int touch = CxConvexPairIntersect(result, &shape1, &shape2, axes, 4, p.eps, &kDefaultRequest);
    if (touch && reversed) reverse(result);
    return touch;
}
