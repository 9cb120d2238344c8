// Separating distances between two triangles: how far one reaches below
// the other's face, and their closest distance. Private to the collision
// library.
#ifndef KELMAR_COLLISION_CXSODISTTRITRI_H
#define KELMAR_COLLISION_CXSODISTTRITRI_H

#include <kelmar/PxVector.h>

struct CxSODist {
    int aOverB;     // 1 when some of a lies over b (inside b's walls)
    PxReal aUnderB; // lowest height of that part above b's plane (negative: below)
    int bOverA;
    PxReal bUnderA;
};

// Triangle a is culled against the walls of b (the planes through b's
// edges standing perpendicular on b); the part that remains is measured
// against b's plane along nb. And the same with the roles exchanged.
void CxSODistTriTri(const PxVector3 a[3], const PxVector3 na, const PxVector3 b[3], const PxVector3 nb,
                    CxSODist *out);

// Height of the lowest point of a inside the walls of b above b's plane
// (along nb); 0 when nothing of a lies within the walls.
int CxSODistTriUnderFace(const PxVector3 a[3], const PxVector3 b[3], const PxVector3 nb, PxReal *height);

// Closest distance of two triangles that do not cross (corner against
// face and edge against edge), with the closest points.
PxReal CxSODistTriTriClosest(const PxVector3 a[3], const PxVector3 b[3], PxVector3 pointA, PxVector3 pointB);

#endif
