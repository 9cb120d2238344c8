// Several universes in one process: each owns its solver, its step and its
// share of the collision library, so universes stepped in turn move exactly
// as each does alone, a larger universe grows the library of a smaller one
// in place, and islands of one world take their steps independently.
#include <string.h>

#include <functional>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <kelmar/PxVector.h>

#include "SceneTestSupport.h"

namespace {

const PxReal kStep = 0.01; // s

// One universe with its scene: built programmatically, or loaded from a
// scene file. Owns everything it made and destroys it before the universe.
class Sim {
public:
    Sim(const SbxUniverseSizes &sizes, int32_t stepMethod) : universe_(SbxUniverseCreate(sizes))
    {
        EXPECT_NE(universe_, nullptr);
        SbxUniverseSetStepMethod(universe_, stepMethod);
        RbdWorldSetGravity(world(), 0.0, 0.0, -9.81);
    }
    ~Sim()
    {
        if (scene_) {
            PxLoadContextDestroyObjects(scene_);
            PxLoadContextDestroy(scene_);
        }
        for (CdxModelID m : models_) SbxModelDestroy(universe_, m);
        for (CdxGeometryID g : geometries_) CdxGeometryDestroy(g);
        SbxUniverseDestroy(universe_);
    }
    Sim(const Sim &) = delete;
    Sim &operator=(const Sim &) = delete;

    RbdWorldID world() const { return SbxUniverseGetWorld(universe_); }
    bool load(const char *file)
    {
        scene_ = SbxUniverseLoadFile(universe_, file, 0);
        return scene_ != nullptr;
    }
    void floor()
    {
        CdxGeometryID plane = keep(CdxPlaneCreate());
        PxM4Identity(floorPose_);
        models_.push_back(SbxFixedModelCreate(universe_, plane, &floorPose_));
    }
    RbdBodyID body(CdxGeometryID shape, PxReal x, PxReal y, PxReal z, PxReal vx = 0.0, PxReal vz = 0.0)
    {
        CdxModelID model = SbxModelAndBodyCreate(universe_, keep(shape), 500.0);
        EXPECT_NE(model, nullptr);
        models_.push_back(model);
        RbdBodyID b = CdxModelGetBody(model);
        RbdBodySetPosition(b, x, y, z);
        RbdBodySetLinearVelocity(b, vx, 0.0, vz);
        return b;
    }
    // Steps, then appends the state of every body.
    void step(std::vector<PxReal> &trace)
    {
        SbxUniverseStep(universe_, kStep);
        for (RbdBodyID b = RbdBodyGetFirst(world()); b; b = RbdBodyGetNext(b)) record(b, trace);
    }
    void step() { SbxUniverseStep(universe_, kStep); }
    // Position, orientation and velocities of a body as raw reals.
    static void record(RbdBodyID b, std::vector<PxReal> &trace)
    {
        PxReal state[13];
        RbdBodyGetPosition(b, state);
        RbdBodyGetQuaternion(b, state + 3);
        RbdBodyGetLinearVelocity(b, state + 7);
        RbdBodyGetAngularVelocity(b, state + 10);
        trace.insert(trace.end(), state, state + 13);
    }

private:
    CdxGeometryID keep(CdxGeometryID g)
    {
        EXPECT_NE(g, nullptr);
        geometries_.push_back(g);
        return g;
    }
    SbxUniverseID universe_;
    PxLoadContext *scene_ = nullptr;
    std::vector<CdxModelID> models_;
    std::vector<CdxGeometryID> geometries_;
    PxMatrix4 floorPose_;
};

// A scene: its universe's sizes and step method and how it is built.
struct SceneKind {
    const char *name;
    SbxUniverseSizes sizes;
    int32_t stepMethod;
    std::function<void(Sim &)> build;
};

// Primitives only, the smallest registry: a box and a ball on the floor.
const SceneKind kSmall = {"small", {4, 16, 6, 4, 64, 1}, SbxUniverseStepPlain, [](Sim &s) {
                              s.floor();
                              s.body(CdxBoxCreate(0.4, 0.3, 0.2), 0.0, 0.0, 0.5);
                              s.body(CdxSphereCreate(0.1), 0.05, 0.1, 1.0);
                          }};
// The example scene file: a composite, a pendulum with a limit, a crate.
const SceneKind kFile = {"file", {64, 256, 8, 64, 512, 4}, SbxUniverseStepPlain, [](Sim &s) {
                             scenetest::Messages messages;
                             EXPECT_TRUE(s.load(KELMAR_EXAMPLE_SCENES "pendulum_and_boxes.px")) << messages.all();
                         }};
// A stack of boxes stepped along swept paths, a fast ball falling on it.
const SceneKind kPath = {"path", {32, 128, 7, 32, 256, 2}, SbxUniverseStepPath, [](Sim &s) {
                             s.floor();
                             for (int k = 0; k < 5; ++k)
                                 s.body(CdxBoxCreate(0.5, 0.5, 0.5), 0.02 * k, 0.0, 0.26 + 0.5 * k);
                             s.body(CdxSphereCreate(0.05), 0.1, 0.0, 4.0, 0.0, -30.0);
                         }};

std::vector<PxReal> runAlone(const SceneKind &kind, int steps)
{
    Sim sim(kind.sizes, kind.stepMethod);
    kind.build(sim);
    std::vector<PxReal> trace;
    for (int n = 0; n < steps; ++n) sim.step(trace);
    return trace;
}

bool sameBits(const std::vector<PxReal> &a, const std::vector<PxReal> &b)
{
    return a.size() == b.size() && memcmp(a.data(), b.data(), sizeof(PxReal) * a.size()) == 0;
}

// Three universes of different sizes and scenes, the smallest made first
// (with no room for composites, which the scene file needs: the larger
// universes grow the library under it), stepped in turn for 500 steps: each
// trajectory has the bits it has alone. The library lives until the last
// universe goes, whichever goes first.
TEST(ManyUniverses, UniversesSteppedInTurnMoveBitForBitAsEachAlone)
{
    const int steps = 500;
    const SceneKind *kinds[] = {&kSmall, &kFile, &kPath};
    std::vector<PxReal> alone[3];
    for (int k = 0; k < 3; ++k) alone[k] = runAlone(*kinds[k], steps);
    EXPECT_FALSE(CdxIsInitialized()) << "each universe alone stopped the library it started";

    std::vector<std::unique_ptr<Sim>> sims;
    std::vector<PxReal> together[3];
    for (const SceneKind *kind : kinds) {
        sims.emplace_back(new Sim(kind->sizes, kind->stepMethod));
        EXPECT_EQ(CdxCompositeGetTypeId() >= 0, kind != &kSmall) << "no room for composites in the first universe";
        kind->build(*sims.back());
    }
    EXPECT_EQ(SbxUniverseGetLiveCount(), 3);
    EXPECT_GE(CdxGetGeometryTypeCapacity(), 8) << "grown for the largest universe";
    EXPECT_GE(CdxGetModelCapacity(), kSmall.sizes.models + kFile.sizes.models + kPath.sizes.models);
    for (int n = 0; n < steps; ++n)
        for (int k = 0; k < 3; ++k) sims[k]->step(together[k]);
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(together[k].empty());
        EXPECT_TRUE(sameBits(alone[k], together[k])) << kinds[k]->name;
    }
    sims.erase(sims.begin() + 1); // a larger universe goes before the first
    EXPECT_TRUE(CdxIsInitialized()) << "the first universe keeps the library";
    sims.erase(sims.begin()); // the first, smallest universe goes
    EXPECT_TRUE(CdxIsInitialized()) << "the last still uses the library";
    sims.clear();
    EXPECT_FALSE(CdxIsInitialized());
}

