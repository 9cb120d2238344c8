// Separation, normal and contact candidates of two convex shapes from
// their support points, line clipping and feature points. Used by the
// pairs whose closest features are not worked out in closed form (box and
// cylinder, two cylinders, box or cylinder against a triangle). Private to
// the collision library.
#ifndef KELMAR_COLLISION_CXGEOMCONVEXPAIR_H
#define KELMAR_COLLISION_CXGEOMCONVEXPAIR_H

#include "primitives/CxGeomShape.h"

struct CxSeparation {
    PxReal separation; // negative when penetrating
    PxVector3 normal;  // unit, working frame, from shape 2 towards shape 1
};

// Largest separation of the two shapes: over the given candidate axes
// (any orientation, any length; zero-length ones skipped), then exactly by
// GJK when the shapes are apart, or, when they overlap, also along the
// direction between the closest points of shrunken copies. Returns 0 when
// the separation exceeds eps, else 1 with out filled.
int CxConvexSeparation(const CxShape *shape1, const CxShape *shape2, const PxVector3 *axes, int axisCount, PxReal eps,
                       CxSeparation *out);

// The same when the axes are the complete separating set of two polytopes
// (a box and a triangle): their best is the exact answer.
int CxPolytopeSeparation(const CxShape *shape1, const CxShape *shape2, const PxVector3 *axes, int axisCount,
                         PxReal eps, CxSeparation *out);

// Separation along one unit axis, shape 1 taken on the + side.
PxReal CxConvexAxisSeparation(const CxShape *shape1, const CxShape *shape2, const PxVector3 axis);

struct CxContactPoint {
    PxVector3 position; // on shape 1's surface, working frame
    PxReal separation;  // gap to shape 2 along the normal
};

enum { CxConvexMaxCandidates = 208 };

// Contact candidates for a pair with normal n (shape 2 towards shape 1) and
// separation sep: the feature points of both shapes (corners, rim points,
// the ends of the side lines facing the other shape, and the points where
// edges and side lines enter the other solid). Through each point the line
// along n is cut by both solids; the gap between shape 1's entry and shape
// 2's exit is the candidate's separation and shape 1's entry its position.
// Candidates survive when their separation is below 0.01 x sep.
int CxConvexContactCandidates(const CxShape *shape1, const CxShape *shape2, const PxVector3 n, PxReal sep,
                              CxContactPoint out[CxConvexMaxCandidates]);

// Feature dimension of a shape touched along the unit normal n (the
// direction does not matter): box: its axes perpendicular to n; cylinder:
// cap 2, side 3, rim 1; triangle: face 2, edge 1 (n perpendicular to an
// edge), else vertex 0; sphere 3.
int CxShapeFeatureDim(const CxShape *shape, const PxVector3 n);

#endif
