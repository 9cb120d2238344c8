// S1 "stack": ten 1 m cubes of 1 kg in a column on the ground; every
// interface (ground-box and box-box) starts 1 mm interpenetrated, so that
// every contact exists from the first step.
#include <stdio.h>

#include <kelmar/PxVector.h>

#include "SimScenes.h"

namespace ksim {

namespace {

const int kBoxes = 10;
const PxReal kEdge = 1.0;      // m
const PxReal kMass = 1.0;      // kg: density 1 kg/m^3 for a 1 m^3 cube
const PxReal kOverlap = 0.001; // m
// The stack stands while every box keeps within these of its start.
const PxReal kStandZ = 0.1, kStandXY = 0.5; // m

PxReal startHeight(int k)
{
    return 0.5 * kEdge - kOverlap + k * (kEdge - kOverlap);
}

Figures judge(const Scene &scene)
{
    const std::vector<BodyState> states = readStates(scene.bodyIds());
    std::vector<PxReal> start;
    for (int k = 0; k < kBoxes; ++k) start.push_back(startHeight(k));
    const StackJudgement j = judgeStack(states, start, kStandZ, kStandXY);
    const PxReal vmax = largestSpeed(states);
    char words[256], summary[256];
    snprintf(words, sizeof words, "top_drift_xy=%.3e m top_dz=%+.3e m stands=%s vmax=%.2e", j.topDriftXY, j.topDz,
             j.stands ? "yes" : "NO", vmax);
    snprintf(summary, sizeof summary, "stack drift: the top box moved %.3g mm sideways and %+.3g mm up; %s",
             1000.0 * j.topDriftXY, 1000.0 * j.topDz, j.stands ? "the stack stands" : "the stack FELL");
    return {words, summary};
}

} // namespace

std::unique_ptr<Scene> buildStack()
{
    auto scene = std::make_unique<Scene>("stack", sizesFor(kBoxes, kBoxes + 1, 8));
    if (!scene->valid()) return scene;
    useGravity(*scene, 9.81);
    useFriction(*scene, 0.5);
    addGround(*scene);
    CdxGeometryID cube = scene->keep(CdxBoxCreate(kEdge, kEdge, kEdge));
    const PxQuaternion unturned = {1.0, 0.0, 0.0, 0.0};
    for (int k = 0; k < kBoxes; ++k) {
        const PxVector3 at = {0.0, 0.0, startHeight(k)};
        scene->body(cube, kMass / (kEdge * kEdge * kEdge), at, unturned, "box" + std::to_string(k));
    }
    scene->judge = judge;
    scene->description = "ten 1 m cubes of 1 kg stacked on the ground";
    return scene;
}

} // namespace ksim
