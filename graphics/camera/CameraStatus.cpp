// Status of cameras: KelmarCamera's relative pose (RELTM, with the scene's
// pose bit) and its view angle, background and visibility (with the
// appearance bit).
#include "camera/CameraStatus.h"

#include <cstddef>
#include <cstring>
#include <string>

#include <kelmar/KelmarCamera.h>
#include <kelmar/Scene.h>
#include <kelmar/Transform.h>

namespace kelmar {
namespace camera {

void WriteReals(const char *tag, PxStream *stream, const double *values, int count)
{
    std::string text;
    char buffer[32];
    for (int i = 0; i < count; ++i) text += (i ? ", " : "") + std::string(FormatReal(values[i], buffer));
    PxXMLWrite(tag, stream, "%s", text.c_str());
}

bool Given(const PxXMLHandler *handlers, const char *tag)
{
    for (const PxXMLHandler *h = handlers; h->type != PX_XML_END_OF_TABLE; ++h)
        if (std::strcmp(h->name, tag) == 0) return h->wasCalled && h->error == PX_XML_OK;
    return false;
}

} // namespace camera

using camera::Given;
using camera::WriteReals;

namespace {

struct CameraValues {
    double tm[16];
    double viewAngle;
    double background[3];
    int visible;
};

unsigned int StatusOptions(const Scene *scene)
{
    return scene ? scene->options : Scene::kStatusPose | Scene::kStatusAppearance;
}

} // namespace

void KelmarCamera::saveStatus(PxStream *stream) const
{
    const unsigned int options = StatusOptions(scene);
    if (options & Scene::kStatusPose) WriteReals("RELTM", stream, &relative_[0][0], 16);
    if (!(options & Scene::kStatusAppearance)) return;
    const double angle = GetViewAngle();
    float background[3];
    GetBackground(background);
    const double rgb[3] = {background[0], background[1], background[2]};
    WriteReals("VIEWANGLE", stream, &angle, 1);
    WriteReals("BACKGROUND", stream, rgb, 3);
    PxXMLWrite("VISIBLE", stream, "%d", IsVisible() ? 1 : 0);
}

int KelmarCamera::loadStatus(PxXMLElement *element)
{
    CameraValues v = {};
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("RELTM", PxXMLParseDoubleArray, offsetof(CameraValues, tm), 16),
        PX_XML_VALUE("VIEWANGLE", PxXMLParseDouble, offsetof(CameraValues, viewAngle), 1),
        PX_XML_VALUE("BACKGROUND", PxXMLParseDoubleArray, offsetof(CameraValues, background), 3),
        PX_XML_VALUE("VISIBLE", PxXMLParseInt, offsetof(CameraValues, visible), 1), PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (Given(handlers, "RELTM")) {
        double tm[4][4];
        std::memcpy(tm, v.tm, sizeof tm);
        if (IsRigidTM(tm, 1e-7)) SetRelTM(tm);
    }
    if (Given(handlers, "VIEWANGLE")) SetViewAngle(static_cast<float>(v.viewAngle));
    if (Given(handlers, "BACKGROUND")) {
        const float rgb[3] = {static_cast<float>(v.background[0]), static_cast<float>(v.background[1]),
                              static_cast<float>(v.background[2])};
        SetBackground(rgb);
    }
    if (Given(handlers, "VISIBLE")) SetVisible(v.visible != 0);
    return result;
}

} // namespace kelmar

// Status of camera heads: head pose and joints (degrees) with the pose bit,
// view angles and visibility with the appearance bit.
#include <kelmar/KelmarCamHead.h>

namespace kelmar {

namespace {
struct HeadValues {
    double tm[16];
    double joints[4];
    double viewAngles[2];
    int visible;
};
} // namespace

void KelmarCamHead::saveStatus(PxStream *stream) const
{
    const unsigned int options = StatusOptions(scene);
    if (options & Scene::kStatusPose) {
        float degrees[4];
        GetJoints(degrees);
        const double joints[4] = {degrees[0], degrees[1], degrees[2], degrees[3]};
        WriteReals("HEADTM", stream, &head_[0][0], 16);
        WriteReals("JOINTS", stream, joints, 4);
    }
    if (!(options & Scene::kStatusAppearance)) return;
    const double angles[2] = {leftAngle_, rightAngle_};
    WriteReals("VIEWANGLES", stream, angles, 2);
    PxXMLWrite("VISIBLE", stream, "%d", IsVisible() ? 1 : 0);
}

int KelmarCamHead::loadStatus(PxXMLElement *element)
{
    HeadValues v = {};
    PxXMLHandler handlers[] = {PX_XML_VALUE("HEADTM", PxXMLParseDoubleArray, offsetof(HeadValues, tm), 16),
                               PX_XML_VALUE("JOINTS", PxXMLParseDoubleArray, offsetof(HeadValues, joints), 4),
                               PX_XML_VALUE("VIEWANGLES", PxXMLParseDoubleArray, offsetof(HeadValues, viewAngles), 2),
                               PX_XML_VALUE("VISIBLE", PxXMLParseInt, offsetof(HeadValues, visible), 1), PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (Given(handlers, "HEADTM")) {
        double tm[4][4];
        std::memcpy(tm, v.tm, sizeof tm);
        if (IsRigidTM(tm, 1e-7)) SetHeadTM(tm);
    }
    if (Given(handlers, "JOINTS")) {
        const float degrees[4] = {static_cast<float>(v.joints[0]), static_cast<float>(v.joints[1]),
                                  static_cast<float>(v.joints[2]), static_cast<float>(v.joints[3])};
        SetJoints(degrees);
    }
    if (Given(handlers, "VIEWANGLES"))
        SetViewAngles(static_cast<float>(v.viewAngles[0]), static_cast<float>(v.viewAngles[1]));
    if (Given(handlers, "VISIBLE")) SetVisible(v.visible != 0);
    return result;
}

} // namespace kelmar
