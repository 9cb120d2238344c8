// A convex primitive placed in a common working frame (normally the world),
// with the queries the generic pair machinery needs: support point, the
// interval of a line inside the solid, and shrinking for penetration
// estimates. Private to the collision library.
#ifndef KELMAR_COLLISION_CXGEOMSHAPE_H
#define KELMAR_COLLISION_CXGEOMSHAPE_H

#include <kelmar/PxVector.h>

enum CxShapeKind {
    CxShapeSphere,
    CxShapeBox,
    CxShapeCylinder,
    CxShapeCone,    // rim-to-rim solid: base disc below, top disc (or apex) above
    CxShapeTriangle // a flat triangle, a solid of zero thickness
};

struct CxShape {
    CxShapeKind kind;
    PxMatrix4 tm; // local frame in the working frame (identity for triangles)
    // sphere: radius; box: half-extents; cylinder: radius, half-height;
    // cone: base radius, top radius.
    PxVector3 size;
    PxReal baseZ, topZ;  // cone: local z of the base disc and of the top disc
    PxVector3 vertex[3]; // triangle corners in the working frame
    PxVector3 normal;    // triangle unit normal in the working frame
};

void CxShapeSetSphere(CxShape *shape, const PxMatrix4 tm, PxReal radius);
void CxShapeSetBox(CxShape *shape, const PxMatrix4 tm, const PxVector3 halfExtents);
void CxShapeSetCylinder(CxShape *shape, const PxMatrix4 tm, PxReal radius, PxReal halfHeight);
void CxShapeSetCone(CxShape *shape, const PxMatrix4 tm, PxReal baseRadius, PxReal topRadius, PxReal baseZ,
                    PxReal topZ);
// The normal is recomputed from the corners when the given one is null.
void CxShapeSetTriangle(CxShape *shape, const PxVector3 a, const PxVector3 b, const PxVector3 c,
                        const PxReal *normal);

// Point of the shape farthest along dir (working frame). A direction
// component whose magnitude is at most zeroLimit (after normalising) counts
// as zero, which leaves the point midway along that feature.
void CxShapeSupportLimit(const CxShape *shape, const PxVector3 dir, PxReal zeroLimit, PxVector3 out);
// Exact support point (only exact zeros are treated as zero).
void CxShapeSupport(const CxShape *shape, const PxVector3 dir, PxVector3 out);
// Projection interval of the shape on a unit axis.
void CxShapeProject(const CxShape *shape, const PxVector3 axis, PxReal *lo, PxReal *hi);

// Parameter interval [s0, s1] of the line p + s u inside the closed solid.
// u need not be unit; s is in units of u. Returns 0 when the line misses.
int CxShapeLineClip(const CxShape *shape, const PxVector3 p, const PxVector3 u, PxReal *s0, PxReal *s1);

// First crossing of the solid's surface by the segment p0..p1 at or after
// p0 (the exit when p0 is inside): 1 with its parameter t in [0, 1].
int CxShapeSegmentFirstHit(const CxShape *shape, const PxVector3 p0, const PxVector3 p1, PxReal *t);

// The same shape made smaller by delta on every side (never below zero);
// triangles stay as they are.
void CxShapeShrink(const CxShape *shape, PxReal delta, CxShape *out);

// A characteristic size (largest half-extent, radius or half-height).
PxReal CxShapeSize(const CxShape *shape);

// Quadratic a s^2 + b s + c <= 0 for a > 0: the root interval [s0, s1].
// Returns 0 when there is none.
int CxSolveQuadraticInterval(PxReal a, PxReal b, PxReal c, PxReal *s0, PxReal *s1);

#endif
