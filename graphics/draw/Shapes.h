// The OpenGL commands of each shape (legacy OpenGL; sizes in cm). Shapes
// set no colour or material, so that one display list serves every object
// drawing the shape; unlit shapes (lines) take the current colour.
#ifndef KELMAR_GRAPHICS_SHAPES_H
#define KELMAR_GRAPHICS_SHAPES_H

#include <GL/glu.h>

#include <kelmar/CdxTypes.h>

namespace kelmar {

class GraphicsPrimitive;
struct DrawMaterial;

// A quadric with smooth normals and generated texture coordinates.
GLUquadric *SharedQuadric();

void EmitSphere(double radius, int slices);
void EmitBox(double dx, double dy, double dz);
void EmitSquare(double dx, double dy);
// Along z, centred, closed by two disks.
void EmitCylinder(double radius, double height);
// Along z, centred; lower radius at -h/2, upper at +h/2; closed or open.
void EmitTruncatedCone(double lower, double upper, double height, bool closed);
// Along x from the origin: shaft and head.
void EmitArrow(double length, double width);
// Apex at the origin, base of radius at x = height, closed.
void EmitConeAlongX(double radius, double height);
void EmitLine(const double *from, const double *to);
// Apex at the origin looking along +z: count rectangles width x height
// (at depth) at evenly spaced depths up to depth, and the four edges.
void EmitFrustum(double width, double height, double depth, int count);
void EmitMesh(CdxGeometryID mesh);
// Red, green and blue arrows along x, y and z (sets its own materials).
void EmitFrame(double length, double width, float alpha);

// The shape of a primitive, as recorded in its display list.
void EmitPrimitive(const GraphicsPrimitive &primitive, float alpha);
// Whether the primitive's commands depend on the object drawing it.
bool PrimitiveIsShared(const GraphicsPrimitive &primitive);

// Front-face material from the colours; back faces in the back colour.
void ApplyMaterial(const DrawMaterial &material);
// The material of a plain colour, as the graphics records derive it.
void MaterialOf(const float rgba[4], DrawMaterial *material);

} // namespace kelmar

#endif
