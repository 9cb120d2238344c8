// Script entries of the hooks the class tables declare: a universe's
// control commands, saving and loading a universe's or scene's status (to
// a file named by the caller: no file handle crosses the call record), and
// the describe, copy and compatibility functions of the module's types.
#include <cstdio>

#include "objects/DfxObject.h"
#include "objects/DfxScene.h"
#include "objects/DfxUniverse.h"
#include "progaux/HostErrors.h"
#include "progaux/HostTypes.h"
#include "script/ScriptEntries.h"

namespace kelmar {
namespace script {

namespace {

// ---- Unit hooks ----
// The host's reset and init commands reset the universe; others (-52, a
// unit renamed) concern units, which a script universe has none of.
void CtrlUniverse(KelmarCall *c)
{
    const int command = Int(c, 0, "Universe:CTRL");
    if (command == DFX_CTRL_RESET || command == DFX_CTRL_INIT) Self<DfxUniverse>(c)->reset();
}

FILE *OpenStatus(KelmarCall *c, const char *label, const char *mode)
{
    const char *name = Text(c, 0, label);
    FILE *file = name ? std::fopen(name, mode) : nullptr;
    if (!file) prog_throw(kHostExceptionIds[kBadArgValue], "%s: cannot open '%s'\n", label, name ? name : "");
    return file;
}

template <class T, const char *Label> void SaveStatus(KelmarCall *c)
{
    FILE *file = OpenStatus(c, Label, "w");
    Self<T>(c)->saveStatus(file);
    std::fclose(file);
}

// Returns what loading returns: 0 (PX_XML_OK) when the status was taken.
template <class T, const char *Label> void LoadStatus(KelmarCall *c)
{
    FILE *file = OpenStatus(c, Label, "r");
    const int loaded = Self<T>(c)->loadStatus(file);
    std::fclose(file);
    ReturnInt(c, loaded);
}

constexpr char kSaveUniverse[] = "Universe:SAVE";
constexpr char kLoadUniverse[] = "Universe:LOAD";
constexpr char kSaveScene[] = "Scene:SAVE";
constexpr char kLoadScene[] = "Scene:LOAD";

// ---- Type hooks: each entry's text lives in its own result cell ----
template <const DfxType *(*Type)(), int Cell> void DescribeValue(KelmarCall *c)
{
    static char text[256];
    text[0] = '\0';
    DescribeHostValue(Type(), c->self, text, sizeof text);
    ReturnText(c, text);
}

template <int Cell> void DescribeObject(KelmarCall *c)
{
    static char text[256];
    Self<DfxObject>(c)->Description(text, sizeof text);
    ReturnText(c, text);
}

template <const DfxType *(*Type)(), const char *Class> void CopyValue(KelmarCall *c)
{
    ReturnObject(c, CopyHostValue(Type(), c->self), Class);
}

// Whether a solid may stand where the class is asked for.
template <class T> void Compatible(KelmarCall *c)
{
    ReturnInt(c, dynamic_cast<const T *>(Self<DfxSolid>(c)) != nullptr);
}

constexpr char kSolidRef[] = "SolidRef";
constexpr char kContact[] = "Contact";
constexpr char kContactList[] = "ContactList";

const NamedEntry kEntries[] = {
    {"CTRL_Universe", CtrlUniverse},
    {"SAVE_Universe", SaveStatus<DfxUniverse, kSaveUniverse>},
    {"LOAD_Universe", LoadStatus<DfxUniverse, kLoadUniverse>},
    {"SAVE_Scene", SaveStatus<DfxScene, kSaveScene>},
    {"LOAD_Scene", LoadStatus<DfxScene, kLoadScene>},
    {"DESCRIBE_Contact", DescribeValue<ContactType, 0>},
    {"DESCRIBE_ContactList", DescribeValue<ContactListType, 1>},
    {"DESCRIBE_SolidRef", DescribeValue<SolidRefType, 2>},
    {"DESCRIBE_Box", DescribeValue<SolidRefType, 3>},
    {"DESCRIBE_Sphere", DescribeValue<SolidRefType, 4>},
    {"DESCRIBE_Cylinder", DescribeValue<SolidRefType, 5>},
    {"DESCRIBE_Joint", DescribeObject<0>},
    {"DESCRIBE_Prismatic", DescribeObject<1>},
    {"DESCRIBE_RPROJoint", DescribeObject<2>},
    {"COPY_Contact", CopyValue<ContactType, kContact>},
    {"COPY_ContactList", CopyValue<ContactListType, kContactList>},
    {"COPY_SolidRef", CopyValue<SolidRefType, kSolidRef>},
    {"COPY_Box", CopyValue<SolidRefType, kSolidRef>},
    {"COPY_Sphere", CopyValue<SolidRefType, kSolidRef>},
    {"COPY_Cylinder", CopyValue<SolidRefType, kSolidRef>},
    {"COMPATIBLE_Box", Compatible<DfxBox>},
    {"COMPATIBLE_Sphere", Compatible<DfxSphere>},
    {"COMPATIBLE_Cylinder", Compatible<DfxCylinder>},
};

} // namespace

EntryList HookEntries()
{
    return ListOf(kEntries);
}

} // namespace script
} // namespace kelmar
