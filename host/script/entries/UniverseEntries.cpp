// Script entries of Universe: the clock, world parameters, materials and
// contact parameters, options and the marked solid of a DfxUniverse.
#include <memory>

#include <kelmar/RbdWorld.h>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxObject.h"
#include "objects/DfxUniverse.h"
#include "progaux/HostErrors.h"
#include "progaux/ToolkitWarnings.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

// Labels of the entries made from templates.
constexpr char kSetEpsilon[] = "Universe:SetEpsilon";
constexpr char kSetGamma[] = "Universe:SetGamma";
constexpr char kSetVelocityThreshold[] = "Universe:SetVelocityThreshold";
constexpr char kSetAngularVelocityThreshold[] = "Universe:SetAngularVelocityThreshold";
constexpr char kSetAccelerationThreshold[] = "Universe:SetAccelerationThreshold";

DfxUniverse *U(KelmarCall *c)
{
    return Self<DfxUniverse>(c);
}

RbdWorldID World(KelmarCall *c)
{
    return U(c)->GetWorld();
}

// A new universe takes in the scenes waiting for its name, so every scene
// is saved and taken out first and put back with its state afterwards.
void New(KelmarCall *c)
{
    const char *label = "Universe:Universe";
    const char *name = Text(c, 0, label);
    const int sizes[4] = {Int(c, 1, label), Int(c, 2, label), Int(c, 3, label), Int(c, 4, label)};
    ShowToolkitWarningsInHost(); // a refused value is seen, as in a universe unit
    TheAdmin().DestroyAllScenes();
    std::unique_ptr<DfxUniverse> made(new DfxUniverse(name, sizes[0], sizes[1], sizes[2], sizes[3], nullptr));
    TheAdmin().RecreateAllScenes();
    if (!made->IsRegistered())
        prog_throw(kHostExceptionIds[kBadArgValue], "universe '%s' not created\n", name ? name : "");
    TheAdmin().ResolveConsumers(made.get());
    c->self = made.release();
}

void Free(KelmarCall *c)
{
    delete U(c);
}

void Rename(KelmarCall *c)
{
    TheAdmin().Rename(U(c), Text(c, 0, "Universe:rename"));
}

void Reset(KelmarCall *c)
{
    U(c)->reset();
}

void ResetScenes(KelmarCall *c)
{
    U(c)->ResetScenesWithRestore(static_cast<unsigned int>(Int(c, 0, "Universe:resetScenesWithRestore")));
}

void ResetTime(KelmarCall *c)
{
    U(c)->time = 0;
}

void Step(KelmarCall *c)
{
    U(c)->Step();
}

void Draw(KelmarCall *c)
{
    U(c)->draw(0);
}

void Marked(KelmarCall *c)
{
    ReturnObject(c, DfxSolidRef::CreateFromSolid(U(c)->GetMarkedSolid(), nullptr), "SolidRef");
}

void SetTimeStep(KelmarCall *c)
{
    U(c)->timeStep = RequireTimeStep("Universe:SetTimeStep", Real(c, 0, "Universe:SetTimeStep"));
}

void SetGravity(KelmarCall *c)
{
    double g[3];
    Reals(c, 0, "Universe:SetGravity", 3, g);
    RbdWorldSetGravity(World(c), g[0], g[1], g[2]);
}

void GetGravity(KelmarCall *c)
{
    PxVector3 g;
    RbdWorldGetGravity(World(c), g);
    PutReals(c, 0, "Universe:GetGravity", g, 3);
}

void SetAliveSteps(KelmarCall *c)
{
    RbdWorldSetAutoDisableAliveWindow(World(c), Int(c, 0, "Universe:SetAliveSteps"));
}

void GetAliveSteps(KelmarCall *c)
{
    ReturnInt(c, RbdWorldGetAutoDisableAliveWindow(World(c)));
}

// ---- Materials: a bad index becomes "badarg:material" ----
template <class F> void WithMaterial(F f)
{
    try {
        f();
    } catch (const BadMaterial &bad) {
        Raise(kBadArgMaterial, kInvalidMaterial, bad.index);
    }
}

void GetNumMaterials(KelmarCall *c)
{
    ReturnInt(c, U(c)->GetNumMaterials());
}

void GetMaterialId(KelmarCall *c)
{
    ReturnInt(c, U(c)->GetMaterialId(Text(c, 0, "Universe:GetMaterialId")));
}

void SetMaterialName(KelmarCall *c)
{
    const int id = Int(c, 0, "Universe:SetMaterialName");
    const char *name = Text(c, 1, "Universe:SetMaterialName");
    WithMaterial([&] { U(c)->SetMaterialName(id, name); });
}

void GetMaterialName(KelmarCall *c)
{
    const int id = Int(c, 0, "Universe:GetMaterialName");
    WithMaterial([&] { ReturnText(c, U(c)->GetMaterialName(id)); });
}

void SetMaterialDensity(KelmarCall *c)
{
    const int id = Int(c, 0, "Universe:SetMaterialDensity");
    const double density = Real(c, 1, "Universe:SetMaterialDensity");
    WithMaterial([&] { U(c)->SetMaterialDensity(id, density); });
}

void GetMaterialDensity(KelmarCall *c)
{
    const int id = Int(c, 0, "Universe:GetMaterialDensity");
    WithMaterial([&] { ReturnFloat(c, U(c)->GetMaterialDensity(id)); });
}

