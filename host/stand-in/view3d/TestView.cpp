// The stand-in's 3-D view module "solid.so": a view without a window that
// records the handlers modules give it and plays user input into them,
// each call through the host's boundary. Built once whole and once without
// each of the four functions a module looks up (VIEW3D_WITHOUT names it),
// so that a module meeting an older view can be tried.
#include <cstring>
#include <string>
#include <vector>

#include <dfx/view3d.h>

#include "StandIn.h"

struct View3d {
    int id;
};

namespace {

View3d gView{1};
std::vector<View3dMouseHandler> gMouse; // names point into gNames
std::vector<std::string> gNames;
std::vector<std::pair<View3dKeyFn, void *>> gKeys;
int gActive = -1; // the active mouse handler; -1: the view drags the frame itself
double gEye[3] = {0, 0, 100};
double gDirection[3] = {0, 0, -1};

int IndexOf(const char *name)
{
    for (size_t i = 0; name && i < gNames.size(); ++i)
        if (gNames[i] == name) return static_cast<int>(i);
    return -1;
}

} // namespace

extern "C" {

#if !defined(VIEW3D_WITHOUT) || VIEW3D_WITHOUT != 1
// A handler added again under its name replaces the earlier one.
void View3d_AddMouseHandler(const View3dMouseHandler *handler)
{
    if (!handler || !handler->name) return;
    const int at = IndexOf(handler->name);
    if (at >= 0) {
        gMouse[static_cast<size_t>(at)] = *handler;
        return;
    }
    gNames.push_back(handler->name);
    gMouse.push_back(*handler);
}
#endif

#if !defined(VIEW3D_WITHOUT) || VIEW3D_WITHOUT != 2
int View3d_GetClickPoint(View3d *view, int x, int y, double eye[3], double direction[3])
{
    (void)x;
    (void)y;
    if (view != &gView || !eye || !direction) return 0;
    std::memcpy(eye, gEye, sizeof gEye);
    std::memcpy(direction, gDirection, sizeof gDirection);
    return 1;
}
#endif

#if !defined(VIEW3D_WITHOUT) || VIEW3D_WITHOUT != 3
void View3d_AddKeyHandler(View3dKeyFn key, void *data)
{
    if (key) gKeys.emplace_back(key, data);
}
#endif

#if !defined(VIEW3D_WITHOUT) || VIEW3D_WITHOUT != 4
int View3d_ActivateMouseHandler(const char *name)
{
    gActive = IndexOf(name);
    return gActive >= 0;
}
#endif

void View3d_TestSetClickRay(const double eye[3], const double direction[3])
{
    std::memcpy(gEye, eye, sizeof gEye);
    std::memcpy(gDirection, direction, sizeof gDirection);
}

// Handlers first; a key none of them takes is the view's own: the space
// bar gives the middle button back to the view.
int View3d_TestKey(int key)
{
    const auto keys = gKeys;
    for (const auto &k : keys) {
        int handled = 0;
        dfx::AtBoundary(nullptr, "key", [&] { handled = k.first(&gView, key, k.second); });
        if (handled) return 1;
    }
    if (key == ' ') gActive = -1;
    return 0;
}

int View3d_TestMouse(int event, int x, int y)
{
    if (gActive < 0 || event < VIEW3D_CLICK || event > VIEW3D_RELEASE) return 0;
    const View3dMouseHandler handler = gMouse[static_cast<size_t>(gActive)];
    const View3dMouseFn fns[] = {handler.click, handler.press, handler.move, handler.release};
    const View3dMouseFn fn = fns[event];
    if (fn) dfx::AtBoundary(nullptr, "mouse", [&] { fn(&gView, x, y, handler.data); });
    return 1;
}

const char *View3d_TestActiveHandler(void)
{
    return gActive >= 0 ? gNames[static_cast<size_t>(gActive)].c_str() : "";
}

int View3d_TestHandlerCount(void)
{
    return static_cast<int>(gMouse.size() + gKeys.size());
}

void View3d_TestForget(void)
{
    gMouse.clear();
    gNames.clear();
    gKeys.clear();
    gActive = -1;
}

} // extern "C"
