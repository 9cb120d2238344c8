// A mesh against a sphere, box, cylinder or plane: the tree is descended
// against the primitive's box (or the plane's half-space) and each leaf
// triangle that survives is tested against the primitive.
//
// A closed mesh is a solid: a sphere whose centre lies behind a face is
// pushed out along that face's normal, and a box or cylinder contact whose
// normal points into the solid through a face is not reported (it belongs
// to the far side of the face, where the solid continues). An open mesh is
// a two-sided surface.
//
// Inside a flat stretch made of several triangles, the edges between them
// are not edges of the surface: a triangle whose own test tilts the normal
// across such an edge (or stops at its nearest edge while its neighbour
// comes closer) gives way to the face.
#include "mesh/CxTriangleMeshPrimitive.h"
#include "primitives/CxGeomClosest.h"
#include "primitives/CxGeomTriangle.h"

#include <float.h>

namespace {

// A mesh triangle whose normal is this close to the plane normal lies flat
// on the plane (a face contact).
const PxReal kFlatCos = 1.0 - 0.0001;
// Normals within this of the face normal are face normals; surface rising
// above a contact plane by more than this share of its length crosses it.
const PxReal kLean = 1e-7;

// The primitive's box is already in the mesh frame.
const BVTransform kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}};

// tm2 expressed in the frame of tm1.
void relativeTM(const PxReal tm2[4][4], const PxReal tm1[4][4], PxMatrix4 out)
{
    PxM4Identity(out);
    for (int i = 0; i < 3; ++i) PxV3MulTMDirInverse(out[i], tm2[i], tm1);
    PxV3MulTMInverse(out[3], tm2[3], tm1);
}

void setBounds(CxObb *bounds, const PxMatrix4 tm, PxReal hx, PxReal hy, PxReal hz, PxReal eps)
{
    for (int i = 0; i < 3; ++i) PxV3Copy(bounds->axes[i], tm[i]);
    PxV3Copy(bounds->centre, tm[3]);
    PxV3Set(bounds->halfExtents, hx + eps, hy + eps, hz + eps);
}

// Adds a contact while there is room (the touch is kept either way).
void append(CxMeshPrimitiveQuery *q, const PxVector3 position, const PxVector3 normal, PxReal separation, int dims,
            int triangle)
{
    if (q->count >= q->capacity) return;
    CdxContact *c = &q->contacts[q->count++];
    CxContactSet(c, position, normal, separation, dims);
    c->element1 = triangle;
}

// 1 when the triangle can touch along normal (from t towards the
// primitive): the plane across normal through the triangle's extreme
// corners is not crossed by the surface around them. A normal tilted off
// the face inside a flat or hollow stretch of surface fails: there the
// neighbouring triangles rise above that plane, and the surface is the
// face. At convex edges and corners tilted normals pass.
int supportsNormal(const CxTriangleMesh *mesh, int t, const PxVector3 normal)
{
    const PxReal *n = CxMeshNormal(mesh, t);
    if (fabs(PxV3Dot(normal, n)) >= 1.0 - kLean) return 1;
    PxReal height[3], top = -DBL_MAX, size = 0.0;
    for (int k = 0; k < 3; ++k) {
        height[k] = PxV3Dot(normal, CxMeshVertex(mesh, t, k));
        top = fmax(top, height[k]);
        size = fmax(size, PxV3Distance(CxMeshVertex(mesh, t, k), CxMeshVertex(mesh, t, (k + 1) % 3)));
    }
    const CxMeshTopology *topology = &mesh->topology;
    for (int k = 0; k < 3; ++k) {
        if (height[k] < top - kLean * size) continue;
        int vertex = topology->cornerVertex[3 * t + k];
        const PxReal *p = CxMeshVertexPosition(mesh, vertex);
        for (int r = topology->ringStart[vertex]; r < topology->ringStart[vertex + 1]; ++r) {
            PxVector3 step;
            PxV3Sub(step, CxMeshVertexPosition(mesh, topology->ring[r]), p);
            if (PxV3Dot(normal, step) > kLean * PxV3Length(step)) return 0;
        }
    }
    return 1;
}

