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
std::unique_ptr<Scene> loadSceneFile(const std::string &path, std::string *error, int *warnings = nullptr);

} // namespace ksim

#endif
