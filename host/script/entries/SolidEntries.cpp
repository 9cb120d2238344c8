// Script entries of SolidRef (and the Box, Sphere and Cylinder it
// extends): pose, mass, forces, velocities, options and contacts of the
// kelmar::Solid a DfxSolid is bound to.
#include <cstring>
#include <string>

#include <kelmar/ContactList.h>
#include <kelmar/Graphics.h>
#include <kelmar/PxMath.h>
#include <kelmar/RbdBody.h>
#include <kelmar/Solid.h>
#include <kelmar/Transform.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

// Labels of the entries made from templates.
constexpr char kAddForce[] = "Solid:AddForce";
constexpr char kAddImpulse[] = "Solid:AddImpulse";
constexpr char kAddTorque[] = "Solid:AddTorque";
constexpr char kGetForce[] = "Solid:GetForce";
constexpr char kGetTorque[] = "Solid:GetTorque";
constexpr char kSetLinearVelocity[] = "Solid:SetLinearVelocity";
constexpr char kGetLinearVelocity[] = "Solid:GetLinearVelocity";
constexpr char kGetLinearAcceleration[] = "Solid:GetLinearAcceleration";
constexpr char kSetAngularVelocity[] = "Solid:SetAngularVelocity";
constexpr char kGetAngularVelocity[] = "Solid:GetAngularVelocity";
constexpr char kSetLinearVelocityDamping[] = "Solid:SetLinearVelocityDamping";
constexpr char kGetLinearVelocityDamping[] = "Solid:GetLinearVelocityDamping";
constexpr char kSetAngularVelocityDamping[] = "Solid:SetAngularVelocityDamping";
constexpr char kGetAngularVelocityDamping[] = "Solid:GetAngularVelocityDamping";

DfxSolid *Ref(KelmarCall *c)
{
    return Self<DfxSolid>(c);
}

// The bound solid; "badobj:solid" while unresolved.
Solid *S(KelmarCall *c)
{
    return Ref(c)->Require();
}

// The solid's body; a fixed solid has none to move or push.
RbdBodyID Body(KelmarCall *c, const char *label)
{
    Solid *solid = S(c);
    if (!solid->GetBody())
        prog_throw(kHostExceptionIds[kBadOpObject], "%s: solid '%s' has no body\n", label, Ref(c)->Name());
    return solid->GetBody();
}

// ---- Construction ----
void NewSolidRef(KelmarCall *c)
{
    NewRef<DfxSolidRef>(c, "SolidRef:SolidRef");
}

void Free(KelmarCall *c)
{
    delete Ref(c);
}

// Solids a script makes are named after their kind and a count.
std::string NewName(const char *kind)
{
    static int made = 0;
    return std::string(kind) + "_" + std::to_string(++made);
}

template <class T> void Place(KelmarCall *c, T *solid)
{
    TheAdmin().Register(solid);
    c->self = solid;
}

void NewBox(KelmarCall *c)
{
    const char *label = "Box:Box";
    double size[3];
    Reals(c, 1, label, 3, size);
    const std::string name = NewName("box");
    Place(c, new DfxBox(name.c_str(), Text(c, 0, label), nullptr, size, Int(c, 2, label), Int(c, 3, label) != 0));
}

void NewSphere(KelmarCall *c)
{
    const char *label = "Sphere:Sphere";
    const std::string name = NewName("sphere");
    Place(c, new DfxSphere(name.c_str(), Text(c, 0, label), nullptr, Real(c, 1, label), Int(c, 2, label),
                           Int(c, 3, label) != 0));
}

void NewCylinder(KelmarCall *c)
{
    const char *label = "Cylinder:Cylinder";
    const std::string name = NewName("cylinder");
    Place(c, new DfxCylinder(name.c_str(), Text(c, 0, label), nullptr, Real(c, 1, label), Real(c, 2, label),
                             Int(c, 3, label), Int(c, 4, label) != 0));
}

// ---- State ----
void Valid(KelmarCall *c)
{
    ReturnInt(c, Ref(c)->GetSolid() != nullptr);
}

void Enable(KelmarCall *c)
{
    RbdBodyID body = Body(c, "Solid:Enable");
    if (Int(c, 0, "Solid:Enable"))
        RbdBodyEnable(body);
    else
        RbdBodyDisable(body);
}

void Enabled(KelmarCall *c)
{
    ReturnInt(c, RbdBodyIsEnabled(Body(c, "Solid:Enabled")) != 0);
}

void Freeze(KelmarCall *c)
{
    S(c)->Freeze();
}

