// Graphics records and the pass rules of drawing them.
#include <kelmar/Graphics.h>

#include <cstdio>
#include <cstring>

#include <kelmar/Color.h>
#include <kelmar/GraphicsPrimitive.h>
#include <kelmar/PxVector.h>
#include <kelmar/Transform.h>

namespace kelmar {

unsigned int Graphics::drawingOptions_ = 0;
float Graphics::defaultColor_[4] = {-1, 0, 0, 1};
int Graphics::hue_ = 0;

namespace {

DrawBackend *gBackend = nullptr;

// Saturation and value of generated default colours.
const float kDefaultSaturation = 0.6f;
const float kDefaultValue = 0.9f;
const int kHueStep = 12; // degrees

void Scaled(float out[4], const float rgba[4], float factor)
{
    for (int i = 0; i < 3; ++i) out[i] = factor * rgba[i];
    out[3] = rgba[3];
}

} // namespace

DrawBackend *GetDrawBackend()
{
    return gBackend;
}

DrawBackend *SetDrawBackend(DrawBackend *backend)
{
    DrawBackend *previous = gBackend;
    gBackend = backend;
    return previous;
}

Graphics::Graphics(const GraphicsPrimitive *primitive, const float rgba[4], const double (*base)[4],
                   const double (*relative)[4])
    : primitive_(primitive)
{
    const float white[4] = {1, 1, 1, 1};
    SetColor(rgba ? rgba : white);
    SetBaseTM(base);
    SetRelTM(relative);
}

// Material colours follow the colour: ambient 1, diffuse 0.7, specular 0.3
// and emission 0.1 of it; back faces show green so that an object seen
// from inside stands out.
void Graphics::SetColor(const float rgba[4])
{
    std::memcpy(color_, rgba, sizeof color_);
    Scaled(material_.ambient, rgba, 1.0f);
    Scaled(material_.diffuse, rgba, 0.7f);
    Scaled(material_.specular, rgba, 0.3f);
    Scaled(material_.emission, rgba, 0.1f);
    const float back[4] = {0, 1, 0, rgba[3]};
    std::memcpy(material_.back, back, sizeof back);
    material_.shininess = 50;
}

void Graphics::GetColor(float rgba[4]) const
{
    std::memcpy(rgba, color_, sizeof color_);
}

void Graphics::SetBaseTM(const double (*base)[4])
{
    base_ = base && IsRigidTM(base, 1e-7) ? base : nullptr;
}

void Graphics::SetRelTM(const double (*relative)[4])
{
    hasRelative_ = relative != nullptr;
    if (relative) std::memcpy(relative_, relative, sizeof relative_);
}

bool Graphics::SetTexture(const char *file)
{
    texture_.clear();
    if (primitive_ && primitive_->kind() == GraphicsPrimitive::kMesh) {
        std::fprintf(stderr, "No textures on meshes supported.\n");
        return false;
    }
    if (!file) return true;
    if (gBackend && !gBackend->PrepareTexture(file)) return false;
    texture_ = file;
    return true;
}

bool Graphics::IsVisible() const
{
    return primitive_ && primitive_->IsVisible() && color_[3] > 0.0f;
}

// Opaque objects go in the opaque pass, translucent ones in the translucent
// pass, invisible ones in neither; a pass that names neither draws all.
bool Graphics::DrawnInPass(unsigned int flags) const
{
    if (!IsVisible()) return false;
    if (flags & kDrawOpaquePass && color_[3] < 1.0f) return false;
    if (flags & kDrawTranslucentPass && color_[3] >= 1.0f) return false;
    return true;
}

void Graphics::draw(unsigned int flags) const
{
    if (!gBackend || !DrawnInPass(flags)) return;
    const char *texture = flags & kDrawTexture ? GetTexture() : nullptr;
    gBackend->DrawObject(*primitive_, base_, hasRelative_ ? relative_ : nullptr, material_, texture, flags);
}

void Graphics::PrepareDrawing(unsigned int flags)
{
    drawingOptions_ = flags;
    if (gBackend) gBackend->PrepareDrawing(flags);
}

void Graphics::FinishDrawing(unsigned int flags)
{
    if (gBackend) gBackend->FinishDrawing(flags);
    drawingOptions_ = 0;
}

void Graphics::SetDefaultColor(const float rgba[4])
{
    std::memcpy(defaultColor_, rgba, sizeof defaultColor_);
}

void Graphics::ResetDefaultColor()
{
    defaultColor_[0] = -1;
    hue_ = 0;
}

void Graphics::GetDefaultColor(float rgba[4])
{
    if (defaultColor_[0] >= 0) {
        std::memcpy(rgba, defaultColor_, sizeof defaultColor_);
        return;
    }
    HSV2RGB(static_cast<float>(hue_), kDefaultSaturation, kDefaultValue, rgba);
    rgba[3] = 1;
    hue_ = (hue_ + kHueStep) % 360;
}

void DrawLine(const double *from, const double *to, const float rgba[4])
{
    if (gBackend) gBackend->DrawLine(from, to, rgba);
}

void DrawArrow(const double (*base)[4], double length, double width, const float rgba[4])
{
    if (gBackend) gBackend->DrawArrow(base, length, width, rgba);
}

void DrawCone(const double (*base)[4], double radius, double height, const float rgba[4])
{
    if (gBackend) gBackend->DrawCone(base, radius, height, rgba);
}

void DrawSphere(const double (*base)[4], double radius, const float rgba[4])
{
    if (gBackend) gBackend->DrawSphere(base, radius, rgba);
}

void DrawRect(const double (*base)[4], double dx, double dy, const float rgba[4])
{
    if (gBackend) gBackend->DrawRect(base, dx, dy, rgba);
}

} // namespace kelmar
