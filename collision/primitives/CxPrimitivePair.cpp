// Shared steps of the primitive pair functions.
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxContactSimplify.h>

const PxMatrix4 gCxIdentityTM = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};

namespace {

const PxReal (*modelTM(const CdxModel *model))[4]
{
    return model->transform ? (const PxReal(*)[4]) * model->transform : gCxIdentityTM;
}

} // namespace

int CxPairBegin(CdxModelPair *pair, CdxIntersectResult *result, CxPair *out)
{
    result->pair = pair;
    result->contactCount = 0;
    if (!pair || !pair->model1 || !pair->model2) return 0;
    out->model1 = pair->model1;
    out->model2 = pair->model2;
    out->tm1 = modelTM(pair->model1);
    out->tm2 = modelTM(pair->model2);
    out->eps = pair->model1->contactTolerance + pair->model2->contactTolerance;
    return 1;
}

int CxPairBudget(const CdxModelPair *pair, const CdxIntersectResult *result, const CdxRequest *typeDefault)
{
    const CdxRequest *request = pair && pair->request ? pair->request : typeDefault;
    int budget = result->contacts ? result->contactCapacity : 0;
    if (request->contactMaxCount < budget) budget = request->contactMaxCount;
    return budget > 0 ? budget : 0;
}

int CxPairNoTouch(CdxIntersectResult *result)
{
    result->contactCount = 0;
    return 0;
}

void CxContactSet(CdxContact *contact, const PxVector3 position, const PxVector3 normal, PxReal separation, int dims)
{
    PxV3Copy(contact->position, position);
    PxV3Copy(contact->normal, normal);
    contact->separation = separation;
    contact->dims = (uint16_t)dims;
    contact->element1 = 0;
    contact->element2 = 0;
}

int CxAddPartBelowPlane(const PxVector3 origin, const PxVector3 step, PxReal lo, PxReal hi, int bothEnds,
                        PxVector3 *points, int count)
{
    PxReal s0 = lo, s1 = hi;
    if (step[2] == 0.0) {
        if (!(origin[2] <= 0.0)) return count;
    } else {
        PxReal crossing = -origin[2] / step[2];
        if (step[2] > 0.0)
            s1 = fmin(hi, crossing);
        else
            s0 = fmax(lo, crossing);
        if (!(s0 <= s1)) return count;
    }
    if (bothEnds || s0 > lo) PxV3AddScaled(points[count++], origin, step, s0);
    if (bothEnds || s1 < hi) PxV3AddScaled(points[count++], origin, step, s1);
    return count;
}

int CxPlanePairContacts(const CxPair *p, const PxVector3 *points, int count, PxReal keepBelow, int dims,
                        CdxContact *candidates, CdxIntersectResult *result, const CdxRequest *typeDefault)
{
    const PxReal *normal = p->tm2[2];
    int kept = 0;
    for (int k = 0; k < count; ++k) {
        if (!(points[k][2] < keepBelow)) continue;
        PxVector3 position;
        PxV3MulTM(position, points[k], p->tm2);
        CxContactSet(&candidates[kept++], position, normal, points[k][2], dims);
    }
    CdxContactSimplifyBufferToResult(normal, candidates, kept, result, typeDefault);
    return 1;
}

int CxPairSingleContact(CdxModelPair *pair, CdxIntersectResult *result, const CdxRequest *typeDefault,
                        const PxVector3 position, const PxVector3 normal, PxReal separation, int dims)
{
    PxV3Copy(result->normal, normal);
    result->contactCount = 0;
    if (CxPairBudget(pair, result, typeDefault) >= 1) {
        CxContactSet(&result->contacts[0], position, normal, separation, dims);
        result->contactCount = 1;
    }
    return 1;
}

int CxShapeFromModel(const CdxModel *model, CxShape *shape)
{
    CdxGeometryID geometry = model->geometry;
    const PxReal(*tm)[4] = modelTM(model);
    if (CdxSphereRecord *sphere = CxSphereRecord(geometry)) {
        CxShapeSetSphere(shape, tm, sphere->radius);
    } else if (CdxBoxRecord *box = CxBoxRecord(geometry)) {
        CxShapeSetBox(shape, tm, box->radii);
    } else if (CdxCylinderRecord *cylinder = CxCylinderRecord(geometry)) {
        CxShapeSetCylinder(shape, tm, cylinder->radius, cylinder->halfHeight);
    } else if (CdxConeRecord *cone = CxConeRecord(geometry)) {
        CxShapeSetCone(shape, tm, cone->radius, cone->upperRadius, -cone->lowerHeight, cone->upperHeight);
    } else if (CdxTriangleListRecord *list = CxTriangleListRecord(geometry)) {
        CxShapeSetBox(shape, tm, list->radii);
    } else {
        return 0;
    }
    return 1;
}

int CxConvexPairIntersect(CdxIntersectResult *result, const CxShape *shape1, const CxShape *shape2,
                          const PxVector3 *axes, int axisCount, PxReal eps, const CdxRequest *typeDefault)
{
    CxSeparation separation;
    if (!CxConvexSeparation(shape1, shape2, axes, axisCount, eps, &separation)) return CxPairNoTouch(result);
    CxContactPoint points[CxConvexMaxCandidates];
    int count = CxConvexContactCandidates(shape1, shape2, separation.normal, separation.separation, points);
    int dims = CxShapeFeatureDim(shape1, separation.normal) | (CxShapeFeatureDim(shape2, separation.normal) << 8);
    CdxContact candidates[CxConvexMaxCandidates];
    for (int k = 0; k < count; ++k)
        CxContactSet(&candidates[k], points[k].position, separation.normal, points[k].separation, dims);
    CdxContactSimplifyBufferToResult(separation.normal, candidates, count, result, typeDefault);
    return 1;
}
