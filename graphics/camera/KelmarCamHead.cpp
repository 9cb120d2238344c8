// The stereo head's joints, lenses, pictures and drawing.
#include <kelmar/KelmarCamHead.h>

#include <algorithm>
#include <cmath>

#include <kelmar/Graphics.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/PxVector.h>
#include <kelmar/Transform.h>

namespace kelmar {

namespace {
const double kDegree = M_PI / 180; // rad
const float kEyeColor[4] = {0.3f, 0.6f, 0.9f, 1};
const float kBaselineColor[4] = {0.9f, 0.9f, 0.9f, 1};
} // namespace

KelmarCamHead::KelmarCamHead(Scene *owner) : VirtualCamera(786, 576)
{
    scene = owner;
    const double park[4] = {0, 85 * kDegree, 0, 0};
    std::copy(park, park + 4, park_);
    PxM4Identity(head_);
    GetSize(&windowW_, &windowH_);
    SetViewAngleLimits(narrowest_, widest_);
}

void KelmarCamHead::SetJoints(const float degrees[4], bool)
{
    for (int i = 0; i < kNumJoints; ++i) joints_[i] = degrees[i] * kDegree;
}

bool KelmarCamHead::SetJoint(int index, float degrees, bool)
{
    if (index < 0 || index >= kNumJoints) return false;
    joints_[index] = degrees * kDegree;
    return true;
}

void KelmarCamHead::GetJoints(float degrees[4]) const
{
    for (int i = 0; i < kNumJoints; ++i) degrees[i] = static_cast<float>(joints_[i] / kDegree);
}

float KelmarCamHead::GetJoint(int index) const
{
    return index >= 0 && index < kNumJoints ? static_cast<float>(joints_[index] / kDegree) : 0;
}

void KelmarCamHead::Home()
{
    std::copy(home_, home_ + 4, joints_);
}

void KelmarCamHead::Park()
{
    std::copy(park_, park_ + 4, joints_);
}

void KelmarCamHead::SetHomeJoints(const float degrees[4])
{
    for (int i = 0; i < kNumJoints; ++i) home_[i] = degrees[i] * kDegree;
}

void KelmarCamHead::SetParkJoints(const float degrees[4])
{
    for (int i = 0; i < kNumJoints; ++i) park_[i] = degrees[i] * kDegree;
}

void KelmarCamHead::SetLens(float leftZoom, float, float rightZoom, float, bool)
{
    const float l = std::min(std::max(leftZoom, 0.0f), 1.0f), r = std::min(std::max(rightZoom, 0.0f), 1.0f);
    leftAngle_ = widest_ - l * (widest_ - narrowest_);
    rightAngle_ = widest_ - r * (widest_ - narrowest_);
}

void KelmarCamHead::SetViewAngles(float left, float right)
{
    leftAngle_ = std::min(std::max(left, narrowest_), widest_);
    rightAngle_ = std::min(std::max(right, narrowest_), widest_);
}

void KelmarCamHead::SetLensRange(float narrowest, float widest)
{
    narrowest_ = std::min(narrowest, widest);
    widest_ = std::max(narrowest, widest);
    SetViewAngleLimits(narrowest_, widest_);
    SetViewAngles(leftAngle_, rightAngle_);
}

void KelmarCamHead::SetBaseline(double cm)
{
    if (cm > 0) baseline_ = cm;
}

void KelmarCamHead::SetHeadTM(const double tm[4][4])
{
    PxM4Copy(head_, tm);
}

void KelmarCamHead::GetLeftTM(double out[4][4]) const
{
    double eye[4][4];
    GetEyeTM(eye, -joints_[kLeftVergence], baseline_ / 2);
    CompoundTM(out, head_, eye);
}

void KelmarCamHead::GetRightTM(double out[4][4]) const
{
    double eye[4][4];
    GetEyeTM(eye, joints_[kRightVergence], -baseline_ / 2);
    CompoundTM(out, head_, eye);
}

bool KelmarCamHead::InitImgSrv(int xSize, int ySize, int xOffset, int yOffset, float, float, int, int)
{
    int width, height;
    GetSize(&width, &height);
    if (xOffset == -2) {
        xOffset = (width - xSize) / 2;
        yOffset = (height - ySize) / 2;
    }
    if (xSize < 1 || ySize < 1 || xOffset < 0 || yOffset < 0 || xOffset + xSize > width || yOffset + ySize > height)
        return Fail("image server window " + std::to_string(xSize) + " x " + std::to_string(ySize) + " at (" +
                    std::to_string(xOffset) + ", " + std::to_string(yOffset) + ") is outside the picture of " +
                    std::to_string(width) + " x " + std::to_string(height));
    windowX_ = xOffset, windowY_ = yOffset, windowW_ = xSize, windowH_ = ySize;
    return true;
}

void KelmarCamHead::GetWindow(int *x, int *y, int *w, int *h) const
{
    *x = windowX_, *y = windowY_, *w = windowW_, *h = windowH_;
}

bool KelmarCamHead::SetImageSize(int width, int height)
{
    if (!SetSize(width, height)) return false;
    windowX_ = windowY_ = 0, windowW_ = width, windowH_ = height;
    return true;
}

bool KelmarCamHead::EyeImage(const double pose[4][4], float viewAngle, std::vector<unsigned char> &rgb)
{
    SetViewAngle(viewAngle);
    return GetImage1(pose, rgb, windowX_, windowY_, windowW_, windowH_);
}

bool KelmarCamHead::GetLeftImg(std::vector<unsigned char> &rgb)
{
    double pose[4][4];
    GetLeftTM(pose);
    return EyeImage(pose, leftAngle_, rgb);
}

bool KelmarCamHead::GetRightImg(std::vector<unsigned char> &rgb)
{
    double pose[4][4];
    GetRightTM(pose);
    return EyeImage(pose, rightAngle_, rgb);
}

bool KelmarCamHead::GetStereoImg(std::vector<unsigned char> &left, std::vector<unsigned char> &right)
{
    return GetLeftImg(left) && GetRightImg(right);
}

Universe *KelmarCamHead::GetDrawable() const
{
    Universe *own = VirtualCamera::GetDrawable();
    return own ? own : GetUniverse();
}

// Two cones for the eyes and the baseline between them.
void KelmarCamHead::draw(unsigned int flags) const
{
    if (!IsVisible() || IsRenderingForImage() || (flags & kDrawTranslucentPass)) return;
    double left[4][4], right[4][4];
    GetLeftTM(left);
    GetRightTM(right);
    DrawCameraCone(left, leftAngle_, kEyeColor);
    DrawCameraCone(right, rightAngle_, kEyeColor);
    DrawLine(left[3], right[3], kBaselineColor);
}

const float *KelmarCamHead::GetBounds() const
{
    static float bounds[6];
    const double reach = baseline_ / 2 + KelmarCamera::kConeLength;
    for (int axis = 0; axis < 3; ++axis) {
        bounds[2 * axis] = static_cast<float>(head_[3][axis] - reach);
        bounds[2 * axis + 1] = static_cast<float>(head_[3][axis] + reach);
    }
    return bounds;
}

} // namespace kelmar
