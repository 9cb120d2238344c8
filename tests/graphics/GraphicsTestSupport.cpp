#include "GraphicsTestSupport.h"

#include <cstdlib>
#include <unistd.h>

#include <gtest/gtest.h>

namespace graphicstest {

void LookDownZ(double pose[4][4], const double *position)
{
    const double rows[4][4] = {
        {-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, -1, 0}, {position[0], position[1], position[2], 1}};
    for (int i = 0; i < 16; ++i) pose[i / 4][i % 4] = rows[i / 4][i % 4];
}

bool Picture::IsBackground(int column, int row) const
{
    const unsigned char *p = At(column, row);
    return p[0] == 0 && p[1] == 0 && p[2] == 0;
}

bool Picture::Bounds(int box[4]) const
{
    bool any = false;
    for (int j = 0; j < height; ++j)
        for (int i = 0; i < width; ++i) {
            if (IsBackground(i, j)) continue;
            if (!any) box[0] = box[1] = i, box[2] = box[3] = j;
            box[0] = std::min(box[0], i), box[1] = std::max(box[1], i);
            box[2] = std::min(box[2], j), box[3] = std::max(box[3], j);
            any = true;
        }
    return any;
}

bool Picture::Centre(double centre[2]) const
{
    int box[4];
    if (!Bounds(box)) return false;
    centre[0] = (box[0] + box[1] + 1) / 2.0;
    centre[1] = (box[2] + box[3] + 1) / 2.0;
    return true;
}

int Picture::Count(int r, int g, int b, int tolerance) const
{
    int n = 0;
    for (size_t i = 0; i < rgb.size(); i += 3)
        n += std::abs(rgb[i] - r) <= tolerance && std::abs(rgb[i + 1] - g) <= tolerance &&
             std::abs(rgb[i + 2] - b) <= tolerance;
    return n;
}

Picture Take(kelmar::KelmarCamera &camera)
{
    Picture picture;
    camera.GetSize(&picture.width, &picture.height);
    EXPECT_TRUE(camera.GetImage1(picture.rgb)) << camera.GetError();
    return picture;
}

Picture Take(kelmar::VirtualCamera &camera, const double pose[4][4])
{
    Picture picture;
    camera.GetSize(&picture.width, &picture.height);
    EXPECT_TRUE(camera.GetImage1(pose, picture.rgb)) << camera.GetError();
    return picture;
}

namespace {

// A fixed solid made by add (a pose in, the solid out) at position, coloured.
template <class Add> kelmar::Solid *Fixed(const double *position, const float rgba[4], Add add)
{
    kelmar::SolidSpec desc;
    double pose[4][4];
    PxM4Identity(pose);
    PxV3Copy(pose[3], position);
    desc.fixed = true;
    desc.pose = pose;
    kelmar::Solid *solid = add(desc);
    solid->GetGraphics()->SetColor(rgba);
    return solid;
}

} // namespace

kelmar::Solid *World::Sphere(double radius, const double *position, const float rgba[4])
{
    return Fixed(position, rgba, [&](const kelmar::SolidSpec &d) { return kelmar::AddSphere(&scene, radius, d); });
}

kelmar::Solid *World::Box(double dx, double dy, double dz, const double *position, const float rgba[4])
{
    return Fixed(position, rgba, [&](const kelmar::SolidSpec &d) { return kelmar::AddBox(&scene, dx, dy, dz, d); });
}

kelmar::KelmarCamera *World::Camera(const char *name, int width, int height, const double pose[4][4])
{
    auto *camera = new kelmar::KelmarCamera(&scene, width, height);
    EXPECT_EQ(scene.InsertObject(name, camera), nullptr);
    camera->SetRelTM(pose);
    return camera;
}

Picture World::Look(const double *eye, int width, int height, float viewAngle)
{
    kelmar::VirtualCamera camera(width, height, &universe);
    camera.SetViewAngle(viewAngle);
    double pose[4][4];
    LookDownZ(pose, eye);
    return Take(camera, pose);
}

std::string TempPath(const char *name)
{
    return "/tmp/kelmar_graphics_" + std::to_string(getpid()) + "_" + name;
}

} // namespace graphicstest
