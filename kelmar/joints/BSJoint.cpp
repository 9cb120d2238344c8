// Ball-and-socket joints.
#include <kelmar/BSJoint.h>

#include <kelmar/Graphics.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBSJoint.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>
#include <kelmar/Scene.h>

namespace kelmar {

BSJoint::BSJoint(Scene *owner) : Joint(owner, owner ? RbdBSJointCreate(owner->GetWorld()) : nullptr)
{
}

void BSJoint::draw(unsigned int flags) const
{
    RbdBodyID body = constraint_ ? RbdConstraintGetBody(constraint_, 0) : nullptr;
    if (!showGraphics || (flags & kDrawTranslucentPass) || !body) return;
    static const float red[4] = {1, 0, 0, 1};
    PxVector3 from, to;
    RbdBodyGetPosition(body, from);
    RbdConstraintGetPosition(constraint_, to);
    DrawLine(from, to, red);
}

} // namespace kelmar
