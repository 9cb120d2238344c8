// The cameras of the script interface: references to a scene's cameras
// and camera heads, and cameras of a script's own, with their entries.
// They draw with the graphics library, which the module itself does not
// load; a host that has it (the Python package) adds them to the entries.
#ifndef KELMAR_HOST_CAMERAS_H
#define KELMAR_HOST_CAMERAS_H

#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

EntryList CameraEntries();
EntryList CamHeadEntries();
// Makes the camera and camera-head entries callable through kelmar_invoke.
void AddCameraEntries();

} // namespace script
} // namespace kelmar

#endif
