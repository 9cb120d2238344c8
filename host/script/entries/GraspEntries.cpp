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

// ---- GraspBallWrap ----
using BallWrap = Held<GraspBallWrap>;

void NewBallWrap(KelmarCall *c)
{
    const char *label = "GraspBallWrap:GraspBallWrap";
    std::unique_ptr<BallWrap> held(new BallWrap);
    held->robot = RobotArg(c, label);
    held->target = SolidArg(c, 1, label);
    held->grasp.init(held->robot->Require(), held->target->Require(), Real(c, 2, label), Real(c, 3, label));
    c->self = held.release();
}

void BallWrapGrasp(KelmarCall *c)
{
    BoundWithTarget<GraspBallWrap>(c).grasp();
}

void BallWrapSetRadius(KelmarCall *c)
{
    Self<BallWrap>(c)->grasp.radius = Real(c, 0, "GraspBallWrap:setRadius");
}

void BallWrapGetRadius(KelmarCall *c)
{
    ReturnFloat(c, Self<BallWrap>(c)->grasp.radius);
}

void BallWrapSetThreshold(KelmarCall *c)
{
    Self<BallWrap>(c)->grasp.tolerance = Real(c, 0, "GraspBallWrap:setThreshold");
}

void BallWrapGetThreshold(KelmarCall *c)
{
    ReturnFloat(c, Self<BallWrap>(c)->grasp.tolerance);
}

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

void ContactBasedExplore(KelmarCall *c)
{
    ReturnInt(c, Bound<GraspContactBased>(c).explore());
}

void ContactBasedGrasp(KelmarCall *c)
{
    ReturnInt(c, Bound<GraspContactBased>(c).grasp());
}

void ContactBasedReset(KelmarCall *c)
{
    Self<ContactBased>(c)->grasp.reset();
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

void OrbGrasp(KelmarCall *c)
{
    Bound<GraspBallWrap2_Orb>(c).grasp();
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
using ContactBased0 = Held<GraspContactBased0>;

void NewContactBased0(KelmarCall *c)
{
    const char *label = "GraspContactBased0:GraspContactBased0";
    std::unique_ptr<ContactBased0> held(new ContactBased0);
    held->robot = RobotArg(c, label);
    held->target = SolidArg(c, 1, label);
    held->grasp.init(held->robot->Require(), held->target->Require(), Real(c, 2, label), Real(c, 3, label));
    c->self = held.release();
}

void ContactBased0Grasp(KelmarCall *c)
{
    ReturnInt(c, BoundWithTarget<GraspContactBased0>(c).grasp());
}

void ContactBased0SetMaxForce(KelmarCall *c)
{
    Self<ContactBased0>(c)->grasp.forceLimit = Real(c, 0, "GraspContactBased0:setMaxContactForce");
}

void ContactBased0GetMaxForce(KelmarCall *c)
{
    ReturnFloat(c, Self<ContactBased0>(c)->grasp.forceLimit);
}

void ContactBased0SetSpeed(KelmarCall *c)
{
    Self<ContactBased0>(c)->grasp.speed = Real(c, 0, "GraspContactBased0:setSpeed");
}

void ContactBased0GetSpeed(KelmarCall *c)
{
    ReturnFloat(c, Self<ContactBased0>(c)->grasp.speed);
}

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

void SomGrasp(KelmarCall *c)
{
    Bound<GraspShadowSOMGrasp>(c).grasp();
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

void SomSetGamma(KelmarCall *c)
{
    Self<Som>(c)->grasp.gainA = static_cast<float>(Real(c, 0, "GraspShadowSOMGrasp:setGraspGamma"));
}

void SomSetEpsilon(KelmarCall *c)
{
    Self<Som>(c)->grasp.gainB = Real(c, 0, "GraspShadowSOMGrasp:setGraspEpsilon");
}

void SomReset(KelmarCall *c)
{
    Self<Som>(c)->grasp.reset();
}

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
    {"GraspBallWrap_GraspBallWrap", NewBallWrap},
    {"GraspBallWrap_FREE_GraspBallWrap", Free<GraspBallWrap>},
    {"GraspBallWrap_grasp", BallWrapGrasp},
    {"GraspBallWrap_setRadius", BallWrapSetRadius},
    {"GraspBallWrap_getRadius", BallWrapGetRadius},
    {"GraspBallWrap_setThreshold", BallWrapSetThreshold},
    {"GraspBallWrap_getThreshold", BallWrapGetThreshold},
    {"GraspContactBased_GraspContactBased", NewContactBased},
    {"GraspContactBased_FREE_GraspContactBased", Free<GraspContactBased>},
    {"GraspContactBased_explore", ContactBasedExplore},
    {"GraspContactBased_grasp", ContactBasedGrasp},
    {"GraspContactBased_reset", ContactBasedReset},
    {"GraspBallWrap2_Orb_GraspBallWrap2_Orb", NewOrb},
    {"GraspBallWrap2_Orb_FREE_GraspBallWrap2_Orb", Free<GraspBallWrap2_Orb>},
    {"GraspBallWrap2_Orb_grasp", OrbGrasp},
    {"GraspBallWrap2_Orb_setRadius", OrbSetRadius},
    {"GraspBallWrap2_Orb_setRadii", OrbSetRadii},
    {"GraspBallWrap2_Orb_getRadius", OrbGetRadius},
    {"GraspBallWrap2_Orb_setBallPos", OrbSetBallPos},
    {"GraspBallWrap2_Orb_getBallPos", OrbGetBallPos},
    {"GraspBallWrap2_Orb_setGraspType", OrbSetGraspType},
    {"GraspBallWrap2_Orb_getGraspType", OrbGetGraspType},
    {"GraspContactBased0_GraspContactBased0", NewContactBased0},
    {"GraspContactBased0_FREE_GraspContactBased0", Free<GraspContactBased0>},
    {"GraspContactBased0_grasp", ContactBased0Grasp},
    {"GraspContactBased0_setMaxContactForce", ContactBased0SetMaxForce},
    {"GraspContactBased0_getMaxContactForce", ContactBased0GetMaxForce},
    {"GraspContactBased0_setSpeed", ContactBased0SetSpeed},
    {"GraspContactBased0_getSpeed", ContactBased0GetSpeed},
    {"GraspShadowSOMGrasp_GraspShadowSOMGrasp", NewSom},
    {"GraspShadowSOMGrasp_FREE_GraspShadowSOMGrasp", Free<GraspShadowSOMGrasp>},
    {"GraspShadowSOMGrasp_grasp", SomGrasp},
    {"GraspShadowSOMGrasp_loadSOM", SomLoad},
    {"GraspShadowSOMGrasp_setActiveSOM", SomSetActive},
    {"GraspShadowSOMGrasp_getActiveSOMName", SomActiveName},
    {"GraspShadowSOMGrasp_setGraspGamma", SomSetGamma},
    {"GraspShadowSOMGrasp_setGraspEpsilon", SomSetEpsilon},
    {"GraspShadowSOMGrasp_reset", SomReset},
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
