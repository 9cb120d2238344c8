// Joints with a position: those whose constraint carries a limit.
#include "RunJoints.h"

#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdLimit.h>

namespace krun {

std::vector<MeasuredJoint> measuredJoints(kelmar::Scene &scene)
{
    std::vector<MeasuredJoint> joints;
    scene.ForEachJoint([&](const char *name, kelmar::Joint *joint) {
        if (joint->GetConstraint() && RbdConstraintGetLimit(joint->GetConstraint())) joints.push_back({name, joint});
    });
    return joints;
}

double positionOf(const MeasuredJoint &joint)
{
    return RbdLimitGetPosition(RbdConstraintGetLimit(joint.joint->GetConstraint()));
}

std::vector<Target> bindTargets(kelmar::Scene &scene, const std::vector<std::pair<std::string, double>> &targets,
                                std::string &problem)
{
    std::vector<Target> bound;
    const std::vector<MeasuredJoint> joints = measuredJoints(scene);
    for (const auto &target : targets) {
        bool found = false;
        for (const MeasuredJoint &joint : joints)
            if (joint.name == target.first) {
                bound.push_back({joint, target.second});
                found = true;
            }
        if (!found) problem = "--set: no joint '" + target.first + "' with a position in the scene";
    }
    if (problem.empty() && !bound.empty()) problem = "--set: driving joints needs the joint classes";
    return bound;
}

void driveTargets(const std::vector<Target> &targets)
{
    (void)targets;
}

} // namespace krun
