// A stereo camera head of a scene as the host's scripts see it: the name
// of a head the scene file defines, bound to that kelmar::KelmarCamHead
// whenever the scene is loaded; or a head of its own, made in the scene
// (at the scene's placement, pictures as a file's head has them) whenever
// the scene is loaded and taken out again before it is rebuilt or goes.
#ifndef KELMAR_HOST_DFXKELMARCAMHEAD_H
#define KELMAR_HOST_DFXKELMARCAMHEAD_H

#include "objects/DfxObject.h"

namespace kelmar {

class KelmarCamHead;

class DfxKelmarCamHead : public DfxObject {
public:
    DfxKelmarCamHead(const char *name, const char *sceneName, DfxUnit *unit, bool makes = false)
        : DfxObject(name, sceneName, unit), makes_(makes)
    {
    }
    ~DfxKelmarCamHead() override;
    bool NewScene(DfxScene *scene) override;
    KelmarCamHead *GetHead() const { return head_; }
    // The head; raises "badobj:camhead" while unresolved.
    KelmarCamHead *Require() const;
    static const int kWidth = 786, kHeight = 576; // pixels of a head's pictures

private:
    bool Make(DfxScene *scene);
    void Unmake();

    KelmarCamHead *head_ = nullptr;
    bool makes_;
};

} // namespace kelmar

#endif
