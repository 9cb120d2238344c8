// Transform tags of scene-file elements.
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Transform.h>

#include "LoadElements.h"

namespace kelmar {

namespace {

bool Given(const PxXMLHandler *handlers, const char *tag)
{
    return PxXMLHandlerWasCalled(handlers, tag) && PxXMLHandlerGetError(handlers, tag) == PX_XML_OK;
}

void Report(PxXMLInput *input, const char *format, const char *id)
{
    input->errorHandler(input, PX_XML_ERROR, PX_XML_BAD_VALUE, format, id);
}

} // namespace

bool GenerateTransform(PxXMLInput *input, const PxXMLHandler *handlers, const char *id, const TransformSpec &spec,
                       double scale, const double (*reference)[4], double out[4][4])
{
    double local[4][4];
    PxM4Identity(local);
    bool given = false;
    if (Given(handlers, "TM")) {
        given = true;
        for (int i = 0; i < 16; ++i) local[i / 4][i % 4] = spec.tm[i];
        for (int k = 0; k < 3; ++k) local[3][k] *= scale;
        if (!IsRigidTM(local, 1e-5)) {
            Report(
                input,
                "Transform of object '%s' is not valid. POS, ROT, QUAT, EULER will override the default (identity) "
                "transform.\n",
                id);
            PxM4Identity(local);
        } else {
            given = false; // taken whole
            NormalizeTM(local);
            if (reference)
                PxMatrix4TMCompound(out, reference, local);
            else
                PxM4Copy(out, local);
            return true;
        }
    }
    if (Given(handlers, "POS")) {
        given = true;
        PxV3Scale(local[3], spec.pos, scale);
    }
    double rotation[3][3];
    bool rotated = false;
    if (Given(handlers, "ROT")) {
        given = true;
        for (int i = 0; i < 9; ++i) rotation[i / 3][i % 3] = spec.rot[i];
        rotated = PxMatrix3IsValidOrientationMatrix(rotation, 1e-7) != 0;
        if (!rotated) Report(input, "Specified rotation matrix of object '%s' is not valid.\n", id);
    }
    if (!rotated && Given(handlers, "QUAT")) {
        given = rotated = true;
        double q[4] = {spec.quat[0], spec.quat[1], spec.quat[2], spec.quat[3]};
        NormalizeQuaternion(q);
        PxQuaternionToMatrix3(rotation, q);
    } else if (!rotated && Given(handlers, "EULER")) {
        given = rotated = true;
        PxMatrix3FromEulerAngles(rotation, spec.euler[0], spec.euler[1], spec.euler[2]);
    }
    if (rotated)
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) local[i][j] = rotation[i][j];
    NormalizeTM(local);
    if (reference)
        PxMatrix4TMCompound(out, reference, local);
    else
        PxM4Copy(out, local);
    return given;
}

} // namespace kelmar
