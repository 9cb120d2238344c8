// The robot layer's step against the toolkit universe's step on the same
// bodies: 100 resting boxes on a plane, awake (auto-disable off) and asleep;
// and commanding a 24-joint hand with one joint vector.
#include <benchmark/benchmark.h>

#include <vector>

#include <kelmar/Cdx.h>
#include <kelmar/Px.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>
#include <kelmar/kelmar.h>

namespace {

const int kBoxes = 100;

// Boxes of 4 cm in a 10 x 10 grid, resting on the plane z = 0 (cm).
void Pose(int i, double tm[4][4])
{
    PxM4Identity(tm);
    tm[3][0] = 6.0 * (i % 10);
    tm[3][1] = 6.0 * (i / 10);
    tm[3][2] = 1.999;
}

template <class Step> void Settle(int steps, Step step)
{
    for (int i = 0; i < steps; ++i) step();
}

void RobotLayerStep(benchmark::State &state)
{
    kelmar::Universe universe(200, 1000, 200, 2000);
    kelmar::Scene scene;
    universe.AddScene(&scene);
    RbdWorldSetGravity(universe.GetWorld(), 0, 0, -981);
    RbdWorldSetAutoDisable(universe.GetWorld(), static_cast<int>(state.range(0)));
    kelmar::AddGround(&scene, 3);
    for (int i = 0; i < kBoxes; ++i) {
        double tm[4][4];
        Pose(i, tm);
        kelmar::SolidSpec desc;
        desc.material = 3;
        desc.pose = tm;
        kelmar::AddBox(&scene, 4, 4, 4, desc);
    }
    Settle(100, [&] { universe.step(); });
    for (auto _ : state) universe.step();
    state.counters["awake"] = RbdWorldGetEnabledBodies(universe.GetWorld());
    universe.DelScene(&scene);
}

// The same bodies, material pair and world parameters through SbxUniverseStep.
void ToolkitStep(benchmark::State &state)
{
    SbxUniverseSizes sizes = {200, 1000, 8, 200, 2000, 7};
    SbxUniverseID universe = SbxUniverseCreate(sizes);
    RbdWorldID world = SbxUniverseGetWorld(universe);
    RbdWorldSetGravity(world, 0, 0, -981);
    RbdWorldSetEpsilon(world, kelmar::Universe::kDefaultEpsilon);
    RbdWorldSetGamma(world, kelmar::Universe::kDefaultGamma);
    RbdWorldSetAutoDisable(world, static_cast<int>(state.range(0)));
    RbdContactParams *params = SbxBridgeGetContactParams(SbxUniverseGetBridge(universe), 0, 0);
    RbdContactParamsSetType(params, 2);
    RbdContactParamsSetSoftness(params, 1e-4);
    RbdContactParamsSetFrictionCoefficient(params, 0.4);
    RbdContactParamsSetFrictionModel(params, 1);
    PxMatrix4 ground;
    PxM4Identity(ground);
    CdxGeometryID plane = CdxPlaneCreate(), box = CdxBoxCreate(4, 4, 4);
    CdxModelID floor = SbxFixedModelCreate(universe, plane, &ground);
    CdxModelID models[kBoxes];
    for (int i = 0; i < kBoxes; ++i) {
        models[i] = SbxModelAndBodyCreate(universe, box, 0.0008);
        double tm[4][4];
        Pose(i, tm);
        RbdBodySetTransform(CdxModelGetBody(models[i]), tm);
    }
    Settle(100, [&] { SbxUniverseStep(universe, kelmar::Universe::kDefaultTimeStep); });
    for (auto _ : state) SbxUniverseStep(universe, kelmar::Universe::kDefaultTimeStep);
    state.counters["awake"] = RbdWorldGetEnabledBodies(world);
    for (CdxModelID model : models) SbxModelDestroy(universe, model);
    SbxFixedModelDestroy(universe, floor);
    CdxGeometryDestroy(box);
    CdxGeometryDestroy(plane);
    SbxUniverseDestroy(universe);
}

// A frozen palm with six fingers of four links on hinges: 24 joints.
// Argument 0: the links are dynamic and every joint is driven by its
// time-optimal approach, with fresh readings as after a step; 1: the links
// are frozen and every joint is set by placing its link.
void RobotSetJointVector(benchmark::State &state)
{
    const bool kinematic = state.range(0) != 0;
    kelmar::Universe universe(40, 100, 40, 200);
    kelmar::Scene scene;
    universe.AddScene(&scene);
    kelmar::SolidSpec palmSpec;
    palmSpec.frozen = true;
    kelmar::Solid *palm = kelmar::AddBox(&scene, 10, 10, 2, palmSpec);
    std::vector<kelmar::Joint *> joints;
    for (int f = 0; f < 6; ++f) {
        const kelmar::Solid *parent = palm;
        for (int k = 0; k < 4; ++k) {
            double tm[4][4];
            PxM4Identity(tm);
            tm[3][0] = 1.5 * f - 4;
            tm[3][2] = -2.0 - 2.0 * k;
            kelmar::SolidSpec desc;
            desc.pose = tm;
            desc.frozen = kinematic;
            kelmar::Solid *link = kelmar::AddBox(&scene, 1, 1, 2, desc);
            auto *hinge = new kelmar::Hinge(&scene);
            const kelmar::Solid *pair[2] = {link, parent};
            hinge->SetSolids(pair);
            const double anchor[3] = {tm[3][0], 0, tm[3][2] + 1};
            hinge->SetPosition(anchor);
            scene.InsertJoint("", hinge);
            joints.push_back(hinge);
            parent = link;
        }
    }
    kelmar::Robot *hand = new kelmar::Robot(nullptr, palm, 1000);
    scene.InsertObject("hand", hand);
    double values[2][24];
    for (int i = 0; i < 24; ++i) values[0][i] = 0.01 * i, values[1][i] = -0.02 * i;
    universe.step();
    int k = 0;
    for (auto _ : state) {
        for (kelmar::Joint *joint : joints) joint->Update();
        hand->SetJoints(values[++k & 1], 1.0f);
    }
    state.counters["joints"] = hand->numJoints;
    universe.DelScene(&scene);
}

} // namespace

BENCHMARK(RobotSetJointVector)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
// Argument: auto-disable (0: every box stays awake, 1: they fall asleep).
BENCHMARK(ToolkitStep)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(RobotLayerStep)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
