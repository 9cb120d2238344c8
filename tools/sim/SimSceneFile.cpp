#include "SimSceneFile.h"

#include <stdio.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <kelmar/PxFile.h>

#include "SimQuality.h"

namespace ksim {

namespace {

// Room for scenes of a few thousand models; the world grows by itself.
SbxUniverseSizes fileSizes()
{
    SbxUniverseSizes sizes = {1024, 4096, 16, 8192, 65536, 64};
    return sizes;
}

Figures judge(const Scene &scene)
{
    const std::vector<RbdBodyID> bodies = scene.bodyIds();
    const int touching = countBodiesInContact(bodies);
    const std::vector<BodyState> states = readStates(bodies);
    char words[160], summary[160];
    snprintf(words, sizeof words, "in_contact=%d/%zu vmax=%.3f ncp=%d", touching, bodies.size(), largestSpeed(states),
             countContacts(scene.world()));
    snprintf(summary, sizeof summary, "bodies in contact: %d of %zu", touching, bodies.size());
    return {words, summary};
}

// Files may hold triangle meshes, which the universe does not register by
// itself; composites then learn to meet them too.
void registerMeshes()
{
    if (CdxTriangleMeshGetTypeId() >= 0) return;
    CdxTriangleMeshRegisterType();
    CdxTriangleMeshRegisterInteractions();
    CdxCompositeGenericRegisterInteractions();
}

} // namespace

SceneFileKind sceneFileKind(const std::string &path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    if (s.find("<CORE>") != std::string::npos) return SceneFileKind::Toolkit;
    if (s.find("<SOLID ") != std::string::npos || s.find("<GEOMETRIES>") != std::string::npos)
        return SceneFileKind::RobotLayer;
    return SceneFileKind::Unknown;
}

std::unique_ptr<Scene> loadSceneFile(const std::string &path, std::string *error, int *warnings)
{
    auto scene = std::make_unique<Scene>(path, fileSizes());
    if (!scene->valid()) {
        *error = "cannot make a universe for '" + path + "'";
        return nullptr;
    }
    registerMeshes();
    PxLoadContext *loaded = SbxUniverseLoadFile(scene->universe(), path.c_str(), 0);
    const bool empty = !loaded || !RbdBodyGetFirst(scene->world());
    if (empty && sceneFileKind(path) == SceneFileKind::RobotLayer) {
        if (loaded) {
            PxLoadContextDestroyObjects(loaded);
            PxLoadContextDestroy(loaded);
        }
        *error = "'" + path + "' is a robot-layer scene file (SOLID, GEOMETRIES): kelmar-run runs those";
        return nullptr;
    }
    if (!loaded) {
        *error = "cannot load the scene file '" + path + "' (the reader's messages above say why)";
        return nullptr;
    }
    if (warnings) *warnings = PxLoadContextGetWarningCount(loaded);
    scene->teardown = [loaded]() {
        PxLoadContextDestroyObjects(loaded);
        PxLoadContextDestroy(loaded);
    };
    // The world lists its bodies newest first: report them in file order.
    std::vector<RbdBodyID> bodies;
    for (RbdBodyID b = RbdBodyGetFirst(scene->world()); b; b = RbdBodyGetNext(b)) bodies.push_back(b);
    std::reverse(bodies.begin(), bodies.end());
    for (RbdBodyID b : bodies) {
        const char *id = RbdBodyLookupStringID(loaded, b);
        scene->report(b, id ? id : "body" + std::to_string(scene->bodies().size()));
    }
    scene->judge = judge;
    scene->description = "a toolkit scene file";
    return scene;
}

} // namespace ksim
