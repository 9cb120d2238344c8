// Reading CAMERA and CAMHEAD elements into the scene being read.
#include <kelmar/CameraLoader.h>

#include <cstddef>
#include <cstring>
#include <string>

#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>
#include <kelmar/PxMath.h>
#include <kelmar/PxVector.h>
#include <kelmar/Scene.h>
#include <kelmar/SceneLoader.h>
#include <kelmar/Transform.h>

#include "camera/CameraStatus.h"

namespace kelmar {

using camera::Given;

namespace {

const int kText = 256;

struct Pose {
    double tm[16], pos[3], quat[4], euler[3];
};

struct CameraValues {
    char id[kText], relto[kText];
    Pose pose;
    int width, height, size[2];
    double viewAngle, limits[2];
    float background[4];
    int visible;
};

struct HeadValues {
    char id[kText];
    Pose pose;
    int width, height, size[2], offset[2];
    double joints[4], baseline, left, right, angles[2];
    float background[4];
    int visible;
};

void Report(PxXMLInput *input, int severity, const std::string &message)
{
    input->errorHandler(input, severity, PX_XML_BAD_VALUE, "%s", message.c_str());
}

// TM when it is rigid, else POS with QUAT or EULER; lengths times the
// scene's scale; the result relative to reference.
void EvaluatePose(const PxXMLHandler *handlers, const Pose &v, double scale, const double (*reference)[4],
                  double out[4][4])
{
    double local[4][4];
    std::memcpy(local, v.tm, sizeof local);
    for (int k = 0; k < 3; ++k) local[3][k] *= scale;
    if (!Given(handlers, "TM") || !IsRigidTM(local, 1e-5)) {
        const double identity[4] = {1, 0, 0, 0};
        double position[3];
        PxV3Scale(position, v.pos, scale);
        TMFromQuaternion(local, Given(handlers, "QUAT") ? v.quat : identity, position);
        if (!Given(handlers, "QUAT") && Given(handlers, "EULER")) {
            double rotation[3][3];
            PxMatrix3FromEulerAngles(rotation, v.euler[0], v.euler[1], v.euler[2]);
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) local[i][j] = rotation[i][j];
        }
        NormalizeTM(local);
    }
    if (reference)
        CompoundTM(out, reference, local);
    else
        PxM4Copy(out, local);
}

// Picture size from SIZE, else WIDTH and HEIGHT, else the defaults.
void ImageSize(const PxXMLHandler *handlers, const int *size, int width, int height, int *w, int *h)
{
    if (Given(handlers, "SIZE")) {
        *w = size[0], *h = size[1];
        return;
    }
    if (Given(handlers, "WIDTH")) *w = width;
    if (Given(handlers, "HEIGHT")) *h = height;
}

// The element's full ID, or empty (and an error) when it is taken.
std::string FreeId(Scene *scene, PxXMLInput *input, const char *given, const char *base, const char *what)
{
    const std::string id = given[0] ? std::string(given) : scene->MakeDefaultId(base);
    const std::string full = scene->GetFullId(id.c_str());
    if (!scene->LookupObject(full.c_str(), false)) return full;
    Report(input, PX_XML_ERROR, "Duplicate object ID '" + id + "' detected. " + what + " not created.\n");
    return "";
}

void Appearance(VirtualCamera *camera, const PxXMLHandler *handlers, const float *background, int visible)
{
    if (Given(handlers, "BACKGROUND")) camera->SetBackground(background);
    if (Given(handlers, "VISIBLE")) camera->SetVisible(visible != 0);
}

#define POSE_HANDLERS(T)                                                                                             \
    PX_XML_VALUE("TM", PxXMLParseDoubleArray, offsetof(T, pose.tm), 16),                                             \
        PX_XML_VALUE("POS", PxXMLParseDoubleArray, offsetof(T, pose.pos), 3),                                        \
        PX_XML_VALUE("QUAT", PxXMLParseDoubleArray, offsetof(T, pose.quat), 4),                                      \
        PX_XML_VALUE("EULER", PxXMLParseDoubleArray, offsetof(T, pose.euler), 3)

} // namespace

