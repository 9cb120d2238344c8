// Script entries of Robot: joint vectors in joint order, one joint by
// index (mapped to the robot node that holds it), the joints' bounds, and
// the contacts of the robot's solids.
#include <cmath>
#include <string>
#include <vector>

#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdLimit.h>
#include <kelmar/Robot.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

const float kFullSpeed = 1.0f; // joints are driven at their top speed

DfxRobot *Ref(KelmarCall *c)
{
    return Self<DfxRobot>(c);
}

Robot *R(KelmarCall *c)
{
    return Ref(c)->Require();
}

// The node of joint index; "badarg:index" outside the robot's joints.
Robot *Node(KelmarCall *c, int index, const char *label)
{
    Robot *robot = R(c);
    Robot *node = robot->GetNodeOfJoint(index);
    if (index < 0 || index >= robot->numJoints || !node || !node->limit)
        Raise(kBadArgIndex, kIndexOutOfRange, label, 0, robot->numJoints - 1);
    return node;
}

// ---- Construction ----
void NewRobotRef(KelmarCall *c)
{
    NewRef<DfxRobot>(c, "Robot:Robot");
}

std::string NewName()
{
    static int made = 0;
    return "robot_" + std::to_string(++made);
}

DfxRobot *Build(const char *scene, const char *joint, const char *solid, int depth)
{
    auto *robot = new DfxRobot(NewName().c_str(), scene, nullptr, joint, solid, depth);
    TheAdmin().Register(robot);
    return robot;
}

void NewRec(KelmarCall *c)
{
    const char *label = "Robot:Robot";
    c->self = Build(Text(c, 0, label), Text(c, 1, label), Text(c, 2, label), Int(c, 3, label));
}

void Free(KelmarCall *c)
{
    delete Ref(c);
}

// The sub-robot of node index: a robot built down from that node's joint
// and solid.
void GetNode(KelmarCall *c)
{
    Robot *robot = R(c);
    const int index = Int(c, 0, "Robot:GetNode");
    if (index < 0 || index >= robot->numNodes)
        prog_throw(kHostExceptionIds[kBadArgIndex], "node index (%d) out of range [0, %d[\n", index, robot->numNodes);
    const Robot *node = robot->GetNode(index);
    const char *joint = node->joint ? Ref(c)->GetScene()->GetName(node->joint) : nullptr;
    const char *solid = node->solid ? node->solid->GetName() : nullptr;
    if (!joint || !solid)
        prog_throw(kHostExceptionIds[kBadOpObject], "Robot:GetNode: node %d has no named joint and solid\n", index);
    ReturnObject(c, Build(Ref(c)->SceneName(), joint, solid, 1000), "Robot");
}

// ---- Counts ----
void NumJoints(KelmarCall *c)
{
    ReturnInt(c, R(c)->numJoints);
}

void NumNodes(KelmarCall *c)
{
    ReturnInt(c, R(c)->numNodes);
}

void NumEffectors(KelmarCall *c)
{
    ReturnInt(c, R(c)->numLeaves);
}

void NumSolids(KelmarCall *c)
{
    ReturnInt(c, R(c)->numSolids);
}

// ---- One quantity per joint, through its node ----
struct PerJoint {
    void (*set)(Robot *node, double value);
    double (*get)(Robot *node);
};

void SetValue(Robot *n, double v)
{
    n->_SetJoint(v, kFullSpeed, false);
}
double GetValue(Robot *n)
{
    return n->_GetJoint();
}
void SetKinematic(Robot *n, double v)
{
    n->_SetJointKinematically(v, false);
}
void SetSpeed(Robot *n, double v)
{
    n->_SetJointSpeed(v);
}
double GetSpeed(Robot *n)
{
    return n->limit->GetSpeed();
}
void SetMaxSpeed(Robot *n, double v)
{
    n->limit->maxSpeed = v;
}
double GetMaxSpeed(Robot *n)
{
    return n->limit->maxSpeed;
}
void SetMaxForce(Robot *n, double v)
{
    n->limit->maxForce = v;
}
double GetMaxForce(Robot *n)
{
    return n->limit->maxForce;
}
void SetLockForce(Robot *n, double v)
{
    n->limit->lockForce = v;
}
double GetLockForce(Robot *n)
{
    return n->limit->lockForce;
}
void SetLock(Robot *n, double v)
{
    n->limit->SetLock(v != 0);
}
double GetLower(Robot *n)
{
    double lower, upper;
    n->limit->GetLimits(lower, upper);
    return lower;
}
double GetUpper(Robot *n)
{
    double lower, upper;
    n->limit->GetLimits(lower, upper);
    return upper;
}

