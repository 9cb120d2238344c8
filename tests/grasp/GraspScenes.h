// Scene texts of the grasp tests: the example hands with an object.
#ifndef KELMAR_TESTS_GRASP_SCENES_H
#define KELMAR_TESTS_GRASP_SCENES_H

#include <string>

namespace grasptest {

// hand3.px held palm down at the origin (its fingers pointing down), no
// gravity, a rubber ball of 4 cm radius between the fingers, 10 cm below
// the palm's mounting face; frozen: the ball is held in place.
std::string Hand3WithBall(bool frozenBall);

} // namespace grasptest

#endif
