// Transform helpers used by the scene reader, cameras, grasps and the host
// binding: Euler angles and positions, and frames carried through a TM.
#include <kelmar/Transform.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdConstraint.h>

namespace kelmar {

void EulerAndPosFromTM(const double tm[4][4], double euler[3], double position[3])
{
    PxMatrix4TMGetEulerAngles(tm, euler);
    PxV3Copy(position, tm[3]);
}

void TMFromEulerAndPos(double tm[4][4], const double euler[3], const double position[3])
{
    double rotation[3][3];
    PxMatrix3FromEulerAngles(rotation, euler[0], euler[1], euler[2]);
    PxM4Identity(tm);
    for (int i = 0; i < 3; ++i) PxV3Copy(tm[i], rotation[i]);
    PxV3Copy(tm[3], position);
}

// The axes of q's frame are rows of its matrix; carried through tm they
// are those rows times tm's rotation.
void ApplyTransformToQuaternion(const double tm[4][4], const double q[4], double out[4])
{
    double unit[4] = {q[0], q[1], q[2], q[3]};
    NormalizeQuaternion(unit);
    double rotation[3][3];
    PxQuaternionToMatrix3(rotation, unit);
    double turned[4][4];
    PxM4Identity(turned);
    for (int i = 0; i < 3; ++i) PxV3MulTMDir(turned[i], rotation[i], tm);
    PxQuaternionFromTM(out, turned);
}

void ApplyTransformToPos(const double tm[4][4], const double p[3], double out[3])
{
    double copy[3] = {p[0], p[1], p[2]};
    PxV3MulTM(out, copy, tm);
}

void ApplyTransformToAxis(const double tm[4][4], const double axis[3], double out[3])
{
    double copy[3] = {axis[0], axis[1], axis[2]};
    PxV3MulTMDir(out, copy, tm);
}

int GetBodyIndex(RbdConstraintID constraint, RbdBodyID body)
{
    if (!constraint || !body) return -1;
    if (RbdConstraintGetBody(constraint, 0) == body) return 0;
    return RbdConstraintGetBody(constraint, 1) == body ? 1 : -1;
}

} // namespace kelmar
