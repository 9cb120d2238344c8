// Frames: how positions, directions, orientations and transforms written
// in a file become world values (the context's placement, or the frame of
// a body named by a frame="ID" attribute), with lengths scaled.
#include <string.h>

#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/RbdBody.h>

#include "PxFileInternal.h"

PxfFrame PxfFrameOf(PxLoadContext *context, PxXMLElement *element, const char *objectId)
{
    PxfFrame frame;
    memcpy(frame.tm, context->transform, sizeof(PxMatrix4));
    frame.scale = context->scale;
    char bodyId[PXF_ID_SIZE], fullId[PXF_FULL_ID_SIZE];
    if (!PxfAttribute(element, "frame", bodyId, sizeof bodyId)) return frame;
    RbdBodyID body = nullptr;
    if (PxLoadContextMakeFullID(context, bodyId, fullId, sizeof fullId)) body = RbdBodyLookup(context, fullId);
    if (body)
        RbdBodyGetTransform(body, frame.tm);
    else
        PXF_PROBLEM(context, PxfPositionOf(element),
                    "Body \"%s\" is specified in invalid reference frame \"%s\". Defaulting to world frame.\n",
                    objectId, bodyId);
    return frame;
}

void PxfFramePoint(const PxfFrame &frame, const PxReal in[3], PxVector3 out)
{
    PxVector3 scaled = {in[0] * frame.scale, in[1] * frame.scale, in[2] * frame.scale};
    for (int j = 0; j < 3; ++j)
        out[j] = scaled[0] * frame.tm[0][j] + scaled[1] * frame.tm[1][j] + scaled[2] * frame.tm[2][j] +
                 frame.tm[3][j];
}

void PxfFrameVector(const PxfFrame &frame, const PxReal in[3], PxVector3 out)
{
    PxVector3 copy = {in[0], in[1], in[2]};
    for (int j = 0; j < 3; ++j)
        out[j] = copy[0] * frame.tm[0][j] + copy[1] * frame.tm[1][j] + copy[2] * frame.tm[2][j];
}

void PxfFrameTransform(const PxfFrame &frame, const PxMatrix4 in, PxMatrix4 out)
{
    PxMatrix4 scaled;
    memcpy(scaled, in, sizeof(PxMatrix4));
    for (int j = 0; j < 3; ++j) scaled[3][j] *= frame.scale;
    PxMatrix4TMCompound(out, frame.tm, scaled);
}

void PxfQuaternionMultiply(PxQuaternion out, const PxQuaternion a, const PxQuaternion b)
{
    const PxReal w = a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3];
    const PxReal x = a[0] * b[1] + b[0] * a[1] + a[2] * b[3] - a[3] * b[2];
    const PxReal y = a[0] * b[2] + b[0] * a[2] + a[3] * b[1] - a[1] * b[3];
    const PxReal z = a[0] * b[3] + b[0] * a[3] + a[1] * b[2] - a[2] * b[1];
    out[0] = w;
    out[1] = x;
    out[2] = y;
    out[3] = z;
}

void PxfFrameQuaternion(const PxfFrame &frame, const PxQuaternion in, PxQuaternion out)
{
    // In column-vector terms the world rotation is the frame's times the
    // file's, so the frame's quaternion comes first.
    PxQuaternion q;
    PxQuaternionFromTM(q, frame.tm);
    PxfQuaternionMultiply(out, q, in);
}

void PxfMatrix4FromReals(PxMatrix4 out, const PxReal values[16])
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i][j] = values[4 * i + j];
}
