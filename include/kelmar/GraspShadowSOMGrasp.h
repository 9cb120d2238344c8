// A posture controller for a five-fingered hand of 24 joints: joints 0 and
// 1 belong to the wrist, then the fingers of 5, 4, 4, 4 and 5 joints
// (2-6, 7-10, 11-14, 15-18, 19-23; the first finger is the thumb). Each
// step it remembers which finger segments touch something (a decaying
// contact memory), projects the hand's posture on a self-organising map of
// grasp postures over the joints of the touching segments, and moves every
// finger towards a target from that projection: untouched fingers close by
// gainA per step, following the map; touching segments freeze.
#ifndef KELMAR_GRASPSHADOWSOMGRASP_H
#define KELMAR_GRASPSHADOWSOMGRASP_H

#include <map>
#include <memory>
#include <string>

#include <kelmar/GraspManifold.h>

namespace kelmar {

class Robot;

class GraspShadowSOMGrasp {
public:
    static const int kJoints = 24, kFingers = 5, kSegments = 3;

    GraspShadowSOMGrasp();
    // gainA: the closing step per call (rad); gainB: the tolerance (rad).
    void init(Robot *robot, float gainA, float gainB);
    // Loads a map of nodeCount nodes of dimension values under name; false
    // (the map is not kept) when the file does not load.
    bool loadSOM(const char *file, const char *name, int nodeCount, int dimension);
    // Makes the named map the active one; false (with a message) for an unknown name.
    bool setActiveSOM(const char *name);
    const std::string &getActiveSOM() const { return active_; }

    // One step: read the posture, update the contact memory, drive the
    // fingers towards the target. False when the robot is not a 24-joint hand.
    bool grasp();
    // Forgets the contact memory and the last targets.
    void reset();

    // The active map's node nearest to posture over the joints of the
    // segments in contact (all joints when none is); false without a map.
    bool getSOMProjection(double *out, const double *posture, const bool segments[kFingers][kSegments]);
    bool getCurrSOMProjection(double *out);
    void computeTarget(double *target, const double *posture, const bool segments[kFingers][kSegments]);
    void updateContactReservoir();
    void getContactReservoirSegments(bool segments[kFingers][kSegments]) const;
    void getContactProjectionMask(bool *mask, const bool segments[kFingers][kSegments]) const;
    // Per-joint |a - b| into out; returns the largest.
    static double getAbsDiffPosture(double *out, const double *a, const double *b);
    // Squared distance of two postures over one finger's joints.
    static double sqrDiffNormFinger(const double *a, const double *b, int finger);

    // touch[j]: joint j's link has a contact, read from the robot by each
    // update of the contact memory unless touchFromRobot is false (then the
    // caller sets it, to replay a sequence of touches).
    bool touchFromRobot = true;
    bool touch[kJoints] = {};
    int contactReservoir[kFingers][kSegments] = {};
    double lastTarget[kJoints];

    Robot *robot = nullptr;
    float gainA = 0;
    double gainB = 0;
    double jointOffset[kJoints];
    int jointSign[kJoints];

private:
    void ReadTouches();
    void FingerTarget(int f, double *target, const double *posture, const double *proj, const bool *segments) const;

    std::map<std::string, std::unique_ptr<GraspManifold>> maps_;
    std::string active_;
};

} // namespace kelmar

#endif
