// Script entries of Scene: a DfxScene loaded from its file into the
// universe it names, renamed, reset and given its option bits.
#include <memory>

#include "admin/DfxKelmarAdmin.h"
#include "objects/DfxScene.h"
#include "progaux/HostErrors.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

const unsigned int kReloadFromFile = 0; // reset: nothing saved, all from the file

DfxScene *S(KelmarCall *c)
{
    return Self<DfxScene>(c);
}

// A placement is optional; without one the scene lies as its file says.
void Placement(KelmarCall *c, double tm[4][4])
{
    double values[16];
    const bool given = OptionalReals(c, 3, "Scene:Scene", 16, values);
    for (int i = 0; i < 16; ++i) tm[i / 4][i % 4] = given ? values[i] : (i % 5 == 0 ? 1.0 : 0.0);
}

void New(KelmarCall *c)
{
    const char *label = "Scene:Scene";
    const char *name = Text(c, 0, label), *universe = Text(c, 1, label), *file = Text(c, 2, label);
    double placement[4][4];
    Placement(c, placement);
    const double scale = Real(c, 4, label);
    const char *variables = Text(c, 5, label);
    std::unique_ptr<DfxScene> made(new DfxScene(name, universe, file, placement, scale, variables, nullptr));
    if (!made->IsRegistered())
        prog_throw(kHostExceptionIds[kBadArgValue], "scene '%s' not created\n", name ? name : "");
    c->self = made.release();
}

void Free(KelmarCall *c)
{
    delete S(c);
}

void Rename(KelmarCall *c)
{
    TheAdmin().Rename(S(c), Text(c, 0, "Scene:rename"));
}

void Reset(KelmarCall *c)
{
    TheAdmin().Reset(S(c), kReloadFromFile);
}

unsigned int Bits(KelmarCall *c)
{
    return static_cast<unsigned int>(Int(c, 0, "Scene:Options"));
}

void CheckOptions(KelmarCall *c)
{
    ReturnInt(c, (S(c)->options & Bits(c)) != 0);
}

void SetOptions(KelmarCall *c)
{
    S(c)->options = Bits(c);
}

void AddOptions(KelmarCall *c)
{
    S(c)->options |= Bits(c);
}

void ClearOptions(KelmarCall *c)
{
    S(c)->options &= ~Bits(c);
}

void ToggleOptions(KelmarCall *c)
{
    S(c)->options ^= Bits(c);
}

const NamedEntry kEntries[] = {
    {"Scene", New},
    {"FREE_Scene", Free},
    {"Scene_rename", Rename},
    {"Scene_reset", Reset},
    {"Scene_CheckOptions", CheckOptions},
    {"Scene_SetOptions", SetOptions},
    {"Scene_AddOptions", AddOptions},
    {"Scene_ClearOptions", ClearOptions},
    {"Scene_ToggleOptions", ToggleOptions},
};

} // namespace

EntryList SceneEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
