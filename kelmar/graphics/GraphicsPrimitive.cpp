// Primitive shapes and their parameters.
#include <kelmar/GraphicsPrimitive.h>

#include <kelmar/Graphics.h>

namespace kelmar {

namespace {
unsigned long gNextSerial = 1;
}

GraphicsPrimitive::GraphicsPrimitive(Kind kind, const double *parameters, int count)
    : kind_(kind), serial_(gNextSerial++)
{
    count_ = count < 0 ? 0 : (count > 8 ? 8 : count);
    for (int i = 0; i < count_; ++i) parameters_[i] = parameters[i];
}

GraphicsPrimitive::~GraphicsPrimitive()
{
    if (DrawBackend *backend = GetDrawBackend()) backend->ForgetPrimitive(*this);
}

GraphicsPrimitive *GraphicsPrimitive::Sphere(double radius)
{
    return new GraphicsPrimitive(kSphere, &radius, 1);
}

GraphicsPrimitive *GraphicsPrimitive::Box(double dx, double dy, double dz)
{
    const double p[3] = {dx, dy, dz};
    return new GraphicsPrimitive(kBox, p, 3);
}

GraphicsPrimitive *GraphicsPrimitive::Cylinder(double radius, double height)
{
    const double p[2] = {radius, height};
    return new GraphicsPrimitive(kCylinder, p, 2);
}

GraphicsPrimitive *GraphicsPrimitive::Cone(double radius, double height)
{
    const double p[2] = {radius, height};
    return new GraphicsPrimitive(kCone, p, 2);
}

GraphicsPrimitive *GraphicsPrimitive::ClosedCone(double lowerRadius, double upperRadius, double height)
{
    const double p[3] = {lowerRadius, upperRadius, height};
    return new GraphicsPrimitive(kClosedCone, p, 3);
}

GraphicsPrimitive *GraphicsPrimitive::Square(double dx, double dy)
{
    const double p[2] = {dx, dy};
    return new GraphicsPrimitive(kSquare, p, 2);
}

GraphicsPrimitive *GraphicsPrimitive::Line(const double *start, const double *end)
{
    const double p[6] = {start[0], start[1], start[2], end[0], end[1], end[2]};
    return new GraphicsPrimitive(kLine, p, 6);
}

GraphicsPrimitive *GraphicsPrimitive::Arrow(double length, double width)
{
    const double p[2] = {length, width};
    return new GraphicsPrimitive(kArrow, p, 2);
}

GraphicsPrimitive *GraphicsPrimitive::Frame(double length, double width)
{
    const double p[2] = {length, width};
    return new GraphicsPrimitive(kFrame, p, 2);
}

GraphicsPrimitive *GraphicsPrimitive::Frustum(double a, double b, double c, int count)
{
    const double p[4] = {a, b, c, static_cast<double>(count)};
    return new GraphicsPrimitive(kFrustum, p, 4);
}

GraphicsPrimitive *GraphicsPrimitive::Mesh(CdxGeometryID mesh)
{
    GraphicsPrimitive *primitive = new GraphicsPrimitive(kMesh, nullptr, 0);
    primitive->mesh_ = mesh;
    return primitive;
}

GraphicsPrimitive *GraphicsPrimitive::NoGraphics()
{
    return new GraphicsPrimitive(kNoGraphics, nullptr, 0);
}

} // namespace kelmar
