// S4 "boxes": 500 cubes of 0.2 m and density 1000 kg/m^3 in a 10 x 10 x 5
// lattice with the pile's sideways jitter, each turned by a multiple of
// pi/8 about the axis (1, 2, 3), dropped on the ground. Nothing overlaps
// at the start.
#include <math.h>
#include <stdio.h>

#include "SimScenes.h"

namespace ksim {

namespace {

const int kPerSide = 10, kLayers = 5;
const PxReal kEdge = 0.2;       // m
const PxReal kDensity = 1000.0; // kg/m^3
const PxReal kSpacing = 0.4;    // m

Figures judge(const Scene &scene)
{
    const std::vector<BodyState> states = readStates(scene.bodyIds());
    const int below = countBelowGround(states);
    const PxReal lowest = lowestHeight(states);
    const int contacts = countContacts(scene.world());
    char words[256], summary[256];
    snprintf(words, sizeof words, "vmax=%.3f below_ground=%d zmin=%.4f ncp=%d ke_max=%.1e pen_max=%.4f",
             largestSpeed(states), below, lowest, contacts, largestKineticEnergy(scene.bodyIds()),
             deepestContact(scene.world()));
    snprintf(summary, sizeof summary,
             "bodies in contact: %d of %zu boxes touch something; lowest centre at z = %.4f m (0.1 rests on a face), "
             "%d below the ground",
             countBodiesInContact(scene.bodyIds()), states.size(), lowest, below);
    return {words, summary};
}

} // namespace

std::unique_ptr<Scene> buildBoxes()
{
    const int boxes = kPerSide * kPerSide * kLayers;
    auto scene = std::make_unique<Scene>("boxes", sizesFor(boxes, boxes + 1, 16));
    if (!scene->valid()) return scene;
    useGravity(*scene, 9.81);
    useFriction(*scene, 0.5);
    addGround(*scene);
    CdxGeometryID cube = scene->keep(CdxBoxCreate(kEdge, kEdge, kEdge));
    const PxReal axis[3] = {1.0 / sqrt(14.0), 2.0 / sqrt(14.0), 3.0 / sqrt(14.0)};
    for (int k = 0; k < kLayers; ++k)
        for (int j = 0; j < kPerSide; ++j)
            for (int i = 0; i < kPerSide; ++i) {
                const int n = i + kPerSide * j + kPerSide * kPerSide * k;
                const PxReal angle = M_PI / 8.0 * (n % 8), s = sin(0.5 * angle);
                const PxQuaternion q = {cos(0.5 * angle), s * axis[0], s * axis[1], s * axis[2]};
                const PxVector3 at = {-1.8 + kSpacing * i + latticeJitterX(n),
                                      -1.8 + kSpacing * j + latticeJitterY(n), 0.3 + kSpacing * k};
                scene->body(cube, kDensity, at, q, "box" + std::to_string(n));
            }
    scene->judge = judge;
    scene->description = "500 tilted cubes dropped on the ground";
    return scene;
}

} // namespace ksim