void SetParameter(KelmarCall *c, tContactParameter which, int valueArg, const char *label)
{
    const int a = Int(c, 0, label), b = Int(c, 1, label);
    const double value = Real(c, valueArg, label);
    WithMaterial([&] { U(c)->SetContactParameter(a, b, which, value); });
}

void GetParameter(KelmarCall *c, tContactParameter which, const char *label)
{
    const int a = Int(c, 0, label), b = Int(c, 1, label);
    WithMaterial([&] { ReturnFloat(c, U(c)->GetContactParameter(a, b, which)); });
}

void SetContactParameter(KelmarCall *c)
{
    const char *label = "Universe:SetContactParameter";
    SetParameter(c, static_cast<tContactParameter>(Int(c, 2, label)), 3, label);
}

void GetContactParameter(KelmarCall *c)
{
    const char *label = "Universe:GetContactParameter";
    GetParameter(c, static_cast<tContactParameter>(Int(c, 2, label)), label);
}

void SetStaticMu(KelmarCall *c)
{
    SetParameter(c, kStaticFriction, 2, "Universe:SetStaticMu");
}

void SetDynamicMu(KelmarCall *c)
{
    SetParameter(c, kDynamicFriction, 2, "Universe:SetDynamicMu");
}

void GetStaticMu(KelmarCall *c)
{
    GetParameter(c, kStaticFriction, "Universe:GetStaticMu");
}

void GetDynamicMu(KelmarCall *c)
{
    GetParameter(c, kDynamicFriction, "Universe:GetDynamicMu");
}

void SetFriction1(KelmarCall *c)
{
    SetParameter(c, kPrimaryFrictionForce, 2, "Universe:SetFriction1");
}

void SetFriction2(KelmarCall *c)
{
    SetParameter(c, kSecondaryFrictionForce, 2, "Universe:SetFriction2");
}

// ---- Options ----
constexpr char kUniverseOptions[] = "Universe:Options";

void GetOptions(KelmarCall *c)
{
    ReturnInt(c, static_cast<int>(U(c)->GetOptions()));
}

const NamedEntry kEntries[] = {
    {"Universe", New},
    {"FREE_Universe", Free},
    {"Universe_rename", Rename},
    {"Universe_reset", Reset},
    {"Universe_resetScenesWithRestore", ResetScenes},
    {"Universe_ResetTime", ResetTime},
    {"Universe_step", Step},
    {"Universe_draw", Draw},
    {"Universe_marked", Marked},
    {"Universe_SetTimeStep", SetTimeStep},
    {"Universe_GetTimeStep", GetReal<U, &Universe::timeStep>},
    {"Universe_GetTime", GetReal<U, &Universe::time>},
    {"Universe_SetGravity", SetGravity},
    {"Universe_GetGravity", GetGravity},
    {"Universe_SetEpsilon", SetReal<World, RbdWorldSetEpsilon, kSetEpsilon>},
    {"Universe_GetEpsilon", GetReal<World, RbdWorldGetEpsilon>},
    {"Universe_SetGamma", SetReal<World, RbdWorldSetGamma, kSetGamma>},
    {"Universe_GetGamma", GetReal<World, RbdWorldGetGamma>},
    {"Universe_SetVelocityThreshold", SetReal<World, RbdWorldSetAutoDisableVelocityThreshold, kSetVelocityThreshold>},
    {"Universe_GetVelocityThreshold", GetReal<World, RbdWorldGetAutoDisableVelocityThreshold>},
    {"Universe_SetAngularVelocityThreshold",
     SetReal<World, RbdWorldSetAutoDisableAngularVelocityThreshold, kSetAngularVelocityThreshold>},
    {"Universe_GetAngularVelocityThreshold", GetReal<World, RbdWorldGetAutoDisableAngularVelocityThreshold>},
    {"Universe_SetAccelerationThreshold",
     SetReal<World, RbdWorldSetAutoDisableAccelerationThreshold, kSetAccelerationThreshold>},
    {"Universe_GetAccelerationThreshold", GetReal<World, RbdWorldGetAutoDisableAccelerationThreshold>},
    {"Universe_SetAliveSteps", SetAliveSteps},
    {"Universe_GetAliveSteps", GetAliveSteps},
    {"Universe_GetNumMaterials", GetNumMaterials},
    {"Universe_GetMaterialId", GetMaterialId},
    {"Universe_SetMaterialName", SetMaterialName},
    {"Universe_GetMaterialName", GetMaterialName},
    {"Universe_SetMaterialDensity", SetMaterialDensity},
    {"Universe_GetMaterialDensity", GetMaterialDensity},
    {"Universe_SetContactParameter", SetContactParameter},
    {"Universe_GetContactParameter", GetContactParameter},
    {"Universe_SetStaticMu", SetStaticMu},
    {"Universe_SetDynamicMu", SetDynamicMu},
    {"Universe_GetStaticMu", GetStaticMu},
    {"Universe_GetDynamicMu", GetDynamicMu},
    {"Universe_SetFriction1", SetFriction1},
    {"Universe_SetFriction2", SetFriction2},
    {"Universe_CheckOptions", CheckBits<U, kUniverseOptions>},
    {"Universe_AddOptions", WithBits<U, &Universe::AddOptions, kUniverseOptions>},
    {"Universe_ClearOptions", WithBits<U, &Universe::ClearOptions, kUniverseOptions>},
    {"Universe_SetOptions", WithBits<U, &Universe::SetOptions, kUniverseOptions>},
    {"Universe_ToggleOptions", WithBits<U, &Universe::ToggleOptions, kUniverseOptions>},
    {"Universe_GetOptions", GetOptions},
};

} // namespace

EntryList UniverseEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
