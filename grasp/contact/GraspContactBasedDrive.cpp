// The drive to the explored targets: every joint's speed fraction is its
// share of the largest remaining motion, times an ease factor that falls
// from 1 (far) to about 0.07 (arrived, for a three-joint finger) as the
// summed remaining motion drops below 5 degrees per joint.
#include <kelmar/GraspContactBased.h>

#include <algorithm>
#include <cmath>

#include <kelmar/Robot.h>

#include "hand/Hand.h"

namespace kelmar {

namespace {

const double kFiveDegrees = 0.017453293 * 5;
const double kArrived = 0.05; // rad

} // namespace

bool GraspContactBased::grasp()
{
    int n = 0;
    double largest = 0, sum = 0;
    for (FingerState &s : fingers_)
        for (size_t k = 0; k < s.links.size(); ++k) {
            const double delta = std::fabs(s.target[k] - s.links[k]->_GetJoint());
            largest = std::max(largest, delta);
            sum += delta;
            ++n;
        }
    if (n == 0) return true;
    const double cap = n * kFiveDegrees;
    const double ease = std::pow((std::min(sum, cap) + 0.3) / (cap + 0.3), 2);
    const bool arrived = largest < kArrived;
    for (FingerState &s : fingers_)
        for (size_t k = 0; k < s.links.size(); ++k) {
            const double delta = std::fabs(s.target[k] - s.links[k]->_GetJoint());
            s.links[k]->_SetJoint(hand::WithinStops(s.links[k], s.target[k]), arrived ? ease : ease * delta / largest,
                                  false);
        }
    return arrived;
}

} // namespace kelmar