void UnFreeze(KelmarCall *c)
{
    S(c)->UnFreeze();
}

void Remove(KelmarCall *c)
{
    Solid *solid = S(c);
    solid->RemoveFromKelmar();
    ReturnInt(c, 1);
}

// ---- Pose ----
constexpr char kSolidSetPosition[] = "Solid:SetPosition";

constexpr char kSolidGetPosition[] = "Solid:GetPosition";

constexpr char kSolidSetQuaternion[] = "Solid:SetQuaternion";

constexpr char kSolidGetQuaternion[] = "Solid:GetQuaternion";

constexpr char kSolidSetTM[] = "Solid:SetTM";

void GetTM(KelmarCall *c)
{
    PutTransform(c, 0, "Solid:GetTM", S(c)->GetTM());
}

void SetTMAndUpdateAttachments(KelmarCall *c)
{
    double tm[4][4];
    Transform(c, 0, "Solid:SetTMAndUpdateAttachments", tm);
    S(c)->SetTMAndUpdateAttachments(tm);
}

void SetTMstepwise(KelmarCall *c)
{
    const char *label = "Solid:SetTMstepwise";
    double tm[4][4];
    Transform(c, 0, label, tm);
    S(c)->SetTMstepwise(tm, Real(c, 2, label), Real(c, 1, label));
}

// The overloads that take Euler angles and a position.
void EulerPos(KelmarCall *c, const char *label, double tm[4][4])
{
    double euler[3], position[3];
    Reals(c, 0, label, 3, euler);
    Reals(c, 1, label, 3, position);
    TMFromEulerAndPos(tm, euler, position);
}

void SetTMEuler(KelmarCall *c)
{
    double tm[4][4];
    EulerPos(c, "Solid:SetTM", tm);
    S(c)->SetTM(tm);
}

void SetTMAndUpdateAttachmentsEuler(KelmarCall *c)
{
    double tm[4][4];
    EulerPos(c, "Solid:SetTMAndUpdateAttachments", tm);
    S(c)->SetTMAndUpdateAttachments(tm);
}

void SetTMstepwiseEuler(KelmarCall *c)
{
    const char *label = "Solid:SetTMstepwise";
    double tm[4][4];
    EulerPos(c, label, tm);
    S(c)->SetTMstepwise(tm, Real(c, 3, label), Real(c, 2, label));
}

void GetTMEuler(KelmarCall *c)
{
    double euler[3], position[3];
    EulerAndPosFromTM(S(c)->GetTM(), euler, position);
    PutReals(c, 0, "Solid:GetTM", euler, 3);
    PutReals(c, 1, "Solid:GetTM", position, 3);
}

constexpr char kSolidGetCOM[] = "Solid:GetCOM";

// Positions between the solid's frame and the world; 1 when converted.
void PosToWorld(KelmarCall *c)
{
    double local[3], world[3];
    Reals(c, 0, "Solid:PosToWorld", 3, local);
    ConvertPosition(S(c)->GetTM(), local, world);
    PutReals(c, 1, "Solid:PosToWorld", world, 3);
    ReturnInt(c, 1);
}

void PosFromWorld(KelmarCall *c)
{
    double world[3], local[3], inverse[4][4];
    Reals(c, 0, "Solid:PosFromWorld", 3, world);
    std::memcpy(inverse, S(c)->GetTM(), sizeof inverse);
    PxMatrix4TMInvert(inverse);
    ConvertPosition(inverse, world, local);
    PutReals(c, 1, "Solid:PosFromWorld", local, 3);
    ReturnInt(c, 1);
}

// ---- Mass, forces, velocities (world) ----
void SetMass(KelmarCall *c)
{
    const double mass = Real(c, 0, "Solid:SetMass");
    RbdBodySetMass(Body(c, "Solid:SetMass"), mass);
}

void GetMass(KelmarCall *c)
{
    ReturnFloat(c, RbdBodyGetMass(Body(c, "Solid:GetMass")));
}

// An input 3-vector applied to the body.
template <void (*Apply)(RbdBodyID, PxReal, PxReal, PxReal), const char *Label> void Vector(KelmarCall *c)
{
    double v[3];
    Reals(c, 0, Label, 3, v);
    Apply(Body(c, Label), v[0], v[1], v[2]);
}

// A 3-vector read from the body.
template <void (*Read)(RbdBodyID, PxVector3), const char *Label> void Read3(KelmarCall *c)
{
    PxVector3 v;
    Read(Body(c, Label), v);
    PutReals(c, 0, Label, v, 3);
}

