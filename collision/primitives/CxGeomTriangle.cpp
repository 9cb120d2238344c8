// Primitive against one triangle.
#include "primitives/CxGeomTriangle.h"
#include "primitives/CxGeomClosest.h"
#include "primitives/CxGeomConvexPair.h"
#include "primitives/CxPrimitivePair.h"

namespace {

const PxReal kZeroLength = 1e-14;

int triangleDims(int feature)
{
    if (feature == CxTriangleFace) return 2;
    return feature >= CxTriangleEdgeAB ? 1 : 0;
}

} // namespace

int CxSphereTriangleContact(const PxVector3 centre, PxReal radius, const CxShape *triangle, PxReal eps,
                            CdxContact *contact)
{
    const PxReal(*v)[3] = triangle->vertex;
    PxVector3 nearest, normal, fromPlane;
    PxReal weights[3];
    int feature = CxClosestPointOnTriangle(centre, v[0], v[1], v[2], nearest, weights);
    PxV3Sub(normal, centre, nearest);
    PxReal distance = PxV3Length(normal);
    if (distance - radius > eps) return 0;
    // Over the face, or too close to tell a direction: the face normal on
    // the centre's side.
    PxV3Sub(fromPlane, centre, v[0]);
    PxReal side = PxV3Dot(fromPlane, triangle->normal) >= 0.0 ? 1.0 : -1.0;
    if (feature == CxTriangleFace || distance < kZeroLength)
        PxV3Scale(normal, triangle->normal, side);
    else
        PxV3Scale(normal, normal, 1.0 / distance);
    PxReal separation = PxV3Dot(fromPlane, normal);
    if (feature != CxTriangleFace) separation = distance;
    separation -= radius;
    PxVector3 position;
    PxV3AddScaled(position, centre, normal, -radius);
    CxContactSet(contact, position, normal, separation, 3 | (triangleDims(feature) << 8));
    return 1;
}

int CxConvexTriangleContacts(const CxShape *shape, const CxShape *triangle, PxReal eps, PxVector3 normal,
                             CdxContact *contacts, int capacity, int *count)
{
    // Axes: the face normal, the shape's own axes and their crosses with
    // the edges: for a box the complete separating set, so its best axis is
    // exact; for a cylinder GJK and the penetration search settle the
    // curved cases.
    PxVector3 axes[13], edges[3];
    int n = 0;
    PxV3Copy(axes[n++], triangle->normal);
    for (int e = 0; e < 3; ++e) PxV3Sub(edges[e], triangle->vertex[(e + 1) % 3], triangle->vertex[e]);
    int shapeAxes = shape->kind == CxShapeBox ? 3 : 1;
    for (int i = 0; i < shapeAxes; ++i) {
        const PxReal *axis = shape->tm[shape->kind == CxShapeBox ? i : 2];
        PxV3Copy(axes[n++], axis);
        for (int e = 0; e < 3; ++e) PxV3Cross(axes[n++], axis, edges[e]);
    }
    CxSeparation separation;
    int touch = shape->kind == CxShapeBox ? CxPolytopeSeparation(shape, triangle, axes, n, eps, &separation)
                                          : CxConvexSeparation(shape, triangle, axes, n, eps, &separation);
    if (!touch) return 0;
    PxV3Copy(normal, separation.normal);
    CxContactPoint points[CxConvexMaxCandidates];
    int found = CxConvexContactCandidates(shape, triangle, separation.normal, separation.separation, points);
    int dims = CxShapeFeatureDim(shape, separation.normal) | (CxShapeFeatureDim(triangle, separation.normal) << 8);
    for (int k = 0; k < found && *count < capacity; ++k)
        CxContactSet(&contacts[(*count)++], points[k].position, separation.normal, points[k].separation, dims);
    return 1;
}
