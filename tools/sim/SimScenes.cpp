#include "SimScenes.h"

#include <kelmar/PxVector.h>

namespace ksim {

const std::vector<SceneInfo> &builtinScenes()
{
    static const std::vector<SceneInfo> scenes = {
        {"stack", "S1: ten 1 m cubes stacked on the ground, every face 1 mm into the next", 1, kBenchSteps,
         buildStack},
        {"pile", "S2: 1000 balls of 0.1 m dropped between four walls", 2, kBenchSteps, buildPile},
        {"chain", "S3: 50 hinged links falling from the horizontal, no collisions", 3, kBenchSteps, buildChain},
        {"boxes", "S4: 500 tilted 0.2 m cubes dropped on the ground", 4, kBenchSteps, buildBoxes},
        {"showcase", "every shape, a composite, a sensor, a kinematic pusher and a pendulum", 0, 600, buildShowcase},
    };
    return scenes;
}

const SceneInfo *findScene(const std::string &name)
{
    for (const SceneInfo &info : builtinScenes())
        if (name == info.name) return &info;
    return nullptr;
}

void setSleeping(Scene &scene, bool on)
{
    RbdWorldSetAutoDisable(scene.world(), on ? 1 : 0);
}

void useGravity(Scene &scene, PxReal g)
{
    RbdWorldSetGravity(scene.world(), 0.0, 0.0, -g);
}

void useFriction(Scene &scene, PxReal mu)
{
    RbdContactParams *params = SbxBridgeGetContactParams(scene.bridge(), 0, 0);
    RbdContactParamsSetType(params, 2);
    RbdContactParamsSetFrictionModel(params, 1);
    RbdContactParamsSetFrictionCoefficient(params, mu);
}

CdxModelID addGround(Scene &scene)
{
    PxMatrix4 identity;
    PxM4Identity(identity);
    return scene.own(SbxFixedModelCreate(scene.universe(), scene.keep(CdxPlaneCreate()), scene.pose(identity)));
}

CdxModelID addFixedBox(Scene &scene, const PxVector3 centre, const PxVector3 halfExtents)
{
    PxMatrix4 tm;
    PxM4Identity(tm);
    PxV3Copy(tm[3], centre);
    CdxGeometryID box = scene.keep(CdxBoxCreate(2.0 * halfExtents[0], 2.0 * halfExtents[1], 2.0 * halfExtents[2]));
    return scene.own(SbxFixedModelCreate(scene.universe(), box, scene.pose(tm)));
}

PxReal latticeJitterX(int n)
{
    return 0.004 * ((7 * n) % 11 - 5);
}
PxReal latticeJitterY(int n)
{
    return 0.004 * ((13 * n) % 11 - 5);
}

SbxUniverseSizes sizesFor(int bodies, int models, int pairsPerModel)
{
    const int primitiveAndCompositeTypes = 7;
    SbxUniverseSizes sizes = {
        bodies, 8 * bodies + 16, primitiveAndCompositeTypes, models, models * pairsPerModel + 16, 4};
    return sizes;
}

} // namespace ksim