// Distance from the centre to triangle t and the feature of t nearest it.
PxReal sphereDistance(const CxTriangleMesh *mesh, int t, const PxReal *centre, int *feature)
{
    PxVector3 nearest, gap;
    PxReal weights[3];
    *feature = CxClosestPointOnTriangle(centre, CxMeshVertex(mesh, t, 0), CxMeshVertex(mesh, t, 1),
                                        CxMeshVertex(mesh, t, 2), nearest, weights);
    PxV3Sub(gap, centre, nearest);
    return PxV3Length(gap);
}

// 1 when the centre is nearest to an edge or corner of t and a neighbour
// across that edge (or across an edge at that corner) comes strictly
// closer: the surface's nearest point lies there, and the neighbour
// reports it. Inside a flat stretch of surface this keeps the triangles
// around the touching point from adding contacts along their edges.
int closerNeighbour(const CxTriangleMesh *mesh, int t, const PxReal *centre, int feature, PxReal distance)
{
    if (feature == CxTriangleFace) return 0;
    int edges[2] = {feature - CxTriangleEdgeAB, -1};
    if (feature < CxTriangleEdgeAB) {
        edges[0] = feature;           // the edge leaving the corner
        edges[1] = (feature + 2) % 3; // the edge arriving at it
    }
    for (int e : edges) {
        int neighbour = e >= 0 ? mesh->topology.neighbours[3 * t + e] : -1;
        if (neighbour < 0) continue;
        int other;
        if (sphereDistance(mesh, neighbour, centre, &other) < distance * (1.0 - 1e-12)) return 1;
    }
    return 0;
}

// The sphere pushed straight out of the solid through face t: the normal
// is the face normal and the separation the centre's height minus the
// radius.
void sphereFaceContact(CxMeshPrimitiveQuery *q, int t, PxReal height)
{
    const PxReal *centre = q->shape.tm[3];
    PxReal radius = q->shape.size[0];
    const PxReal *normal = CxMeshNormal(q->mesh, t);
    PxVector3 position;
    PxV3AddScaled(position, centre, normal, -radius);
    append(q, position, normal, height - radius, CdxDimCurved | (CdxDimFace << 8), t);
    PxV3Add(q->normalSum, q->normalSum, normal);
}

int sphereTriangle(CxMeshPrimitiveQuery *q, int t)
{
    const PxReal *v0 = CxMeshVertex(q->mesh, t, 0), *n = CxMeshNormal(q->mesh, t);
    const PxReal *centre = q->shape.tm[3];
    PxReal radius = q->shape.size[0];
    int feature;
    PxReal distance = sphereDistance(q->mesh, t, centre, &feature);
    if (distance - radius > q->eps) return 0;
    if (q->geometric) return 1;
    PxVector3 fromPlane;
    PxV3Sub(fromPlane, centre, v0);
    PxReal height = PxV3Dot(fromPlane, n);
    if (q->mesh->closed && height < 0.0) {
        // Behind a face of the solid: only the face itself pushes back.
        if (feature != CxTriangleFace) return 0;
        sphereFaceContact(q, t, height);
        return 1;
    }
    if (closerNeighbour(q->mesh, t, centre, feature, distance)) return 0;
    CxShape triangle;
    CxShapeSetTriangle(&triangle, v0, CxMeshVertex(q->mesh, t, 1), CxMeshVertex(q->mesh, t, 2), n);
    CdxContact contact;
    if (!CxSphereTriangleContact(centre, radius, &triangle, q->eps, &contact)) return 0;
    append(q, contact.position, contact.normal, contact.separation, contact.dims, t);
    PxV3Add(q->normalSum, q->normalSum, contact.normal);
    return 1;
}

