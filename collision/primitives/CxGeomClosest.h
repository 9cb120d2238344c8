// Closest points between points, segments and triangles. Private to the
// collision library.
#ifndef KELMAR_COLLISION_CXGEOMCLOSEST_H
#define KELMAR_COLLISION_CXGEOMCLOSEST_H

#include <kelmar/PxVector.h>

// Closest point to p on segment a..b; returns its parameter in [0, 1].
PxReal CxClosestPointOnSegment(const PxVector3 p, const PxVector3 a, const PxVector3 b, PxVector3 out);

// Closest points c1 = p1 + s (q1 - p1) and c2 = p2 + t (q2 - p2) of two
// segments; returns the squared distance. Degenerate segments are points.
PxReal CxClosestPointsSegmentSegment(const PxVector3 p1, const PxVector3 q1, const PxVector3 p2, const PxVector3 q2,
                                     PxReal *s, PxReal *t, PxVector3 c1, PxVector3 c2);

// Feature of a triangle a, b, c that holds the closest point: 0..2 a
// vertex, 3..5 the edge ab, bc, ca, 6 the inside of the face.
enum { CxTriangleVertexA = 0, CxTriangleEdgeAB = 3, CxTriangleFace = 6 };

// Closest point to p on triangle a, b, c with its barycentric weights
// (out = wa a + wb b + wc c); returns the feature code.
int CxClosestPointOnTriangle(const PxVector3 p, const PxVector3 a, const PxVector3 b, const PxVector3 c,
                             PxVector3 out, PxReal weights[3]);

#endif
