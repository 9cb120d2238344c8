// The process's one EGL display on Mesa's surfaceless platform and the
// config of camera surfaces (RGB 8 bits, depth 24, pbuffer, desktop GL).
#ifndef KELMAR_GRAPHICS_EGLDISPLAY_H
#define KELMAR_GRAPHICS_EGLDISPLAY_H

#include <string>

#include <EGL/egl.h>

namespace kelmar {

struct EglDisplay {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLConfig config = nullptr;
    int maxWidth = 0, maxHeight = 0; // largest pbuffer (pixels)
    std::string error;               // why there is none, when display is EGL_NO_DISPLAY
};

// Initialised on first use; the failure, if any, is kept and repeated.
const EglDisplay &GetEglDisplay();
// Text of an EGL error code ("EGL_BAD_ALLOC (0x3003)").
std::string EglErrorText(EGLint code);

} // namespace kelmar

#endif
