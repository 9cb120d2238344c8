// A scene of the host: a kelmar::Scene with its own name, the name of the
// universe it wants and its host unit. It registers itself with the
// administrator, which adds it to that universe (loading its file) as soon
// as the universe exists. Its messages go to the host's diagnostics and
// its files are found through the host's search list.
#ifndef KELMAR_HOST_DFXSCENE_H
#define KELMAR_HOST_DFXSCENE_H

#include <string>

#include <dfx/dfx.h>
#include <kelmar/Scene.h>

namespace kelmar {

class DfxScene : public Scene {
public:
    DfxScene(const char *name, const char *universeName, const char *fileName, const double placement[4][4],
             double scale, const char *variables, DfxUnit *unit);
    ~DfxScene() override;

    void Warning(int code, const char *format, ...) const override;
    void Error(int code, const char *format, ...) const override;
    PxStream *StreamOpenWithSearch(const char *name, int mode) override;

    const char *Name() const { return name_.c_str(); }
    const char *UniverseName() const { return universeName_.c_str(); }
    DfxUnit *GetUnit() const { return unit_; }
    bool IsRegistered() const { return registered_; }

private:
    friend class DfxKelmarAdmin;
    std::string name_, universeName_;
    DfxUnit *unit_;
    bool registered_ = false;
};

} // namespace kelmar

#endif
