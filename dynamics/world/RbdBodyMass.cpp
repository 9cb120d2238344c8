// Body mass and inertia tensor.
#include <math.h>
#include "world/RbdInternal.h"

namespace {

bool isDiagonal(const PxReal m[3][3])
{
    return m[0][1] == 0.0 && m[0][2] == 0.0 && m[1][0] == 0.0 && m[1][2] == 0.0 && m[2][0] == 0.0 && m[2][1] == 0.0;
}

// Stores a body-frame tensor and its inverse, then the world copies.
bool storeInertia(RbdBody *body, const PxReal inertia[3][3], const char *function)
{
    if (const char *problem = RbdInertiaTensorProblem(inertia)) {
        PxWarning(RBD_MESSAGE_LEVEL, "%s: the tensor is refused: %s.\n", function, problem);
        return false;
    }
    PxMatrix3 inverse;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) inverse[i][j] = inertia[i][j];
    if (!PxMatrix3Invert(inverse)) {
        PxWarning(RBD_MESSAGE_LEVEL, "%s: the tensor is singular; ignored.\n", function);
        return false;
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            body->lcs.inertiaBody[i][j] = inertia[i][j];
            body->lcs.invInertiaBody[i][j] = inverse[i][j];
        }
    if (isDiagonal(inertia) && isDiagonal(inverse))
        body->lcs.flags |= RBD_LCS_BODY_PRINCIPAL;
    else
        body->lcs.flags &= ~RBD_LCS_BODY_PRINCIPAL;
    RbdBodyUpdateWorldInertia(body);
    return true;
}

} // namespace

void RbdBodySetMass(RbdBodyID body, PxReal mass)
{
    if (!RbdCheckBody(body, "RbdBodySetMass") || !RbdCheckMass(mass, "RbdBodySetMass")) return;
    body->lcs.mass = mass;
    body->lcs.invMass = 1.0 / mass;
}

void RbdBodySetMassAndScaleInertiaTensor(RbdBodyID body, PxReal mass)
{
    if (!RbdCheckBody(body, "RbdBodySetMassAndScaleInertiaTensor")) return;
    if (!RbdCheckMass(mass, "RbdBodySetMassAndScaleInertiaTensor")) return;
    PxReal scale = mass * body->lcs.invMass;
    PxMatrix3 inertia;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) inertia[i][j] = body->lcs.inertiaBody[i][j] * scale;
    if (storeInertia(body, inertia, "RbdBodySetMassAndScaleInertiaTensor")) RbdBodySetMass(body, mass);
}

PxReal RbdBodyGetMass(RbdBodyID body)
{
    return RbdCheckBody(body, "RbdBodyGetMass") ? body->lcs.mass : 0.0;
}

void RbdBodySetInertiaTensor(RbdBodyID body, const PxMatrix3 inertia)
{
    if (RbdCheckBody(body, "RbdBodySetInertiaTensor")) storeInertia(body, inertia, "RbdBodySetInertiaTensor");
}

void RbdBodySetSphericalInertiaTensor(RbdBodyID body, PxReal inertia)
{
    if (!RbdCheckBody(body, "RbdBodySetSphericalInertiaTensor")) return;
    PxMatrix3 tensor;
    PxM3Identity(tensor);
    tensor[0][0] = tensor[1][1] = tensor[2][2] = inertia;
    storeInertia(body, tensor, "RbdBodySetSphericalInertiaTensor");
}

void RbdBodyGetInertiaTensor(RbdBodyID body, PxMatrix3 out)
{
    if (!RbdCheckBody(body, "RbdBodyGetInertiaTensor")) {
        PxM3Identity(out);
        return;
    }
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) out[i][j] = body->lcs.inertiaBody[i][j];
}

void RbdMakeInertiaTensorSphere(PxReal mass, PxReal radius, PxMatrix3 out)
{
    PxM3Identity(out);
    out[0][0] = out[1][1] = out[2][2] = 0.4 * mass * radius * radius;
}

void RbdMakeInertiaTensorBox(PxReal mass, PxReal x, PxReal y, PxReal z, PxMatrix3 out)
{
    PxM3Identity(out);
    out[0][0] = mass / 12.0 * (y * y + z * z);
    out[1][1] = mass / 12.0 * (z * z + x * x);
    out[2][2] = mass / 12.0 * (x * x + y * y);
}
