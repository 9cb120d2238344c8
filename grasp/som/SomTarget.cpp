// The SOM grasp's target law, finger by finger. A finger's tip is its last
// joint, its middle group the one before (the thumb's: the two before), its
// proximal group the rest. advance(j, k) = lastTarget[j] + sign[j] gainA k
// closes a joint by k steps; r(j), a distal joint's bend relative to the
// finger's most bent distal joint (at least 0.25), scales the steps of the
// distal joints so that they close in proportion.
//   no segment touches: the distal joints advance unless the map's posture
//     is ahead of them (then they take it); the proximal joints take the
//     map's posture unless they are ahead of it by gainB;
//   the tip segment touches: the finger holds;
//   a lower segment touches: the proximal joints hold, the distal ones
//     advance (10 steps for a tip whose two lower segments both touch)
//     unless they lag their last target by gainB.
#include <kelmar/GraspShadowSOMGrasp.h>

#include <algorithm>
#include <cmath>

#include "som/SomLayout.h"

namespace kelmar {

namespace {

struct Finger {
    int first, middle, tip; // middle: the first joint of the middle group
};

Finger Groups(int f)
{
    const int last = som::LastJoint(f);
    return Finger{som::kFingerFirstJoint[f], f == 0 ? last - 2 : last - 1, last};
}

} // namespace

void GraspShadowSOMGrasp::computeTarget(double *target, const double *posture,
                                        const bool segments[kFingers][kSegments])
{
    double proj[kJoints];
    target[0] = posture[0];
    target[1] = posture[1];
    // Without a map the posture stands in for its projection.
    if (!getSOMProjection(proj, posture, segments)) std::copy(posture, posture + kJoints, proj);
    for (int f = 0; f < kFingers; ++f) FingerTarget(f, target, posture, proj, segments[f]);
    std::copy(target, target + kJoints, lastTarget);
}

void GraspShadowSOMGrasp::FingerTarget(int f, double *target, const double *posture, const double *proj,
                                       const bool *touching) const
{
    const Finger g = Groups(f);
    double norm = 0;
    for (int j = g.middle; j <= g.tip; ++j) norm = std::max(norm, posture[j]);
    if (norm == 0) norm = 1;
    auto advance = [&](int j, double k) { return lastTarget[j] + jointSign[j] * gainA * k; };
    auto bend = [&](int j) { return std::max(posture[j] / norm, 0.25); };
    auto lagging = [&](int j) { return std::fabs(posture[j] - lastTarget[j]) >= gainB; };
    for (int j = g.first; j <= g.tip; ++j) target[j] = lastTarget[j];
    if (touching[2]) return;
    if (!touching[0] && !touching[1]) {
        for (int j = g.middle; j <= g.tip; ++j)
            target[j] = proj[j] - gainB <= lastTarget[j] ? advance(j, bend(j)) : proj[j];
        for (int j = g.middle - 1, position = 0; j >= g.first; --j, ++position) {
            if ((lastTarget[j] - proj[j]) * jointSign[j] < gainB)
                target[j] = proj[j];
            else if (f == 0)
                target[j] = advance(j, position == 0 ? 1 : 5);
            else
                target[j] = position == 0 ? advance(j, 5) : lastTarget[j];
        }
        return;
    }
    target[g.tip] = lagging(g.tip) ? lastTarget[g.tip]
                                   : advance(g.tip, touching[0] && touching[1] ? 10 : bend(g.tip));
    // The thumb's second middle joint keeps its last target, as it does in every other case.
    if (!touching[1]) target[g.middle] = lagging(g.middle) ? lastTarget[g.middle] : advance(g.middle, bend(g.middle));
}

} // namespace kelmar
