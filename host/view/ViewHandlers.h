// The handlers the module installs into the host's 3-D views: a key
// handler (the key table below) and two mouse handlers for the middle
// button, "kelmar:pick" (a click toggles a display option of the solid
// under the pointer, or marks it) and "kelmar:drag" (press, move and
// release drag the solid by a spring force). They act on every universe
// the administrator holds; picking takes the first universe hit.
#ifndef KELMAR_HOST_VIEWHANDLERS_H
#define KELMAR_HOST_VIEWHANDLERS_H

#include <dfx/view3d.h>

namespace kelmar {

class DfxUniverse;

// The printed key list, one line each.
extern const char *const kViewKeyHelp[12];

class ViewHandlers {
public:
    enum class ClickMode { kForces, kContacts, kCentreOfMass, kMark };
    static const double kRayLength; // cm from the eye

    // Opens "solid.so" through the host and installs the handlers; a
    // missing function is reported on standard error and nothing is
    // installed. Tried once; true when installed.
    bool Install();
    bool Installed() const { return module_ != nullptr; }
    // Closes the view module again (for tests).
    void Uninstall();

    // What the view calls.
    static int Key(View3d *view, int key, void *data);
    static void Click(View3d *view, int x, int y, void *data);
    static void Press(View3d *view, int x, int y, void *data);
    static void Move(View3d *view, int x, int y, void *data);
    static void Release(View3d *view, int x, int y, void *data);

    ClickMode GetClickMode() const { return clickMode_; }

private:
    bool HandleKey(int key);
    bool Ray(View3d *view, int x, int y, double from[3], double to[3]) const;
    void Activate(const char *name) const;
    void PrintHelp() const;

    void *module_ = nullptr;
    bool tried_ = false;
    View3d_GetClickPoint_t getClickPoint_ = nullptr;
    View3d_ActivateMouseHandler_t activate_ = nullptr;
    ClickMode clickMode_ = ClickMode::kForces;
    DfxUniverse *dragging_ = nullptr;
};

ViewHandlers &TheViewHandlers();

} // namespace kelmar

#endif