constexpr PerJoint kValue{SetValue, GetValue};
constexpr PerJoint kKinematic{SetKinematic, GetValue};
constexpr PerJoint kSpeed{SetSpeed, GetSpeed};
constexpr PerJoint kMaxSpeed{SetMaxSpeed, GetMaxSpeed};
constexpr PerJoint kMaxForce{SetMaxForce, GetMaxForce};
constexpr PerJoint kLockForce{SetLockForce, GetLockForce};
constexpr PerJoint kLower{nullptr, GetLower};
constexpr PerJoint kUpper{nullptr, GetUpper};

constexpr char kSetJoints[] = "Robot:SetJoints";
constexpr char kSetJoint[] = "Robot:SetJoint";
constexpr char kSetJointsKinematically[] = "Robot:SetJointsKinematically";
constexpr char kSetJointKinematically[] = "Robot:SetJointKinematically";
constexpr char kGetJoint[] = "Robot:GetJoint";
constexpr char kSetJointSpeeds[] = "Robot:SetJointSpeeds";
constexpr char kSetJointSpeed[] = "Robot:SetJointSpeed";
constexpr char kGetJointSpeeds[] = "Robot:GetJointSpeeds";
constexpr char kGetJointSpeed[] = "Robot:GetJointSpeed";
constexpr char kSetMaxSpeeds[] = "Robot:SetMaxSpeeds";
constexpr char kSetMaxSpeed[] = "Robot:SetMaxSpeed";
constexpr char kGetMaxSpeeds[] = "Robot:GetMaxSpeeds";
constexpr char kGetMaxSpeed[] = "Robot:GetMaxSpeed";
constexpr char kSetMaxForces[] = "Robot:SetMaxForces";
constexpr char kSetMaxForce[] = "Robot:SetMaxForce";
constexpr char kGetMaxForces[] = "Robot:GetMaxForces";
constexpr char kGetMaxForce[] = "Robot:GetMaxForce";
constexpr char kSetLockForces[] = "Robot:SetLockForces";
constexpr char kSetLockForce[] = "Robot:SetLockForce";
constexpr char kGetLockForces[] = "Robot:GetLockForces";
constexpr char kGetLockForce[] = "Robot:GetLockForce";
constexpr char kSetLock[] = "Robot:SetLock";
constexpr char kSetLocks[] = "Robot:SetLocks";
constexpr char kGetLowerLimit[] = "Robot:GetLowerLimit";
constexpr char kGetUpperLimit[] = "Robot:GetUpperLimit";
constexpr char kGetJointForces[] = "Robot:GetJointForces";
constexpr char kGetJointForce[] = "Robot:GetJointForce";
constexpr char kGetJointTorques[] = "Robot:GetJointTorques";
constexpr char kGetJointTorque[] = "Robot:GetJointTorque";

// Joint targets are finite (a NaN never gets this far); an infinite one
// is refused before any joint moves.
void FiniteTargets(const char *label, const double *values, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(values[i]))
            prog_throw(kHostExceptionIds[kBadArgValue], "%s: joint target #%d is not finite (%g)\n", label, i,
                       values[i]);
}

void FiniteTarget(const char *label, double value)
{
    if (!std::isfinite(value))
        prog_throw(kHostExceptionIds[kBadArgValue], "%s: joint target %g is not finite\n", label, value);
}

bool IsTarget(const PerJoint &q)
{
    return &q == &kValue || &q == &kKinematic;
}

// A vector of one value per joint, in joint order.
template <const PerJoint &Q, const char *Label> void SetAll(KelmarCall *c)
{
    Robot *robot = R(c);
    std::vector<double> values(static_cast<size_t>(robot->numJoints));
    Reals(c, 0, Label, robot->numJoints, values.data());
    if (IsTarget(Q)) FiniteTargets(Label, values.data(), robot->numJoints);
    for (int i = 0; i < robot->numJoints; ++i) Q.set(Node(c, i, Label), values[static_cast<size_t>(i)]);
}

template <const PerJoint &Q, const char *Label> void GetAll(KelmarCall *c)
{
    Robot *robot = R(c);
    float *out = OutFloats(c, 0, Label, robot->numJoints);
    for (int i = 0; i < robot->numJoints; ++i) out[i] = static_cast<float>(Q.get(Node(c, i, Label)));
}

// The same value for every joint.
template <const PerJoint &Q, const char *Label> void SetEvery(KelmarCall *c)
{
    const double value = Real(c, 0, Label);
    if (IsTarget(Q)) FiniteTarget(Label, value);
    for (int i = 0; i < R(c)->numJoints; ++i) Q.set(Node(c, i, Label), value);
}

