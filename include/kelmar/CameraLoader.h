// The CAMERA and CAMHEAD elements of scene files: they make a KelmarCamera
// or a KelmarCamHead in the scene being read.
//
// CAMERA (default ID "CAM_n"): ID, RELTO (a solid to ride on), TM, POS
// (cm, times the scene scale), QUAT (w, x, y, z) or EULER (rad); WIDTH,
// HEIGHT or SIZE (pixels, 320 x 240 by default), VIEWANGLE (degrees),
// VIEWANGLE_LIMITS (lower, upper), BACKGROUND (a colour), VISIBLE.
// Without RELTO the pose is in the scene's placement.
//
// CAMHEAD (default ID "CAMHEAD_n"): ID, TM, POS, QUAT or EULER (the head's
// pose in the scene's placement), JOINTS (pan, tilt, left and right
// vergence, degrees), BASELINE (cm), WIDTH, HEIGHT or SIZE (786 x 576 by
// default), OFFSET (the read-out window's corner, pixels; the window runs
// to the picture's edge), LEFT_VIEWANGLE,
// RIGHT_VIEWANGLE or VIEWANGLES (degrees), BACKGROUND, VISIBLE.
#ifndef KELMAR_CAMERALOADER_H
#define KELMAR_CAMERALOADER_H

#include <kelmar/PxXML.h>

namespace kelmar {

int LoadCameraElement(PxXMLElement *element);
int LoadCamHeadElement(PxXMLElement *element);

} // namespace kelmar

#endif
