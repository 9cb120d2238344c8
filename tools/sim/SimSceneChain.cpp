// S3 "chain": 50 links, boxes 0.4 x 0.1 x 0.1 m of density 1000 kg/m^3,
// lying end to end along +x; hinge 0 holds link 0 at the world origin and
// hinge k joins links k-1 and k at (0.4 k, 0, 0), every axis along y. The
// links have no collision models: the chain falls and swings through
// itself in the x-z plane.
#include <math.h>
#include <stdio.h>

#include <algorithm>

#include "SimScenes.h"

namespace ksim {

namespace {

const int kLinks = 50;
const PxReal kLength = 0.4, kWidth = 0.1;  // m
const PxReal kDensity = 1000.0;            // kg/m^3
const PxVector3 kOrigin = {0.0, 0.0, 0.0}; // where hinge 0 holds link 0

// The largest hinge gap seen after any step so far.
struct GapWatch {
    PxReal largest = 0.0;
};

Figures judge(const Scene &scene, const GapWatch &watch)
{
    const std::vector<BodyState> states = readStates(scene.bodyIds());
    const PxReal gap = chainGap(states, kLength, kOrigin);
    const PxReal tip = states.empty() ? 0.0 : states.back().position[2];
    char words[256], summary[256];
    snprintf(words, sizeof words, "gap_end=%.3e m gap_max=%.3e m tip_z=%.3f", gap, watch.largest, tip);
    snprintf(summary, sizeof summary,
             "chain gap: hinges %.3g mm apart at the end, %.3g mm at most; tip at z = %.2f m", 1000.0 * gap,
             1000.0 * watch.largest, tip);
    return {words, summary};
}

} // namespace

std::unique_ptr<Scene> buildChain()
{
    auto scene = std::make_unique<Scene>("chain", sizesFor(kLinks, 1, 2));
    if (!scene->valid()) return scene;
    useGravity(*scene, 9.81);
    RbdWorldID world = scene->world();
    CdxGeometryID shape = scene->keep(CdxBoxCreate(kLength, kWidth, kWidth));
    const PxReal mass = kDensity * kLength * kWidth * kWidth;
    RbdBodyID previous = nullptr;
    for (int k = 0; k < kLinks; ++k) {
        RbdBodyID link = RbdBodyCreate(world);
        PxMatrix3 inertia;
        RbdMakeInertiaTensorBox(mass, kLength, kWidth, kWidth, inertia);
        RbdBodySetMass(link, mass);
        RbdBodySetInertiaTensor(link, inertia);
        RbdBodySetPosition(link, 0.5 * kLength + k * kLength, 0.0, 0.0);
        RbdBodyEnable(link);
        RbdConstraintID hinge = scene->own(RbdHingeCreate(world));
        RbdConstraintSetBodies(hinge, link, previous);
        RbdConstraintSetPosition(hinge, k * kLength, 0.0, 0.0);
        RbdConstraintSetAxis(hinge, 0.0, 1.0, 0.0);
        RbdConstraintEnable(hinge);
        scene->report(link, "link" + std::to_string(k), shape);
        previous = link;
    }
    auto watch = std::make_shared<GapWatch>();
    scene->afterStep = [watch](Scene &s) {
        watch->largest = std::max(watch->largest, chainGap(readStates(s.bodyIds()), kLength, kOrigin));
    };
    scene->judge = [watch](const Scene &s) { return judge(s, *watch); };
    scene->description = "50 hinged links falling from the horizontal";
    return scene;
}

} // namespace ksim
