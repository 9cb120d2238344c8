// Convex distance (GJK) between two placed shapes through their support
// points. Private to the collision library.
#ifndef KELMAR_COLLISION_CXGEOMGJK_H
#define KELMAR_COLLISION_CXGEOMGJK_H

#include "primitives/CxGeomShape.h"

struct CxGjkResult {
    int overlap;      // 1: the shapes overlap (or come within the touch limit)
    int farther;      // 1: stopped because they are certainly farther than the stop distance
    PxReal distance;  // 0 on overlap; a lower bound when farther is set
    PxVector3 point1; // closest point of shape 1 (working frame), when apart
    PxVector3 point2; // closest point of shape 2
    int iterations;
};

// Runs GJK until the distance is known to a relative precision of 1e-12,
// the shapes are found to overlap (the simplex encloses the origin, or the
// squared distance falls to touchLimit2 or below), or a separating
// direction proves them farther apart than stopDistance.
void CxGjkDistance(const CxShape *shape1, const CxShape *shape2, PxReal stopDistance, PxReal touchLimit2,
                   CxGjkResult *result);

// The same to a relative precision of the caller's choice (the squared
// distance known to within precision x itself).
void CxGjkDistancePrecision(const CxShape *shape1, const CxShape *shape2, PxReal stopDistance, PxReal touchLimit2,
                            PxReal precision, CxGjkResult *result);

// Touch test of the pairs that report no contacts: 1 when the shapes overlap
// (enclosed origin, or a squared distance of 1e-8 or less) or lie within
// tolerance of each other, 0 when a separating direction shows a gap
// larger than tolerance.
int CxGjkTouch(const CxShape *shape1, const CxShape *shape2, PxReal tolerance);

#endif
