// Script entries of KelmarCamHead: the four joints of a named stereo head
// (degrees), where its eyes meet, its lenses and its pictures, delivered
// as colour planes of its read-out window with rows bottom-up.
#include <algorithm>
#include <string>
#include <vector>

#include <kelmar/KelmarCamHead.h>

#include "admin/DfxKelmarAdmin.h"
#include "cameras/DfxKelmarCamHead.h"
#include "cameras/Cameras.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

DfxKelmarCamHead *Ref(KelmarCall *c)
{
    return Self<DfxKelmarCamHead>(c);
}

KelmarCamHead *H(KelmarCall *c)
{
    return Ref(c)->Require();
}

void NewHeadRef(KelmarCall *c)
{
    NewRef<DfxKelmarCamHead>(c, "KelmarCamHead:KelmarCamHead");
}

// A head of the script's own in the scene.
void NewOwn(KelmarCall *c)
{
    static int made = 0;
    const std::string name = "camhead_" + std::to_string(++made);
    auto *head = new DfxKelmarCamHead(name.c_str(), Text(c, 0, "KelmarCamHead:KelmarCamHead"), nullptr, true);
    TheAdmin().Register(head);
    c->self = head;
}

void Free(KelmarCall *c)
{
    delete Ref(c);
}

void NumJoints(KelmarCall *c)
{
    H(c);
    ReturnInt(c, KelmarCamHead::kNumJoints);
}

void NumEffectors(KelmarCall *c)
{
    H(c);
    ReturnInt(c, KelmarCamHead::kNumEffectors);
}

// ---- Joints ----
int Index(KelmarCall *c, const char *label)
{
    const int index = Int(c, 0, label);
    if (index < 0 || index >= KelmarCamHead::kNumJoints)
        Raise(kBadArgIndex, kIndexOutOfRange, label, 0, KelmarCamHead::kNumJoints - 1);
    return index;
}

void SetJoints(KelmarCall *c)
{
    double degrees[KelmarCamHead::kNumJoints];
    Reals(c, 0, "KelmarCamHead:SetJoints", KelmarCamHead::kNumJoints, degrees);
    float values[KelmarCamHead::kNumJoints];
    for (int i = 0; i < KelmarCamHead::kNumJoints; ++i) values[i] = static_cast<float>(degrees[i]);
    H(c)->SetJoints(values);
}

void SetJoint(KelmarCall *c)
{
    const char *label = "KelmarCamHead:SetJoint";
    const int index = Index(c, label);
    H(c)->SetJoint(index, static_cast<float>(Real(c, 1, label)));
}

void GetJoints(KelmarCall *c)
{
    float degrees[KelmarCamHead::kNumJoints];
    H(c)->GetJoints(degrees);
    float *out = OutFloats(c, 0, "KelmarCamHead:GetJoints", KelmarCamHead::kNumJoints);
    std::copy(degrees, degrees + KelmarCamHead::kNumJoints, out);
}

void GetJoint(KelmarCall *c)
{
    const int index = Index(c, "KelmarCamHead:GetJoint");
    ReturnFloat(c, H(c)->GetJoint(index));
}

void Park(KelmarCall *c)
{
    H(c)->Park();
}

void Home(KelmarCall *c)
{
    H(c)->Home();
}

// Where the eyes look (head coordinates, cm); a point it cannot look at is
// refused as a bad value.
void SetFixPoint(KelmarCall *c)
{
    const char *label = "KelmarCamHead:SetFixPoint";
    double point[3];
    Reals(c, 0, label, 3, point);
    if (!H(c)->SetFixPoint(point))
        prog_throw(kHostExceptionIds[kBadArgValue], "%s: the head cannot look at its own centre\n", label);
}

void GetFixPoint(KelmarCall *c)
{
    double point[3] = {0, 0, 0};
    H(c)->GetFixPoint(point);
    PutReals(c, 0, "KelmarCamHead:GetFixPoint", point, 3);
}

// ---- Lenses and irises (the irises have no effect on pictures) ----
void SetLens(KelmarCall *c)
{
    const char *label = "KelmarCamHead:SetLens";
    float v[4];
    for (int i = 0; i < 4; ++i) v[i] = static_cast<float>(Real(c, i, label));
    H(c)->SetLens(v[0], v[1], v[2], v[3]);
}

void SetLeftIris(KelmarCall *c)
{
    H(c)->SetLeftIris(static_cast<float>(Int(c, 0, "KelmarCamHead:SetLeftIris")));
}

