// Drawable shapes: a kind and its parameters (cm). The drawing backend
// turns them into draw calls and may cache them per graphics context, keyed
// on the serial number (never reused, unlike an address).
#ifndef KELMAR_GRAPHICSPRIMITIVE_H
#define KELMAR_GRAPHICSPRIMITIVE_H

#include <kelmar/CdxTypes.h>

namespace kelmar {

class GraphicsPrimitive {
public:
    enum Kind {
        kSphere,     // radius; 16 slices and stacks
        kBox,        // three edge lengths, centred
        kCylinder,   // radius, height; along z, centred, closed
        kCone,       // radius, height; open, along z
        kClosedCone, // lower radius, upper radius, height; closed by disks
        kSquare,     // two edge lengths, flat in x-y
        kLine,       // two end points (six values)
        kArrow,      // length, width; along x
        kFrame,      // length, width; arrows along x, y, z
        kFrustum,    // three sizes and a count
        kMesh,       // a triangle-mesh collision geometry
        kNoGraphics  // draws nothing; never visible
    };

    GraphicsPrimitive(Kind kind, const double *parameters, int count);
    // Tells the drawing backend, which drops what it cached for the shape.
    virtual ~GraphicsPrimitive();
    GraphicsPrimitive(const GraphicsPrimitive &) = delete;
    GraphicsPrimitive &operator=(const GraphicsPrimitive &) = delete;

    static GraphicsPrimitive *Sphere(double radius);
    static GraphicsPrimitive *Box(double dx, double dy, double dz);
    static GraphicsPrimitive *Cylinder(double radius, double height);
    static GraphicsPrimitive *Cone(double radius, double height);
    static GraphicsPrimitive *ClosedCone(double lowerRadius, double upperRadius, double height);
    static GraphicsPrimitive *Square(double dx, double dy);
    static GraphicsPrimitive *Line(const double *start, const double *end);
    static GraphicsPrimitive *Arrow(double length, double width);
    static GraphicsPrimitive *Frame(double length, double width);
    static GraphicsPrimitive *Frustum(double a, double b, double c, int count);
    static GraphicsPrimitive *Mesh(CdxGeometryID mesh);
    static GraphicsPrimitive *NoGraphics();

    Kind kind() const { return kind_; }
    double parameter(int i) const { return i >= 0 && i < count_ ? parameters_[i] : 0.0; }
    int parameterCount() const { return count_; }
    CdxGeometryID mesh() const { return mesh_; }
    bool IsVisible() const { return kind_ != kNoGraphics; }
    unsigned long serial() const { return serial_; }

    // Whether the backend may record the shape once per context and replay
    // it (shapes never change after construction, so it is on; turn it off
    // for a mesh whose vertices are moved by its owner).
    bool useDisplayList = true;

private:
    Kind kind_;
    double parameters_[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int count_ = 0;
    CdxGeometryID mesh_ = nullptr;
    unsigned long serial_;
};

} // namespace kelmar

#endif
