// Toolkit scene files as scenes: the whole file is loaded into a fresh
// universe; every body it makes is reported under its ID in the file.
#ifndef KELMAR_TOOLS_SIMSCENEFILE_H
#define KELMAR_TOOLS_SIMSCENEFILE_H

#include <memory>
#include <string>

#include "SimScene.h"

namespace ksim {

// The scene of the file at path, or null with *error saying why. With
// warnings, when given, receives the number of warnings of the load.
// A robot-layer scene file (kelmar-run's) is refused as such.
std::unique_ptr<Scene> loadSceneFile(const std::string &path, std::string *error, int *warnings = nullptr);

// The two runners read files of one extension and root element: the
// toolkit's (<CORE> and its worlds, kelmar-sim --file) and the robot
// layer's (<SOLID>, <GEOMETRIES>, kelmar-run). Which one the file at path
// is, going by those elements; unknown when it has neither or cannot be read.
enum class SceneFileKind { Unknown, Toolkit, RobotLayer };
SceneFileKind sceneFileKind(const std::string &path);

} // namespace ksim

#endif
