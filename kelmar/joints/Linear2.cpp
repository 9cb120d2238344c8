// Linear-2 joints.
#include <kelmar/Linear2.h>

#include <kelmar/RbdLinear.h>
#include <kelmar/Scene.h>

#include "JointElement.h"

namespace kelmar {

Linear2::Linear2(Scene *owner) : Joint(owner, owner ? RbdLinear2Create(owner->GetWorld()) : nullptr)
{
}

void Linear2::SetAxis(const double *axis)
{
    double copy[3] = {axis[0], axis[1], axis[2]};
    Joint::SetAxis(copy);
}

// AXIS and DIR name the same direction.
void Linear2::AddTags(std::vector<PxXMLHandler> &handlers) const
{
    handlers.push_back(PX_XML_VALUE("AXIS", PxXMLParseDoubleArray, offsetof(JointElement, axis), 3));
    handlers.push_back(PX_XML_VALUE("DIR", PxXMLParseDoubleArray, offsetof(JointElement, axis), 3));
}

} // namespace kelmar
