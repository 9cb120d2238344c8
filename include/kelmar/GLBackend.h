// The OpenGL drawing backend of the robot layer: legacy (fixed-function)
// OpenGL, so it needs a compatibility context (a camera's EGL context, or a
// viewer's window with a compatibility profile). Shapes are recorded into
// display lists and textures uploaded once per context: a viewer and any
// number of cameras draw side by side, each context with its own cache,
// keyed on the context current while drawing. Without a current context,
// drawing does nothing.
#ifndef KELMAR_GLBACKEND_H
#define KELMAR_GLBACKEND_H

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <kelmar/Graphics.h>

namespace kelmar {

class Image;

class GLBackend : public DrawBackend {
public:
    // The process's one instance.
    static GLBackend &Instance();
    // Makes the instance the robot layer's drawing backend, unless it is
    // already; returns the backend it replaced.
    static DrawBackend *Install();

    void PrepareDrawing(unsigned int flags) override;
    void FinishDrawing(unsigned int flags) override;
    void DrawObject(const GraphicsPrimitive &primitive, const double (*base)[4], const double (*relative)[4],
                    const DrawMaterial &material, const char *texture, unsigned int flags) override;
    void DrawLine(const double *from, const double *to, const float rgba[4]) override;
    void DrawArrow(const double (*base)[4], double length, double width, const float rgba[4]) override;
    void DrawCone(const double (*base)[4], double radius, double height, const float rgba[4]) override;
    void DrawSphere(const double (*base)[4], double radius, const float rgba[4]) override;
    void DrawRect(const double (*base)[4], double dx, double dy, const float rgba[4]) override;
    bool PrepareTexture(const char *file) override;
    void ForgetPrimitive(const GraphicsPrimitive &primitive) override;

    // The context (key) is going away: its lists and textures go with it.
    // Called while it is current, so that they can be deleted.
    void ForgetContext(void *key);
    // What is cached in a context: display lists and textures.
    int ListCount(void *key) const;
    int TextureCount(void *key) const;

private:
    struct ContextCache {
        std::map<unsigned long, unsigned int> lists; // primitive serial -> list
        std::map<std::string, unsigned int> textures;
        std::vector<unsigned int> deadLists; // of deleted primitives, deleted when current
        int usable = -1;                     // compatibility profile: 1, core: 0, unknown: -1
    };

    GLBackend() = default;
    ContextCache *Current();
    void Emit(const GraphicsPrimitive &primitive, ContextCache &cache, const DrawMaterial &material);
    void EmitCached(const GraphicsPrimitive &primitive, ContextCache &cache, const DrawMaterial &material);
    bool BindTexture(const char *file, ContextCache &cache);
    template <class F> void DrawHelper(const double (*base)[4], const float rgba[4], F emit);
    std::shared_ptr<const Image> TextureImage(const char *file);

    std::map<void *, ContextCache> caches_;
    std::map<std::string, std::shared_ptr<const Image>> images_;
    std::set<std::string> refused_; // reported once
    unsigned int passFlags_ = 0;
};

} // namespace kelmar

#endif