// Swept steps shorten an island to its own time of impact: a fast ball and
// a falling box far apart, one island each, step in one world exactly as
// each does alone, whichever island comes first.
TEST(ManyUniverses, IslandsOfOneWorldTakeTheirOwnStepsAsEachAlone)
{
    const SbxUniverseSizes sizes = {8, 32, 6, 8, 64, 1};
    auto ball = [](Sim &s) { return s.body(CdxSphereCreate(0.05), 0.0, 0.0, 1.0, 0.0, -30.0); };
    auto box = [](Sim &s) { return s.body(CdxBoxCreate(0.4, 0.4, 0.4), 20.0, 0.0, 0.6); };
    const int steps = 150;
    std::vector<PxReal> alone[2];
    for (int k = 0; k < 2; ++k) {
        Sim sim(sizes, SbxUniverseStepPath);
        sim.floor();
        RbdBodyID b = k == 0 ? ball(sim) : box(sim);
        for (int n = 0; n < steps; ++n) {
            sim.step();
            Sim::record(b, alone[k]);
        }
    }
    for (bool ballFirst : {true, false}) {
        Sim sim(sizes, SbxUniverseStepPath);
        sim.floor();
        RbdBodyID bodies[2];
        bodies[ballFirst ? 0 : 1] = ballFirst ? ball(sim) : box(sim);
        bodies[ballFirst ? 1 : 0] = ballFirst ? box(sim) : ball(sim);
        std::vector<PxReal> together[2];
        for (int n = 0; n < steps; ++n) {
            sim.step();
            for (int k = 0; k < 2; ++k) Sim::record(bodies[k], together[k]);
        }
        EXPECT_TRUE(sameBits(alone[0], together[0])) << "ball, made first: " << ballFirst;
        EXPECT_TRUE(sameBits(alone[1], together[1])) << "box, made first: " << !ballFirst;
        PxVector3 at;
        RbdBodyGetPosition(bodies[0], at);
        EXPECT_GT(at[2], 0.0) << "the swept step stopped the fast ball on the floor";
    }
}

} // namespace
