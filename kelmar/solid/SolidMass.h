// Mass properties of solids: mass, inertia and centre of mass always change
// together, so that a body never has the mass of one shape and the inertia
// of another.
#ifndef KELMAR_SOLID_SOLIDMASS_H
#define KELMAR_SOLID_SOLIDMASS_H

#include <kelmar/RbdTypes.h>

namespace kelmar {

class Universe;

int ClampMaterial(const Universe *universe, int material);
double MaterialDensity(const Universe *universe, int material);
// inertia (Ixx, Ixy, Ixz, Iyy, Iyz, Izz) replaces the tensor, then mass > 0
// the mass (the given tensor belongs to it); without inertia, mass > 0
// scales the tensor along. comOffset counts only with an inertia.
void ApplyMassOverrides(RbdBodyID body, double mass, const double *inertia, const double *comOffset);
// Mass and inertia times factor (a density change).
void ScaleMassAndInertia(RbdBodyID body, double factor);
void DestroyStaleConstraints(RbdBodyID body);

} // namespace kelmar

#endif
