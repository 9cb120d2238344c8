// The two planning steps of the second ball wrap, on a finger record.
#ifndef KELMAR_GRASP_ORBPLANNING_H
#define KELMAR_GRASP_ORBPLANNING_H

#include "hand/Hand.h"

namespace kelmar {
namespace orb {

// First-joint aiming towards goal in the palm's x-y plane (see GraspBallWrap2_Orb::calculateJoint0).
double AimFirstJoint(const double goal[3], const Robot *palm, const hand::Finger &finger);
// Sphere closing; targets[k] for every link k of the finger.
void CloseOnSphere(double *targets, const double centre[3], double radius, const double *goal, const Robot *palm,
                   const hand::Finger &finger);

} // namespace orb
} // namespace kelmar

#endif
