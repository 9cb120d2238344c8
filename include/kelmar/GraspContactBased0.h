// A recursive speed grasp: every joint of the hand closes at a speed that
// halves with each level from the palm until its link touches the target,
// then holds; a link pressing harder than the force limit backs off. A
// joint whose distal links already touch creeps on at 1e-4 of its speed.
#ifndef KELMAR_GRASPCONTACTBASED0_H
#define KELMAR_GRASPCONTACTBASED0_H

namespace kelmar {

class Robot;
class Solid;

class GraspContactBased0 {
public:
    // forceLimit: bound of the squared summed contact force of one link on
    // the target ((kg cm/s^2)^2); speed: joint speed at the palm's level (rad/s).
    void init(Robot *robot, Solid *target, double forceLimit, double speed);
    // One step; returns the number of contacts with the target.
    int grasp();
    // One step below node at speed; returns the contacts with the target in the subtree.
    int grasp(Robot *node, double speed);

    Robot *robot = nullptr;
    Solid *target = nullptr;
    double forceLimit = 0; // (kg cm/s^2)^2
    double speed = 0;      // rad/s (cm/s for prismatic joints)
};

} // namespace kelmar

#endif
