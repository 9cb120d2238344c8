// A universe of the host: a kelmar::Universe with a name and its host
// unit, registered with the administrator from construction to
// destruction. Resets go through the administrator, so that the host
// objects bound to its scenes are unbound before the scenes are rebuilt
// and bound again afterwards.
#ifndef KELMAR_HOST_DFXUNIVERSE_H
#define KELMAR_HOST_DFXUNIVERSE_H

#include <string>

#include <dfx/dfx.h>
#include <kelmar/Universe.h>

namespace kelmar {

class DfxUniverse : public Universe {
public:
    DfxUniverse(const char *name, int nBodies, int nConstraints, int nModels, int nModelPairs, DfxUnit *unit);
    ~DfxUniverse() override;

    // Rebuilds the world and reloads every scene from its file.
    void reset() override;
    // flags 0 draws both passes, the opaque one first.
    void draw(unsigned int flags) override;
    // Saves each scene's status (flags & 0x30 choose what), rebuilds the
    // scene and loads the status back, host objects included.
    void ResetScenesWithRestore(unsigned int flags) override;
    // One step; contact lists taken before it are out of date after it.
    void Step();

    const char *Name() const { return name_.c_str(); }
    DfxUnit *GetUnit() const { return unit_; }
    bool IsRegistered() const { return registered_; }

private:
    friend class DfxKelmarAdmin;
    void ResetWorld() { Universe::reset(); }
    std::string name_;
    DfxUnit *unit_;
    bool registered_ = false;
};

// Anything that must know a universe by name (the viewers).
class DfxUniverseConsumer {
public:
    virtual ~DfxUniverseConsumer();
    virtual void SetUniverse(Universe *universe) = 0;
};

// Contact lists and contacts taken from a universe are valid until the next
// step, reset or rebuild of any universe: this counts them.
long SimulationGeneration();
void NextSimulationGeneration();

} // namespace kelmar

#endif
