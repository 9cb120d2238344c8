// Shared pieces of the scene-file tests: the collision library with every
// geometry type, universes, a scene with every joint type, files in a
// temporary folder, and the messages a load reports.
#ifndef KELMAR_TESTS_FILEFORMAT_SCENETESTSUPPORT_H
#define KELMAR_TESTS_FILEFORMAT_SCENETESTSUPPORT_H

#include <string>
#include <vector>

#include <kelmar/Cdx.h>
#include <kelmar/PxFile.h>
#include <kelmar/PxMessage.h>
#include <kelmar/Rbd.h>
#include <kelmar/Sbx.h>

namespace scenetest {

// Starts the collision library with primitives, triangle meshes and
// composites (in that order, so that composites pair with meshes) and
// stops it at the end.
class CollisionLibrary {
public:
    CollisionLibrary();
    ~CollisionLibrary();
    CollisionLibrary(const CollisionLibrary &) = delete;
    CollisionLibrary &operator=(const CollisionLibrary &) = delete;
};

SbxUniverseID makeUniverse();

// A scene with every joint type, limits and motors, a plane, boxes, a
// sphere, a composite of two boxes, a closed mesh and three materials.
// It owns the transforms and vertices its models read.
struct Scene {
    SbxUniverseID universe = nullptr;
    PxMatrix4 groundPose;
    PxMatrix4 elementRelative[2];
    PxMatrix4 elementPose[2];
    PxReal meshVertices[8][3];
    std::vector<CdxGeometryID> geometries;
    std::vector<CdxModelID> elements;
    std::vector<CdxModelID> models; // top-level models
    int materials[3];
};
void buildScene(Scene *scene);
// Destroys the scene's models and geometries (not the universe).
void destroyScene(Scene *scene);
// Names the scene's objects the way a user would.
void nameScene(PxSaveContext *context, const Scene &scene);

// A fresh folder under the test temporary directory.
std::string makeTempDir();
std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &text);

// Saves a universe, named as it was loaded, into a file; returns its text.
std::string saveUniverse(SbxUniverseID universe, const std::string &path, PxLoadContext *loaded);

// Collects the load's messages while alive: the PxInfo texts, the error
// handler's messages with their positions ("line L, pos C: message") and
// fatal errors (which then return instead of ending the process).
class Messages {
public:
    Messages();
    ~Messages();
    Messages(const Messages &) = delete;
    Messages &operator=(const Messages &) = delete;
    // Installs the position-keeping handler on a context.
    void watch(PxLoadContext *context);
    bool infoHas(const std::string &text) const;
    bool positionedHas(const std::string &text) const;
    bool fatalHas(const std::string &text) const;
    std::string all() const;
    std::vector<std::string> info;
    std::vector<std::string> positioned;
    std::vector<std::string> fatal;

private:
    PxMessageHandler savedInfo_, savedFatal_, savedWarning_;
};

// A universe that files written by hand into a temporary folder load into,
// with the collision library running and the load's messages collected;
// the loaded objects are destroyed with it.
struct SceneFiles {
    SceneFiles();
    ~SceneFiles();
    SceneFiles(const SceneFiles &) = delete;
    SceneFiles &operator=(const SceneFiles &) = delete;
    // Writes text into the folder under name and loads it; the load's result.
    int load(const std::string &name, const std::string &text);

    CollisionLibrary library;
    Messages messages;
    std::string dir = makeTempDir();
    SbxUniverseID universe = makeUniverse();
    PxLoadContext *context = PxLoadContextCreate();
};

} // namespace scenetest

#endif
