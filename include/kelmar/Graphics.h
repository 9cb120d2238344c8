// Graphics records: what to draw for a solid or a decorative item — a
// primitive, a colour with the material colours derived from it, a base
// transform (usually the solid's) and a relative one, and a texture file.
// Drawing goes through one process-wide DrawBackend; with none installed,
// drawing does nothing. The pass rules (opaque and translucent passes,
// hidden objects, back-face colour) are decided here; the backend only
// turns them into calls of its graphics library.
#ifndef KELMAR_GRAPHICS_H
#define KELMAR_GRAPHICS_H

#include <string>

namespace kelmar {

class GraphicsPrimitive;

// Draw flags of a pass.
enum DrawFlag : unsigned int {
    kDrawGraphics = 0x01,
    kDrawTexture = 0x02,
    kDrawOpaquePass = 0x04,      // also: contacts, forces, centres of mass
    kDrawTranslucentPass = 0x08, // also: pick line, inertia ellipsoids
    kDrawWireFrame = 0x10,
    kDrawCullBackFaces = 0x20
};

// What one object is drawn with.
struct DrawMaterial {
    float ambient[4], diffuse[4], specular[4], emission[4];
    float back[4]; // all four back-face colours
    float shininess;
};

class DrawBackend {
public:
    virtual ~DrawBackend() = default;
    // Pass state: blending, depth writes and culling follow the flags.
    virtual void PrepareDrawing(unsigned int flags) = 0;
    virtual void FinishDrawing(unsigned int flags) = 0;
    // One object: base then relative transform (either may be null).
    virtual void DrawObject(const GraphicsPrimitive &primitive, const double (*base)[4], const double (*relative)[4],
                            const DrawMaterial &material, const char *texture, unsigned int flags) = 0;
    // Immediate drawing in a base transform (null: world; it may scale, as
    // an inertia ellipsoid's does). Arrows and cones lie along the base's x
    // axis: an arrow from the origin to x = length, a cone with its apex at
    // the origin and its base of radius at x = height (cm).
    virtual void DrawLine(const double *from, const double *to, const float rgba[4]) = 0;
    virtual void DrawArrow(const double (*base)[4], double length, double width, const float rgba[4]) = 0;
    virtual void DrawCone(const double (*base)[4], double radius, double height, const float rgba[4]) = 0;
    virtual void DrawSphere(const double (*base)[4], double radius, const float rgba[4]) = 0;
    // A flat dx by dy rectangle centred in the base's x-y plane.
    virtual void DrawRect(const double (*base)[4], double dx, double dy, const float rgba[4])
    {
        (void)base, (void)dx, (void)dy, (void)rgba;
    }
    // Whether a texture file can be shown; a refused file leaves the object
    // untextured (the backend says why).
    virtual bool PrepareTexture(const char *file)
    {
        (void)file;
        return true;
    }
    // The primitive is being deleted: drop what was cached for it.
    virtual void ForgetPrimitive(const GraphicsPrimitive &primitive) { (void)primitive; }
};

DrawBackend *GetDrawBackend();
// Returns the previous backend; null switches drawing off.
DrawBackend *SetDrawBackend(DrawBackend *backend);

class Graphics {
public:
    // base is kept when it is a rigid transform (the pointer, not a copy).
    Graphics(const GraphicsPrimitive *primitive, const float rgba[4], const double (*base)[4] = nullptr,
             const double (*relative)[4] = nullptr);
    virtual ~Graphics() = default;

    void SetColor(const float rgba[4]);
    void GetColor(float rgba[4]) const;
    float GetAlpha() const { return color_[3]; }
    const DrawMaterial &GetMaterial() const { return material_; }
    void SetBaseTM(const double (*base)[4]);
    void SetRelTM(const double (*relative)[4]);
    // Refused for meshes (message on standard error) and for files the
    // backend cannot show; false then, and the object is untextured.
    bool SetTexture(const char *file);
    const char *GetTexture() const { return texture_.empty() ? nullptr : texture_.c_str(); }
    bool IsVisible() const;
    const GraphicsPrimitive *GetPrimitive() const { return primitive_; }
    const double (*GetBaseTM() const)[4] { return base_; }
    // Whether this pass draws the object (alpha and pass flags).
    bool DrawnInPass(unsigned int flags) const;
    void draw(unsigned int flags) const;

    // Class-wide: pass options and default colours.
    static void PrepareDrawing(unsigned int flags);
    static void FinishDrawing(unsigned int flags);
    static unsigned int GetDrawingOptions() { return drawingOptions_; }
    static void SetDefaultColor(const float rgba[4]);
    static void ResetDefaultColor();
    // The set default colour, else a new one from the hue counter (+12 degrees each).
    static void GetDefaultColor(float rgba[4]);

private:
    const GraphicsPrimitive *primitive_;
    float color_[4];
    DrawMaterial material_;
    const double (*base_)[4] = nullptr;
    double relative_[4][4];
    bool hasRelative_ = false;
    std::string texture_;

    static unsigned int drawingOptions_;
    static float defaultColor_[4];
    static int hue_;
};

// Immediate helpers through the backend (nothing without one).
void DrawLine(const double *from, const double *to, const float rgba[4]);
void DrawArrow(const double (*base)[4], double length, double width, const float rgba[4]);
void DrawCone(const double (*base)[4], double radius, double height, const float rgba[4]);
void DrawSphere(const double (*base)[4], double radius, const float rgba[4]);
void DrawRect(const double (*base)[4], double dx, double dy, const float rgba[4]);

} // namespace kelmar

#endif
