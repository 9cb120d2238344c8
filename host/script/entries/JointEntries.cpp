// Script entries of Joint and its kinds: references to named joints of a
// scene, bound whenever the scene is loaded; the Limit_ entries are those
// of the joints that have a limit (hinges, prismatic joints, springs).
#include <vector>

#include <kelmar/Controller.h>
#include <kelmar/Joint.h>
#include <kelmar/Limit.h>
#include <kelmar/RPROJoint.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdLimit.h>
#include <kelmar/RbdRPROJoint.h>
#include <kelmar/RbdSpring.h>
#include <kelmar/Spring.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

const double kFullSpeed = 1.0; // SetValue drives at the joint's top speed

DfxJoint *Ref(KelmarCall *c)
{
    return Self<DfxJoint>(c);
}

Joint *J(KelmarCall *c)
{
    return Ref(c)->Require();
}

template <DfxJointRef::Type T> void New(KelmarCall *c)
{
    const char *scene = Text(c, 0, "Joint:Joint"), *name = Text(c, 1, "Joint:Joint");
    auto *joint = new DfxJointRef(name, scene, nullptr, T);
    TheAdmin().Register(joint);
    c->self = joint;
}

void Free(KelmarCall *c)
{
    delete Ref(c);
}

// ---- Joint ----
void Valid(KelmarCall *c)
{
    ReturnInt(c, Ref(c)->GetJoint() != nullptr);
}

void Enable(KelmarCall *c)
{
    J(c)->Enable(Int(c, 0, "Joint:Enable") != 0);
}

void Enabled(KelmarCall *c)
{
    const Joint *joint = J(c);
    ReturnInt(c, joint->GetConstraint() && RbdConstraintIsEnabled(joint->GetConstraint()));
}

void EnableBodies(KelmarCall *c)
{
    J(c)->EnableBodies();
}

constexpr char kJointSetTM[] = "Joint:SetTM";

// The joint's frame on its first body (world).
void GetTM(KelmarCall *c)
{
    double tm[4][4];
    J(c)->GetTM(0, tm);
    PutTransform(c, 0, "Joint:GetTM", tm);
}

constexpr char kJointSetPosition[] = "Joint:SetPosition";

constexpr char kJointGetPosition[] = "Joint:GetPosition";

constexpr char kJointSetAxis[] = "Joint:SetAxis";

constexpr char kJointGetAxis[] = "Joint:GetAxis";

// The constraint's force or torque on one of its bodies (0 or 1).
void BodyVector(KelmarCall *c, void (*read)(RbdConstraintID, int32_t, PxVector3), const char *label)
{
    const int body = Int(c, 0, label);
    if (body < 0 || body > 1) Raise(kBadArgIndex, kIndexOutOfRange, label, 0, 1);
    PxVector3 v = {0, 0, 0};
    if (J(c)->GetConstraint()) read(J(c)->GetConstraint(), body, v);
    PutReals(c, 1, label, v, 3);
}

void GetForce(KelmarCall *c)
{
    BodyVector(c, RbdConstraintGetForce, "Joint:GetForce");
}

void GetTorque(KelmarCall *c)
{
    BodyVector(c, RbdConstraintGetTorque, "Joint:GetTorque");
}

// ---- Limit ----
// The joint's limit: "badobj:joint" unless the joint has one.
Limit *L(KelmarCall *c)
{
    auto *limit = dynamic_cast<Limit *>(J(c));
    if (!limit) Raise(kBadObjJoint, kJointNotResolved, Ref(c)->Name(), Ref(c)->SceneName());
    return limit;
}

RbdLimit *Rbd(KelmarCall *c)
{
    return L(c)->GetRbdLimit();
}

void LimitEnable(KelmarCall *c)
{
    RbdLimitActivateLimits(Rbd(c), Int(c, 0, "Limit:LimitEnable") != 0);
}

void LimitEnabled(KelmarCall *c)
{
    ReturnInt(c, RbdLimitIsActive(Rbd(c)) != 0);
}

void MotorEnable(KelmarCall *c)
{
    RbdLimitActivateMotor(Rbd(c), Int(c, 0, "Limit:MotorEnable") != 0);
}

void MotorEnabled(KelmarCall *c)
{
    ReturnInt(c, RbdLimitIsMotorized(Rbd(c)) != 0);
}