template <const PerJoint &Q, const char *Label> void SetOne(KelmarCall *c)
{
    const int index = Int(c, 0, Label);
    const double value = Real(c, 1, Label);
    if (IsTarget(Q)) FiniteTarget(Label, value);
    Q.set(Node(c, index, Label), value);
}

template <const PerJoint &Q, const char *Label> void GetOne(KelmarCall *c)
{
    ReturnFloat(c, Q.get(Node(c, Int(c, 0, Label), Label)));
}

void SetJoints(KelmarCall *c)
{
    Robot *robot = R(c);
    std::vector<double> values(static_cast<size_t>(robot->numJoints));
    Reals(c, 0, kSetJoints, robot->numJoints, values.data());
    FiniteTargets(kSetJoints, values.data(), robot->numJoints);
    robot->SetJoints(values.data(), kFullSpeed);
}

void GetJoints(KelmarCall *c)
{
    Robot *robot = R(c);
    std::vector<double> values(static_cast<size_t>(robot->numJoints));
    robot->GetJoints(values.data());
    PutReals(c, 0, "Robot:GetJoints", values.data(), robot->numJoints);
}

void SetJointsStepControlled(KelmarCall *c)
{
    const char *label = "Robot:SetJoints_StepControlled";
    Robot *robot = R(c);
    std::vector<double> values(static_cast<size_t>(robot->numJoints));
    Reals(c, 0, label, robot->numJoints, values.data());
    FiniteTargets(label, values.data(), robot->numJoints);
    robot->SetJoints_StepControlled(values.data(), static_cast<float>(Real(c, 1, label)));
}

void SetLocks(KelmarCall *c)
{
    Robot *robot = R(c);
    std::vector<int> locks(static_cast<size_t>(robot->numJoints));
    Ints(c, 0, kSetLocks, robot->numJoints, locks.data());
    for (int i = 0; i < robot->numJoints; ++i) SetLock(Node(c, i, kSetLocks), locks[static_cast<size_t>(i)]);
}

void SetLocksEvery(KelmarCall *c)
{
    const int lock = Int(c, 0, kSetLocks);
    for (int i = 0; i < R(c)->numJoints; ++i) SetLock(Node(c, i, kSetLocks), lock);
}

bool Locked(Robot *node)
{
    return RbdLimitIsLocked(node->limit->GetRbdLimit()) != 0;
}

void GetLocks(KelmarCall *c)
{
    const int n = R(c)->numJoints;
    int *out = OutInts(c, 0, "Robot:GetLocks", n);
    for (int i = 0; i < n; ++i) out[i] = Locked(Node(c, i, "Robot:GetLocks"));
}

void GetLockOne(KelmarCall *c)
{
    ReturnInt(c, Locked(Node(c, Int(c, 0, "Robot:GetLock"), "Robot:GetLock")));
}

void SetLockOne(KelmarCall *c)
{
    const int index = Int(c, 0, kSetLock), lock = Int(c, 1, kSetLock);
    SetLock(Node(c, index, kSetLock), lock);
}

// ---- Bounds ----
void SetLimits(KelmarCall *c)
{
    const char *label = "Robot:SetLimits";
    Robot *robot = R(c);
    const size_t n = static_cast<size_t>(robot->numJoints);
    std::vector<double> lower(n), upper(n);
    Reals(c, 0, label, robot->numJoints, lower.data());
    Reals(c, 1, label, robot->numJoints, upper.data());
    for (size_t i = 0; i < n; ++i) Node(c, static_cast<int>(i), label)->limit->SetLimits(lower[i], upper[i]);
}

void SetLimitsEvery(KelmarCall *c)
{
    const char *label = "Robot:SetLimits";
    const double lower = Real(c, 0, label), upper = Real(c, 1, label);
    for (int i = 0; i < R(c)->numJoints; ++i) Node(c, i, label)->limit->SetLimits(lower, upper);
}

void SetLimit(KelmarCall *c)
{
    const char *label = "Robot:SetLimit";
    const int index = Int(c, 0, label);
    const double lower = Real(c, 1, label), upper = Real(c, 2, label);
    Node(c, index, label)->limit->SetLimits(lower, upper);
}

void GetLimits(KelmarCall *c)
{
    const char *label = "Robot:GetLimits";
    const int n = R(c)->numJoints;
    float *lower = OutFloats(c, 0, label, n), *upper = OutFloats(c, 1, label, n);
    for (int i = 0; i < n; ++i) Node(c, i, label)->limit->GetLimits(lower[i], upper[i]);
}

