// Oriented boxes of the mesh tree: fitting a box to triangles, the
// transform between two mesh frames and the separating-axis tests the
// descents use. Private to the collision library.
#ifndef KELMAR_COLLISION_CXOBB_H
#define KELMAR_COLLISION_CXOBB_H

#include <kelmar/PxVector.h>

struct CxTriangleMesh;

// Box in a mesh frame; axes are unit rows sorted by decreasing half-extent.
struct CxObb {
    PxVector3 halfExtents;
    PxVector3 axes[3];
    PxVector3 centre;
};

// Rigid transform between two frames: a point p of the first frame is
// p rotation + translation in the second.
struct BVTransform {
    PxMatrix3 rotation;
    PxVector3 translation;

    // The transform of frame a relative to frame b (both world TMs).
    void thisIsFirstThenInverseSecond(const PxMatrix4 a, const PxMatrix4 b);
    void applyPoint(PxVector3 out, const PxVector3 p) const;
    void applyDirection(PxVector3 out, const PxVector3 d) const;
};

// Fits boxes to triangles of a mesh.
struct ObbFinder {
    // Box around the triangles indices[0..count) of mesh. One triangle gives
    // a flat box in its plane; more give the axes of the area-weighted
    // covariance of their surfaces, refined when fitTighter is set.
    static void process(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count, int fitTighter);
    // The axis-aligned box of the triangles' vertices.
    static void processAxisAligned(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count);
    static void computeObbOneTriangle(const PxReal *a, const PxReal *b, const PxReal *c, CxObb *box);
};

// Turns the box about each of its axes while that shrinks the area of its
// cross-section across the axis; the triangles' vertices must stay inside.
void CdxObbFitTighter(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count);

// Centre and half-extents for fixed axes: the extreme projections of the
// triangles' vertices; then the axes are sorted by decreasing half-extent.
void CxObbFitExtents(const CxTriangleMesh *mesh, CxObb *box, const int *indices, int count);
// Sorts axes and half-extents together by decreasing half-extent.
void CxObbSortAxes(CxObb *box);

// 1 when a separating axis among the 15 of two boxes shows them farther
// apart than margin. Box b is given in its own frame and carried into a's
// frame by bToA. Absolute rotation terms get 1e-6 so that nearly parallel
// edges never cull wrongly.
int CxObbDisjoint(const CxObb *a, const CxObb *b, const BVTransform *bToA, PxReal margin);
// Largest separation over the 15 axes (a lower bound of the distance of the
// boxes; negative when no axis separates them).
PxReal CxObbSeparation(const CxObb *a, const CxObb *b, const BVTransform *bToA);
// 1 when the whole box lies farther than margin above the plane of unit
// normal n through point p (same frame).
int CxObbAbovePlane(const CxObb *box, const PxVector3 n, const PxVector3 p, PxReal margin);
// Narrows [t0, t1] to the part of the segment p + t d inside the box; 0
// when the segment misses it.
int CxObbSegmentClip(const CxObb *box, const PxVector3 p, const PxVector3 d, PxReal *t0, PxReal *t1);
// Largest value of dot(x, d) over the box.
PxReal CxObbSupportValue(const CxObb *box, const PxVector3 d);
// The box's eight corners.
void CxObbCorners(const CxObb *box, PxVector3 corners[8]);

#endif
