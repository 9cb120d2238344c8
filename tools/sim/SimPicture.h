// A picture of a scene's current state as SVG: a side view (x to the
// right, z up, seen from -y) and a top view (x to the right, y up, seen
// from above) side by side, both to the same scale, with a scale bar.
// Bodies are blue (pale when asleep), fixed shapes grey, kinematic ones
// orange, sensors dashed green outlines; a plane is a line with its solid
// side shaded, or a tinted panel when it faces the viewer.
#ifndef KELMAR_TOOLS_SIMPICTURE_H
#define KELMAR_TOOLS_SIMPICTURE_H

#include <string>

#include "SimScene.h"

namespace ksim {

struct PictureInfo {
    double pixelsPerMetre = 0.0;
    int width = 0, height = 0; // px
};

std::string pictureSvg(const Scene &scene, PictureInfo *info);
// Writes the picture; false (with errno) when the file cannot be written.
bool writePicture(const Scene &scene, const std::string &path, PictureInfo *info);

} // namespace ksim

#endif
