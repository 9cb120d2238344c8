// Script entries of the grasp controllers. A controller keeps the host
// objects of its hand and target, not their robot-layer objects, and takes
// those afresh at every call: a scene reset rebuilds them.
#include <cstring>
#include <memory>

#include <kelmar/grasp.h>

#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

template <class G> struct Held {
    G grasp;
    DfxRobot *robot = nullptr;
    DfxSolid *target = nullptr; // null for the controllers without a target
};

DfxRobot *RobotArg(KelmarCall *c, const char *label)
{
    auto *robot = static_cast<DfxRobot *>(Object(c, 0, label));
    if (!robot) prog_throw(kHostExceptionIds[kBadArgObject], "%s: argument #0 must be a robot\n", label);
    return robot;
}

DfxSolid *SolidArg(KelmarCall *c, int k, const char *label)
{
    auto *solid = static_cast<DfxSolid *>(Object(c, k, label));
    if (!solid) prog_throw(kHostExceptionIds[kBadArgObject], "%s: argument #%d must be a solid\n", label, k);
    return solid;
}

// The controller with its hand (and target, for those with one) bound now.
template <class G> G &Bound(KelmarCall *c)
{
    auto *held = Self<Held<G>>(c);
    held->grasp.robot = held->robot->Require();
    return held->grasp;
}

template <class G> G &BoundWithTarget(KelmarCall *c)
{
    G &grasp = Bound<G>(c);
    grasp.target = Self<Held<G>>(c)->target->Require();
    return grasp;
}

template <class G> void Free(KelmarCall *c)
{
    delete Self<Held<G>>(c);
}

template <class G> G &Unbound(KelmarCall *c)
{
    return Self<Held<G>>(c)->grasp;
}

// ---- Adapters shared by the controllers of one signature ----
// (class Robot, class SolidRef, float, float): a hand and a target.
template <class G, const char *Label> void NewWithTarget(KelmarCall *c)
{
    std::unique_ptr<Held<G>> held(new Held<G>);
    held->robot = RobotArg(c, Label);
    held->target = SolidArg(c, 1, Label);
    held->grasp.init(held->robot->Require(), held->target->Require(), Real(c, 2, Label), Real(c, 3, Label));
    c->self = held.release();
}

// A method without arguments declared void, on the controller bound as Bind binds it.
template <class G, class R, R (G::*Method)(), G &(*Bind)(KelmarCall *)> void Do(KelmarCall *c)
{
    (Bind(c).*Method)();
}

// The same, declared int.
template <class G, class R, R (G::*Method)(), G &(*Bind)(KelmarCall *)> void DoInt(KelmarCall *c)
{
    ReturnInt(c, static_cast<int>((Bind(c).*Method)()));
}

// The controller as the shared setters and getters take it.
template <class G> G *Grasper(KelmarCall *c)
{
    return &Unbound<G>(c);
}

// ---- GraspBallWrap ----
constexpr char kNewBallWrap[] = "GraspBallWrap:GraspBallWrap";
constexpr char kSetRadius[] = "GraspBallWrap:setRadius";
constexpr char kSetThreshold[] = "GraspBallWrap:setThreshold";

// ---- GraspContactBased ----
using ContactBased = Held<GraspContactBased>;

void NewContactBased(KelmarCall *c)
{
    const char *label = "GraspContactBased:GraspContactBased";
    std::unique_ptr<ContactBased> held(new ContactBased);
    held->robot = RobotArg(c, label);
    held->grasp.init(held->robot->Require(), Real(c, 1, label), Real(c, 2, label), Real(c, 3, label));
    c->self = held.release();
}

// ---- GraspBallWrap2_Orb ----
using Orb = Held<GraspBallWrap2_Orb>;

void NewOrb(KelmarCall *c)
{
    const char *label = "GraspBallWrap2_Orb:GraspBallWrap2_Orb";
    std::unique_ptr<Orb> held(new Orb);
    held->robot = RobotArg(c, label);
    double centre[3];
    Reals(c, 2, label, 3, centre);
    held->grasp.init(held->robot->Require(), Int(c, 1, label), centre, Real(c, 3, label));
    c->self = held.release();
}

