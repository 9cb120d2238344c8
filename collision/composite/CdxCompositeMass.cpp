// Mass properties of a composite: the elements' masses, centres and
// inertia tensors combined about the common centre of mass.
#include "composite/CdxCompositeRecord.h"

#include <kelmar/CdxComposite.h>
#include <kelmar/PxVector.h>

namespace {

// 4/3 pi: volume of the unit sphere.
const PxReal kUnitSphereVolume = 4.1887902047863905;

// inertia += sign x mass (|c|^2 E - c c^T): the parallel-axis term of a
// point mass at c, the skew-matrix product -m [c]x [c]x.
void AddPointMass(PxMatrix3 inertia, PxReal mass, const PxVector3 c, PxReal sign)
{
    PxReal lengthSquared = PxV3LengthSquared(c);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) inertia[i][j] += sign * mass * ((i == j ? lengthSquared : 0.0) - c[i] * c[j]);
}

void ZeroMatrix(PxMatrix3 m)
{
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) m[i][j] = 0.0;
}

// A solid sphere of the bounding radius: what an empty composite weighs.
int16_t SphereOfRadius(PxReal r, PxMatrix4 comTransform, PxMatrix3 inertia, PxReal *volume, PxReal *mass)
{
    PxM4Identity(comTransform);
    ZeroMatrix(inertia);
    for (int i = 0; i < 3; ++i) inertia[i][i] = 0.4 * r * r;
    *volume = kUnitSphereVolume * r * r * r;
    *mass = *volume;
    return 1;
}

// An element's mass, centre (composite frame) and inertia times mass about
// its own centre, in the composite's axes. A composite element reports its
// tensor per unit mass, a plain one already times its mass.
bool ElementMass(CdxModel *element, PxVector3 centre, PxMatrix3 inertia, PxReal *volume, PxReal *mass)
{
    PxMatrix4 com;
    if (!CdxModelGetMassProperties(element, com, inertia, volume, mass)) return false;
    if (CdxModelIsComposite(element))
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) inertia[i][j] *= *mass;
    PxV3Set(centre, com[3][0], com[3][1], com[3][2]);
    return true;
}

} // namespace

extern "C" int16_t CdxCompositeGetMassPropertiesAndMass(CdxGeometryID geometry, PxMatrix4 comTransform,
                                                        PxMatrix3 inertia, PxReal *volume, PxReal *mass)
{
    CdxCompositeGeometry *c = CdxCompositeFromGeometry(geometry);
    if (!c || !comTransform || !inertia || !volume || !mass) return 0;
    if (c->elementCount == 0) return SphereOfRadius(c->bSphereRadius, comTransform, inertia, volume, mass);
    // Sum about the composite origin, then move to the centre of mass.
    PxReal totalMass = 0.0, totalVolume = 0.0;
    PxVector3 weightedCentre = {0.0, 0.0, 0.0};
    PxMatrix3 aboutOrigin;
    ZeroMatrix(aboutOrigin);
    for (int i = 0; i < c->elementCount; ++i) {
        PxVector3 centre;
        PxMatrix3 elementInertia;
        PxReal elementVolume, elementMass;
        if (!ElementMass(c->elements[i], centre, elementInertia, &elementVolume, &elementMass)) continue;
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k) aboutOrigin[r][k] += elementInertia[r][k];
        AddPointMass(aboutOrigin, elementMass, centre, 1.0);
        PxV3AddScaled(weightedCentre, weightedCentre, centre, elementMass);
        totalMass += elementMass;
        totalVolume += elementVolume;
    }
    PxM4Identity(comTransform);
    *volume = totalVolume;
    *mass = totalMass;
    if (!(totalMass > 0.0)) {
        ZeroMatrix(inertia);
        return 0;
    }
    PxVector3 centreOfMass;
    PxV3Scale(centreOfMass, weightedCentre, 1.0 / totalMass);
    AddPointMass(aboutOrigin, totalMass, centreOfMass, -1.0);
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) inertia[r][k] = aboutOrigin[r][k] / totalMass;
    PxV3Copy(comTransform[3], centreOfMass);
    return 1;
}
