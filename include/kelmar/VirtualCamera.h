// The rendering core of the simulated cameras: renders a universe from a
// pose into an off-screen OpenGL context of its own (surfaceless EGL: no
// display server) and hands out the picture as interleaved RGB or as three
// colour planes. Rows come bottom-up, as OpenGL holds them. Where no
// context can be had, the image calls fail with a message (GetError, and
// once on standard error) and leave the caller's buffers as they were.
#ifndef KELMAR_VIRTUALCAMERA_H
#define KELMAR_VIRTUALCAMERA_H

#include <memory>
#include <string>
#include <vector>

namespace kelmar {

class OffscreenContext;
class Universe;

class VirtualCamera {
public:
    // Picture size in pixels; the drawable is what is painted (null: none yet).
    VirtualCamera(int width, int height, Universe *drawable = nullptr);
    virtual ~VirtualCamera();
    VirtualCamera(const VirtualCamera &) = delete;
    VirtualCamera &operator=(const VirtualCamera &) = delete;

    // Paints the drawable from the pose last given to RenderForImage.
    bool Render();
    // Renders from pose (see CameraMath.h for the axes) with the
    // rendering-for-image flag set, so that a camera never paints itself.
    bool RenderForImage(const double pose[4][4]);
    // Renders from pose and reads the window (x, y) of w x h pixels (w or h
    // negative: to the picture's edge) into rgb, resized to w x h x 3; a
    // window of no pixels leaves rgb untouched.
    bool GetImage1(const double pose[4][4], std::vector<unsigned char> &rgb, int x = 0, int y = 0, int w = -1,
                   int h = -1);
    // The same pixels split into planes of w x h bytes each.
    bool GetImage3(const double pose[4][4], std::vector<unsigned char> &r, std::vector<unsigned char> &g,
                   std::vector<unsigned char> &b, int x = 0, int y = 0, int w = -1, int h = -1);

    void GetSize(int *width, int *height) const;
    bool SetSize(int width, int height);
    // Degrees, vertical; kept within the limits.
    float GetViewAngle() const { return viewAngle_; }
    void SetViewAngle(float degrees);
    void GetViewAngleLimits(float *lower, float *upper) const;
    // Limits are sorted and kept within (0, 180) degrees; the angle follows.
    void SetViewAngleLimits(float lower, float upper);
    // A zoom lens: 0 the upper view-angle limit, 1 the lower one, linear
    // in between (clamped to [0, 1]).
    void SetZoom(float zoom);
    float GetZoom() const;
    void GetBackground(float rgb[3]) const;
    void SetBackground(const float rgb[3]);
    bool IsVisible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    bool IsRenderingForImage() const { return renderingForImage_; }
    virtual Universe *GetDrawable() const { return drawable_; }
    void SetDrawable(Universe *drawable) { drawable_ = drawable; }
    // Why the last call failed ("" when it did not).
    const std::string &GetError() const { return error_; }
    // The context, made on first use (null when none can be had).
    OffscreenContext *GetContext();

    static const double kNearPlane; // cm
    static const double kFarPlane;  // cm

protected:
    bool Fail(const std::string &message);
    // Render without releasing the context (the pixels are still to be read).
    bool Paint();
    bool ReadPixels(int x, int y, int w, int h, std::vector<unsigned char> &rgb);
    bool CheckWindow(int x, int y, int &w, int &h);

private:
    int width_, height_;
    float viewAngle_ = 30, lowerLimit_ = 2, upperLimit_ = 60; // degrees
    float background_[3] = {0, 0, 0};
    bool renderingForImage_ = false;
    bool visible_ = true;
    double pose_[4][4];
    Universe *drawable_;
    std::unique_ptr<OffscreenContext> context_;
    std::string error_, reported_;
    std::vector<unsigned char> scratch_; // RGBA read back
};

} // namespace kelmar

#endif
