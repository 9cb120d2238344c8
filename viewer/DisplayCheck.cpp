// XOpenDisplay with the DISPLAY of the environment.
#include "DisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace kelmar {

// The first connection that opens stays open for the process: an X server
// resets when its last client leaves (Xvfb under xvfb-run does), and a
// window opened during the reset finds no display and VTK crashes.
bool DisplayAvailable()
{
    static Display *kept = nullptr;
    if (kept) return true;
    kept = XOpenDisplay(nullptr);
    return kept != nullptr;
}

void PreferCompatibilityContext()
{
    setenv("MESA_GL_VERSION_OVERRIDE", "3.2COMPAT", 0);
}

} // namespace kelmar
