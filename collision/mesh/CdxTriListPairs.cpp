// Sphere, box and cylinder against a triangle list (the list is model 2):
// the list's callback hands out the triangles near model 1, each is tested
// as a face, and the candidates of all of them are reduced together.
#include "primitives/CxGeomTriangle.h"
#include "primitives/CxPrimitivePair.h"

#include <kelmar/CdxContactSimplify.h>

namespace {

const CdxRequest kSphereRequest = {4, 1};
const CdxRequest kConvexRequest = {8, 1};
const int kBufferSize = CX_TRIANGLE_LIST_CANDIDATES;

// The triangles the callback wrote for the pair (at most the array's
// capacity); 0 when the list has none.
int fetchTriangles(CdxModelPair *pair, const CxPair *p, CdxTriangleListRecord *list, PxReal boundingRadius)
{
    if (!list->triangles || list->capacity <= 0) return 0;
    PxVector3 centre;
    PxV3MulTMInverse(centre, p->tm1[3], p->tm2);
    int count = list->callback(pair, centre, boundingRadius + p->eps);
    if (count < 0) return 0;
    return count < list->capacity ? count : list->capacity;
}

// A user triangle carried into the world; its normal is recomputed when
// it has none.
void worldTriangle(const CdxUserTriangle *t, const CxPair *p, CxShape *triangle)
{
    PxVector3 v[3], normal;
    for (int k = 0; k < 3; ++k) PxV3MulTM(v[k], t->vertex[k], p->tm2);
    if (t->normal) {
        PxV3MulTMDir(normal, t->normal, p->tm2);
        CxShapeSetTriangle(triangle, v[0], v[1], v[2], normal);
    } else {
        CxShapeSetTriangle(triangle, v[0], v[1], v[2], nullptr);
    }
}

// Reduction over all triangles along the mean of their normals (the
// deepest candidate's normal when they cancel).
int finish(CdxIntersectResult *result, int touched, PxVector3 normalSum, CdxContact *buffer, int count,
           const CdxRequest *typeDefault)
{
    if (!touched) return CxPairNoTouch(result);
    if (PxV3Normalize(normalSum) == 0.0 && count > 0) {
        int deepest = 0;
        for (int k = 1; k < count; ++k)
            if (buffer[k].separation < buffer[deepest].separation) deepest = k;
        PxV3Copy(normalSum, buffer[deepest].normal);
    }
    CdxContactSimplifyBufferToResult(normalSum, buffer, count, result, typeDefault);
    return 1;
}

int convexAgainstList(CdxModelPair *pair, CdxIntersectResult *result, const CxPair *p, const CxShape *shape,
                      PxReal boundingRadius)
{
    CdxTriangleListRecord *list = CxTriangleListRecord(p->model2->geometry);
    if (!list) return CxPairNoTouch(result);
    int triangles = fetchTriangles(pair, p, list, boundingRadius);
    CdxContact *buffer = list->candidates;
    int count = 0, touched = 0;
    PxVector3 normalSum = {0.0, 0.0, 0.0};
    for (int i = 0; i < triangles; ++i) {
        CxShape triangle;
        worldTriangle(&list->triangles[i], p, &triangle);
        PxVector3 normal;
        int first = count;
        if (!CxConvexTriangleContacts(shape, &triangle, p->eps, normal, buffer, kBufferSize, &count)) continue;
        touched = 1;
        PxV3Add(normalSum, normalSum, normal);
        for (int k = first; k < count; ++k) buffer[k].element2 = i;
    }
    return finish(result, touched, normalSum, buffer, count, &kConvexRequest);
}

} // namespace

int CdxSphereTriangleListIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxSphereRecord *sphere = CxSphereRecord(p.model1->geometry);
    CdxTriangleListRecord *list = CxTriangleListRecord(p.model2->geometry);
    if (!sphere || !list) return CxPairNoTouch(result);
    int triangles = fetchTriangles(pair, &p, list, sphere->radius);
    CdxContact *buffer = list->candidates;
    int count = 0;
    PxVector3 normalSum = {0.0, 0.0, 0.0};
    for (int i = 0; i < triangles && count < kBufferSize; ++i) {
        CxShape triangle;
        worldTriangle(&list->triangles[i], &p, &triangle);
        if (!CxSphereTriangleContact(p.tm1[3], sphere->radius, &triangle, p.eps, &buffer[count])) continue;
        buffer[count].element2 = i;
        PxV3Add(normalSum, normalSum, buffer[count].normal);
        ++count;
    }
    return finish(result, count > 0, normalSum, buffer, count, &kSphereRequest);
}

int CdxBoxTriangleListIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxBoxRecord *box = CxBoxRecord(p.model1->geometry);
    if (!box) return CxPairNoTouch(result);
    CxShape shape;
    CxShapeSetBox(&shape, p.tm1, box->radii);
    return convexAgainstList(pair, result, &p, &shape, box->sphereRadius);
}

int CdxCylinderTriangleListIntersect(CdxModelPair *pair, CdxIntersectResult *result)
{
    CxPair p;
    if (!CxPairBegin(pair, result, &p)) return 0;
    CdxCylinderRecord *cylinder = CxCylinderRecord(p.model1->geometry);
    if (!cylinder) return CxPairNoTouch(result);
    CxShape shape;
    CxShapeSetCylinder(&shape, p.tm1, cylinder->radius, cylinder->halfHeight);
    return convexAgainstList(pair, result, &p, &shape, cylinder->sphereRadius);
}