void SetLimits(KelmarCall *c)
{
    double stops[2];
    Reals(c, 0, "Limit:SetLimits", 2, stops);
    L(c)->SetLimits(stops[0], stops[1]);
}

void SetLimitsPair(KelmarCall *c)
{
    const double lower = Real(c, 0, "Limit:SetLimits"), upper = Real(c, 1, "Limit:SetLimits");
    L(c)->SetLimits(lower, upper);
}

void GetLimits(KelmarCall *c)
{
    double stops[2];
    L(c)->GetLimits(stops[0], stops[1]);
    PutReals(c, 0, "Limit:GetLimits", stops, 2);
}

// Stiffness, damping and restitution of the lower stop, then the upper.
void SetLimitParams(KelmarCall *c)
{
    double p[6];
    Reals(c, 0, "Limit:SetLimitParams", 6, p);
    L(c)->SetLimitParams(p[0], p[1], p[2], p[3], p[4], p[5]);
}

void SetLimitParamsSix(KelmarCall *c)
{
    double p[6];
    for (int i = 0; i < 6; ++i) p[i] = Real(c, i, "Limit:SetLimitParams");
    L(c)->SetLimitParams(p[0], p[1], p[2], p[3], p[4], p[5]);
}

void GetLimitParams(KelmarCall *c)
{
    double p[6];
    L(c)->GetLimitParams(p[0], p[1], p[2], p[3], p[4], p[5]);
    PutReals(c, 0, "Limit:GetLimitParams", p, 6);
}

constexpr char kLimitSetSpeed[] = "Limit:SetSpeed";

// The drives return the target as the joint takes it: fitted into its stops.
template <void (Limit::*Move)(double, double)> void Drive(KelmarCall *c)
{
    Limit *limit = L(c);
    const double target = limit->FitIntoLimits(Real(c, 0, "Limit:SetValue"), false);
    (limit->*Move)(target, kFullSpeed);
    ReturnFloat(c, target);
}

void SetLock(KelmarCall *c)
{
    L(c)->SetLock(Int(c, 0, "Limit:SetLock") != 0);
}

void GetLock(KelmarCall *c)
{
    ReturnInt(c, RbdLimitIsLocked(Rbd(c)) != 0);
}

constexpr char kLimitSet[] = "Limit:Set";

void SetControllerType(KelmarCall *c)
{
    ReturnInt(c, L(c)->SetControllerType(Text(c, 0, "Limit:SetControllerType")));
}

void GetControllerType(KelmarCall *c)
{
    ReturnText(c, L(c)->GetControllerType());
}

// The controller; the joint's own message when it has none.
Controller *ControllerOf(KelmarCall *c)
{
    Controller *controller = L(c)->GetController();
    if (!controller)
        prog_throw(kHostExceptionIds[kBadOpObject], kHostMessages[kNoController], Ref(c)->Name(),
                   Ref(c)->SceneName());
    return controller;
}

void SetCtrlParams(KelmarCall *c)
{
    Controller *controller = ControllerOf(c);
    const KelmarArg &a = c->args[0];
    if (c->argc < 1 || a.kind != KELMAR_FLOATS || a.count != controller->NumParams())
        Raise(kBadArgArrayDim, kWrongControlParams, Ref(c)->Name(), Ref(c)->SceneName());
    std::vector<double> params(static_cast<size_t>(controller->NumParams()));
    Reals(c, 0, "Limit:SetCtrlParams", controller->NumParams(), params.data());
    controller->SetParams(params.data());
}

void GetCtrlParams(KelmarCall *c)
{
    const Controller *controller = ControllerOf(c);
    std::vector<double> params(static_cast<size_t>(controller->NumParams()));
    controller->GetParams(params.data());
    PutReals(c, 0, "Limit:GetCtrlParams", params.data(), controller->NumParams());
}

// ---- RPROJoint ----
RPROJoint *Rpro(KelmarCall *c)
{
    auto *joint = dynamic_cast<RPROJoint *>(J(c));
    if (!joint) Raise(kBadObjJoint, kJointNotResolved, Ref(c)->Name(), Ref(c)->SceneName());
    return joint;
}

constexpr char kRPROJointSetRelativePosition[] = "RPROJoint:SetRelativePosition";

