// Mass properties of solids and the clean-up of removed bodies.
#include "SolidMass.h"

#include <cstdio>
#include <vector>

#include <kelmar/Joint.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>
#include <kelmar/RbdConstraint.h>

namespace kelmar {

void ApplyMassOverrides(RbdBodyID body, double mass, const double *inertia, const double *comOffset)
{
    if (!inertia) {
        if (mass > 0) RbdBodySetMassAndScaleInertiaTensor(body, mass);
        return;
    }
    const double tensor[3][3] = {{inertia[0], inertia[1], inertia[2]},
                                 {inertia[1], inertia[3], inertia[4]},
                                 {inertia[2], inertia[4], inertia[5]}};
    RbdBodySetInertiaTensor(body, tensor);
    if (mass > 0) RbdBodySetMass(body, mass);
    if (comOffset && PxV3LengthSquared(comOffset) > 0) {
        double frame[4][4];
        PxM4Identity(frame);
        PxV3Copy(frame[3], comOffset);
        RbdBodySetCenterOfMassRelativeTransform(body, frame);
    }
}

void ScaleMassAndInertia(RbdBodyID body, double factor)
{
    double tensor[3][3];
    RbdBodyGetInertiaTensor(body, tensor);
    for (auto &row : tensor)
        for (double &value : row) value *= factor;
    RbdBodySetInertiaTensor(body, tensor);
    RbdBodySetMass(body, RbdBodyGetMass(body) * factor);
}

void DestroyStaleConstraints(RbdBodyID body)
{
    std::vector<RbdConstraintID> stale;
    RbdBodyForAllConstraints(
        body,
        [](RbdConstraintID c, void *list) {
            if (RbdConstraintGetTypeId(c) != RBD_TYPE_CONTACT)
                static_cast<std::vector<RbdConstraintID> *>(list)->push_back(c);
        },
        &stale);
    for (RbdConstraintID c : stale) {
        std::fprintf(stderr, "removed body has still constraints!\n");
        if (Joint *joint = static_cast<Joint *>(RbdConstraintGetUserData(c))) joint->ReleaseConstraint();
        RbdConstraintDestroy(c);
    }
}

} // namespace kelmar