void OrbSetRadius(KelmarCall *c)
{
    Self<Orb>(c)->grasp.setRadius(Real(c, 0, "GraspBallWrap2_Orb:setRadius"));
}

void OrbSetRadii(KelmarCall *c)
{
    const char *label = "GraspBallWrap2_Orb:setRadii";
    const int n = Int(c, 1, label);
    if (n < 0 || n > GraspBallWrap2_Orb::kMaxFingers)
        Raise(kBadArgIndex, kIndexOutOfRange, label, 0, GraspBallWrap2_Orb::kMaxFingers);
    double radii[GraspBallWrap2_Orb::kMaxFingers];
    Reals(c, 0, label, n, radii);
    Self<Orb>(c)->grasp.setRadius(radii, n);
}

void OrbGetRadius(KelmarCall *c)
{
    static float cell[GraspBallWrap2_Orb::kMaxFingers];
    const double *radii = Self<Orb>(c)->grasp.radii;
    for (int i = 0; i < GraspBallWrap2_Orb::kMaxFingers; ++i) cell[i] = static_cast<float>(radii[i]);
    ReturnCell(c, cell, GraspBallWrap2_Orb::kMaxFingers);
}

void OrbSetBallPos(KelmarCall *c)
{
    Reals(c, 0, "GraspBallWrap2_Orb:setBallPos", 3, Self<Orb>(c)->grasp.centre);
}

void OrbGetBallPos(KelmarCall *c)
{
    PutReals(c, 0, "GraspBallWrap2_Orb:getBallPos", Self<Orb>(c)->grasp.centre, 3);
}

void OrbSetGraspType(KelmarCall *c)
{
    Self<Orb>(c)->grasp.type = Int(c, 0, "GraspBallWrap2_Orb:setGraspType");
}

void OrbGetGraspType(KelmarCall *c)
{
    ReturnInt(c, Self<Orb>(c)->grasp.type);
}

// ---- GraspContactBased0 ----
constexpr char kNewContactBased0[] = "GraspContactBased0:GraspContactBased0";
constexpr char kSetMaxContactForce[] = "GraspContactBased0:setMaxContactForce";
constexpr char kSetSpeed[] = "GraspContactBased0:setSpeed";

// ---- GraspShadowSOMGrasp ----
using Som = Held<GraspShadowSOMGrasp>;

void NewSom(KelmarCall *c)
{
    const char *label = "GraspShadowSOMGrasp:GraspShadowSOMGrasp";
    std::unique_ptr<Som> held(new Som);
    held->robot = RobotArg(c, label);
    held->grasp.init(held->robot->Require(), static_cast<float>(Real(c, 1, label)), Real(c, 2, label));
    c->self = held.release();
}

void SomLoad(KelmarCall *c)
{
    const char *label = "GraspShadowSOMGrasp:loadSOM";
    const char *file = Text(c, 0, label), *name = Text(c, 1, label);
    const int nodes = Int(c, 2, label), dimension = Int(c, 3, label);
    ReturnFloat(c, Self<Som>(c)->grasp.loadSOM(file, name, nodes, dimension) ? 1.0 : 0.0);
}

void SomSetActive(KelmarCall *c)
{
    const char *name = Text(c, 0, "GraspShadowSOMGrasp:setActiveSOM");
    ReturnFloat(c, Self<Som>(c)->grasp.setActiveSOM(name) ? 1.0 : 0.0);
}

// The active map's name, NUL-terminated, into the caller's text buffer
// (bytes; an OUT one is allocated); also the call's result, for callers
// without a buffer.
void SomActiveName(KelmarCall *c)
{
    const char *label = "GraspShadowSOMGrasp:getActiveSOMName";
    const std::string &name = Self<Som>(c)->grasp.getActiveSOM();
    const int needed = static_cast<int>(name.size()) + 1;
    const KelmarArg &buffer = c->args[0];
    if (c->argc > 0 && buffer.kind == KELMAR_BYTES && buffer.count >= needed)
        std::memcpy(buffer.data, name.c_str(), static_cast<size_t>(needed));
    else if (c->argc > 0 && buffer.kind != KELMAR_NONE)
        std::memcpy(OutBytes(c, 0, label, needed), name.c_str(), static_cast<size_t>(needed));
    ReturnText(c, name.c_str());
}