void AtPosition(KelmarCall *c, void (*apply)(RbdBodyID, const PxVector3, const PxVector3), const char *label)
{
    double f[3], p[3];
    Reals(c, 0, label, 3, f);
    Reals(c, 1, label, 3, p);
    apply(Body(c, label), f, p);
}

void AddForceAtPosition(KelmarCall *c)
{
    AtPosition(c, RbdBodyAddForceAtPosition, "Solid:AddForceAtPosition");
}

void AddImpulseAtPosition(KelmarCall *c)
{
    AtPosition(c, RbdBodyAddImpulseAtPosition, "Solid:AddImpulseAtPosition");
}

// The force (torque) the body is given for the next step becomes the one
// passed: the difference to what it has gathered so far is added.
void SetGathered(KelmarCall *c, void (*read)(RbdBodyID, PxVector3), void (*add)(RbdBodyID, PxReal, PxReal, PxReal),
                 const char *label)
{
    double wanted[3];
    Reals(c, 0, label, 3, wanted);
    RbdBodyID body = Body(c, label);
    PxVector3 now;
    read(body, now);
    add(body, wanted[0] - now[0], wanted[1] - now[1], wanted[2] - now[2]);
}

void SetForce(KelmarCall *c)
{
    SetGathered(c, RbdBodyGetForce, RbdBodyAddForce, "Solid:SetForce");
}

void SetTorque(KelmarCall *c)
{
    SetGathered(c, RbdBodyGetTorque, RbdBodyAddTorque, "Solid:SetTorque");
}

// The inertia tensor about the centre of mass in the body's frame, 3 x 3
// row by row (kg cm^2).
void SetInertia(KelmarCall *c)
{
    PxMatrix3 inertia;
    Reals(c, 0, "Solid:SetInertia", 9, &inertia[0][0]);
    RbdBodySetInertiaTensor(Body(c, "Solid:SetInertia"), inertia);
}

void GetInertia(KelmarCall *c)
{
    PxMatrix3 inertia;
    RbdBodyGetInertiaTensor(Body(c, "Solid:GetInertia"), inertia);
    PutReals(c, 0, "Solid:GetInertia", &inertia[0][0], 9);
}

void ResetForces(KelmarCall *c)
{
    RbdBodyResetForces(Body(c, "Solid:ResetForces"));
}

constexpr char kSolidGetTotalForce[] = "Solid:GetTotalForce";

constexpr char kSolidGetTotalTorque[] = "Solid:GetTotalTorque";

template <void (*Set)(RbdBodyID, PxReal), const char *Label> void SetBodyReal(KelmarCall *c)
{
    const double value = Real(c, 0, Label);
    Set(Body(c, Label), value);
}

template <PxReal (*Get)(RbdBodyID), const char *Label> void GetBodyReal(KelmarCall *c)
{
    ReturnFloat(c, Get(Body(c, Label)));
}

// ---- Options, type, colour ----
constexpr char kSolidOptions[] = "Solid:Options";

void SetType(KelmarCall *c)
{
    S(c)->type = Int(c, 0, "Solid:SetType");
}

void GetType(KelmarCall *c)
{
    ReturnInt(c, S(c)->type);
}

void SetColorName(KelmarCall *c)
{
    const char *name = Text(c, 0, "Solid:SetColor");
    S(c)->SetColor(name, static_cast<float>(Real(c, 1, "Solid:SetColor")));
}

// RGBA in 0..1; a solid drawn without graphics has no colour to set.
void SetColor(KelmarCall *c)
{
    double rgba[4];
    Reals(c, 0, "Solid:SetColor", 4, rgba);
    Graphics *graphics = S(c)->GetGraphics();
    const float color[4] = {static_cast<float>(rgba[0]), static_cast<float>(rgba[1]), static_cast<float>(rgba[2]),
                            static_cast<float>(rgba[3])};
    if (graphics) graphics->SetColor(color);
}

constexpr char kGetContacts[] = "Solid:GetContacts";