void CheckLimits(KelmarCall *c)
{
    Robot *robot = R(c);
    std::vector<double> values(static_cast<size_t>(robot->numJoints));
    Reals(c, 0, "Robot:CheckLimits", robot->numJoints, values.data());
    ReturnInt(c, robot->CheckLimits(values.data()));
}

void CheckLimit(KelmarCall *c)
{
    const char *label = "Robot:CheckLimit";
    const Robot *node = Node(c, Int(c, 0, label), label);
    double lower, upper;
    node->limit->GetLimits(lower, upper);
    const double value = Real(c, 1, label);
    ReturnInt(c, value >= lower && value <= upper);
}

// ---- Frames: a joint's attachment frames (world), those asked for ----
void GetTMs(KelmarCall *c)
{
    const char *label = "Robot:GetTMs";
    const int joint = Int(c, 0, label);
    Node(c, joint, label);
    double first[4][4], second[4][4];
    R(c)->GetTMs(joint, first, second);
    if (c->args[1].kind != KELMAR_NONE) PutTransform(c, 1, label, first);
    if (c->argc > 2 && c->args[2].kind != KELMAR_NONE) PutTransform(c, 2, label, second);
}

// The same along the tree (the parent side's frame, then the node's), and
// the joint's value.
void GetTMsAndValue(KelmarCall *c)
{
    const char *label = "Robot:GetTMs";
    const int joint = Int(c, 0, label);
    Node(c, joint, label);
    double first[4][4], second[4][4], value = 0;
    R(c)->GetTMs(joint, first, second, &value, true);
    PutTransform(c, 1, label, first);
    PutTransform(c, 2, label, second);
    PutReals(c, 3, label, &value, 1);
}

// ---- What a joint's constraint exerts on the node's solid (world; 3 reals a joint) ----
using ConstraintRead = void (*)(RbdConstraintID, int32_t, PxVector3);

void Exerted(Robot *node, ConstraintRead read, float *out)
{
    PxVector3 v = {0, 0, 0};
    RbdConstraintID constraint = node->joint->GetConstraint();
    if (constraint) read(constraint, node->jointReversed ? 1 : 0, v);
    for (int i = 0; i < 3; ++i) out[i] = static_cast<float>(v[i]);
}

template <ConstraintRead Read, const char *Label> void ExertedAll(KelmarCall *c)
{
    const int n = R(c)->numJoints;
    float *out = OutFloats(c, 0, Label, 3 * n);
    for (int i = 0; i < n; ++i) Exerted(Node(c, i, Label), Read, out + 3 * i);
}

template <ConstraintRead Read, const char *Label> void ExertedOne(KelmarCall *c)
{
    Robot *node = Node(c, Int(c, 0, Label), Label);
    Exerted(node, Read, OutFloats(c, 1, Label, 3));
}

// ---- Solids, controllers, contacts ----
void Freeze(KelmarCall *c)
{
    R(c)->Freeze(Int(c, 0, "Robot:Freeze"));
}

void UnFreeze(KelmarCall *c)
{
    R(c)->UnFreeze(Int(c, 0, "Robot:UnFreeze"));
}

void NumCtrlParams(KelmarCall *c)
{
    ReturnInt(c, R(c)->GetNumControlParams());
}

void SetCtrlParams(KelmarCall *c)
{
    Robot *robot = R(c);
    const int n = robot->GetNumControlParams();
    std::vector<double> params(static_cast<size_t>(n));
    Reals(c, 0, "Robot:SetCtrlParams", n, params.data());
    robot->SetControlParams(params.data());
}

void GetCtrlParams(KelmarCall *c)
{
    Robot *robot = R(c);
    const int n = robot->GetNumControlParams();
    std::vector<double> params(static_cast<size_t>(n));
    robot->GetControlParams(params.data());
    PutReals(c, 0, "Robot:GetCtrlParams", params.data(), n);
}

constexpr char kGetContacts[] = "Robot:GetContacts";

