// The SOM grasp: its maps, one step, and the posture helpers.
#include <kelmar/GraspShadowSOMGrasp.h>

#include <algorithm>
#include <cmath>

#include <kelmar/GraspOutput.h>
#include <kelmar/Robot.h>

#include "som/SomLayout.h"

namespace kelmar {

GraspShadowSOMGrasp::GraspShadowSOMGrasp()
{
    for (int j = 0; j < kJoints; ++j) {
        jointOffset[j] = 0;
        jointSign[j] = 1;
    }
    jointOffset[2] = -0.4;
    jointOffset[3] = 1.39;
    jointOffset[7] = -0.2;
    jointOffset[11] = -0.1;
    jointOffset[15] = 0.1;
    jointOffset[20] = 0.2;
    jointSign[2] = -1;
    reset();
}

void GraspShadowSOMGrasp::init(Robot *r, float a, float b)
{
    robot = r;
    gainA = a;
    gainB = b;
}

bool GraspShadowSOMGrasp::loadSOM(const char *file, const char *name, int nodeCount, int dimension)
{
    std::unique_ptr<GraspManifold> map(new GraspManifold(nodeCount, dimension));
    if (!name || !map->load(file)) return false;
    maps_[name] = std::move(map);
    return true;
}

bool GraspShadowSOMGrasp::setActiveSOM(const char *name)
{
    if (name && maps_.count(name)) {
        active_ = name;
        return true;
    }
    GraspPrint(GraspChannel::kProblem, "SOM \"%s\" undefined.\n", name ? name : "");
    return false;
}

void GraspShadowSOMGrasp::reset()
{
    for (int j = 0; j < kJoints; ++j) lastTarget[j] = -2.0 * jointSign[j];
    for (auto &finger : contactReservoir)
        for (int &level : finger) level = 0;
}

bool GraspShadowSOMGrasp::grasp()
{
    if (!robot || robot->numJoints != kJoints) return false;
    double posture[kJoints], target[kJoints];
    robot->ForAllJoints(&Robot::_GetJoint, posture);
    updateContactReservoir();
    bool segments[kFingers][kSegments];
    getContactReservoirSegments(segments);
    computeTarget(target, posture, segments);
    robot->SetJoints(target, 1.0f);
    return true;
}

bool GraspShadowSOMGrasp::getSOMProjection(double *out, const double *posture,
                                           const bool segments[kFingers][kSegments])
{
    auto found = maps_.find(active_);
    if (found == maps_.end() || found->second->dimension() != kJoints) {
        GraspPrint(GraspChannel::kProblem, "No valid SOM activated.\n");
        return false;
    }
    bool mask[kJoints];
    getContactProjectionMask(mask, segments);
    return found->second->match(out, posture, mask);
}

bool GraspShadowSOMGrasp::getCurrSOMProjection(double *out)
{
    if (!robot || robot->numJoints != kJoints) return false;
    double posture[kJoints];
    robot->ForAllJoints(&Robot::_GetJoint, posture);
    bool segments[kFingers][kSegments];
    getContactReservoirSegments(segments);
    return getSOMProjection(out, posture, segments);
}

double GraspShadowSOMGrasp::getAbsDiffPosture(double *out, const double *a, const double *b)
{
    double largest = 0;
    for (int j = 0; j < kJoints; ++j) {
        out[j] = std::fabs(a[j] - b[j]);
        largest = std::max(largest, out[j]);
    }
    return largest;
}

double GraspShadowSOMGrasp::sqrDiffNormFinger(const double *a, const double *b, int finger)
{
    if (finger < 0 || finger >= kFingers) return 0;
    double sum = 0;
    for (int j = som::kFingerFirstJoint[finger]; j <= som::LastJoint(finger); ++j)
        sum += (a[j] - b[j]) * (a[j] - b[j]);
    return sum;
}

} // namespace kelmar
