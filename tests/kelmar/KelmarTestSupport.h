// Scenes the robot layer's tests build: a tilted wooden slope with a block,
// and small helpers for poses (cm, kg, s).
#ifndef KELMAR_TESTS_KELMAR_SUPPORT_H
#define KELMAR_TESTS_KELMAR_SUPPORT_H

#include <string>

#include <kelmar/kelmar.h>

namespace kelmartest {

const double kGravity = 981.0; // cm/s^2
const int kWood = 3;

// A rotation about y by angle (rad) at position.
void PoseAboutY(double tm[4][4], double angle, const double *position);
void Identity(double tm[4][4]);
// The solid's position (cm).
void PositionOf(const kelmar::Solid *solid, double p[3]);
// Writes text into a new temporary file and returns its path.
std::string WriteTempFile(const std::string &text);

} // namespace kelmartest

#endif