constexpr char kSetGraspGamma[] = "GraspShadowSOMGrasp:setGraspGamma";
constexpr char kSetGraspEpsilon[] = "GraspShadowSOMGrasp:setGraspEpsilon";

// Postures are 24 joint values; masks name the finger segments in contact,
// 5 fingers x 3 segments, palm outwards (nonzero: in contact).
const int kSomJoints = GraspShadowSOMGrasp::kJoints;
const int kSomSegments = GraspShadowSOMGrasp::kFingers * GraspShadowSOMGrasp::kSegments;

void Segments(KelmarCall *c, int k, const char *label, bool segments[][GraspShadowSOMGrasp::kSegments])
{
    double mask[kSomSegments];
    Reals(c, k, label, kSomSegments, mask);
    for (int i = 0; i < kSomSegments; ++i)
        segments[i / GraspShadowSOMGrasp::kSegments][i % GraspShadowSOMGrasp::kSegments] = mask[i] != 0;
}

// Without an active map there is nothing to project onto.
void RequireMap(bool ok, const char *label)
{
    if (!ok) prog_throw(kHostExceptionIds[kBadOpObject], "%s: no active map\n", label);
}

void SomProjection(KelmarCall *c)
{
    const char *label = "GraspShadowSOMGrasp:getSOMProjection";
    double posture[kSomJoints], out[kSomJoints];
    bool segments[GraspShadowSOMGrasp::kFingers][GraspShadowSOMGrasp::kSegments];
    Reals(c, 1, label, kSomJoints, posture);
    Segments(c, 2, label, segments);
    RequireMap(Self<Som>(c)->grasp.getSOMProjection(out, posture, segments), label);
    PutReals(c, 0, label, out, kSomJoints);
}

void SomCurrentProjection(KelmarCall *c)
{
    const char *label = "GraspShadowSOMGrasp:getCurrSOMProjection";
    double out[kSomJoints];
    RequireMap(Bound<GraspShadowSOMGrasp>(c).getCurrSOMProjection(out), label);
    PutReals(c, 0, label, out, kSomJoints);
}

void SomTarget(KelmarCall *c)
{
    const char *label = "GraspShadowSOMGrasp:computeTarget";
    double posture[kSomJoints], target[kSomJoints];
    bool segments[GraspShadowSOMGrasp::kFingers][GraspShadowSOMGrasp::kSegments];
    Reals(c, 1, label, kSomJoints, posture);
    Segments(c, 2, label, segments);
    Self<Som>(c)->grasp.computeTarget(target, posture, segments);
    PutReals(c, 0, label, target, kSomJoints);
}

