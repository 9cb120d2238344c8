// The drawing backend: pass state, objects with their materials, textures
// and display lists, each cached per context.
#include <kelmar/GLBackend.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>

#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/Image.h>
#include <kelmar/OffscreenContext.h>
#include <kelmar/PxVector.h>

#include "draw/Shapes.h"

namespace kelmar {

namespace {

// Our transforms are row-vector matrices (p' = p R + t, translation in row
// 3); OpenGL's column-vector matrices in column order are the same sixteen
// numbers, so a transform multiplies in as it is stored.
void MultiplyTM(const double (*tm)[4])
{
    if (tm) glMultMatrixd(&tm[0][0]);
}

// A legacy drawing in a core-profile context raises errors and blacks out
// the whole frame, so such a context is refused (and said so once).
bool IsCompatibilityContext()
{
    GLint major = 0, mask = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    if (major >= 3) glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &mask);
    glGetError();
    return !(mask & GL_CONTEXT_CORE_PROFILE_BIT);
}

} // namespace

GLBackend &GLBackend::Instance()
{
    static GLBackend *instance = new GLBackend(); // lives as long as the process draws
    return *instance;
}

DrawBackend *GLBackend::Install()
{
    DrawBackend *current = GetDrawBackend();
    if (current == &Instance()) return current;
    return SetDrawBackend(&Instance());
}

GLBackend::ContextCache *GLBackend::Current()
{
    void *key = CurrentContextKey();
    if (!key) return nullptr;
    ContextCache &cache = caches_[key];
    if (cache.usable < 0) {
        cache.usable = IsCompatibilityContext() ? 1 : 0;
        if (!cache.usable)
            std::fprintf(stderr, "The current OpenGL context has the core profile: nothing is drawn in it (set "
                                 "MESA_GL_VERSION_OVERRIDE=3.2COMPAT before the first window is made).\n");
    }
    return cache.usable ? &cache : nullptr;
}

// A pass: texturing, alpha test and colour material off; both faces lit
// (back faces in their own colour); normals renormalised, since helper
// transforms may scale; culling when asked, and always in the translucent
// pass, which blends and leaves the depth buffer as the opaque pass made it.
void GLBackend::PrepareDrawing(unsigned int flags)
{
    passFlags_ = flags;
    ContextCache *cache = Current();
    if (!cache) return;
    if (!cache->deadLists.empty()) {
        for (unsigned int list : cache->deadLists) glDeleteLists(list, 1);
        cache->deadLists.clear();
    }
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_COLOR_MATERIAL);
    glEnable(GL_NORMALIZE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glPolygonMode(GL_FRONT_AND_BACK, flags & kDrawWireFrame ? GL_LINE : GL_FILL);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (flags & (kDrawCullBackFaces | kDrawTranslucentPass)) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    }
    if (flags & kDrawTranslucentPass) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDepthMask(GL_FALSE);
    }
}

