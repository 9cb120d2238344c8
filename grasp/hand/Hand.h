// A robot hand as the grasps see it: the palm is the first node from the
// root down with more than one child, and each child of the palm starts a
// finger, the chain that follows the first child at every level. A
// finger's links are the nodes of its chain that own a joint, proximal
// first. Fixed-size records: the grasps run every step and allocate nothing.
#ifndef KELMAR_GRASP_HAND_H
#define KELMAR_GRASP_HAND_H

namespace kelmar {

class Robot;

namespace hand {

const int kMaxFingers = 10; // fingers beyond are left alone
const int kMaxLinks = 16;   // links beyond are left alone

struct Finger {
    Robot *link[kMaxLinks];
    int count = 0;
};

struct Hand {
    Robot *palm = nullptr;
    Finger finger[kMaxFingers];
    int count = 0;
};

// The palm below root: root itself when it branches, else the first
// branching node down the single children; null when the tree never branches.
Robot *FindPalm(Robot *root);
// The finger whose chain starts at node; a branch is reported
// ("Finger contains branches! Selecting first.") and its first child taken.
void FollowChain(Robot *node, Finger &finger);
// The palm and its fingers; a finger that branches is reported once per
// call ("Finger contains branches! Selecting first.") and its first branch taken.
bool FindHand(Robot *root, Hand &hand);

// A link's joint in world coordinates (cm): anchor, the axis about which a
// positive joint value turns the link (the joint's axis, reversed when the
// link is the joint's second body), and the link solid's position.
struct LinkPose {
    double anchor[3], axis[3], link[3];
};
// False when the node has no joint or no solid.
bool PoseOf(Robot *node, LinkPose &pose);
// The node's joint can be driven (it has a limit that no manual lock holds).
bool Movable(Robot *node);
// Its stops (rad or cm).
void StopsOf(Robot *node, double &lower, double &upper);
// A target within its stops. Targets taken from where a joint stands can
// lie past a stop (a finger pressed against it reads a little beyond); the
// stop is the target then, which the joint's drive would take anyway.
double WithinStops(Robot *node, double target);

// p turned by angle (rad) about the line through anchor along unit axis.
void TurnAbout(const double anchor[3], const double axis[3], double angle, double p[3]);

} // namespace hand
} // namespace kelmar

#endif
