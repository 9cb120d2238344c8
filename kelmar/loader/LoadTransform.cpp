// The transform tags of scene-file elements. TM alone places an element;
// an invalid TM falls back to POS with ROT, else QUAT, else EULER. The
// result is relative to a reference frame when one is given.
#include <cmath>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

void Place(double out[4][4], const double (*reference)[4], const double local[4][4])
{
    if (reference)
        PxMatrix4TMCompound(out, reference, local);
    else
        PxM4Copy(out, local);
}

// TM with its translation times scale, when it is a rigid transform.
bool TakeWholeTM(PxXMLInput *input, const char *id, const TransformSpec &desc, double scale, double local[4][4])
{
    for (int i = 0; i < 16; ++i) local[i / 4][i % 4] = desc.tm[i];
    for (int k = 0; k < 3; ++k) local[3][k] *= scale;
    if (IsRigidTM(local, 1e-5)) return true;
    LoadError(input,
              "Transform of object '%s' is not valid. POS, ROT, QUAT, EULER will override the default (identity) "
              "transform.\n",
              id);
    PxM4Identity(local);
    return false;
}

// The rotation of ROT, else QUAT, else EULER; false when none was usable.
bool Rotation(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &desc,
              double rotation[3][3])
{
    if (Given(handlers, "ROT")) {
        for (int i = 0; i < 9; ++i) rotation[i / 3][i % 3] = desc.rot[i];
        if (PxMatrix3IsValidOrientationMatrix(rotation, 1e-7)) return true;
        LoadError(input, "Specified rotation matrix of object '%s' is not valid.\n", id);
    }
    if (Given(handlers, "QUAT")) {
        double q[4] = {desc.quat[0], desc.quat[1], desc.quat[2], desc.quat[3]};
        if (!(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3] > 0))
            LoadWarning(input, "Quaternion of object '%s' is zero, using no rotation.\n", id);
        NormalizeQuaternion(q);
        PxQuaternionToMatrix3(rotation, q);
        return true;
    }
    if (Given(handlers, "EULER")) {
        PxMatrix3FromEulerAngles(rotation, desc.euler[0], desc.euler[1], desc.euler[2]);
        return true;
    }
    return false;
}

// The toolkit takes positions within 1e9 (in any unit): one beyond is
// refused here, where it was given, for the origin.
const double kFarthest = 1e9;

void KeepInRange(PxXMLInput *input, const char *id, double local[4][4])
{
    for (int k = 0; k < 3; ++k)
        if (!(std::fabs(local[3][k]) <= kFarthest)) {
            LoadError(input, "Position of object '%s' is beyond 1e9, using the origin instead.\n", id);
            local[3][0] = local[3][1] = local[3][2] = 0;
            return;
        }
}

} // namespace

bool GenerateTransform(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &desc,
                       double scale, const double (*reference)[4], double out[4][4])
{
    double local[4][4];
    PxM4Identity(local);
    const bool hasTM = Given(handlers, "TM");
    if (hasTM && TakeWholeTM(input, id, desc, scale, local)) {
        KeepInRange(input, id, local);
        NormalizeTM(local);
        Place(out, reference, local);
        return true;
    }
    const bool hasPos = Given(handlers, "POS");
    if (hasPos) PxV3Scale(local[3], desc.pos, scale);
    KeepInRange(input, id, local);
    double rotation[3][3];
    const bool rotated = Rotation(input, handlers, id, desc, rotation);
    for (int i = 0; rotated && i < 3; ++i) PxV3Copy(local[i], rotation[i]);
    NormalizeTM(local);
    Place(out, reference, local);
    return hasTM || hasPos || rotated || Given(handlers, "ROT");
}

bool PlaceElement(Scene *scene, PxXMLInput *input, const PxXMLHandler *handlers, const TransformSpec &desc,
                  const char *referrerKind, const char *id, double out[4][4])
{
    const double(*reference)[4] = desc.relTo[0] ? scene->GetSolidTransform(desc.relTo, referrerKind, id) : nullptr;
    return GenerateTransform(input, handlers, id, desc, scene->GetScale(),
                             reference ? reference : scene->GetPlacement(), out);
}

} // namespace kelmar
