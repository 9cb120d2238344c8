// Camera contexts: one EGL context and one pbuffer surface each.
#include <kelmar/OffscreenContext.h>

#include <GL/glx.h>

#include <kelmar/GLBackend.h>

#include "context/EglDisplay.h"

namespace kelmar {

namespace {

bool SizeAllowed(int width, int height, const EglDisplay &d, std::string *error)
{
    if (width > 0 && height > 0 && width <= d.maxWidth && height <= d.maxHeight) return true;
    if (error)
        *error = "image size " + std::to_string(width) + " x " + std::to_string(height) +
                 " is outside what an off-screen surface allows (1 x 1 to " + std::to_string(d.maxWidth) + " x " +
                 std::to_string(d.maxHeight) + " pixels)";
    return false;
}

} // namespace

void *CurrentContextKey()
{
    EGLContext egl = eglGetCurrentContext();
    if (egl != EGL_NO_CONTEXT) return egl;
    return glXGetCurrentContext();
}

bool OffscreenContext::MaxSize(int *width, int *height, std::string *error)
{
    const EglDisplay &d = GetEglDisplay();
    if (d.display == EGL_NO_DISPLAY) {
        if (error) *error = d.error;
        return false;
    }
    *width = d.maxWidth;
    *height = d.maxHeight;
    return true;
}

bool OffscreenContext::CheckSize(int width, int height, std::string *error)
{
    const EglDisplay &d = GetEglDisplay();
    if (d.display == EGL_NO_DISPLAY) {
        if (error) *error = d.error;
        return false;
    }
    return SizeAllowed(width, height, d, error);
}

std::unique_ptr<OffscreenContext> OffscreenContext::Create(int width, int height, std::string *error)
{
    const EglDisplay &d = GetEglDisplay();
    if (d.display == EGL_NO_DISPLAY) {
        if (error) *error = d.error;
        return nullptr;
    }
    if (!SizeAllowed(width, height, d, error)) return nullptr;
    // No attributes: Mesa then gives its newest compatibility profile.
    EGLContext context = eglCreateContext(d.display, d.config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT) {
        if (error) *error = "eglCreateContext failed with " + EglErrorText(eglGetError());
        return nullptr;
    }
    std::unique_ptr<OffscreenContext> result(new OffscreenContext());
    result->context_ = context;
    if (!result->MakeSurface(width, height, error)) return nullptr;
    return result;
}

OffscreenContext::~OffscreenContext()
{
    const EglDisplay &d = GetEglDisplay();
    if (context_ && MakeCurrent()) GLBackend::Instance().ForgetContext(context_);
    Release();
    if (surface_) eglDestroySurface(d.display, surface_);
    if (context_) eglDestroyContext(d.display, context_);
}

bool OffscreenContext::MakeSurface(int width, int height, std::string *error)
{
    const EglDisplay &d = GetEglDisplay();
    if (!SizeAllowed(width, height, d, error)) return false;
    const EGLint attributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(d.display, d.config, attributes);
    if (surface == EGL_NO_SURFACE) {
        if (error)
            *error = "eglCreatePbufferSurface(" + std::to_string(width) + " x " + std::to_string(height) +
                     ") failed with " + EglErrorText(eglGetError());
        return false;
    }
    if (surface_) {
        if (eglGetCurrentSurface(EGL_DRAW) == surface_)
            eglMakeCurrent(d.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroySurface(d.display, surface_);
    }
    surface_ = surface;
    width_ = width;
    height_ = height;
    return true;
}

bool OffscreenContext::Resize(int width, int height, std::string *error)
{
    if (width == width_ && height == height_) return true;
    return MakeSurface(width, height, error);
}

bool OffscreenContext::MakeCurrent()
{
    const EglDisplay &d = GetEglDisplay();
    if (eglGetCurrentContext() == context_ && eglGetCurrentSurface(EGL_DRAW) == surface_) return true;
    previous_ = Previous();
    if (Display *x = glXGetCurrentDisplay()) {
        previous_.display = x;
        previous_.glx = glXGetCurrentContext();
        previous_.draw = glXGetCurrentDrawable();
        previous_.read = glXGetCurrentReadDrawable();
        glXMakeCurrent(x, None, nullptr);
    }
    previous_.egl = eglGetCurrentContext();
    previous_.eglDraw = eglGetCurrentSurface(EGL_DRAW);
    previous_.eglRead = eglGetCurrentSurface(EGL_READ);
    return eglMakeCurrent(d.display, surface_, surface_, context_) == EGL_TRUE;
}

void OffscreenContext::Release()
{
    if (eglGetCurrentContext() != context_) return;
    const EglDisplay &d = GetEglDisplay();
    if (previous_.egl != EGL_NO_CONTEXT && previous_.egl != context_)
        eglMakeCurrent(d.display, previous_.eglDraw, previous_.eglRead, previous_.egl);
    else
        eglMakeCurrent(d.display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (previous_.glx)
        glXMakeContextCurrent(static_cast<Display *>(previous_.display), previous_.draw, previous_.read,
                              static_cast<GLXContext>(previous_.glx));
    previous_ = Previous();
}

} // namespace kelmar
