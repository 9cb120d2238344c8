// Two boxes moving with constant linear velocities: the latest entry time
// over the 15 separating axes (the time the last axis stops separating).
#include <kelmar/CdxPrimitives.h>
#include <kelmar/PxVector.h>

namespace {

PxReal projectionRadius(const PxVector3 radii, const PxMatrix4 tm, const PxVector3 axis)
{
    return radii[0] * fabs(PxV3Dot(axis, tm[0])) + radii[1] * fabs(PxV3Dot(axis, tm[1])) +
           radii[2] * fabs(PxV3Dot(axis, tm[2]));
}

} // namespace

int CdxMovingBoxBoxIntersect(const PxVector3 radiiA, const PxMatrix4 transformA, const PxVector3 velocityA,
                             const PxVector3 radiiB, const PxMatrix4 transformB, const PxVector3 velocityB, PxReal T,
                             PxReal *time, PxVector3 normal)
{
    PxVector3 axes[15], start, end, travel;
    for (int i = 0; i < 3; ++i) {
        PxV3Copy(axes[i], transformA[i]);
        PxV3Copy(axes[3 + i], transformB[i]);
        for (int j = 0; j < 3; ++j) PxV3Cross(axes[6 + 3 * i + j], transformA[i], transformB[j]);
    }
    PxV3Sub(start, transformB[3], transformA[3]);
    PxV3Sub(travel, velocityB, velocityA);
    PxV3AddScaled(end, start, travel, T);
    *time = 0.0;
    PxV3Zero(normal);
    for (int k = 0; k < 15; ++k) {
        const PxReal *L = axes[k];
        PxReal r = projectionRadius(radiiA, transformA, L) + projectionRadius(radiiB, transformB, L);
        PxReal s0 = PxV3Dot(L, start), s1 = PxV3Dot(L, end);
        if ((s0 > r && s1 > r) || (s0 < -r && s1 < -r)) return 0; // apart all the way
        PxReal entry;
        PxReal side; // normal from B towards A along L
        if (s0 > r) {
            entry = T * (s0 - r) / (s0 - s1);
            side = -1.0;
        } else if (s0 < -r) {
            entry = T * (-r - s0) / (s1 - s0);
            side = 1.0;
        } else {
            continue; // overlapping on this axis from the start
        }
        if (entry > *time) {
            *time = entry;
            PxV3Scale(normal, L, side / PxV3Length(L));
        }
    }
    return 1;
}