constexpr char kRPROJointGetRelativePosition[] = "RPROJoint:GetRelativePosition";

// Quaternion (w, x, y, z) and 3-vector settings of the RPRO constraint.
RbdConstraintID RproConstraint(KelmarCall *c)
{
    return Rpro(c)->GetConstraint();
}

template <void (*Set)(RbdConstraintID, const PxReal *), int N, const char *Label> void RproSet(KelmarCall *c)
{
    double v[N];
    Reals(c, 0, Label, N, v);
    if (RproConstraint(c)) Set(RproConstraint(c), v);
}

template <void (*Get)(RbdConstraintID, PxReal *), int N, const char *Label> void RproGet(KelmarCall *c)
{
    double v[N] = {};
    if (RproConstraint(c)) Get(RproConstraint(c), v);
    PutReals(c, 0, Label, v, N);
}

constexpr char kSetRelativeQuaternion[] = "RPROJoint:SetRelativeQuaternion";
constexpr char kGetRelativeQuaternion[] = "RPROJoint:GetRelativeQuaternion";
constexpr char kSetRelativeAngularVelocity[] = "RPROJoint:SetRelativeAngularVelocity";
constexpr char kGetRelativeAngularVelocity[] = "RPROJoint:GetRelativeAngularVelocity";
constexpr char kSetLinearStrength[] = "RPROJoint:SetLinearStrength";
constexpr char kGetLinearStrength[] = "RPROJoint:GetLinearStrength";
constexpr char kSetAngularStrength[] = "RPROJoint:SetAngularStrength";
constexpr char kGetAngularStrength[] = "RPROJoint:GetAngularStrength";

// ---- Spring: each setter returns the value it replaces ----
RbdConstraintID SpringConstraint(KelmarCall *c)
{
    auto *spring = dynamic_cast<Spring *>(J(c));
    if (!spring || !spring->GetConstraint())
        Raise(kBadObjJoint, kJointNotResolved, Ref(c)->Name(), Ref(c)->SceneName());
    return spring->GetConstraint();
}

template <void (*Set)(RbdConstraintID, PxReal), PxReal (*Get)(RbdConstraintID), const char *Label>
void SpringSet(KelmarCall *c)
{
    const double value = Real(c, 0, Label);
    RbdConstraintID spring = SpringConstraint(c);
    const double previous = Get(spring);
    Set(spring, value);
    ReturnFloat(c, previous);
}

constexpr char kSetLength[] = "Spring:SetLength";
constexpr char kSetStiffness[] = "Spring:SetStiffness";
constexpr char kSetDamping[] = "Spring:SetDamping";

