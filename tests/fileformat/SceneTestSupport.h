// Shared pieces of the scene-file tests: the collision library with every
// geometry type, universes, files in a temporary folder, and the messages a
// load reports.
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

// A fresh folder under the test temporary directory.
std::string makeTempDir();
void writeFile(const std::string &path, const std::string &text);

// Saves what the context names into a file with save (SbxSave, RbdSave);
// returns the file's text, "" when the save failed.
std::string saveText(PxSaveContext *context, const std::string &path, int (*save)(PxSaveContext *, PxStream *));

// Collects the load's messages while alive: the PxInfo texts, the error
// handler's messages with their positions ("line L, pos C: message") and
// fatal errors (which then return instead of ending the process).
class Messages {
public:
    Messages();
    ~Messages();
    Messages(const Messages &) = delete;
    Messages &operator=(const Messages &) = delete;
    static bool has(const std::vector<std::string> &texts, const std::string &part);
    bool infoHas(const std::string &text) const { return has(info, text); }
    bool positionedHas(const std::string &text) const { return has(positioned, text); }
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
