// What the robot-layer runners (kelmar-run, kelmar-view) share about the
// scene they run: its place in the universe and the file it came from.
#ifndef KELMAR_TOOLS_RUNSCENEFILE_H
#define KELMAR_TOOLS_RUNSCENEFILE_H

#include <string>

#include <kelmar/Scene.h>
#include <kelmar/Universe.h>

#include "SimSceneFile.h"

namespace krun {

// Takes a scene out of its universe on every way out of main: the universe,
// destroyed after the scene, would otherwise reach into it.
struct SceneInUniverse {
    kelmar::Universe &universe;
    kelmar::Scene &scene;
    ~SceneInUniverse() { universe.DelScene(&scene); }
};

// Why a scene that loaded nothing cannot run here: its file is the
// toolkit's kind (both share the extension and the root element); empty
// when it is not.
inline std::string toolkitFileProblem(const kelmar::Scene &scene, const std::string &path)
{
    if (scene.ObjectCount() > 0 || ksim::sceneFileKind(path) != ksim::SceneFileKind::Toolkit) return "";
    return "'" + path + "' is a toolkit scene file (CORE): kelmar-sim --file runs those";
}

} // namespace krun

#endif
