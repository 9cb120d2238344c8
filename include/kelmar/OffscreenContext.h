// An OpenGL context of its own that draws into an off-screen RGB surface of
// a given size: the render target of a camera. It is a surfaceless EGL
// context (Mesa), so it needs no display server; it is a compatibility
// context, in which the legacy drawing of the graphics backend works.
#ifndef KELMAR_OFFSCREENCONTEXT_H
#define KELMAR_OFFSCREENCONTEXT_H

#include <memory>
#include <string>

namespace kelmar {

class OffscreenContext {
public:
    // Null, with the reason in *error, when no context can be had (no EGL
    // driver, or a size beyond what the driver allows).
    static std::unique_ptr<OffscreenContext> Create(int width, int height, std::string *error);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext &) = delete;
    OffscreenContext &operator=(const OffscreenContext &) = delete;

    // Replaces the surface by one of the new size, keeping the context and
    // with it what the backend cached; false (and the old size) on failure.
    bool Resize(int width, int height, std::string *error);
    // Makes the context current on this thread. Whatever was current
    // before (a viewer's GLX context, another EGL context) is released
    // first, since EGL and GLX refuse to be current together, and is made
    // current again by Release.
    bool MakeCurrent();
    void Release();
    int width() const { return width_; }
    int height() const { return height_; }
    // The key under which the backend caches for this context.
    void *key() const { return context_; }
    // The largest surface the driver allows.
    static bool MaxSize(int *width, int *height, std::string *error);
    // Whether a surface of that size can be had; else false and why.
    static bool CheckSize(int width, int height, std::string *error);

private:
    OffscreenContext() = default;
    bool MakeSurface(int width, int height, std::string *error);

    void *context_ = nullptr;
    void *surface_ = nullptr;
    // What was current before MakeCurrent (GLX display, drawables and
    // context; EGL context and surfaces).
    struct Previous {
        void *display = nullptr, *glx = nullptr;
        unsigned long draw = 0, read = 0;
        void *egl = nullptr, *eglDraw = nullptr, *eglRead = nullptr;
    } previous_;
    int width_ = 0, height_ = 0;
};

// The context current on this thread, EGL or GLX, or null: what the
// backend's caches are keyed on.
void *CurrentContextKey();

} // namespace kelmar

#endif
