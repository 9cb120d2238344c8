// Mass properties of the volume a closed mesh encloses: every triangle
// spans a tetrahedron with a common apex, and the signed volumes, first
// and second moments of the tetrahedra add up to those of the solid.
#include "mesh/CxTriangleMeshRecord.h"

namespace {

// Below this fraction of the cube of the box diagonal the mesh encloses
// no volume worth dividing by.
const PxReal kFlatVolume = 1e-12;

struct Moments {
    PxReal volume;
    PxVector3 first;     // integral of x dV
    PxReal second[3][3]; // integral of x x^T dV
};

// Tetrahedron with corners 0, a, b, c (apex at the origin): signed volume
// a.(b x c)/6, first moment V (a + b + c)/4 and second moment
// V/20 (sum of v v^T over the corners + s s^T) with s = a + b + c.
void TetraMassProp(const PxVector3 a, const PxVector3 b, const PxVector3 c, Moments *sum)
{
    PxVector3 bc, s;
    PxV3Cross(bc, b, c);
    PxReal volume = PxV3Dot(a, bc) / 6.0;
    PxV3Add(s, a, b);
    PxV3Add(s, s, c);
    sum->volume += volume;
    PxV3AddScaled(sum->first, sum->first, s, volume / 4.0);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            sum->second[i][j] += volume / 20.0 * (a[i] * a[j] + b[i] * b[j] + c[i] * c[j] + s[i] * s[j]);
}

} // namespace

int16_t CxTriangleMeshGetMassProperties(CdxGeometryID geometry, PxMatrix4 relTransform, PxMatrix3 inertia,
                                        PxReal *volume)
{
    PxM4Identity(relTransform);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) inertia[i][j] = 0.0;
    *volume = 0.0;
    CxTriangleMesh *mesh = CxTriangleMeshBuilt(geometry);
    // An open surface bounds no solid: its tetrahedra would add up to a
    // volume that depends on the apex they share.
    if (!mesh || !mesh->closed) return 0;

    // The apex is the middle of the local box: the result is the same for
    // any apex, but a near one keeps the products small.
    PxVector3 apex;
    PxV3Add(apex, mesh->boxMin, mesh->boxMax);
    PxV3Scale(apex, apex, 0.5);
    Moments sum = {0.0, {0, 0, 0}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}};
    for (int t = 0; t < mesh->triangleCount; ++t) {
        PxVector3 v[3];
        for (int k = 0; k < 3; ++k) PxV3Sub(v[k], CxMeshVertex(mesh, t, k), apex);
        TetraMassProp(v[0], v[1], v[2], &sum);
    }
    PxVector3 diagonal;
    PxV3Sub(diagonal, mesh->boxMax, mesh->boxMin);
    PxReal size = PxV3Length(diagonal);
    if (!(fabs(sum.volume) > kFlatVolume * size * size * size)) return 0;

    // Centre of mass, then the second moment about it; an inside-out mesh
    // has negative moments throughout, so the ratios stay right.
    PxVector3 com;
    PxV3Scale(com, sum.first, 1.0 / sum.volume);
    PxReal central[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) central[i][j] = sum.second[i][j] - sum.volume * com[i] * com[j];
    PxReal trace = central[0][0] + central[1][1] + central[2][2];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) inertia[i][j] = ((i == j ? trace : 0.0) - central[i][j]) / sum.volume;
    PxV3Add(relTransform[3], com, apex);
    *volume = fabs(sum.volume);
    return 1;
}
