// Box against box: the separating-axis test over the 15 axes and the
// clipping of each box's edges against the other. Private to the collision
// library.
#ifndef KELMAR_COLLISION_CXGEOMBOXBOX_H
#define KELMAR_COLLISION_CXGEOMBOXBOX_H

#include <kelmar/PxVector.h>

// Box 2 in box 1's frame: R[i][j] = axis i of box 1 . axis j of box 2
// (column j is box 2's axis j), centre t.
struct CxBoxBoxRelative {
    PxReal R[3][3];
    PxVector3 t;
};

// The axis of largest separation, in box 1's frame.
struct CxBoxBoxAxis {
    PxReal separation;         // largest separation over the axes
    PxVector3 normal;          // unit, from box 2 towards box 1
    PxReal offset;             // plane offset d: a point's separation is p.normal - d
    int dims;                  // feature dimensions, low byte box 1
    int code;                  // 0..2 face of box 1, 3..5 face of box 2, 6 + 3i + j edge i of box 1 x edge j of box 2
    CxBoxBoxRelative relative; // the poses the axis was found for
};

// Box i has half-extents ri and pose tmi. Returns 1 when no axis separates
// the boxes by more than eps (touch) and fills axis; 0 when separated
// (axis->relative is filled either way).
int CxBoxBoxSeparatingAxis(const PxVector3 r1, const PxMatrix4 tm1, const PxVector3 r2, const PxMatrix4 tm2,
                           PxReal eps, CxBoxBoxAxis *axis);

enum { CxBoxBoxMaxCandidates = 48 };

// The clipped edge points of both boxes (box 1's frame, for the poses the
// axis was found for) whose separation p.n - d is below 0.01 x the axis
// separation; returns their count.
int CxBoxBoxCandidates(const PxVector3 r1, const PxVector3 r2, const CxBoxBoxAxis *axis,
                       PxVector3 points[CxBoxBoxMaxCandidates], PxReal separations[CxBoxBoxMaxCandidates]);

// Edges a clipping may pass over: those with c.normal - |half.normal| >=
// beyond (centre c, half edge half; both ends at or beyond the plane).
struct CxBoxBoxKeep {
    PxVector3 normal;
    PxReal beyond;
};

// Clips the 12 edges of a box (centre, axes as rows and half-extents given
// in the frame of an axis-aligned box of half-extents fixed centred at the
// origin) and appends the points of the clipped parts: both ends for the 4
// edges along the first axis, only the cut ends for the other 8. Returns
// the new count; at most 24 points are added. Edges keep passes over add
// nothing.
int CxBoxEdgesClipAgainstBox(const PxVector3 centre, const PxReal axes[3][3], const PxVector3 radii,
                             const PxVector3 fixed, const CxBoxBoxKeep *keep, PxVector3 *points, int count);

// Clips the segment centre + s half, s in [-1, 1], against the axis-aligned
// box of half-extents radii at the origin (closed); 0 when nothing remains.
int CxSegmentClipAgainstBox(const PxVector3 centre, const PxVector3 half, const PxVector3 radii, PxReal *s0,
                            PxReal *s1);

// Feature dimension of a box against a unit normal in the box's frame:
// the number of its axes perpendicular to the normal (|cos| < 0.0001).
int CxBoxFeatureDim(const PxReal axes[3][3], const PxVector3 normal);

#endif