const NamedEntry kEntries[] = {
    {"GraspBallWrap_GraspBallWrap", NewWithTarget<GraspBallWrap, kNewBallWrap>},
    {"GraspBallWrap_FREE_GraspBallWrap", Free<GraspBallWrap>},
    {"GraspBallWrap_grasp", Do<GraspBallWrap, void, &GraspBallWrap::grasp, BoundWithTarget>},
    {"GraspBallWrap_setRadius", SetReal<Grasper<GraspBallWrap>, &GraspBallWrap::radius, kSetRadius>},
    {"GraspBallWrap_getRadius", GetReal<Grasper<GraspBallWrap>, &GraspBallWrap::radius>},
    {"GraspBallWrap_setThreshold", SetReal<Grasper<GraspBallWrap>, &GraspBallWrap::tolerance, kSetThreshold>},
    {"GraspBallWrap_getThreshold", GetReal<Grasper<GraspBallWrap>, &GraspBallWrap::tolerance>},
    {"GraspContactBased_GraspContactBased", NewContactBased},
    {"GraspContactBased_FREE_GraspContactBased", Free<GraspContactBased>},
    {"GraspContactBased_explore", DoInt<GraspContactBased, bool, &GraspContactBased::explore, Bound>},
    {"GraspContactBased_grasp", DoInt<GraspContactBased, bool, &GraspContactBased::grasp, Bound>},
    {"GraspContactBased_reset", Do<GraspContactBased, void, &GraspContactBased::reset, Unbound>},
    {"GraspBallWrap2_Orb_GraspBallWrap2_Orb", NewOrb},
    {"GraspBallWrap2_Orb_FREE_GraspBallWrap2_Orb", Free<GraspBallWrap2_Orb>},
    {"GraspBallWrap2_Orb_grasp", Do<GraspBallWrap2_Orb, int, &GraspBallWrap2_Orb::grasp, Bound>},
    {"GraspBallWrap2_Orb_setRadius", OrbSetRadius},
    {"GraspBallWrap2_Orb_setRadii", OrbSetRadii},
    {"GraspBallWrap2_Orb_getRadius", OrbGetRadius},
    {"GraspBallWrap2_Orb_setBallPos", OrbSetBallPos},
    {"GraspBallWrap2_Orb_getBallPos", OrbGetBallPos},
    {"GraspBallWrap2_Orb_setGraspType", OrbSetGraspType},
    {"GraspBallWrap2_Orb_getGraspType", OrbGetGraspType},
    {"GraspContactBased0_GraspContactBased0", NewWithTarget<GraspContactBased0, kNewContactBased0>},
    {"GraspContactBased0_FREE_GraspContactBased0", Free<GraspContactBased0>},
    {"GraspContactBased0_grasp", DoInt<GraspContactBased0, int, &GraspContactBased0::grasp, BoundWithTarget>},
    {"GraspContactBased0_setMaxContactForce",
     SetReal<Grasper<GraspContactBased0>, &GraspContactBased0::forceLimit, kSetMaxContactForce>},
    {"GraspContactBased0_getMaxContactForce", GetReal<Grasper<GraspContactBased0>, &GraspContactBased0::forceLimit>},
    {"GraspContactBased0_setSpeed", SetReal<Grasper<GraspContactBased0>, &GraspContactBased0::speed, kSetSpeed>},
    {"GraspContactBased0_getSpeed", GetReal<Grasper<GraspContactBased0>, &GraspContactBased0::speed>},
    {"GraspShadowSOMGrasp_GraspShadowSOMGrasp", NewSom},
    {"GraspShadowSOMGrasp_FREE_GraspShadowSOMGrasp", Free<GraspShadowSOMGrasp>},
    {"GraspShadowSOMGrasp_grasp", Do<GraspShadowSOMGrasp, bool, &GraspShadowSOMGrasp::grasp, Bound>},
    {"GraspShadowSOMGrasp_loadSOM", SomLoad},
    {"GraspShadowSOMGrasp_setActiveSOM", SomSetActive},
    {"GraspShadowSOMGrasp_getActiveSOMName", SomActiveName},
    {"GraspShadowSOMGrasp_setGraspGamma",
     SetReal<Grasper<GraspShadowSOMGrasp>, &GraspShadowSOMGrasp::gainA, kSetGraspGamma>},
    {"GraspShadowSOMGrasp_setGraspEpsilon",
     SetReal<Grasper<GraspShadowSOMGrasp>, &GraspShadowSOMGrasp::gainB, kSetGraspEpsilon>},
    {"GraspShadowSOMGrasp_reset", Do<GraspShadowSOMGrasp, void, &GraspShadowSOMGrasp::reset, Unbound>},
    {"GraspShadowSOMGrasp_getSOMProjection", SomProjection},
    {"GraspShadowSOMGrasp_getCurrSOMProjection", SomCurrentProjection},
    {"GraspShadowSOMGrasp_computeTarget", SomTarget},
};

} // namespace

EntryList GraspEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
