// Script entries of KelmarCamera: pictures, pose and zoom of a named camera
// of a scene. Pictures keep the frame buffer's order: rows bottom-up.
#include <algorithm>
#include <string>
#include <vector>

#include <kelmar/KelmarCamera.h>

#include "admin/DfxKelmarAdmin.h"
#include "cameras/DfxKelmarCamera.h"
#include "cameras/Cameras.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

DfxKelmarCamera *Ref(KelmarCall *c)
{
    return Self<DfxKelmarCamera>(c);
}

KelmarCamera *Cam(KelmarCall *c)
{
    return Ref(c)->Require();
}

void NewCameraRef(KelmarCall *c)
{
    NewRef<DfxKelmarCamera>(c, "KelmarCamera:KelmarCamera");
}

// A camera of the script's own on a solid, width x height pixels, at TM
// relative to the solid (the solid's frame without one).
void NewOwn(KelmarCall *c)
{
    const char *label = "KelmarCamera:KelmarCamera";
    const char *scene = Text(c, 0, label), *solid = Text(c, 1, label);
    const int width = Int(c, 2, label), height = Int(c, 3, label);
    if (width < 1 || height < 1)
        prog_throw(kHostExceptionIds[kBadArgValue], "%s: a picture of %d x %d pixels\n", label, width, height);
    double pose[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    if (c->argc > 4 && c->args[4].kind != KELMAR_NONE) Transform(c, 4, label, pose);
    static int made = 0;
    const std::string name = "camera_" + std::to_string(++made);
    auto *camera = new DfxKelmarCamera(name.c_str(), scene, nullptr, solid, width, height, pose);
    TheAdmin().Register(camera);
    c->self = camera;
}

void Free(KelmarCall *c)
{
    delete Ref(c);
}

// A picture that could not be had is a failed operation, with the reason.
void Require(bool ok, const KelmarCamera *camera, const char *label)
{
    if (!ok) prog_throw(kHostExceptionIds[kBadOpObject], "%s: %s\n", label, camera->GetError().c_str());
}

// Room for one plane (or interleaved picture) of the camera's size.
unsigned char *Plane(KelmarCall *c, int k, const char *label, int width, int height, int depth)
{
    unsigned char *out = OutBytes(c, k, label, width * height * depth);
    c->args[k].shape[0] = height;
    c->args[k].shape[1] = width;
    c->args[k].shape[2] = depth > 1 ? depth : 0;
    return out;
}

void GetImage1(KelmarCall *c)
{
    const char *label = "Camera:GetImage1";
    KelmarCamera *camera = Cam(c);
    int width, height;
    camera->GetSize(&width, &height);
    unsigned char *out = Plane(c, 0, label, width, height, 3);
    std::vector<unsigned char> rgb;
    Require(camera->GetImage1(rgb), camera, label);
    std::copy(rgb.begin(), rgb.end(), out);
}

void GetImage3(KelmarCall *c)
{
    const char *label = "Camera:GetImage3";
    KelmarCamera *camera = Cam(c);
    int width, height;
    camera->GetSize(&width, &height);
    unsigned char *out[3];
    for (int k = 0; k < 3; ++k) out[k] = Plane(c, k, label, width, height, 1);
    std::vector<unsigned char> planes[3];
    Require(camera->GetImage3(planes[0], planes[1], planes[2]), camera, label);
    for (int k = 0; k < 3; ++k) std::copy(planes[k].begin(), planes[k].end(), out[k]);
}

// The pose relative to the solid the camera is attached to (else the world).
void GetTM(KelmarCall *c)
{
    PutTransform(c, 0, "Camera:GetTM", Cam(c)->GetRelTM());
}

constexpr char kCameraSetTM[] = "Camera:SetTM";

void SetZoom(KelmarCall *c)
{
    const double zoom = Real(c, 0, "Camera:SetZoom");
    Cam(c)->SetZoom(static_cast<float>(zoom));
}

const NamedEntry kEntries[] = {
    {"CameraCreate_KelmarCamera", NewOwn},
    {"CameraRef_KelmarCamera", NewCameraRef},
    {"Camera_FREE_KelmarCamera", Free},
    {"Camera_GetImage1", GetImage1},
    {"Camera_GetImage3", GetImage3},
    {"Camera_GetTM", GetTM},
    {"Camera_SetTM", SetTransform<Cam, &KelmarCamera::SetRelTM, kCameraSetTM>},
    {"Camera_SetZoom", SetZoom},
    {"Camera_GetZoom", GetReal<Cam, &KelmarCamera::GetZoom>},
};

} // namespace

EntryList CameraEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
