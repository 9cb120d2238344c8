// Camera units: a camera attached to a solid ("camera"), a camera of the
// scene file ("camera|ref"), a stereo camera head made in the scene
// ("CamHead") or one of the scene file ("CamHead|ref"). Pictures come out
// as bytes, rows bottom-up, RGB interleaved or as three planes; angles are
// degrees and lengths cm, as everywhere at the host.
#include <vector>

#include <kelmar/KelmarCamHead.h>
#include <kelmar/KelmarCamera.h>

#include "cameras/DfxKelmarCamHead.h"
#include "cameras/DfxKelmarCamera.h"
#include "progaux/HostErrors.h"
#include "progaux/UnitSupport.h"
#include "units/ObjectUnits.h"
#include "units/Units.h"

namespace kelmar {

namespace {

const PortSpec kTM[] = {{"tm", "float"}, {nullptr, nullptr}};
const PortSpec kValue[] = {{"value", "float"}, {nullptr, nullptr}};
const PortSpec kValues[] = {{"values", "float"}, {nullptr, nullptr}};
const PortSpec kPoint[] = {{"point", "float"}, {nullptr, nullptr}};
const PortSpec kImage[] = {{"image", "bytes"}, {"width", "int"}, {"height", "int"}, {nullptr, nullptr}};
const PortSpec kPlanes[] = {{"red", "bytes"}, {"green", "bytes"}, {"blue", "bytes"},
                            {"width", "int"}, {"height", "int"},  {nullptr, nullptr}};

KelmarCamera *CameraOf(DfxUnit *m)
{
    return DataOf<DfxKelmarCamera>(m)->Require();
}

KelmarCamHead *HeadOf(DfxUnit *m)
{
    return DataOf<DfxKelmarCamHead>(m)->Require();
}

// A picture that could not be taken is the camera's fault, with its reason.
void RequirePicture(DfxUnit *m, bool taken, const VirtualCamera &camera)
{
    if (!taken)
        prog_throw(kHostExceptionIds[kBadOpObject], "%s: no picture: %s\n", MethodLabel(m).c_str(),
                   camera.GetError().c_str());
}

void PutBytes(DfxUnit *m, int port, const std::vector<unsigned char> &bytes)
{
    unsigned char *out = dfx_out_bytes(m, port, static_cast<int>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) out[i] = bytes[i];
}

void PutImage(DfxUnit *m, const std::vector<unsigned char> &rgb, int width, int height)
{
    PutBytes(m, 0, rgb);
    dfx_out_int(m, 1, width);
    dfx_out_int(m, 2, height);
}

void GetImage1(DfxUnit *m)
{
    KelmarCamera *camera = CameraOf(m);
    std::vector<unsigned char> rgb;
    RequirePicture(m, camera->GetImage1(rgb), *camera);
    int width = 0, height = 0;
    camera->GetSize(&width, &height);
    PutImage(m, rgb, width, height);
}

void GetImage3(DfxUnit *m)
{
    KelmarCamera *camera = CameraOf(m);
    std::vector<unsigned char> r, g, b;
    RequirePicture(m, camera->GetImage3(r, g, b), *camera);
    int width = 0, height = 0;
    camera->GetSize(&width, &height);
    PutBytes(m, 0, r);
    PutBytes(m, 1, g);
    PutBytes(m, 2, b);
    dfx_out_int(m, 3, width);
    dfx_out_int(m, 4, height);
}

// The camera's pose in the world.
void GetTM(DfxUnit *m)
{
    const double(*tm)[4] = CameraOf(m)->GetCurrentTM();
    float *out = dfx_out_floats(m, 0, 16);
    for (int i = 0; i < 16; ++i) out[i] = static_cast<float>(tm[i / 4][i % 4]);
}

// The camera's pose relative to its solid (or in the world, unattached).
void SetTM(DfxUnit *m)
{
    KelmarCamera *camera = CameraOf(m);
    int n = 0;
    const float *values = dfx_in_floats(m, 0, &n);
    RequireDim(MethodLabel(m).c_str(), 0, n, 16);
    double tm[4][4];
    RequireTM(MethodLabel(m).c_str(), values, tm);
    camera->SetRelTM(tm);
}

// Zoom 0 is the widest view angle, 1 the narrowest.
void GetZoom(DfxUnit *m)
{
    dfx_out_floats(m, 0, 1)[0] = CameraOf(m)->GetZoom();
}

void SetZoom(DfxUnit *m)
{
    CameraOf(m)->SetZoom(dfx_in_float(m, 0));
}

void SetJoints(DfxUnit *m)
{
    KelmarCamHead *head = HeadOf(m);
    int n = 0;
    const float *values = dfx_in_floats(m, 0, &n);
    RequireDim(MethodLabel(m).c_str(), 0, n, KelmarCamHead::kNumJoints);
    head->SetJoints(values);
}

void GetJoints(DfxUnit *m)
{
    HeadOf(m)->GetJoints(dfx_out_floats(m, 0, KelmarCamHead::kNumJoints));
}

void SetFixPoint(DfxUnit *m)
{
    KelmarCamHead *head = HeadOf(m);
    int n = 0;
    const float *values = dfx_in_floats(m, 0, &n);
    RequireDim(MethodLabel(m).c_str(), 0, n, 3);
    const double point[3] = {values[0], values[1], values[2]};
    if (!head->SetFixPoint(point))
        prog_throw(kHostExceptionIds[kBadArgValue], "%s: the head's own centre cannot be fixated\n",
                   MethodLabel(m).c_str());
}

void GetFixPoint(DfxUnit *m)
{
    double point[3];
    if (!HeadOf(m)->GetFixPoint(point))
        prog_throw(kHostExceptionIds[kBadOpObject], "%s: the eyes' axes do not meet in front of the head\n",
                   MethodLabel(m).c_str());
    ToFloats(point, dfx_out_floats(m, 0, 3), 3);
}

void EyeImage(DfxUnit *m, bool left)
{
    KelmarCamHead *head = HeadOf(m);
    std::vector<unsigned char> rgb;
    RequirePicture(m, left ? head->GetLeftImg(rgb) : head->GetRightImg(rgb), *head);
    int x = 0, y = 0, width = 0, height = 0;
    head->GetWindow(&x, &y, &width, &height);
    PutImage(m, rgb, width, height);
}

void GetLeftImg(DfxUnit *m)
{
    EyeImage(m, true);
}

void GetRightImg(DfxUnit *m)
{
    EyeImage(m, false);
}

void Home(DfxUnit *m)
{
    HeadOf(m)->Home();
}

void Park(DfxUnit *m)
{
    HeadOf(m)->Park();
}

DfxUnit *CameraUnit(DfxUnit *host, const char *label, const char *name, DfxKelmarCamera *camera, bool namedByUnit)
{
    DfxUnit *unit = ObjectUnit(host, label, name, camera, nullptr, namedByUnit);
    AddMethod(unit, "GetImage1", GetImage1, nullptr, nullptr, kImage);
    AddMethod(unit, "GetImage3", GetImage3, nullptr, nullptr, kPlanes);
    AddMethod(unit, "GetTM", GetTM, nullptr, nullptr, kTM);
    AddMethod(unit, "SetTM", SetTM, nullptr, kTM, nullptr);
    AddMethod(unit, "GetZoom", GetZoom, nullptr, nullptr, kValue);
    AddMethod(unit, "SetZoom", SetZoom, nullptr, kValue, nullptr);
    return unit;
}

DfxUnit *CamHeadUnit(DfxUnit *host, const char *label, const char *name, DfxKelmarCamHead *head, bool namedByUnit)
{
    DfxUnit *unit = ObjectUnit(host, label, name, head, nullptr, namedByUnit);
    AddMethod(unit, "SetJoints", SetJoints, nullptr, kValues, nullptr);
    AddMethod(unit, "GetJoints", GetJoints, nullptr, nullptr, kValues);
    AddMethod(unit, "SetFixPoint", SetFixPoint, nullptr, kPoint, nullptr);
    AddMethod(unit, "GetFixPoint", GetFixPoint, nullptr, nullptr, kPoint);
    AddMethod(unit, "GetLeftImg", GetLeftImg, nullptr, nullptr, kImage);
    AddMethod(unit, "GetRightImg", GetRightImg, nullptr, nullptr, kImage);
    AddMethod(unit, "Home", Home, nullptr, nullptr, nullptr);
    AddMethod(unit, "Park", Park, nullptr, nullptr, nullptr);
    return unit;
}

} // namespace

} // namespace kelmar

