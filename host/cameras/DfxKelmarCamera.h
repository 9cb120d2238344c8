// A camera of a scene as the host's scripts see it: the name of a camera
// the scene file defines, bound to that kelmar::KelmarCamera whenever the
// scene is loaded; or a camera of its own, made in the scene (attached to
// a solid) whenever the scene is loaded and taken out again before the
// scene is rebuilt or goes.
#ifndef KELMAR_HOST_DFXKELMARCAMERA_H
#define KELMAR_HOST_DFXKELMARCAMERA_H

#include <string>

#include "objects/DfxObject.h"

namespace kelmar {

class KelmarCamera;

class DfxKelmarCamera : public DfxObject {
public:
    DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit) : DfxObject(name, sceneName, unit) {}
    // A camera of width x height pixels at pose (cm) relative to the solid.
    DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit, const char *solid, int width, int height,
                    const double pose[4][4]);
    ~DfxKelmarCamera() override;
    bool NewScene(DfxScene *scene) override;
    KelmarCamera *GetCamera() const { return camera_; }
    // The camera; raises "badobj:camera" while unresolved.
    KelmarCamera *Require() const;

private:
    bool Make(DfxScene *scene);
    void Unmake();

    KelmarCamera *camera_ = nullptr;
    bool makes_ = false;
    std::string solid_;
    int width_ = 0, height_ = 0;
    double pose_[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

} // namespace kelmar

#endif
