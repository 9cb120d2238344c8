// Cameras of a scene in the host: a camera or a stereo camera head the
// scene file names, or one the object makes in the scene it binds to (a
// camera attached to a solid, a head at the scene's origin) and takes out
// again when it unbinds, keeping its pose and joints for the next binding.
#ifndef KELMAR_HOST_DFXCAMERA_H
#define KELMAR_HOST_DFXCAMERA_H

#include <string>

#include "objects/DfxObject.h"

namespace kelmar {

class KelmarCamera;
class KelmarCamHead;

class DfxKelmarCamera : public DfxObject {
public:
    // A camera of the scene file.
    DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit);
    // A camera of width x height pixels made attached to a solid of the scene.
    DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit, const char *solid, int width, int height);
    ~DfxKelmarCamera() override;
    bool NewScene(DfxScene *scene) override;
    KelmarCamera *GetCamera() const { return camera_; }
    // The camera; raises "badobj:camera" while unresolved.
    KelmarCamera *Require() const;

private:
    bool Build(DfxScene *scene);
    void Destroy();
    std::string solid_;
    int width_ = 0, height_ = 0;
    bool makes_ = false, placed_ = false;
    double relative_[4][4];
    float viewAngle_ = 0;
    KelmarCamera *camera_ = nullptr;
};

class DfxKelmarCamHead : public DfxObject {
public:
    // makes: a head made in the scene; otherwise one of the scene file.
    DfxKelmarCamHead(const char *name, const char *sceneName, DfxUnit *unit, bool makes);
    ~DfxKelmarCamHead() override;
    bool NewScene(DfxScene *scene) override;
    KelmarCamHead *GetHead() const { return head_; }
    // The head; raises "badobj:camhead" while unresolved.
    KelmarCamHead *Require() const;

private:
    void Destroy();
    bool makes_;
    bool placed_ = false;
    float joints_[4] = {0, 0, 0, 0}; // degrees
    KelmarCamHead *head_ = nullptr;
};

} // namespace kelmar

#endif
