// XOpenDisplay with the DISPLAY of the environment.
#include "DisplayCheck.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace kelmar {

bool DisplayAvailable()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display) return false;
    XCloseDisplay(display);
    return true;
}

void PreferCompatibilityContext()
{
    setenv("MESA_GL_VERSION_OVERRIDE", "3.2COMPAT", 0);
}

} // namespace kelmar
