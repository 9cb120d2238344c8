// An articulated mechanism over the solids and joints of a scene, as a
// tree: each node pairs a solid with the joint that holds it to its parent
// node (the root's joint holds the robot to the world or its base). The
// tree orders the robot's joints, so that a robot is commanded and read as
// one vector of joint values: depth-first pre-order, a node's joint before
// its children's, children in order, nodes without a joint skipped. Only
// hinges and prismatic joints count as joints of a robot; a node whose
// joint is of another kind (or that has none) is "virtual" and takes no
// value. Joint values are in rad (hinges) and cm (prismatic joints).
//
// A joint whose two bodies are both absent or frozen is set by placing
// its solid (kinematically); every other joint is driven through its
// limit's time-optimal approach, once per step.
#ifndef KELMAR_ROBOT_H
#define KELMAR_ROBOT_H

#include <vector>

#include <kelmar/Object.h>
#include <kelmar/RbdTypes.h>

namespace kelmar {

class ContactList;
class Joint;
class Limit;
class Solid;

class Robot : public Object {
public:
    // Explicit tree: the children (owned from now on) keep their order.
    Robot(Joint *joint, Solid *solid, Robot **children, int numChildren);
    // Automatic tree: every hinge or prismatic joint on solid's body other
    // than joint, with a body on its other side, makes a child, down to
    // depth levels (loops in the joint graph are cut by depth only, unless
    // the tree would pass kMaxAutoNodes: then by the deepest level that fits).
    // Children are sorted by their solids' full names.
    Robot(Joint *joint, Solid *solid, int depth, Robot *parent = nullptr);
    static constexpr int kMaxAutoNodes = 10000;
    // Deep copy of node's tree.
    explicit Robot(const Robot *node);
    ~Robot() override;

    void draw(unsigned int flags) const override { (void)flags; }

    // ---- Joint values (rad or cm), in joint order ----
    // f: fraction of each joint's maxSpeed.
    void SetJoints(const double *values, float speedFraction);
    // Drives every joint to its stored target again (call once per step while moving).
    void SetJoints(double speedFraction);
    // Moves at most |step| (Euclidean, joint space) toward values.
    void SetJoints_StepControlled(const double *values, float step);
    void GetJoints(double *values);
    // True when every value lies within its joint's stops.
    bool CheckLimits(const double *values) const;

    // ---- One node ----
    // Drives this node's joint to value (kinematically when it has no live
    // body; skipKinematicChildren as in _SetJointKinematically).
    void _SetJoint(double value, double speedFraction, bool skipKinematicChildren);
    // Places the node's solid so that its joint reads value (clamped into
    // the stops), and moves everything jointed to the solid rigidly with
    // it. skipKinematicChildren: the solids of child nodes set by their own
    // values (both bodies of their joint absent or frozen) are left alone.
    void _SetJointKinematically(double value, bool skipKinematicChildren);
    // The joint's value: the target for a kinematic joint, else its position.
    double _GetJoint();
    // Runs the node's joint motor at speed (Limit::SetSpeed, so within its
    // stops and refused while locked). Grasps stop a finger with speed 0
    // from its node down (ForAllJoints(&Robot::_SetJointSpeed, 0.0)).
    void _SetJointSpeed(double speed);
    // Neither body of the joint is a live dynamic body.
    bool IsKinematic() const;

    // ---- Per-joint parameters ----
    void SetLimitParams(double loStiffness, double loDamping, double loRestitution, double upStiffness,
                        double upDamping, double upRestitution);
    void SetLimitParams(const double *loStiffness, const double *loDamping, const double *loRestitution,
                        const double *upStiffness, const double *upDamping, const double *upRestitution);
    void SetLimitParams(int joint, double loStiffness, double loDamping, double loRestitution, double upStiffness,
                        double upDamping, double upRestitution);
    void GetLimitParams(double *loStiffness, double *loDamping, double *loRestitution, double *upStiffness,
                        double *upDamping, double *upRestitution);
    // The parameters of the joints' controllers, concatenated in joint order.
    int GetNumControlParams();
    void SetControlParams(const double *params);
    void GetControlParams(double *params);

