// A controller that wraps the fingers of a hand robot around a ball, joint
// by joint from the palm outwards. Each call aims every joint so that the
// line from its anchor through its link's centre touches the ball (is
// tangent to it), and holds the joints below a joint still until that
// joint is within tolerance of its aim. Call it once per step until the
// hand has closed; it keeps no state between calls.
#ifndef KELMAR_GRASPBALLWRAP_H
#define KELMAR_GRASPBALLWRAP_H

namespace kelmar {

class Robot;
class Solid;

class GraspBallWrap {
public:
    GraspBallWrap() = default;
    // radius: the ball's (cm); tolerance: joint-angle tolerance (rad).
    void init(Robot *robot, Solid *target, double radius, double tolerance);
    // One step: takes the ball's centre from the target and drives the hand.
    void grasp();
    // One step below node towards a ball at the stored centre.
    void grasp(Robot *node);

    Robot *robot = nullptr;
    Solid *target = nullptr;
    double radius = 0;            // cm
    double tolerance = 0;         // rad
    double centre[3] = {0, 0, 0}; // cm, world

private:
    // Aims node's joint; returns false when the joints below must wait.
    bool Aim(Robot *node);
};

} // namespace kelmar

#endif
