// The surfaceless EGL display: no X server, no device node needed.
#include "context/EglDisplay.h"

#include <cstdio>

#include <EGL/eglext.h>

namespace kelmar {

namespace {

std::string Failed(const char *what)
{
    return std::string("no OpenGL context for cameras: ") + what + " failed with " + EglErrorText(eglGetError());
}

bool ChooseConfig(EglDisplay &d)
{
    const EGLint attributes[] = {EGL_SURFACE_TYPE,
                                 EGL_PBUFFER_BIT,
                                 EGL_RED_SIZE,
                                 8,
                                 EGL_GREEN_SIZE,
                                 8,
                                 EGL_BLUE_SIZE,
                                 8,
                                 EGL_DEPTH_SIZE,
                                 24,
                                 EGL_RENDERABLE_TYPE,
                                 EGL_OPENGL_BIT,
                                 EGL_NONE};
    EGLint count = 0;
    if (!eglChooseConfig(d.display, attributes, &d.config, 1, &count) || count < 1) {
        d.error = "no OpenGL context for cameras: the EGL driver offers no RGB pbuffer with a depth buffer";
        return false;
    }
    eglGetConfigAttrib(d.display, d.config, EGL_MAX_PBUFFER_WIDTH, &d.maxWidth);
    eglGetConfigAttrib(d.display, d.config, EGL_MAX_PBUFFER_HEIGHT, &d.maxHeight);
    return true;
}

EglDisplay Open()
{
    EglDisplay d;
    auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) {
        d.error = "no OpenGL context for cameras: EGL has no eglGetPlatformDisplayEXT";
        return d;
    }
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        d.error = Failed("eglGetPlatformDisplayEXT(surfaceless)");
        return d;
    }
    if (!eglInitialize(display, nullptr, nullptr)) {
        d.error = Failed("eglInitialize");
        return d;
    }
    d.display = display;
    if (!eglBindAPI(EGL_OPENGL_API)) d.error = Failed("eglBindAPI(OpenGL)");
    if (d.error.empty()) ChooseConfig(d);
    if (!d.error.empty()) d.display = EGL_NO_DISPLAY;
    return d;
}

} // namespace

const EglDisplay &GetEglDisplay()
{
    static const EglDisplay display = Open();
    return display;
}

std::string EglErrorText(EGLint code)
{
    static const struct {
        EGLint code;
        const char *name;
    } names[] = {{EGL_SUCCESS, "EGL_SUCCESS"},
                 {EGL_NOT_INITIALIZED, "EGL_NOT_INITIALIZED"},
                 {EGL_BAD_ACCESS, "EGL_BAD_ACCESS"},
                 {EGL_BAD_ALLOC, "EGL_BAD_ALLOC"},
                 {EGL_BAD_ATTRIBUTE, "EGL_BAD_ATTRIBUTE"},
                 {EGL_BAD_CONFIG, "EGL_BAD_CONFIG"},
                 {EGL_BAD_CONTEXT, "EGL_BAD_CONTEXT"},
                 {EGL_BAD_CURRENT_SURFACE, "EGL_BAD_CURRENT_SURFACE"},
                 {EGL_BAD_DISPLAY, "EGL_BAD_DISPLAY"},
                 {EGL_BAD_MATCH, "EGL_BAD_MATCH"},
                 {EGL_BAD_PARAMETER, "EGL_BAD_PARAMETER"},
                 {EGL_BAD_SURFACE, "EGL_BAD_SURFACE"}};
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04X", static_cast<unsigned>(code));
    for (const auto &n : names)
        if (n.code == code) return std::string(n.name) + " (" + hex + ")";
    return hex;
}

} // namespace kelmar
