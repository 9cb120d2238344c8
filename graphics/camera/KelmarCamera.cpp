// Scene cameras: pose, attachment, drawing and status.
#include <kelmar/KelmarCamera.h>

#include <cmath>

#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>
#include <kelmar/Universe.h>

namespace kelmar {

const double KelmarCamera::kConeLength = 5;

namespace {
const float kCameraColor[4] = {0.9f, 0.8f, 0.2f, 1};
const double kDegree = M_PI / 180;
} // namespace

KelmarCamera::KelmarCamera(Scene *owner, int width, int height) : VirtualCamera(width, height)
{
    scene = owner;
    PxM4Identity(relative_);
    PxM4Identity(current_);
}

bool KelmarCamera::AttachTo(const char *solidName)
{
    attached_.clear();
    if (!solidName || !*solidName || !scene || !scene->LookupSolid(solidName, false)) return false;
    attached_ = solidName;
    return true;
}

Solid *KelmarCamera::GetAttachedSolid() const
{
    return attached_.empty() || !scene ? nullptr : scene->LookupSolid(attached_.c_str(), false);
}

void KelmarCamera::SetRelTM(const double tm[4][4])
{
    PxM4Copy(relative_, tm);
}

// Points go through the relative pose first, then the solid's:
// p_world = (p_camera R) S.
const double (*KelmarCamera::GetCurrentTM() const)[4]
{
    const Solid *solid = GetAttachedSolid();
    if (solid && solid->GetTM())
        CompoundTM(current_, solid->GetTM(), relative_);
    else
        PxM4Copy(current_, relative_);
    return current_;
}

bool KelmarCamera::GetImage1(std::vector<unsigned char> &rgb, int x, int y, int w, int h)
{
    return VirtualCamera::GetImage1(GetCurrentTM(), rgb, x, y, w, h);
}

bool KelmarCamera::GetImage3(std::vector<unsigned char> &r, std::vector<unsigned char> &g,
                             std::vector<unsigned char> &b, int x, int y, int w, int h)
{
    return VirtualCamera::GetImage3(GetCurrentTM(), r, g, b, x, y, w, h);
}

Universe *KelmarCamera::GetDrawable() const
{
    Universe *own = VirtualCamera::GetDrawable();
    return own ? own : GetUniverse();
}

void KelmarCamera::draw(unsigned int flags) const
{
    if (!IsVisible() || IsRenderingForImage() || (flags & kDrawTranslucentPass)) return;
    DrawCameraCone(GetCurrentTM(), GetViewAngle(), kCameraColor);
}

const float *KelmarCamera::GetBounds() const
{
    static float bounds[6];
    const double(*tm)[4] = GetCurrentTM();
    for (int axis = 0; axis < 3; ++axis) {
        bounds[2 * axis] = static_cast<float>(tm[3][axis] - kConeLength);
        bounds[2 * axis + 1] = static_cast<float>(tm[3][axis] + kConeLength);
    }
    return bounds;
}

void DrawCameraCone(const double pose[4][4], float viewAngleDegrees, const float rgba[4])
{
    // The cone's axis is its frame's x: the camera's line of sight (row 2).
    double frame[4][4];
    PxM4Identity(frame);
    PxV3Copy(frame[0], pose[2]);
    PxV3Copy(frame[1], pose[0]);
    PxV3Cross(frame[2], frame[0], frame[1]);
    PxV3Copy(frame[3], pose[3]);
    const double length = KelmarCamera::kConeLength;
    DrawCone(frame, length * std::sin(viewAngleDegrees * kDegree / 2), length, rgba);
}

} // namespace kelmar
