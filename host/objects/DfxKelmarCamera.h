// A camera of a scene as the host's scripts see it: the name of a camera
// the scene file defines, bound to that kelmar::KelmarCamera whenever the
// scene is loaded. Built only with the graphics library.
#ifndef KELMAR_HOST_DFXKELMARCAMERA_H
#define KELMAR_HOST_DFXKELMARCAMERA_H

#include "objects/DfxObject.h"

namespace kelmar {

class KelmarCamera;

class DfxKelmarCamera : public DfxObject {
public:
    DfxKelmarCamera(const char *name, const char *sceneName, DfxUnit *unit) : DfxObject(name, sceneName, unit) {}
    ~DfxKelmarCamera() override;
    bool NewScene(DfxScene *scene) override;
    KelmarCamera *GetCamera() const { return camera_; }
    // The camera; raises "badobj:camera" while unresolved.
    KelmarCamera *Require() const;

private:
    KelmarCamera *camera_ = nullptr;
};

} // namespace kelmar

#endif
