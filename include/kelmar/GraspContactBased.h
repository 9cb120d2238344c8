// A grasp that explores by touch: each finger closes joint by joint in
// fixed angle steps, moving on to the next joint out when the link before
// it touches something, until its fingertip touches within an accepted
// stretch of the tip link. explore() runs one exploration step; once it
// reports the end, grasp() drives all joints to the explored angles with
// eased speeds (fast while far, slowing in the last 5 degrees per joint).
#ifndef KELMAR_GRASPCONTACTBASED_H
#define KELMAR_GRASPCONTACTBASED_H

#include <vector>

namespace kelmar {

class Robot;

class GraspContactBased {
public:
    // angleStep: rad added to a joint's target per advance; validLow and
    // validHigh (cm, either order): where along the tip link, measured from
    // its joint towards its centre of mass, a fingertip contact is accepted.
    void init(Robot *robot, double angleStep, double validLow, double validHigh);
    // One exploration step; true when nothing moved and no target changed.
    bool explore();
    // One drive step to the explored targets; true when every joint is
    // within 0.05 rad of its target (and also without explored targets).
    bool grasp();
    // Forgets the exploration.
    void reset();
    // A contact of node's solid lies between low and high along the link.
    bool isValidContact(Robot *node, double low, double high);
    // The most distal link of finger f with a contact; -1 when none.
    int getContactSegment(int finger);

    Robot *robot = nullptr;
    double angleStep = 0; // rad
    double validLow = 0;  // cm
    double validHigh = 0; // cm

private:
    struct FingerState {
        std::vector<Robot *> links;
        int segment = -1;       // the link whose contact the finger has reached
        double exploration = 0; // rad: the angle the explored joint is sent to
        std::vector<double> previous, target;
        bool tipReached = false;
    };
    bool Start();
    bool ExploreFinger(int f, FingerState &s);
    bool AdvanceSegment(int f, FingerState &s);
    bool ExploreJoint(int f, FingerState &s);
    bool ExploreTip(int f, FingerState &s);

    std::vector<FingerState> fingers_; // empty until the first exploration step
};

} // namespace kelmar

#endif