// The primitive against the triangle's face alone: separation along the
// face normal (on side s) and the contact points along it. The separation
// along the normal alone says nothing about where: the primitive may reach
// below the face's plane only beside the triangle, over a neighbour. Then
// no line along the normal passes through both, and the midpoint that the
// candidate search offers for that case is no contact; the primitive does
// not press on this triangle.
int faceContacts(CxMeshPrimitiveQuery *q, const CxShape *triangle, PxReal side, PxVector3 normal)
{
    PxV3Scale(normal, triangle->normal, side);
    PxReal separation = CxConvexAxisSeparation(&q->shape, triangle, normal);
    if (separation > q->eps) return 0;
    CxContactPoint points[CxConvexMaxCandidates];
    int found = CxConvexContactCandidates(&q->shape, triangle, normal, separation, points);
    int dims = CxShapeFeatureDim(&q->shape, normal) | (CxShapeFeatureDim(triangle, normal) << 8);
    int pressed = 0;
    for (int k = 0; k < found; ++k) {
        PxReal in, out;
        if (!CxShapeLineClip(&q->shape, points[k].position, normal, &in, &out) ||
            !CxShapeLineClip(triangle, points[k].position, normal, &in, &out))
            continue;
        pressed = 1;
        if (q->count < q->capacity)
            CxContactSet(&q->contacts[q->count++], points[k].position, normal, points[k].separation, dims);
    }
    return pressed || separation >= 0.0;
}

int convexTriangle(CxMeshPrimitiveQuery *q, int t)
{
    const PxReal *n = CxMeshNormal(q->mesh, t);
    CxShape triangle;
    CxShapeSetTriangle(&triangle, CxMeshVertex(q->mesh, t, 0), CxMeshVertex(q->mesh, t, 1),
                       CxMeshVertex(q->mesh, t, 2), n);
    int first = q->count;
    PxVector3 normal;
    if (!CxConvexTriangleContacts(&q->shape, &triangle, q->eps, normal, q->contacts, q->capacity, &q->count))
        return 0;
    if (q->geometric) return 1;
    PxReal side = PxV3Dot(normal, n) >= 0.0 ? 1.0 : -1.0;
    if (q->mesh->closed && side < 0.0) {
        q->count = first;
        return 0;
    }
    if (!supportsNormal(q->mesh, t, normal)) {
        q->count = first;
        if (!faceContacts(q, &triangle, side, normal)) return 0;
    }
    for (int k = first; k < q->count; ++k) q->contacts[k].element1 = t;
    PxV3Add(q->normalSum, q->normalSum, normal);
    return 1;
}

// The parts of the triangle below the plane: its corners there and the
// points where its edges cross the plane. Each candidate's separation is
// its height above the plane; the pair keeps the deep ones afterwards.
int planeTriangle(CxMeshPrimitiveQuery *q, int t)
{
    const PxReal *N = q->planeNormal;
    PxReal height[3], lowest = 0.0;
    for (int k = 0; k < 3; ++k) {
        PxVector3 d;
        PxV3Sub(d, CxMeshVertex(q->mesh, t, k), q->planePoint);
        height[k] = PxV3Dot(d, N);
        lowest = k == 0 ? height[0] : fmin(lowest, height[k]);
    }
    if (q->geometric) return lowest <= q->eps;
    if (lowest > 0.0) return 0;
    PxVector3 down;
    PxV3Scale(down, N, -1.0);
    int meshDim = fabs(PxV3Dot(CxMeshNormal(q->mesh, t), N)) >= kFlatCos ? CdxDimFace : CdxDimVertex;
    for (int k = 0; k < 3; ++k) {
        const PxReal *a = CxMeshVertex(q->mesh, t, k), *b = CxMeshVertex(q->mesh, t, (k + 1) % 3);
        PxReal ha = height[k], hb = height[(k + 1) % 3];
        if (ha <= 0.0) append(q, a, down, ha, CdxDimFace | (meshDim << 8), t);
        if ((ha < 0.0 && hb > 0.0) || (ha > 0.0 && hb < 0.0)) {
            PxVector3 crossing, ab;
            PxV3Sub(ab, b, a);
            PxV3AddScaled(crossing, a, ab, ha / (ha - hb));
            int edgeDim = meshDim == CdxDimFace ? CdxDimFace : CdxDimEdge;
            append(q, crossing, down, 0.0, CdxDimFace | (edgeDim << 8), t);
        }
    }
    PxV3Add(q->normalSum, q->normalSum, down);
    return 1;
}

