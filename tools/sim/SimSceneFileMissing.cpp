// Built when the toolkit's scene file reader is not part of the build.
#include "SimSceneFile.h"

namespace ksim {

std::unique_ptr<Scene> loadSceneFile(const std::string &path, std::string *error)
{
    *error = "cannot read '" + path + "': this kelmar-sim was built without the scene file reader (Kelmar::Pxf)";
    return nullptr;
}

} // namespace ksim