    // ---- Frames (cm, world) ----
    // The two attachment frames of joint i (body 0's, body 1's).
    void GetTMs(int joint, double tm0[4][4], double tm1[4][4]);
    // The same ordered along the tree (the parent side's frame, then the
    // node's own), and the joint's value (_GetJoint) when value is given.
    // treeOrder false: body 0's, body 1's, as above.
    void GetTMs(int joint, double first[4][4], double second[4][4], double *value, bool treeOrder);

    // ---- Solids ----
    bool IsPart(const Solid *solid) const;
    // The solids of the levels 0 .. depth - 1 below this node.
    void Freeze(int depth);
    void UnFreeze(int depth);
    // Collisions between the solids of every parent and child node.
    void SetCollisionOfAdjacentLinks(bool on);
    Robot *GetRoot();

    // ---- Contacts (new lists, owned by the caller) ----
    // type 0: every contact of the robot's solids; else those against solids of that type.
    ContactList *GetContacts(int type) const;
    ContactList *GetContacts(const Solid *other) const;
    // The contacts of one node's solid (empty for a virtual solid), as a
    // grasp reads the contacts of one finger link: type as above.
    static ContactList *GetContacts(const Robot *node, int type);
    // visit(contact, side of the robot's solid, that solid, data) for every contact.
    void ForAllContacts(void (*visit)(RbdContactID, int, Solid *, void *), void *data) const;

    // ---- Traversal, in joint order (nodes: pre-order) ----
    void ForAllJoints(void (Robot::*method)(double), double value);
    void ForAllJoints(void (Robot::*method)(double), const double *values); // consecutive values
    void ForAllJoints(void (Robot::*method)(double, bool), const double *values, bool flag);
    void ForAllJoints(double (Robot::*method)(), double *results);
    void ForAllJoints(void (*visit)(Robot *, void *), void *data);
    void ForAllNodes(void (*visit)(Robot *, void *), void *data);
    void ForAllSolids(void (*visit)(Solid *, void *), void *data);
    template <class F> void ForEachJointNode(F visit);
    // Numbers the subtree in pre-order from start; returns the next number.
    int EnumerateNodes(int start);
    // The node of joint i (joint order) or of node i (pre-order); null when out of range.
    Robot *GetNodeOfJoint(int i);
    Robot *GetNode(int i);

    // Fills a virtual joint and/or solid of this node; null, or the reason
    // it could not.
    const char *ReplaceVirtualBasis(Joint *joint, Solid *solid);

    Joint *joint = nullptr; // a hinge or prismatic joint, else null
    Limit *limit = nullptr; // its limit
    Solid *solid = nullptr; // null: a virtual solid
    int index = 0;          // pre-order number in the tree
    int numChildren = 0;
    std::vector<Robot *> children; // owned
    Robot *parent = nullptr;
    int numJoints = 0, numSolids = 0, numNodes = 0, numLeaves = 0; // in this subtree
    bool jointReversed = false;                                    // the solid is the joint's second body
    double target = 0;                                             // last value given to the joint

private:
    void Attach(Joint *joint, Solid *solid);
    void AdoptChildren();
    void Count();
    struct Unrolled {}; // a child of an automatic build whose depth already fits
    Robot(Joint *joint, Solid *solid, int depth, Robot *parent, Unrolled);
    void AddChildrenFromJoints(int depth);
    bool IsChildJoint(RbdConstraintID c) const;
    void MoveAttached(const double delta[4][4], bool skipKinematicChildren);
    template <class F> void ForEachNode(F visit);

    std::vector<double> scratch_; // joint vectors of step-controlled moves
};

template <class F> void Robot::ForEachNode(F visit)
{
    visit(this);
    for (Robot *child : children) child->ForEachNode(visit);
}

template <class F> void Robot::ForEachJointNode(F visit)
{
    if (joint) visit(this);
    for (Robot *child : children) child->ForEachJointNode(visit);
}

} // namespace kelmar

#endif