const NamedEntry kEntries[] = {
    {"Ref_Joint", New<DfxJointRef::kAnyJoint>},
    {"Ref_FREE_Joint", Free},
    {"Ref_Hinge", New<DfxJointRef::kHinge>},
    {"Ref_FREE_Hinge", Free},
    {"Ref_Spring", New<DfxJointRef::kSpring>},
    {"Ref_FREE_Spring", Free},
    {"Ref_Prismatic", New<DfxJointRef::kPrismatic>},
    {"Ref_FREE_Prismatic", Free},
    {"Ref_RPROJoint", New<DfxJointRef::kRPROJoint>},
    {"Ref_FREE_RPROJoint", Free},
    {"Joint_Valid", Valid},
    {"Joint_Enable", Enable},
    {"Joint_Enabled", Enabled},
    {"Joint_EnableBodies", EnableBodies},
    {"Joint_SetTM", SetTransform<J, &Joint::SetTM, kJointSetTM>},
    {"Joint_GetTM", GetTM},
    {"Joint_SetPosition", SetReals<J, &Joint::SetPosition, 3, kJointSetPosition>},
    {"Joint_GetPosition", GetReals<J, &Joint::GetPosition, 3, kJointGetPosition>},
    {"Joint_SetAxis", SetReals<J, &Joint::SetAxis, 3, kJointSetAxis>},
    {"Joint_GetAxis", GetReals<J, &Joint::GetAxis, 3, kJointGetAxis>},
    {"Joint_GetForce", GetForce},
    {"Joint_GetTorque", GetTorque},
    {"Hinge_GetAngle", GetReal<L, &Limit::GetPosition>},
    {"Prismatic_GetDistance", GetReal<L, &Limit::GetPosition>},
    {"Limit_LimitEnable", LimitEnable},
    {"Limit_LimitEnabled", LimitEnabled},
    {"Limit_MotorEnable", MotorEnable},
    {"Limit_MotorEnabled", MotorEnabled},
    {"Limit_SetLimits", SetLimits},
    {"Limit_GetLimits", GetLimits},
    {"Limit_SetLimitParams", SetLimitParams},
    {"Limit_GetLimitParams", GetLimitParams},
    {"Limit_GetCurrentInertia", GetReal<L, &Limit::inertia>},
    {"Limit_SetSpeed", SetReal<L, &Limit::SetSpeed, kLimitSetSpeed>},
    {"Limit_GetSpeed", GetReal<L, &Limit::GetSpeed>},
    {"Limit_SetValueCtrl", Drive<&Limit::SetValueCtrl>},
    {"Limit_SetValueOpt", Drive<&Limit::SetValueOpt>},
    {"Limit_SetValueOptTrial", Drive<&Limit::SetValueOptTrial>},
    {"Limit_SetValue", Drive<&Limit::SetValueOpt>},
    {"Limit_GetValue", GetReal<L, &Limit::GetPosition>},
    {"Limit_SetLock", SetLock},
    {"Limit_GetLock", GetLock},
    {"Limit_SetMaxForce", SetReal<L, &Limit::maxForce, kLimitSet>},
    {"Limit_GetMaxForce", GetReal<L, &Limit::maxForce>},
    {"Limit_SetLockForce", SetReal<L, &Limit::lockForce, kLimitSet>},
    {"Limit_GetLockForce", GetReal<L, &Limit::lockForce>},
    {"Limit_SetMaxSpeed", SetReal<L, &Limit::maxSpeed, kLimitSet>},
    {"Limit_GetMaxSpeed", GetReal<L, &Limit::maxSpeed>},
    {"Limit_SetControllerType", SetControllerType},
    {"Limit_GetControllerType", GetControllerType},
    {"Limit_SetCtrlParams", SetCtrlParams},
    {"Limit_GetCtrlParams", GetCtrlParams},
    {"Limit_1_SetLimits", SetLimitsPair},
    {"Limit_1_SetLimitParams", SetLimitParamsSix},
    {"RPROJoint_SetRelativePosition",
     SetReals<Rpro, &RPROJoint::SetRelativePosition, 3, kRPROJointSetRelativePosition>},
    {"RPROJoint_GetRelativePosition",
     GetReals<Rpro, &RPROJoint::GetRelativePosition, 3, kRPROJointGetRelativePosition>},
    {"RPROJoint_SetRelativeQuaternion", RproSet<RbdRPROJointSetRelativeQuaternion, 4, kSetRelativeQuaternion>},
    {"RPROJoint_GetRelativeQuaternion", RproGet<RbdRPROJointGetRelativeQuaternion, 4, kGetRelativeQuaternion>},
    {"RPROJoint_SetRelativeAngularVelocity",
     RproSet<RbdRPROJointSetRelativeAngularVelocity, 3, kSetRelativeAngularVelocity>},
    {"RPROJoint_GetRelativeAngularVelocity",
     RproGet<RbdRPROJointGetRelativeAngularVelocity, 3, kGetRelativeAngularVelocity>},
    {"RPROJoint_SetLinearStrength", RproSet<RbdRPROJointSetLinearStrength, 3, kSetLinearStrength>},
    {"RPROJoint_GetLinearStrength", RproGet<RbdRPROJointGetLinearStrength, 3, kGetLinearStrength>},
    {"RPROJoint_SetAngularStrength", RproSet<RbdRPROJointSetAngularStrength, 3, kSetAngularStrength>},
    {"RPROJoint_GetAngularStrength", RproGet<RbdRPROJointGetAngularStrength, 3, kGetAngularStrength>},
    {"Spring_SetLength", SpringSet<RbdSpringSetNaturalLength, RbdSpringGetNaturalLength, kSetLength>},
    {"Spring_SetStiffness", SpringSet<RbdSpringSetStiffness, RbdSpringGetStiffness, kSetStiffness>},
    {"Spring_SetDamping", SpringSet<RbdSpringSetDamping, RbdSpringGetDamping, kSetDamping>},
};

} // namespace

EntryList JointEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
