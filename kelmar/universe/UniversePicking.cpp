// Mouse picking: a ray finds the solid, and while it is dragged a spring
// with damping pulls the grabbed point towards the ray, gravity compensated.
#include <kelmar/Universe.h>

#include <cmath>

#include <kelmar/CdxModel.h>
#include <kelmar/CdxSpace.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/RbdWorld.h>
#include <kelmar/Solid.h>

namespace kelmar {

namespace {

// Spring stiffness and damping per kilogram: k = 25 m (1/s^2) and
// c = 2.8 m (1/s), a natural frequency of 5 rad/s at a damping ratio of 0.28.
const double kStiffnessPerMass = 25.0;
const double kDampingPerMass = 2.8;
const double kMinMass = 1e-7; // kg: lighter bodies are pulled as if this heavy

} // namespace

int PickInteractableFilter(CdxModelID model, void *data)
{
    (void)data;
    const Solid *solid = static_cast<const Solid *>(CdxModelGetUserData(model));
    return !solid || solid->IsInteractable();
}

Solid *Universe::PickSolid(const double *from, const double *to, double *hitPoint)
{
    CdxLineSegResult result;
    if (!CdxSpaceGetLineSegFirstEnabledIntersection(space_, from, to, PickInteractableFilter, nullptr, &result))
        return nullptr;
    if (hitPoint) PxV3Copy(hitPoint, result.point);
    return static_cast<Solid *>(CdxModelGetUserData(result.model));
}

bool Universe::BeginPicking(const double *from, const double *to)
{
    double hit[3];
    const Solid *solid = PickSolid(from, to, hit);
    if (!solid || !solid->GetBody()) return false;
    pickedBody_ = solid->GetBody();
    PxV3Copy(pickTarget_, hit);
    PxV3Copy(pickCurrent_, hit);
    RbdConvertPositionVector(nullptr, hit, pickedBody_, pickLocal_);
    pickDistance_ = PxV3Distance(hit, from);
    return true;
}

void Universe::DoPicking(const double *from, const double *to)
{
    if (!pickedBody_) return;
    PxVector3 u;
    PxV3Sub(u, to, from);
    if (PxV3Normalize(u) <= 0.0) PxV3Set(u, 1, 0, 0);
    PxV3AddScaled(pickTarget_, from, u, pickDistance_);
    RbdBodyEnable(pickedBody_);
    RbdConvertPositionVector(pickedBody_, pickLocal_, nullptr, pickCurrent_);
    const double m = RbdBodyGetMass(pickedBody_);
    const double scale = m < kMinMass ? kMinMass : m;
    PxVector3 v, g, force, pull;
    RbdBodyGetVelocityAtPoint(pickedBody_, pickCurrent_, v);
    RbdWorldGetGravity(RbdBodyGetWorld(pickedBody_), g);
    // F = k (target - current) - c v - m g
    PxV3Sub(pull, pickTarget_, pickCurrent_);
    PxV3Scale(force, pull, kStiffnessPerMass * scale);
    PxV3AddScaled(force, force, v, -kDampingPerMass * scale);
    PxV3AddScaled(force, force, g, -m);
    RbdBodyAddForceAtPosition(pickedBody_, force, pickCurrent_);
}

void Universe::EndPicking()
{
    pickedBody_ = nullptr;
}

void Universe::GetPickTarget(double *target) const
{
    PxV3Copy(target, pickTarget_);
}

} // namespace kelmar
