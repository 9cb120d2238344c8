// The transform tags of scene-file elements. TM alone places an element;
// an invalid TM falls back to POS with ROT, else QUAT, else EULER. The
// result is relative to a reference frame when one is given.
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
bool TakeWholeTM(PxXMLInput *input, const char *id, const TransformSpec &spec, double scale, double local[4][4])
{
    for (int i = 0; i < 16; ++i) local[i / 4][i % 4] = spec.tm[i];
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
bool Rotation(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &spec,
              double rotation[3][3])
{
    if (Given(handlers, "ROT")) {
        for (int i = 0; i < 9; ++i) rotation[i / 3][i % 3] = spec.rot[i];
        if (PxMatrix3IsValidOrientationMatrix(rotation, 1e-7)) return true;
        LoadError(input, "Specified rotation matrix of object '%s' is not valid.\n", id);
    }
    if (Given(handlers, "QUAT")) {
        double q[4] = {spec.quat[0], spec.quat[1], spec.quat[2], spec.quat[3]};
        NormalizeQuaternion(q);
        PxQuaternionToMatrix3(rotation, q);
        return true;
    }
    if (Given(handlers, "EULER")) {
        PxMatrix3FromEulerAngles(rotation, spec.euler[0], spec.euler[1], spec.euler[2]);
        return true;
    }
    return false;
}

} // namespace

bool GenerateTransform(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &spec,
                       double scale, const double (*reference)[4], double out[4][4])
{
    double local[4][4];
    PxM4Identity(local);
    const bool hasTM = Given(handlers, "TM");
    if (hasTM && TakeWholeTM(input, id, spec, scale, local)) {
        NormalizeTM(local);
        Place(out, reference, local);
        return true;
    }
    const bool hasPos = Given(handlers, "POS");
    if (hasPos) PxV3Scale(local[3], spec.pos, scale);
    double rotation[3][3];
    const bool rotated = Rotation(input, handlers, id, spec, rotation);
    for (int i = 0; rotated && i < 3; ++i) PxV3Copy(local[i], rotation[i]);
    NormalizeTM(local);
    Place(out, reference, local);
    return hasTM || hasPos || rotated || Given(handlers, "ROT");
}

bool PlaceElement(Scene *scene, PxXMLInput *input, const PxXMLHandler *handlers, const TransformSpec &spec,
                  const char *referrerKind, const char *id, double out[4][4])
{
    const double(*reference)[4] = spec.relTo[0] ? scene->GetSolidTransform(spec.relTo, referrerKind, id) : nullptr;
    return GenerateTransform(input, handlers, id, spec, scene->GetScale(),
                             reference ? reference : scene->GetPlacement(), out);
}

} // namespace kelmar
