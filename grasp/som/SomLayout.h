// The layout of the 24-joint hand the SOM grasp drives: joints 0 and 1
// belong to the wrist; each finger's joints follow one another.
#ifndef KELMAR_GRASP_SOMLAYOUT_H
#define KELMAR_GRASP_SOMLAYOUT_H

namespace kelmar {
namespace som {

const int kFingerFirstJoint[5] = {2, 7, 11, 15, 19};
const int kFingerJointCount[5] = {5, 4, 4, 4, 5};
// Contact memory: segment s of finger f touches when any joint from
// kReservoirStart[f][s] to the finger's last joint touches.
const int kReservoirStart[5][3] = {{2, 4, 6}, {7, 9, 10}, {11, 13, 14}, {15, 17, 18}, {19, 22, 23}};
// Projection: a touching segment s compares joints kProjectionBound[f][s] to kProjectionBound[f][s + 1].
const int kProjectionBound[5][4] = {
    {2, 3, 5, 6}, {7, 8, 9, 10}, {11, 12, 13, 14}, {15, 16, 17, 18}, {19, 21, 22, 23}};

inline int LastJoint(int f)
{
    return kFingerFirstJoint[f] + kFingerJointCount[f] - 1;
}

} // namespace som
} // namespace kelmar

#endif
