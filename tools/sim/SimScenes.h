// The built-in scenes, by name, and the parts they are built from.
//
// stack, pile, chain and boxes are the four benchmark scenes (S1 to S4):
// z up, gravity 9.81 m/s^2, Coulomb friction 0.5 on every pair, no
// restitution, a 0.01 s step and 1000 steps; they start exactly as their
// definitions say, so that their figures can be put beside other engines'.
// showcase is a small scene with every primitive shape, a composite body, a
// sensor, a kinematic pusher and a hinged pendulum.
#ifndef KELMAR_TOOLS_SIMSCENES_H
#define KELMAR_TOOLS_SIMSCENES_H

#include <memory>
#include <string>
#include <vector>

#include "SimScene.h"

namespace ksim {

// The step and length of every benchmark scene.
const PxReal kBenchStep = 0.01; // s
const int kBenchSteps = 1000;

struct SceneInfo {
    const char *name;
    const char *summary; // one line for the scene list
    int benchmark;       // 1..4 for the benchmark scenes S1..S4, 0 otherwise
    int defaultSteps;
    std::unique_ptr<Scene> (*build)();
};

const std::vector<SceneInfo> &builtinScenes();
// Null for an unknown name.
const SceneInfo *findScene(const std::string &name);

std::unique_ptr<Scene> buildStack();
std::unique_ptr<Scene> buildPile();
// The pile w times as wide and as deep, walls included (w^2 x 1000 balls).
std::unique_ptr<Scene> buildWidePile(int w);
std::unique_ptr<Scene> buildChain();
std::unique_ptr<Scene> buildBoxes();
std::unique_ptr<Scene> buildShowcase();

// Turns auto-disable (sleeping) of the scene's world on or off.
void setSleeping(Scene &scene, bool on);

// ---- Parts ----

// Gravity along -z.
void useGravity(Scene &scene, PxReal g);
// Coulomb friction mu in two directions, proportional to the normal
// force, for every pair of the default material.
void useFriction(Scene &scene, PxReal mu);
// The fixed ground plane z = 0.
CdxModelID addGround(Scene &scene);
// A fixed box of the given half extents centred at centre.
CdxModelID addFixedBox(Scene &scene, const PxVector3 centre, const PxVector3 halfExtents);
// The sideways jitter of lattice point n in the pile and the boxes: whole
// multiples of 4 mm from -2 cm to +2 cm, so that nothing lands in
// perfect columns, yet exactly reproducible.
PxReal latticeJitterX(int n);
PxReal latticeJitterY(int n);
// Capacities for a scene of `models` models with up to `pairsPerModel`
// boxes overlapping each.
SbxUniverseSizes sizesFor(int bodies, int models, int pairsPerModel);

} // namespace ksim

#endif