void SetRightIris(KelmarCall *c)
{
    H(c)->SetRightIris(static_cast<float>(Int(c, 0, "KelmarCamHead:SetRightIris")));
}

void InitIris(KelmarCall *c)
{
    H(c);
}

void InitImgSrv(KelmarCall *c)
{
    const char *label = "KelmarCamHead:InitImgSrv";
    int v[4];
    for (int i = 0; i < 4; ++i) v[i] = Int(c, i, label);
    if (!H(c)->InitImgSrv(v[0], v[1], v[2], v[3]))
        prog_throw(kHostExceptionIds[kBadArgValue], "%s: the window lies outside the picture\n", label);
}

// The simulated head reaches its joints at once: bounds on their
// accelerations (degrees/s^2, one a joint) are checked and have no effect.
void SetAccelerations(KelmarCall *c)
{
    double bounds[KelmarCamHead::kNumJoints];
    Reals(c, 0, "KelmarCamHead:SetAccelerations", KelmarCamHead::kNumJoints, bounds);
    H(c);
}

// ---- Pictures: one eye's window as three planes from argument first ----
void Planes(KelmarCall *c, int first, const std::vector<unsigned char> &rgb, const char *label)
{
    int x, y, w, h;
    H(c)->GetWindow(&x, &y, &w, &h);
    for (int k = 0; k < 3; ++k) {
        unsigned char *plane = OutBytes(c, first + k, label, w * h);
        c->args[first + k].shape[0] = h;
        c->args[first + k].shape[1] = w;
        for (int i = 0; i < w * h; ++i) plane[i] = rgb[static_cast<size_t>(3 * i + k)];
    }
}

void Require(bool ok, KelmarCall *c, const char *label)
{
    if (!ok) prog_throw(kHostExceptionIds[kBadOpObject], "%s: %s\n", label, H(c)->GetError().c_str());
}

void GetLeft(KelmarCall *c)
{
    const char *label = "KelmarCamHead:GetLeftImg_RGB";
    std::vector<unsigned char> rgb;
    Require(H(c)->GetLeftImg(rgb), c, label);
    Planes(c, 0, rgb, label);
}

void GetRight(KelmarCall *c)
{
    const char *label = "KelmarCamHead:GetRightImg_RGB";
    std::vector<unsigned char> rgb;
    Require(H(c)->GetRightImg(rgb), c, label);
    Planes(c, 0, rgb, label);
}

void GetStereo(KelmarCall *c)
{
    const char *label = "KelmarCamHead:GetStereoImg_RGB";
    std::vector<unsigned char> left, right;
    Require(H(c)->GetStereoImg(left, right), c, label);
    Planes(c, 0, left, label);
    Planes(c, 3, right, label);
}

const NamedEntry kEntries[] = {
    {"KelmarCamHeadCreate_KelmarCamHead", NewOwn},
    {"KelmarCamHeadRef_KelmarCamHead", NewHeadRef},
    {"KelmarCamHead_FREE_KelmarCamHead", Free},
    {"KelmarCamHead_NumJoints", NumJoints},
    {"KelmarCamHead_NumNodes", NumJoints},
    {"KelmarCamHead_NumEffectors", NumEffectors},
    {"KelmarCamHead_SetJoints", SetJoints},
    {"KelmarCamHead_SetJoint", SetJoint},
    {"KelmarCamHead_GetJoints", GetJoints},
    {"KelmarCamHead_GetJoint", GetJoint},
    {"KelmarCamHead_Park", Park},
    {"KelmarCamHead_Home", Home},
    {"KelmarCamHead_InitIris", InitIris},
    {"KelmarCamHead_InitImgSrv", InitImgSrv},
    {"KelmarCamHead_SetLeftIris", SetLeftIris},
    {"KelmarCamHead_SetRightIris", SetRightIris},
    {"KelmarCamHead_SetLens", SetLens},
    {"KelmarCamHead_GetLeftImg_RGB", GetLeft},
    {"KelmarCamHead_GetRightImg_RGB", GetRight},
    {"KelmarCamHead_GetStereoImg_RGB", GetStereo},
    {"KelmarCamHead_SetFixPoint", SetFixPoint},
    {"KelmarCamHead_GetFixPoint", GetFixPoint},
    {"KelmarCamHead_SetAccelerations", SetAccelerations},
};

} // namespace

EntryList CamHeadEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
