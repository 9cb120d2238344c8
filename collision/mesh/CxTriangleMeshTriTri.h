// Intersection of two triangles in segment form, and the polygon clip it
// shares with the triangle distance tests. Private to the collision library.
#ifndef KELMAR_COLLISION_CXTRIANGLEMESHTRITRI_H
#define KELMAR_COLLISION_CXTRIANGLEMESHTRITRI_H

#include <kelmar/PxVector.h>

enum {
    CxTriTriFromA = 0, // a segment end on an edge of a, inside b
    CxTriTriFromB = 1  // a segment end on an edge of b, inside a
};

struct CxTriTriIntersection {
    int count; // 0 none, 2 a segment (ends may coincide), 3..6 a coplanar overlap
    int coplanar;
    PxVector3 points[6]; // a segment runs along na x nb
    int source[2];       // per segment end: CxTriTriFromA or CxTriTriFromB
    int edge[2];         // the edge of that triangle: e runs from corner e to corner e + 1
};

// Triangles a and b with unit normals na and nb, all in one frame. Returns
// the point count (0 when they do not meet).
int CxTriTriIntersect(const PxVector3 a[3], const PxVector3 na, const PxVector3 b[3], const PxVector3 nb,
                      CxTriTriIntersection *out);

// Sutherland-Hodgman clip of the polygon in (count corners) by the
// half-space (p - origin) . inward >= 0, written to out; returns the new
// count (at most count + 1).
int CxClipPolygonByHalfPlane(const PxVector3 *in, int count, const PxVector3 origin, const PxVector3 inward,
                             PxVector3 *out);

#endif