using namespace kelmar;

extern "C" {

// A made camera is named after its unit; its picture size must be positive.
DfxUnit *_fun1_camera(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const int width = dfx_dialog_int(dialog, 2, 0), height = dfx_dialog_int(dialog, 2, 1);
    if (width < 1 || height < 1)
        prog_throw(kHostExceptionIds[kBadArgValue], "camera: image size %d x %d is not positive\n", width, height);
    const char *name = dfx_dialog_unit_name(dialog);
    static const double kOnTheSolid[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    auto *camera = new DfxKelmarCamera(name, dfx_dialog_text(dialog, 0), nullptr, dfx_dialog_text(dialog, 1), width,
                                       height, kOnTheSolid);
    return CameraUnit(host, "camera", name, camera, true);
}

DfxUnit *_fun1_camera_ref(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    auto *camera = new DfxKelmarCamera(dfx_dialog_text(dialog, 1), dfx_dialog_text(dialog, 0), nullptr);
    return CameraUnit(host, "camera|ref", dfx_dialog_unit_name(dialog), camera, false);
}

DfxUnit *_fun1_CamHead(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    const char *name = dfx_dialog_unit_name(dialog);
    auto *head = new DfxKelmarCamHead(name, dfx_dialog_text(dialog, 0), nullptr, true);
    return CamHeadUnit(host, "CamHead", name, head, true);
}

DfxUnit *_fun1_CamHead_ref(DfxUnit *host, const DfxDialog *dialog)
{
    if (!CheckHost(host)) return nullptr;
    auto *head = new DfxKelmarCamHead(dfx_dialog_text(dialog, 1), dfx_dialog_text(dialog, 0), nullptr, false);
    return CamHeadUnit(host, "CamHead|ref", dfx_dialog_unit_name(dialog), head, false);
}

} // extern "C"
