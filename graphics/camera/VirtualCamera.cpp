// Rendering a camera picture: clear, set up the pinhole camera and one
// light, paint the opaque then the translucent pass, read the pixels back.
#include <kelmar/VirtualCamera.h>

#include <algorithm>
#include <cstdio>

#include <GL/gl.h>

#include <kelmar/CameraMath.h>
#include <kelmar/GLBackend.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/PxVector.h>
#include <kelmar/Universe.h>

namespace kelmar {

const double VirtualCamera::kNearPlane = 1;
const double VirtualCamera::kFarPlane = 1000;

VirtualCamera::VirtualCamera(int width, int height, Universe *drawable)
    : width_(width), height_(height), drawable_(drawable)
{
    PxM4Identity(pose_);
}

VirtualCamera::~VirtualCamera() = default;

bool VirtualCamera::Fail(const std::string &message)
{
    error_ = message;
    if (message != reported_) std::fprintf(stderr, "Camera: %s\n", message.c_str());
    reported_ = message;
    return false;
}

OffscreenContext *VirtualCamera::GetContext()
{
    if (!context_) {
        std::string why;
        context_ = OffscreenContext::Create(width_, height_, &why);
        if (!context_) Fail(why);
    }
    return context_.get();
}

void VirtualCamera::GetSize(int *width, int *height) const
{
    *width = width_;
    *height = height_;
}

bool VirtualCamera::SetSize(int width, int height)
{
    // Without any context the size is kept: rendering will say why it fails.
    std::string why;
    int maxWidth, maxHeight;
    const bool haveDisplay = OffscreenContext::MaxSize(&maxWidth, &maxHeight, nullptr);
    if (width < 1 || height < 1 || haveDisplay)
        if (context_ ? !context_->Resize(width, height, &why) : !OffscreenContext::CheckSize(width, height, &why))
            return Fail(why);
    width_ = width;
    height_ = height;
    return true;
}

void VirtualCamera::SetViewAngle(float degrees)
{
    viewAngle_ = std::min(std::max(degrees, lowerLimit_), upperLimit_);
}

void VirtualCamera::GetViewAngleLimits(float *lower, float *upper) const
{
    *lower = lowerLimit_;
    *upper = upperLimit_;
}

void VirtualCamera::SetViewAngleLimits(float lower, float upper)
{
    const float smallest = 0.01f, largest = 179.0f; // degrees
    lowerLimit_ = std::min(std::max(std::min(lower, upper), smallest), largest);
    upperLimit_ = std::min(std::max(std::max(lower, upper), smallest), largest);
    SetViewAngle(viewAngle_);
}

void VirtualCamera::SetZoom(float zoom)
{
    viewAngle_ = upperLimit_ - std::min(std::max(zoom, 0.0f), 1.0f) * (upperLimit_ - lowerLimit_);
}

float VirtualCamera::GetZoom() const
{
    return upperLimit_ > lowerLimit_ ? (upperLimit_ - viewAngle_) / (upperLimit_ - lowerLimit_) : 0.0f;
}

void VirtualCamera::GetBackground(float rgb[3]) const
{
    std::copy(background_, background_ + 3, rgb);
}

void VirtualCamera::SetBackground(const float rgb[3])
{
    for (int i = 0; i < 3; ++i) background_[i] = std::min(std::max(rgb[i], 0.0f), 1.0f);
}

// The context is current only while the camera paints and reads: a
// viewer's GLX context cannot be made current while it is.
bool VirtualCamera::Render()
{
    const bool ok = Paint();
    if (context_) context_->Release();
    return ok;
}

// One white light at the eye (directional along the view), ambient white
// as well, so that an object's ambient colour shows in full.
bool VirtualCamera::Paint()
{
    OffscreenContext *context = GetContext();
    if (!context) return false;
    if (!context->MakeCurrent()) return Fail("the camera's OpenGL context cannot be made current");
    GLBackend::Install();
    glViewport(0, 0, width_, height_);
    glScissor(0, 0, width_, height_);
    glEnable(GL_SCISSOR_TEST);
    glClearColor(background_[0], background_[1], background_[2], 1);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    double projection[16], view[16];
    CameraProjectionMatrix(viewAngle_, static_cast<double>(width_) / height_, kNearPlane, kFarPlane, projection);
    CameraViewMatrix(pose_, view);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixd(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const float white[4] = {1, 1, 1, 1}, towardsViewer[4] = {0, 0, 1, 0};
    glLightfv(GL_LIGHT0, GL_AMBIENT, white);
    glLightfv(GL_LIGHT0, GL_POSITION, towardsViewer);
    glLoadMatrixd(view);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    if (Universe *drawable = GetDrawable()) {
        drawable->draw(kDrawOpaquePass);
        drawable->draw(kDrawTranslucentPass);
    }
    glDisable(GL_SCISSOR_TEST);
    error_.clear();
    return true;
}

bool VirtualCamera::RenderForImage(const double pose[4][4])
{
    PxM4Copy(pose_, pose);
    renderingForImage_ = true;
    const bool ok = Render();
    renderingForImage_ = false;
    return ok;
}

bool VirtualCamera::CheckWindow(int x, int y, int &w, int &h)
{
    if (w < 0) w = width_ - x;
    if (h < 0) h = height_ - y;
    if (x >= 0 && y >= 0 && w >= 0 && h >= 0 && x + w <= width_ && y + h <= height_) return true;
    return Fail("image window " + std::to_string(w) + " x " + std::to_string(h) + " at (" + std::to_string(x) + ", " +
                std::to_string(y) + ") is outside the picture of " + std::to_string(width_) + " x " +
                std::to_string(height_));
}

// What was drawn is read from the surface drawn to (a pbuffer's only
// buffer), packed without row padding. Mesa reads four bytes a pixel
// faster than three, so the pixels come as RGBA and are packed here.
bool VirtualCamera::ReadPixels(int x, int y, int w, int h, std::vector<unsigned char> &rgb)
{
    while (glGetError() != GL_NO_ERROR) {}
    const size_t pixels = static_cast<size_t>(w) * h;
    scratch_.resize(pixels * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, scratch_.data());
    const GLenum code = glGetError();
    if (code != GL_NO_ERROR) return Fail("reading the picture back failed with OpenGL error " + std::to_string(code));
    rgb.resize(pixels * 3);
    const unsigned char *from = scratch_.data();
    unsigned char *to = rgb.data();
    for (size_t i = 0; i < pixels; ++i, from += 4, to += 3) to[0] = from[0], to[1] = from[1], to[2] = from[2];
    return true;
}

bool VirtualCamera::GetImage1(const double pose[4][4], std::vector<unsigned char> &rgb, int x, int y, int w, int h)
{
    if (!CheckWindow(x, y, w, h)) return false;
    if (w == 0 || h == 0) return true;
    PxM4Copy(pose_, pose);
    renderingForImage_ = true;
    const bool ok = Paint() && ReadPixels(x, y, w, h, rgb);
    renderingForImage_ = false;
    if (context_) context_->Release();
    return ok;
}

bool VirtualCamera::GetImage3(const double pose[4][4], std::vector<unsigned char> &r, std::vector<unsigned char> &g,
                              std::vector<unsigned char> &b, int x, int y, int w, int h)
{
    std::vector<unsigned char> rgb;
    if (!GetImage1(pose, rgb, x, y, w, h)) return false;
    if (rgb.empty()) return true;
    const size_t n = rgb.size() / 3;
    r.resize(n);
    g.resize(n);
    b.resize(n);
    for (size_t i = 0; i < n; ++i) {
        r[i] = rgb[3 * i];
        g[i] = rgb[3 * i + 1];
        b[i] = rgb[3 * i + 2];
    }
    return true;
}

} // namespace kelmar
