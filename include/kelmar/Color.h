// Named colours from a built-in table of the usual X11 colour names (no X
// server needed), and the hue conversion of generated colours.
#ifndef KELMAR_COLOR_H
#define KELMAR_COLOR_H

namespace kelmar {

// Case and blanks are ignored ("Dark Green" = "darkgreen"); "default" is
// the graphics default colour. Fills rgba (alpha 1) and returns true when known.
bool FindColor(const char *name, float rgba[4]);
// h in degrees, s and v in 0..1.
void HSV2RGB(float h, float s, float v, float rgb[3]);
// Makes the XML reader's colour parser use FindColor.
void InstallColorLookup();

} // namespace kelmar

#endif
