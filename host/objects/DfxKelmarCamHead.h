// A stereo camera head of a scene as the host's scripts see it: the name
// of a head the scene file defines, bound to that kelmar::KelmarCamHead
// whenever the scene is loaded. Built only with the graphics library.
#ifndef KELMAR_HOST_DFXKELMARCAMHEAD_H
#define KELMAR_HOST_DFXKELMARCAMHEAD_H

#include "objects/DfxObject.h"

namespace kelmar {

class KelmarCamHead;

class DfxKelmarCamHead : public DfxObject {
public:
    DfxKelmarCamHead(const char *name, const char *sceneName, DfxUnit *unit) : DfxObject(name, sceneName, unit) {}
    ~DfxKelmarCamHead() override;
    bool NewScene(DfxScene *scene) override;
    KelmarCamHead *GetHead() const { return head_; }
    // The head; raises "badobj:camhead" while unresolved.
    KelmarCamHead *Require() const;

private:
    KelmarCamHead *head_ = nullptr;
};

} // namespace kelmar

#endif
