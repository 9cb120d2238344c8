// The camera entries join the script interface.
#include "cameras/Cameras.h"

namespace kelmar {
namespace script {

void AddCameraEntries()
{
    AddEntries(CameraEntries());
    AddEntries(CamHeadEntries());
}

} // namespace script
} // namespace kelmar
