// A ball-wrap controller that plans every finger at once: it predicts the
// pose of each finger joint by joint (each joint's turn carries the later
// joints with it) and drives all joints with speed fractions in proportion
// to their remaining motion, so that they arrive together. Grasp types:
//   0  every finger closes on a sphere of its radius about the centre, the
//      first joint of each finger aimed at the centre in the palm's plane;
//   1  only the first joints are aimed at the centre, the rest stay;
//   2  as 0 without aiming the first joints.
// Each call recomputes the plan from the current pose.
#ifndef KELMAR_GRASPBALLWRAP2_ORB_H
#define KELMAR_GRASPBALLWRAP2_ORB_H

namespace kelmar {

class Robot;

class GraspBallWrap2_Orb {
public:
    static const int kMaxFingers = 10; // one radius each
    static const int kMaxLinks = 16;   // joints per finger

    // The targets of one step, finger by finger, proximal joint first.
    struct Plan {
        int fingers = 0;
        int joints[kMaxFingers] = {};
        Robot *node[kMaxFingers][kMaxLinks];
        double current[kMaxFingers][kMaxLinks]; // rad or cm
        double target[kMaxFingers][kMaxLinks];
        double speed[kMaxFingers][kMaxLinks]; // fraction of the joint's maxSpeed
    };

    // centre: cm, world, kept from now on; radius (cm) for every finger.
    void init(Robot *robot, int type, const double centre[3], double radius);
    // The first n radii (at most 10) from radii; the others are left.
    void init(Robot *robot, int type, const double centre[3], const double *radii, int n);
    void setRadius(double radius);
    void setRadius(const double *radii, int n);

    // One step on the robot; returns 0.
    int grasp();
    // One step on the hand below node; returns 0.
    int grasp(Robot *node);
    // The plan of one step below node, without driving; false without a palm.
    bool plan(Robot *node, Plan &plan);

    // The first joint's target that turns the finger starting at node (a
    // child of the palm) towards goal (cm, world) in the palm's x-y plane,
    // kept 0.01 inside its stops; 0 without a palm solid or without joints
    // on the finger's first two links. Prints the goal.
    double calculateJoint0(const double goal[3], Robot *finger);
    // Targets (one per joint of the finger starting at node) that close it
    // on the sphere of radius about centre; goal (may be null) aims the
    // first joint. Returns the number of targets written.
    int getFinalPositionsSphere(double *targets, const double centre[3], double radius, const double *goal,
                                Robot *finger);

    Robot *robot = nullptr;
    int type = 0;
    double centre[3] = {0, 0, 0};   // cm, world
    double radii[kMaxFingers] = {}; // cm
};

} // namespace kelmar

#endif
