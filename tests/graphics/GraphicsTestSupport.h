// Pictures rendered by the cameras and measured: poses looking along an
// axis, pixel access, outlines and colour counts. Lengths in cm.
#ifndef KELMAR_TESTS_GRAPHICS_SUPPORT_H
#define KELMAR_TESTS_GRAPHICS_SUPPORT_H

#include <string>
#include <vector>

#include <kelmar/KelmarCamera.h>
#include <kelmar/PxVector.h>
#include <kelmar/VirtualCamera.h>
#include <kelmar/kelmar.h>

namespace graphicstest {

const float kWhite[4] = {1, 1, 1, 1};

// A camera at position looking along world -z with y up (so world +x is
// to the image's right).
void LookDownZ(double pose[4][4], const double *position);

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows bottom-up
    const unsigned char *At(int column, int row) const { return &rgb[3 * (row * width + column)]; }
    bool IsBackground(int column, int row) const;
    // The bounding box of lit pixels {min column, max column, min row, max row}; false when empty.
    bool Bounds(int box[4]) const;
    // The middle of that box, from its outer pixel edges: column, then row; false when empty.
    bool Centre(double centre[2]) const;
    // Pixels within tolerance of a colour.
    int Count(int r, int g, int b, int tolerance = 0) const;
};

Picture Take(kelmar::VirtualCamera &camera, const double pose[4][4]);
Picture Take(kelmar::KelmarCamera &camera);

// A universe with one scene, for the cameras to look at.
struct World {
    kelmar::Universe universe;
    kelmar::Scene scene;
    World() { universe.AddScene(&scene); }
    ~World() { universe.DelScene(&scene); }
    kelmar::Solid *Sphere(double radius, const double *position, const float rgba[4] = kWhite);
    kelmar::Solid *Box(double dx, double dy, double dz, const double *position, const float rgba[4] = kWhite);
    // A scene camera at pose (relative to the solid it is attached to, if any).
    kelmar::KelmarCamera *Camera(const char *name, int width, int height, const double pose[4][4]);
    // A picture from eye looking down -z (view angle in degrees).
    Picture Look(const double *eye, int width, int height, float viewAngle = 30);
};

std::string TempPath(const char *name);

} // namespace graphicstest

#endif
