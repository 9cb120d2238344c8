// Linear-1 joints.
#include <kelmar/Linear1.h>

#include <kelmar/RbdLinear.h>
#include <kelmar/Scene.h>

namespace kelmar {

Linear1::Linear1(Scene *owner) : Joint(owner, owner ? RbdLinear1Create(owner->GetWorld()) : nullptr)
{
}

void Linear1::SetPosition(const double *p)
{
    RbdLinear1SetPosition(constraint_, p[0], p[1], p[2]);
}

} // namespace kelmar
