// The frame of a contact on a grasped solid: the normal along which the
// contact pushes the target and two tangents, and the lever from the
// target's centre of mass (cm, world).
#ifndef KELMAR_GRASP_CONTACTFRAME_H
#define KELMAR_GRASP_CONTACTFRAME_H

#include <kelmar/RbdTypes.h>

namespace kelmar {

class Solid;

struct ContactFrame {
    double t1[3], t2[3], n[3]; // unit axes: t2 = n x t1
    double r[3];               // contact position - target's centre of mass
};

// Tangents of unit normal n: t1 from the larger of |n.x| and |n.y|, t2 = n x t1.
void TangentsOf(const double n[3], double t1[3], double t2[3]);
// The contact's frame on target; flip: the target is the contact's second
// body (its normal points away from the target then, and is turned).
void ContactFrameOf(RbdContactID contact, const Solid *target, bool flip, ContactFrame &frame);
// The rotation of the target's centre-of-mass frame (rows: its axes, world).
void TargetRotation(const Solid *target, double rotation[3][3]);
// v (world) in the frame whose axes are the rows of rotation.
void IntoFrame(const double rotation[3][3], const double v[3], double out[3]);

} // namespace kelmar

#endif
