// Switches the robot layer's drawing and scene files over to the graphics
// library: the OpenGL backend draws, and the scene reader reads CAMERA and
// CAMHEAD elements into cameras. Call once, before scenes are loaded.
#ifndef KELMAR_GRAPHICSSETUP_H
#define KELMAR_GRAPHICSSETUP_H

namespace kelmar {

void InstallGraphics();

} // namespace kelmar

#endif