const NamedEntry kEntries[] = {
    {"SolidRef", NewSolidRef},
    {"FREE_SolidRef", Free},
    {"Box", NewBox},
    {"FREE_Box", Free},
    {"Sphere", NewSphere},
    {"FREE_Sphere", Free},
    {"Cylinder", NewCylinder},
    {"FREE_Cylinder", Free},
    {"SolidText_SetColor", SetColorName},
    {"Solid_SetColor", SetColor},
    {"Solid_PosToWorld", PosToWorld},
    {"Solid_PosFromWorld", PosFromWorld},
    {"Solid_SetOptions", WithBits<S, &Solid::SetOptions, kSolidOptions>},
    {"Solid_AddOptions", WithBits<S, &Solid::AddOptions, kSolidOptions>},
    {"Solid_ClearOptions", WithBits<S, &Solid::ClearOptions, kSolidOptions>},
    {"Solid_CheckOptions", CheckBits<S, kSolidOptions>},
    {"Solid_SetType", SetType},
    {"Solid_GetType", GetType},
    {"Solid_Valid", Valid},
    {"Solid_Enable", Enable},
    {"Solid_Enabled", Enabled},
    {"Solid_SetPosition", SetReals<S, &Solid::SetPosition, 3, kSolidSetPosition>},
    {"Solid_GetPosition", GetReals<S, &Solid::GetPosition, 3, kSolidGetPosition>},
    {"Solid_SetQuaternion", SetReals<S, &Solid::SetQuaternion, 4, kSolidSetQuaternion>},
    {"Solid_GetQuaternion", GetReals<S, &Solid::GetQuaternion, 4, kSolidGetQuaternion>},
    {"Solid_SetTM", SetTransform<S, &Solid::SetTM, kSolidSetTM>},
    {"Solid_GetTM", GetTM},
    {"Solid_SetTMAndUpdateAttachments", SetTMAndUpdateAttachments},
    {"Solid_SetTMstepwise", SetTMstepwise},
    {"Solid_GetCOM", GetReals<S, &Solid::GetCOM, 3, kSolidGetCOM>},
    {"Solid_Freeze", Freeze},
    {"Solid_UnFreeze", UnFreeze},
    {"Solid_SetMass", SetMass},
    {"Solid_GetMass", GetMass},
    {"Solid_ResetForces", ResetForces},
    {"Solid_SetForce", SetForce},
    {"Solid_SetTorque", SetTorque},
    {"Solid_SetInertia", SetInertia},
    {"Solid_GetInertia", GetInertia},
    {"Solid_AddForce", Vector<RbdBodyAddForce, kAddForce>},
    {"Solid_AddForceAtPosition", AddForceAtPosition},
    {"Solid_AddImpulse", Vector<RbdBodyAddImpulse, kAddImpulse>},
    {"Solid_AddImpulseAtPosition", AddImpulseAtPosition},
    {"Solid_AddTorque", Vector<RbdBodyAddTorque, kAddTorque>},
    {"Solid_GetForce", Read3<RbdBodyGetForce, kGetForce>},
    {"Solid_GetTorque", Read3<RbdBodyGetTorque, kGetTorque>},
    {"Solid_GetTotalForce", GetReals<S, &Solid::GetTotalForce, 3, kSolidGetTotalForce>},
    {"Solid_GetTotalTorque", GetReals<S, &Solid::GetTotalTorque, 3, kSolidGetTotalTorque>},
    {"Solid_SetLinearVelocity", Vector<RbdBodySetLinearVelocity, kSetLinearVelocity>},
    {"Solid_GetLinearVelocity", Read3<RbdBodyGetLinearVelocity, kGetLinearVelocity>},
    {"Solid_GetLinearAcceleration", Read3<RbdBodyGetLinearAcceleration, kGetLinearAcceleration>},
    {"Solid_SetAngularVelocity", Vector<RbdBodySetAngularVelocity, kSetAngularVelocity>},
    {"Solid_GetAngularVelocity", Read3<RbdBodyGetAngularVelocity, kGetAngularVelocity>},
    {"Solid_SetLinearVelocityDamping", SetBodyReal<RbdBodySetLinearVelocityDamping, kSetLinearVelocityDamping>},
    {"Solid_GetLinearVelocityDamping", GetBodyReal<RbdBodyGetLinearVelocityDamping, kGetLinearVelocityDamping>},
    {"Solid_SetAngularVelocityDamping", SetBodyReal<RbdBodySetAngularVelocityDamping, kSetAngularVelocityDamping>},
    {"Solid_GetAngularVelocityDamping", GetBodyReal<RbdBodyGetAngularVelocityDamping, kGetAngularVelocityDamping>},
    {"Solid_1_GetContacts", GetContactsOfType<Ref, kGetContacts>},
    {"Solid_2_GetContacts", GetContactsWith<Ref, kGetContacts>},
    {"Solid_1_SetTM", SetTMEuler},
    {"Solid_1_SetTMAndUpdateAttachments", SetTMAndUpdateAttachmentsEuler},
    {"Solid_1_SetTMstepwise", SetTMstepwiseEuler},
    {"Solid_1_GetTM", GetTMEuler},
    {"SolidRef_Remove", Remove},
};

} // namespace

EntryList SolidEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
