// Joints with a position: those that are a Limit (hinges, prismatic joints,
// springs), read and driven through it.
#include "RunJoints.h"

#include <algorithm>

namespace krun {

std::vector<MeasuredJoint> measuredJoints(kelmar::Scene &scene)
{
    std::vector<MeasuredJoint> joints;
    scene.ForEachJoint([&](const char *name, kelmar::Joint *joint) {
        if (joint->GetLimit()) joints.push_back({name, joint});
    });
    std::sort(joints.begin(), joints.end(),
              [](const MeasuredJoint &a, const MeasuredJoint &b) { return a.name < b.name; });
    return joints;
}

double positionOf(const MeasuredJoint &joint)
{
    return joint.joint->GetLimit()->GetPosition();
}

std::vector<Target> bindTargets(kelmar::Scene &scene, const std::vector<std::pair<std::string, double>> &targets,
                                std::string &problem, const std::string &label)
{
    std::vector<Target> bound;
    const std::vector<MeasuredJoint> joints = measuredJoints(scene);
    for (const auto &target : targets) {
        auto named = [&](const MeasuredJoint &joint) { return joint.name == target.first; };
        const auto found = std::find_if(joints.begin(), joints.end(), named);
        if (found == joints.end())
            problem = label + ": no joint '" + target.first + "' with a position in the scene";
        else
            bound.push_back({*found, target.second});
    }
    return bound;
}

// SetValueOpt drives at full speed toward the target, braking in time.
void driveTargets(const std::vector<Target> &targets)
{
    for (const Target &target : targets) target.joint.joint->GetLimit()->SetValueOpt(target.value, 1.0);
}

} // namespace krun
