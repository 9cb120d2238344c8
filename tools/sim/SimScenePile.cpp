// S2 "pile": 1000 balls of radius 0.1 m and density 1000 kg/m^3 in a
// 10 x 10 x 10 lattice with a small deterministic sideways jitter, dropped
// on the ground between four fixed walls whose inner faces are at
// |x| = |y| = 1.5 m. The wider piles that show how the cost grows keep
// the lattice and its height and widen it and the walls w times along x
// and y: w^2 x 1000 balls at the same density.
#include <stdio.h>

#include "SimScenes.h"

namespace ksim {

namespace {

const int kPerSide = 10;        // lattice points along each axis (times w along x and y)
const PxReal kRadius = 0.1;     // m
const PxReal kDensity = 1000.0; // kg/m^3
const PxReal kSpacing = 0.25;   // m between lattice points
const PxReal kWallInner = 1.5;  // m (times w)
const PxReal kTouching = 0.002; // m: a surface this close counts as touching

Figures judge(const Scene &scene, PxReal wallInner)
{
    const std::vector<BodyState> states = readStates(scene.bodyIds());
    const int touching = countTouching(states, kRadius, wallInner, kTouching);
    const int escaped = countEscaped(states, wallInner);
    const int contacts = countContacts(scene.world());
    const int n = static_cast<int>(states.size());
    char words[256], summary[256];
    snprintf(words, sizeof words, "in_contact=%d/%d escaped=%d vmax=%.3f ncp=%d ke_max=%.1e pen_max=%.4f", touching,
             n, escaped, largestSpeed(states), contacts, largestKineticEnergy(scene.bodyIds()),
             deepestContact(scene.world()));
    snprintf(summary, sizeof summary,
             "bodies in contact: %d of %d balls touch the ground, a wall or a ball; %d escaped", touching, n,
             escaped);
    return {words, summary};
}

void addWalls(Scene &scene, PxReal wallInner)
{
    const PxReal thick = 0.1, length = wallInner + 0.2, height = 2.0; // half extents, m
    const PxReal offset = wallInner + thick;
    const PxVector3 alongY = {thick, length, height}, alongX = {length, thick, height};
    const PxVector3 east = {offset, 0.0, height}, west = {-offset, 0.0, height};
    const PxVector3 north = {0.0, offset, height}, south = {0.0, -offset, height};
    addFixedBox(scene, east, alongY);
    addFixedBox(scene, west, alongY);
    addFixedBox(scene, north, alongX);
    addFixedBox(scene, south, alongX);
}

} // namespace

std::unique_ptr<Scene> buildPile()
{
    return buildWidePile(1);
}

std::unique_ptr<Scene> buildWidePile(int w)
{
    const int across = kPerSide * w, balls = across * across * kPerSide;
    const PxReal wallInner = kWallInner * w, first = -0.5 * kSpacing * (across - 1); // m
    auto scene = std::make_unique<Scene>("pile", sizesFor(balls, balls + 5, 16));
    if (!scene->valid()) return scene;
    useGravity(*scene, 9.81);
    useFriction(*scene, 0.5);
    addGround(*scene);
    addWalls(*scene, wallInner);
    CdxGeometryID ball = scene->keep(CdxSphereCreate(kRadius));
    const PxQuaternion unturned = {1.0, 0.0, 0.0, 0.0};
    for (int k = 0; k < kPerSide; ++k)
        for (int j = 0; j < across; ++j)
            for (int i = 0; i < across; ++i) {
                const int n = i + across * j + across * across * k;
                const PxVector3 at = {first + kSpacing * i + latticeJitterX(n),
                                      first + kSpacing * j + latticeJitterY(n), 0.3 + kSpacing * k};
                scene->body(ball, kDensity, at, unturned, "ball" + std::to_string(n));
            }
    scene->judge = [wallInner](const Scene &s) { return judge(s, wallInner); };
    scene->description = std::to_string(balls) + " balls dropped between four walls";
    return scene;
}

} // namespace ksim
