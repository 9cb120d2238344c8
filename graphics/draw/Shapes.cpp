// Shapes in legacy OpenGL. Quadrics draw smooth with texture coordinates;
// boxes and squares map each face's texture from (0,0) at its lower left.
#include "draw/Shapes.h"

#include <vector>

#include <GL/gl.h>

#include <kelmar/CdxTriangleMesh.h>
#include <kelmar/Graphics.h>
#include <kelmar/GraphicsPrimitive.h>

namespace kelmar {

namespace {

const int kSlices = 16, kStacks = 16; // quadric shapes
const int kArrowSlices = 12;
const double kShaftShare = 0.75; // of an arrow's length
const double kQuarterTurn = 90;  // degrees

// One face: centre c, half extents along u and v, normal n = u x v.
void Face(const double *c, const double *u, const double *v, const double *n)
{
    glNormal3dv(n);
    const double corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (const auto &k : corners) {
        glTexCoord2d((k[0] + 1) / 2, (k[1] + 1) / 2);
        glVertex3d(c[0] + k[0] * u[0] + k[1] * v[0], c[1] + k[0] * u[1] + k[1] * v[1],
                   c[2] + k[0] * u[2] + k[1] * v[2]);
    }
}

void Disk(double radius, bool facingDown)
{
    glPushMatrix();
    if (facingDown) glRotated(2 * kQuarterTurn, 1, 0, 0);
    gluDisk(SharedQuadric(), 0, radius, kSlices, 1);
    glPopMatrix();
}

} // namespace

GLUquadric *SharedQuadric()
{
    static GLUquadric *quadric = [] {
        GLUquadric *q = gluNewQuadric();
        gluQuadricNormals(q, GLU_SMOOTH);
        gluQuadricTexture(q, GL_TRUE);
        gluQuadricDrawStyle(q, GLU_FILL);
        return q;
    }();
    return quadric;
}

void EmitSphere(double radius, int slices)
{
    gluSphere(SharedQuadric(), radius, slices, slices);
}

void EmitBox(double dx, double dy, double dz)
{
    const double x = dx / 2, y = dy / 2, z = dz / 2;
    glBegin(GL_QUADS);
    for (int sign = -1; sign <= 1; sign += 2) {
        const double s = sign;
        const double cx[3] = {s * x, 0, 0}, nx[3] = {s, 0, 0}, ux[3] = {0, s * y, 0}, vx[3] = {0, 0, z};
        const double cy[3] = {0, s * y, 0}, ny[3] = {0, s, 0}, uy[3] = {0, 0, s * z}, vy[3] = {x, 0, 0};
        const double cz[3] = {0, 0, s * z}, nz[3] = {0, 0, s}, uz[3] = {s * x, 0, 0}, vz[3] = {0, y, 0};
        Face(cx, ux, vx, nx);
        Face(cy, uy, vy, ny);
        Face(cz, uz, vz, nz);
    }
    glEnd();
}

void EmitSquare(double dx, double dy)
{
    const double c[3] = {0, 0, 0}, n[3] = {0, 0, 1}, u[3] = {dx / 2, 0, 0}, v[3] = {0, dy / 2, 0};
    glBegin(GL_QUADS);
    Face(c, u, v, n);
    glEnd();
}

void EmitCylinder(double radius, double height)
{
    EmitTruncatedCone(radius, radius, height, true);
}

void EmitTruncatedCone(double lower, double upper, double height, bool closed)
{
    glPushMatrix();
    glTranslated(0, 0, -height / 2);
    gluCylinder(SharedQuadric(), lower, upper, height, kSlices, 2);
    if (closed && lower > 0) Disk(lower, true);
    glTranslated(0, 0, height);
    if (closed && upper > 0) Disk(upper, false);
    glPopMatrix();
}

void EmitArrow(double length, double width)
{
    const double shaft = kShaftShare * length;
    glPushMatrix();
    glRotated(kQuarterTurn, 0, 1, 0); // z onto x
    gluCylinder(SharedQuadric(), width / 2, width / 2, shaft, kArrowSlices, 1);
    glTranslated(0, 0, shaft);
    glRotated(2 * kQuarterTurn, 1, 0, 0);
    gluDisk(SharedQuadric(), 0, width, kArrowSlices, 1);
    glRotated(2 * kQuarterTurn, 1, 0, 0);
    gluCylinder(SharedQuadric(), width, 0, length - shaft, kArrowSlices, 1);
    glPopMatrix();
}

void EmitConeAlongX(double radius, double height)
{
    glPushMatrix();
    glRotated(kQuarterTurn, 0, 1, 0);
    gluCylinder(SharedQuadric(), 0, radius, height, kSlices, 2);
    glTranslated(0, 0, height);
    gluDisk(SharedQuadric(), 0, radius, kSlices, 1);
    glPopMatrix();
}

void EmitLine(const double *from, const double *to)
{
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glBegin(GL_LINES);
    glVertex3dv(from);
    glVertex3dv(to);
    glEnd();
    glPopAttrib();
}

void EmitFrustum(double width, double height, double depth, int count)
{
    const double x = width / (2 * depth), y = height / (2 * depth);
    glPushAttrib(GL_ENABLE_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    for (int i = 1; i <= (count < 1 ? 1 : count); ++i) {
        const double z = depth * i / (count < 1 ? 1 : count);
        glBegin(GL_LINE_LOOP);
        glVertex3d(-x * z, -y * z, z);
        glVertex3d(x * z, -y * z, z);
        glVertex3d(x * z, y * z, z);
        glVertex3d(-x * z, y * z, z);
        glEnd();
    }
    glBegin(GL_LINES);
    for (int k = 0; k < 4; ++k) {
        glVertex3d(0, 0, 0);
        glVertex3d((k & 1 ? x : -x) * depth, (k & 2 ? y : -y) * depth, depth);
    }
    glEnd();
    glPopAttrib();
}

// One flat-shaded triangle array of single-precision floats.
void EmitMesh(CdxGeometryID mesh)
{
    const int count = mesh ? CdxTriangleMeshGetTriangleCount(mesh) : 0;
    std::vector<float> vertices, normals;
    vertices.reserve(static_cast<size_t>(count) * 9);
    normals.reserve(static_cast<size_t>(count) * 9);
    for (int t = 0; t < count; ++t) {
        PxReal *corner[3];
        PxVector3 n;
        if (!CdxTriangleMeshGetTriangleVertexPtrs(mesh, t, &corner[0], &corner[1], &corner[2])) continue;
        CdxTriangleMeshGetTriangleNormal(mesh, t, n);
        for (PxReal *c : corner)
            for (int k = 0; k < 3; ++k) {
                vertices.push_back(static_cast<float>(c[k]));
                normals.push_back(static_cast<float>(n[k]));
            }
    }
    if (vertices.empty()) return;
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    glNormalPointer(GL_FLOAT, 0, normals.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size() / 3));
    glPopClientAttrib();
}

void EmitFrame(double length, double width, float alpha)
{
    const float colours[3][4] = {{1, 0, 0, alpha}, {0, 1, 0, alpha}, {0, 0, 1, alpha}};
    const double turns[3][4] = {{0, 0, 0, 1}, {kQuarterTurn, 0, 0, 1}, {-kQuarterTurn, 0, 1, 0}};
    for (int axis = 0; axis < 3; ++axis) {
        DrawMaterial material;
        MaterialOf(colours[axis], &material);
        ApplyMaterial(material);
        glPushMatrix();
        glRotated(turns[axis][0], turns[axis][1], turns[axis][2], turns[axis][3]);
        EmitArrow(length, width);
        glPopMatrix();
    }
}

bool PrimitiveIsShared(const GraphicsPrimitive &primitive)
{
    return primitive.kind() != GraphicsPrimitive::kFrame;
}

void EmitPrimitive(const GraphicsPrimitive &p, float alpha)
{
    switch (p.kind()) {
    case GraphicsPrimitive::kSphere: return EmitSphere(p.parameter(0), kSlices);
    case GraphicsPrimitive::kBox: return EmitBox(p.parameter(0), p.parameter(1), p.parameter(2));
    case GraphicsPrimitive::kCylinder: return EmitCylinder(p.parameter(0), p.parameter(1));
    case GraphicsPrimitive::kCone: return EmitTruncatedCone(p.parameter(0), 0, p.parameter(1), false);
    case GraphicsPrimitive::kClosedCone:
        return EmitTruncatedCone(p.parameter(0), p.parameter(1), p.parameter(2), true);
    case GraphicsPrimitive::kSquare: return EmitSquare(p.parameter(0), p.parameter(1));
    case GraphicsPrimitive::kLine: {
        const double from[3] = {p.parameter(0), p.parameter(1), p.parameter(2)};
        const double to[3] = {p.parameter(3), p.parameter(4), p.parameter(5)};
        return EmitLine(from, to);
    }
    case GraphicsPrimitive::kArrow: return EmitArrow(p.parameter(0), p.parameter(1));
    case GraphicsPrimitive::kFrame: return EmitFrame(p.parameter(0), p.parameter(1), alpha);
    case GraphicsPrimitive::kFrustum:
        return EmitFrustum(p.parameter(0), p.parameter(1), p.parameter(2), static_cast<int>(p.parameter(3)));
    case GraphicsPrimitive::kMesh: return EmitMesh(p.mesh());
    case GraphicsPrimitive::kNoGraphics: return;
    }
}

void ApplyMaterial(const DrawMaterial &m)
{
    glMaterialfv(GL_FRONT, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, m.specular);
    glMaterialfv(GL_FRONT, GL_EMISSION, m.emission);
    glMaterialfv(GL_BACK, GL_AMBIENT, m.back);
    glMaterialfv(GL_BACK, GL_DIFFUSE, m.back);
    glMaterialfv(GL_BACK, GL_SPECULAR, m.back);
    glMaterialfv(GL_BACK, GL_EMISSION, m.back);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
    glColor4fv(m.ambient); // what unlit shapes show
}

void MaterialOf(const float rgba[4], DrawMaterial *material)
{
    const float zero[4] = {0, 0, 0, 0};
    Graphics g(nullptr, rgba ? rgba : zero);
    *material = g.GetMaterial();
}

} // namespace kelmar
