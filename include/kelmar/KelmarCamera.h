// A camera of a scene: renders the scene's universe from its pose, either
// fixed in the world or attached to a solid (the pose is then relative to
// the solid and follows it). Registered in the scene's object registry and
// deleted with the scene; drawn in views as a small cone along its line of
// sight, and never into its own pictures.
#ifndef KELMAR_KELMARCAMERA_H
#define KELMAR_KELMARCAMERA_H

#include <string>

#include <kelmar/Object.h>
#include <kelmar/VirtualCamera.h>

namespace kelmar {

class Solid;

class KelmarCamera : public Object, public VirtualCamera {
public:
    KelmarCamera(Scene *scene, int width, int height);

    // The solid is looked up by full name whenever the pose is needed, so
    // that a removed solid leaves the camera in the world, not dangling.
    // False (and unattached) when the scene has no such solid.
    bool AttachTo(const char *solidName);
    const char *GetAttachedName() const { return attached_.empty() ? nullptr : attached_.c_str(); }
    Solid *GetAttachedSolid() const;
    // Pose relative to the attached solid, or in the world (cm).
    void SetRelTM(const double tm[4][4]);
    const double (*GetRelTM() const)[4] { return relative_; }
    // The world pose: relative pose compounded with the solid's.
    const double (*GetCurrentTM() const)[4];

    // Pictures from the current pose (see VirtualCamera).
    bool GetImage1(std::vector<unsigned char> &rgb, int x = 0, int y = 0, int w = -1, int h = -1);
    bool GetImage3(std::vector<unsigned char> &r, std::vector<unsigned char> &g, std::vector<unsigned char> &b,
                   int x = 0, int y = 0, int w = -1, int h = -1);
    using VirtualCamera::GetImage1;
    using VirtualCamera::GetImage3;

    Universe *GetDrawable() const override;
    void draw(unsigned int flags) const override;
    const float *GetBounds() const override;
    void saveStatus(PxStream *stream) const override;
    int loadStatus(PxXMLElement *element) override;

    static const double kConeLength; // cm, as drawn in views

private:
    std::string attached_;
    double relative_[4][4];
    mutable double current_[4][4];
};

// The cone a camera is drawn as: apex at the pose, along its line of sight.
void DrawCameraCone(const double pose[4][4], float viewAngleDegrees, const float rgba[4]);

} // namespace kelmar

#endif