void GLBackend::FinishDrawing(unsigned int flags)
{
    passFlags_ = 0;
    if (!Current()) return;
    if (flags & kDrawTranslucentPass) {
        glDepthMask(GL_TRUE);
        glDisable(GL_BLEND);
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_TEXTURE_2D);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

void GLBackend::DrawObject(const GraphicsPrimitive &primitive, const double (*base)[4], const double (*relative)[4],
                           const DrawMaterial &material, const char *texture, unsigned int flags)
{
    ContextCache *cache = Current();
    if (!cache) return;
    glPushMatrix();
    MultiplyTM(base);
    MultiplyTM(relative);
    ApplyMaterial(material);
    const bool textured = texture && (flags & kDrawTexture) && BindTexture(texture, *cache);
    if (!textured) glDisable(GL_TEXTURE_2D);
    EmitCached(primitive, *cache, material);
    if (textured) glDisable(GL_TEXTURE_2D);
    glPopMatrix();
}

// Recorded with compile-and-execute on the first draw in a context, then
// replayed.
void GLBackend::EmitCached(const GraphicsPrimitive &primitive, ContextCache &cache, const DrawMaterial &material)
{
    if (!primitive.useDisplayList || !PrimitiveIsShared(primitive)) {
        EmitPrimitive(primitive, material.ambient[3]);
        return;
    }
    auto it = cache.lists.find(primitive.serial());
    if (it != cache.lists.end()) {
        glCallList(it->second);
        return;
    }
    const GLuint list = glGenLists(1);
    if (!list) {
        EmitPrimitive(primitive, material.ambient[3]);
        return;
    }
    glNewList(list, GL_COMPILE_AND_EXECUTE);
    EmitPrimitive(primitive, material.ambient[3]);
    glEndList();
    cache.lists[primitive.serial()] = list;
}

std::shared_ptr<const Image> GLBackend::TextureImage(const char *file)
{
    std::string error;
    std::shared_ptr<const Image> image = Image::New(file, &error);
    if (!image && refused_.insert(file).second)
        std::fprintf(stderr, "Texture not shown, the plain colour is used: %s\n", error.c_str());
    return image;
}

bool GLBackend::PrepareTexture(const char *file)
{
    return TextureImage(file) != nullptr;
}

// A new texture: rows turned bottom-up (OpenGL's first row is t = 0, so the
// picture's top row lands at the top of a face), linear filtering between
// mipmap levels, repeated beyond the unit square.
bool GLBackend::BindTexture(const char *file, ContextCache &cache)
{
    auto it = cache.textures.find(file);
    if (it == cache.textures.end()) {
        std::shared_ptr<const Image> image = TextureImage(file);
        if (!image) return false;
        const size_t row = static_cast<size_t>(image->width) * 3;
        std::vector<unsigned char> flipped(image->rgb.size());
        for (int y = 0; y < image->height; ++y)
            std::copy_n(&image->rgb[y * row], row, &flipped[(image->height - 1 - y) * row]);
        GLuint id = 0;
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGB, image->width, image->height, GL_RGB, GL_UNSIGNED_BYTE,
                          flipped.data());
        it = cache.textures.emplace(file, id).first;
    }
    glBindTexture(GL_TEXTURE_2D, it->second);
    glEnable(GL_TEXTURE_2D);
    return true;
}

void GLBackend::ForgetPrimitive(const GraphicsPrimitive &primitive)
{
    void *current = CurrentContextKey();
    for (auto &entry : caches_) {
        auto it = entry.second.lists.find(primitive.serial());
        if (it == entry.second.lists.end()) continue;
        if (entry.first == current)
            glDeleteLists(it->second, 1);
        else
            entry.second.deadLists.push_back(it->second);
        entry.second.lists.erase(it);
    }
}

void GLBackend::ForgetContext(void *key)
{
    auto it = caches_.find(key);
    if (it == caches_.end()) return;
    if (CurrentContextKey() == key) {
        for (const auto &list : it->second.lists) glDeleteLists(list.second, 1);
        for (unsigned int list : it->second.deadLists) glDeleteLists(list, 1);
        for (const auto &texture : it->second.textures) glDeleteTextures(1, &texture.second);
    }
    caches_.erase(it);
}

int GLBackend::ListCount(void *key) const
{
    auto it = caches_.find(key);
    return it == caches_.end() ? 0 : static_cast<int>(it->second.lists.size());
}

int GLBackend::TextureCount(void *key) const
{
    auto it = caches_.find(key);
    return it == caches_.end() ? 0 : static_cast<int>(it->second.textures.size());
}

// Helpers: a plain colour, no texture, drawn at once.
template <class F> void GLBackend::DrawHelper(const double (*base)[4], const float rgba[4], F emit)
{
    if (!Current()) return;
    DrawMaterial material;
    MaterialOf(rgba, &material);
    glPushMatrix();
    MultiplyTM(base);
    ApplyMaterial(material);
    glDisable(GL_TEXTURE_2D);
    emit();
    glPopMatrix();
}

void GLBackend::DrawLine(const double *from, const double *to, const float rgba[4])
{
    if (!Current()) return;
    glColor4fv(rgba);
    EmitLine(from, to);
}

void GLBackend::DrawArrow(const double (*base)[4], double length, double width, const float rgba[4])
{
    DrawHelper(base, rgba, [&] { EmitArrow(length, width); });
}

void GLBackend::DrawCone(const double (*base)[4], double radius, double height, const float rgba[4])
{
    DrawHelper(base, rgba, [&] { EmitConeAlongX(radius, height); });
}

void GLBackend::DrawSphere(const double (*base)[4], double radius, const float rgba[4])
{
    DrawHelper(base, rgba, [&] { EmitSphere(radius, 16); });
}

void GLBackend::DrawRect(const double (*base)[4], double dx, double dy, const float rgba[4])
{
    DrawHelper(base, rgba, [&] { EmitSquare(dx, dy); });
}

} // namespace kelmar