int LoadCameraElement(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    CameraValues v = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kText - 1);
    PxXMLHandler handlers[] = {
        PX_XML_VALUE("ID", PxXMLParseString, offsetof(CameraValues, id), kText),
        PX_XML_VALUE("RELTO", PxXMLParseString, offsetof(CameraValues, relto), kText),
        POSE_HANDLERS(CameraValues),
        PX_XML_VALUE("WIDTH", PxXMLParseInt, offsetof(CameraValues, width), 1),
        PX_XML_VALUE("HEIGHT", PxXMLParseInt, offsetof(CameraValues, height), 1),
        PX_XML_VALUE("SIZE", PxXMLParseIntArray, offsetof(CameraValues, size), 2),
        PX_XML_VALUE("VIEWANGLE", PxXMLParseDouble, offsetof(CameraValues, viewAngle), 1),
        PX_XML_VALUE("VIEWANGLE_LIMITS", PxXMLParseDoubleArray, offsetof(CameraValues, limits), 2),
        PX_XML_VALUE("BACKGROUND", PxXMLParseColor, offsetof(CameraValues, background), 4),
        PX_XML_VALUE("VISIBLE", PxXMLParseInt, offsetof(CameraValues, visible), 1),
        PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!scene) return result;
    const std::string id = FreeId(scene, input, v.id, "CAM", "Camera");
    if (id.empty()) return result;
    int width = 320, height = 240;
    ImageSize(handlers, v.size, v.width, v.height, &width, &height);
    if (width < 1 || height < 1) {
        Report(input, PX_XML_ERROR, "Invalid image size!\n");
        return result;
    }
    KelmarCamera *camera = new KelmarCamera(scene, width, height);
    const double(*reference)[4] = scene->GetPlacement();
    if (v.relto[0] && !camera->AttachTo(scene->GetFullId(v.relto)) && !camera->AttachTo(v.relto))
        Report(input, PX_XML_WARNING,
               std::string("Referenced solid '") + v.relto + "' for KelmarCamera is not defined yet, ignoring. \n");
    if (camera->GetAttachedName()) reference = nullptr;
    double pose[4][4];
    EvaluatePose(handlers, v.pose, scene->GetScale(), reference, pose);
    camera->SetRelTM(pose);
    if (Given(handlers, "VIEWANGLE_LIMITS"))
        camera->SetViewAngleLimits(static_cast<float>(v.limits[0]), static_cast<float>(v.limits[1]));
    if (Given(handlers, "VIEWANGLE")) camera->SetViewAngle(static_cast<float>(v.viewAngle));
    Appearance(camera, handlers, v.background, v.visible);
    scene->InsertObject(id.c_str(), camera);
    return result;
}

int LoadCamHeadElement(PxXMLElement *element)
{
    Scene *scene = GetScene(element);
    PxXMLInput *input = PxXMLElementGetInput(element);
    HeadValues v = {};
    if (element->attributes) std::strncpy(v.id, element->attributes, kText - 1);
    PxXMLHandler handlers[] = {PX_XML_VALUE("ID", PxXMLParseString, offsetof(HeadValues, id), kText),
                               POSE_HANDLERS(HeadValues),
                               PX_XML_VALUE("JOINTS", PxXMLParseDoubleArray, offsetof(HeadValues, joints), 4),
                               PX_XML_VALUE("BASELINE", PxXMLParseDouble, offsetof(HeadValues, baseline), 1),
                               PX_XML_VALUE("WIDTH", PxXMLParseInt, offsetof(HeadValues, width), 1),
                               PX_XML_VALUE("HEIGHT", PxXMLParseInt, offsetof(HeadValues, height), 1),
                               PX_XML_VALUE("SIZE", PxXMLParseIntArray, offsetof(HeadValues, size), 2),
                               PX_XML_VALUE("OFFSET", PxXMLParseIntArray, offsetof(HeadValues, offset), 2),
                               PX_XML_VALUE("LEFT_VIEWANGLE", PxXMLParseDouble, offsetof(HeadValues, left), 1),
                               PX_XML_VALUE("RIGHT_VIEWANGLE", PxXMLParseDouble, offsetof(HeadValues, right), 1),
                               PX_XML_VALUE("VIEWANGLES", PxXMLParseDoubleArray, offsetof(HeadValues, angles), 2),
                               PX_XML_VALUE("BACKGROUND", PxXMLParseColor, offsetof(HeadValues, background), 4),
                               PX_XML_VALUE("VISIBLE", PxXMLParseInt, offsetof(HeadValues, visible), 1),
                               PX_XML_END};
    const int result = PxXMLElementProcess(element, handlers, &v);
    if (!scene) return result;
    const std::string id = FreeId(scene, input, v.id, "CAMHEAD", "Camera head");
    if (id.empty()) return result;
    int width = 786, height = 576;
    ImageSize(handlers, v.size, v.width, v.height, &width, &height);
    if (width < 1 || height < 1) {
        Report(input, PX_XML_ERROR, "Invalid image size!\n");
        return result;
    }
    KelmarCamHead *head = new KelmarCamHead(scene);
    head->SetImageSize(width, height);
    if (Given(handlers, "OFFSET") &&
        !head->InitImgSrv(width - v.offset[0], height - v.offset[1], v.offset[0], v.offset[1]))
        Report(input, PX_XML_WARNING, "Camera head '" + id + "': " + head->GetError() + "\n");
    double pose[4][4];
    EvaluatePose(handlers, v.pose, scene->GetScale(), scene->GetPlacement(), pose);
    head->SetHeadTM(pose);
    if (Given(handlers, "BASELINE")) head->SetBaseline(v.baseline * scene->GetScale());
    if (Given(handlers, "JOINTS")) {
        const float degrees[4] = {static_cast<float>(v.joints[0]), static_cast<float>(v.joints[1]),
                                  static_cast<float>(v.joints[2]), static_cast<float>(v.joints[3])};
        head->SetJoints(degrees);
    }
    double left = head->GetLeftViewAngle(), right = head->GetRightViewAngle();
    if (Given(handlers, "VIEWANGLES")) left = v.angles[0], right = v.angles[1];
    if (Given(handlers, "LEFT_VIEWANGLE")) left = v.left;
    if (Given(handlers, "RIGHT_VIEWANGLE")) right = v.right;
    head->SetViewAngles(static_cast<float>(left), static_cast<float>(right));
    Appearance(head, handlers, v.background, v.visible);
    scene->InsertObject(id.c_str(), head);
    return result;
}

} // namespace kelmar