const NamedEntry kEntries[] = {
    {"Robot_ref_Robot", NewRobotRef},
    {"Robot_rec_Robot", NewRec},
    {"Robot_FREE_Robot", Free},
    {"Robot_GetNode", GetNode},
    {"Robot_NumJoints", NumJoints},
    {"Robot_NumNodes", NumNodes},
    {"Robot_NumEffectors", NumEffectors},
    {"Robot_NumSolids", NumSolids},
    {"Robot_SetJoints", SetJoints},
    {"Robot_SetJoint", SetOne<kValue, kSetJoint>},
    {"Robot_SetJoints_StepControlled", SetJointsStepControlled},
    {"Robot_SetJointsKinematically", SetAll<kKinematic, kSetJointsKinematically>},
    {"Robot_SetJointKinematically", SetOne<kKinematic, kSetJointKinematically>},
    {"Robot_GetJoints", GetJoints},
    {"Robot_GetJoint", GetOne<kValue, kGetJoint>},
    {"Robot_SetJointSpeeds", SetAll<kSpeed, kSetJointSpeeds>},
    {"Robot_SetJointSpeed", SetOne<kSpeed, kSetJointSpeed>},
    {"Robot_GetJointSpeeds", GetAll<kSpeed, kGetJointSpeeds>},
    {"Robot_GetJointSpeed", GetOne<kSpeed, kGetJointSpeed>},
    {"Robot_SetLocks", SetLocks},
    {"Robot_SetLock", SetLockOne},
    {"Robot_GetLocks", GetLocks},
    {"Robot_GetLock", GetLockOne},
    {"Robot_GetTMs", GetTMs},
    {"Robot_GetJointForces", ExertedAll<RbdConstraintGetForce, kGetJointForces>},
    {"Robot_GetJointForce", ExertedOne<RbdConstraintGetForce, kGetJointForce>},
    {"Robot_GetJointTorques", ExertedAll<RbdConstraintGetTorque, kGetJointTorques>},
    {"Robot_GetJointTorque", ExertedOne<RbdConstraintGetTorque, kGetJointTorque>},
    {"Robot_1_GetTMs", GetTMsAndValue},
    {"Robot_SetLimits", SetLimits},
    {"Robot_SetLimit", SetLimit},
    {"Robot_GetLimits", GetLimits},
    {"Robot_GetLowerLimit", GetOne<kLower, kGetLowerLimit>},
    {"Robot_GetUpperLimit", GetOne<kUpper, kGetUpperLimit>},
    {"Robot_CheckLimits", CheckLimits},
    {"Robot_CheckLimit", CheckLimit},
    {"Robot_SetMaxSpeeds", SetAll<kMaxSpeed, kSetMaxSpeeds>},
    {"Robot_SetMaxSpeed", SetOne<kMaxSpeed, kSetMaxSpeed>},
    {"Robot_GetMaxSpeeds", GetAll<kMaxSpeed, kGetMaxSpeeds>},
    {"Robot_GetMaxSpeed", GetOne<kMaxSpeed, kGetMaxSpeed>},
    {"Robot_SetMaxForces", SetAll<kMaxForce, kSetMaxForces>},
    {"Robot_SetMaxForce", SetOne<kMaxForce, kSetMaxForce>},
    {"Robot_GetMaxForces", GetAll<kMaxForce, kGetMaxForces>},
    {"Robot_GetMaxForce", GetOne<kMaxForce, kGetMaxForce>},
    {"Robot_SetLockForces", SetAll<kLockForce, kSetLockForces>},
    {"Robot_SetLockForce", SetOne<kLockForce, kSetLockForce>},
    {"Robot_GetLockForces", GetAll<kLockForce, kGetLockForces>},
    {"Robot_GetLockForce", GetOne<kLockForce, kGetLockForce>},
    {"Robot_Freeze", Freeze},
    {"Robot_UnFreeze", UnFreeze},
    {"Robot_NumCtrlParams", NumCtrlParams},
    {"Robot_SetCtrlParams", SetCtrlParams},
    {"Robot_GetCtrlParams", GetCtrlParams},
    {"Robot_1_SetJoints", SetEvery<kValue, kSetJoints>},
    {"Robot_1_SetJointsKinematically", SetEvery<kKinematic, kSetJointsKinematically>},
    {"Robot_1_SetJointSpeeds", SetEvery<kSpeed, kSetJointSpeeds>},
    {"Robot_1_SetLocks", SetLocksEvery},
    {"Robot_1_SetLimits", SetLimitsEvery},
    {"Robot_1_SetMaxSpeeds", SetEvery<kMaxSpeed, kSetMaxSpeeds>},
    {"Robot_1_SetMaxForces", SetEvery<kMaxForce, kSetMaxForces>},
    {"Robot_1_SetLockForces", SetEvery<kLockForce, kSetLockForces>},
    {"Robot_Solid_GetContacts", GetContactsWith<Ref, kGetContacts>},
    {"Robot_Type_GetContacts", GetContactsOfType<Ref, kGetContacts>},
};

} // namespace

EntryList RobotEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
