// Pictures rendered by the cameras and measured: poses looking along an
// axis, pixel access, outlines and colour counts. Lengths in cm.
#ifndef KELMAR_TESTS_GRAPHICS_SUPPORT_H
#define KELMAR_TESTS_GRAPHICS_SUPPORT_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include <kelmar/KelmarCamera.h>
#include <kelmar/PxVector.h>
#include <kelmar/VirtualCamera.h>
#include <kelmar/kelmar.h>

namespace graphicstest {

const float kWhite[4] = {1, 1, 1, 1};

// A camera at position looking along world -z with y up (so world +x is
// to the image's right).
inline void LookDownZ(double pose[4][4], const double *position)
{
    PxM4Identity(pose);
    pose[0][0] = pose[2][2] = -1;
    PxV3Copy(pose[3], position);
}

struct Picture {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb; // rows bottom-up
    const unsigned char *At(int column, int row) const { return &rgb[3 * (row * width + column)]; }
    bool IsBackground(int c, int r) const { return !(At(c, r)[0] | At(c, r)[1] | At(c, r)[2]); }
    // The bounding box of lit pixels {min column, max column, min row, max row}; false when empty.
    bool Bounds(int box[4]) const
    {
        box[0] = box[2] = 1 << 30, box[1] = box[3] = -1;
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                if (!IsBackground(i, j))
                    box[0] = std::min(box[0], i), box[1] = std::max(box[1], i), box[2] = std::min(box[2], j),
                    box[3] = std::max(box[3], j);
        return box[1] >= 0;
    }
    // The middle of that box, from its outer pixel edges: column, then row; false when empty.
    bool Centre(double centre[2]) const
    {
        int box[4];
        const bool any = Bounds(box);
        centre[0] = (box[0] + box[1] + 1) / 2.0, centre[1] = (box[2] + box[3] + 1) / 2.0;
        return any;
    }
    // Pixels within tolerance of a colour.
    int Count(int r, int g, int b, int tolerance = 0) const
    {
        int n = 0;
        for (size_t i = 0; i < rgb.size(); i += 3)
            n += std::abs(rgb[i] - r) <= tolerance && std::abs(rgb[i + 1] - g) <= tolerance &&
                 std::abs(rgb[i + 2] - b) <= tolerance;
        return n;
    }
};

// A picture from a scene camera, or from a virtual camera at a pose.
template <class Camera, class... Pose> Picture Take(Camera &camera, const Pose &...pose)
{
    Picture picture;
    camera.GetSize(&picture.width, &picture.height);
    EXPECT_TRUE(camera.GetImage1(pose..., picture.rgb)) << camera.GetError();
    return picture;
}

// A universe with one scene, for the cameras to look at.
struct World {
    kelmar::Universe universe;
    kelmar::Scene scene;
    World() { universe.AddScene(&scene); }
    ~World() { universe.DelScene(&scene); }
    // Fixed solids at position, coloured.
    static kelmar::Solid *Placed(kelmar::Solid *solid, const double *position, const float rgba[4])
    {
        solid->SetPosition(position);
        solid->GetGraphics()->SetColor(rgba);
        return solid;
    }
    kelmar::Solid *Sphere(double radius, const double *position, const float rgba[4] = kWhite)
    {
        return Placed(kelmar::AddSphere(&scene, radius, fixed), position, rgba);
    }
    kelmar::Solid *Box(double dx, double dy, double dz, const double *position, const float rgba[4] = kWhite)
    {
        return Placed(kelmar::AddBox(&scene, dx, dy, dz, fixed), position, rgba);
    }
    const kelmar::SolidSpec fixed{"", 0, -1, 0, nullptr, true};
    // A scene camera at pose (relative to the solid it is attached to, if any).
    kelmar::KelmarCamera *Camera(const char *name, int width, int height, const double pose[4][4])
    {
        auto *camera = new kelmar::KelmarCamera(&scene, width, height);
        EXPECT_EQ(scene.InsertObject(name, camera), nullptr);
        camera->SetRelTM(pose);
        return camera;
    }
    // A picture from eye looking down -z (view angle in degrees).
    Picture Look(const double *eye, int width, int height, float viewAngle = 30)
    {
        kelmar::VirtualCamera camera(width, height, &universe);
        camera.SetViewAngle(viewAngle);
        double pose[4][4];
        LookDownZ(pose, eye);
        return Take(camera, pose);
    }
};

} // namespace graphicstest

#endif