int testTriangle(CxMeshPrimitiveQuery *q, int t)
{
    switch (q->kind) {
    case CxMeshSphere: return sphereTriangle(q, t);
    case CxMeshBox:
    case CxMeshCylinder: return convexTriangle(q, t);
    case CxMeshPlane: return planeTriangle(q, t);
    }
    return 0;
}

int nodeDisjoint(const CxMeshPrimitiveQuery *q, const BVNode *node)
{
    if (q->kind == CxMeshPlane) return CxObbAbovePlane(&node->box, q->planeNormal, q->planePoint, q->eps);
    return CxObbDisjoint(&node->box, &q->bounds, &kIdentity, 0.0);
}

void descend(CxMeshPrimitiveQuery *q, const BVNode *node)
{
    if ((q->stopAtFirst && q->touched) || nodeDisjoint(q, node)) return;
    if (node->triangle < 0) {
        descend(q, node->left);
        descend(q, node->right);
        return;
    }
    if (!testTriangle(q, node->triangle)) return;
    q->touched = 1;
    if (q->triangles && q->triangleCount < q->triangleCapacity) q->triangles[q->triangleCount] = node->triangle;
    ++q->triangleCount;
}

} // namespace

int CxMeshPrimitiveQueryInit(const CxPair *pair, CxMeshPrimitiveQuery *q)
{
    q->mesh = CxTriangleMeshBuilt(pair->model1->geometry);
    if (!q->mesh) return 0;
    q->eps = pair->eps;
    q->stopAtFirst = 0;
    q->geometric = 0;
    q->contacts = nullptr;
    q->capacity = q->count = q->touched = 0;
    PxV3Zero(q->normalSum);
    q->triangles = nullptr;
    q->triangleCapacity = q->triangleCount = 0;

    PxMatrix4 rel;
    relativeTM(pair->tm2, pair->tm1, rel);
    CdxGeometryID other = pair->model2->geometry;
    if (CdxSphereRecord *sphere = CxSphereRecord(other)) {
        q->kind = CxMeshSphere;
        CxShapeSetSphere(&q->shape, rel, sphere->radius);
        setBounds(&q->bounds, rel, sphere->radius, sphere->radius, sphere->radius, q->eps);
    } else if (CdxBoxRecord *box = CxBoxRecord(other)) {
        q->kind = CxMeshBox;
        CxShapeSetBox(&q->shape, rel, box->radii);
        setBounds(&q->bounds, rel, box->radii[0], box->radii[1], box->radii[2], q->eps);
    } else if (CdxCylinderRecord *cylinder = CxCylinderRecord(other)) {
        q->kind = CxMeshCylinder;
        CxShapeSetCylinder(&q->shape, rel, cylinder->radius, cylinder->halfHeight);
        setBounds(&q->bounds, rel, cylinder->radius, cylinder->radius, cylinder->halfHeight, q->eps);
    } else if (CxPlaneRecord(other)) {
        q->kind = CxMeshPlane;
        PxV3Copy(q->planeNormal, rel[2]);
        PxV3Copy(q->planePoint, rel[3]);
    } else {
        return 0;
    }
    return 1;
}

void CxMeshPrimitiveDescend(CxMeshPrimitiveQuery *query)
{
    descend(query, query->mesh->tree->root());
}
