// Every message of unit creation, registration and binding, word for word:
// one table, each row made to happen on its own.
#include <functional>

#include "HostTestSupport.h"
#include "units/Units.h"

namespace hosttest {
namespace {

using kelmar::TheAdmin;

struct Row {
    const char *what;
    std::function<void(HostTest &)> cause;
    int level;
    std::string text;
};

class Messages : public HostTest {};

// A unit made from its label and values, after the universe and its scene
// when blocks is set.
std::function<void(HostTest &)> Made(bool blocks, const std::string &label, const std::string &name,
                                     const std::vector<std::string> &values)
{
    return [=](HostTest &t) {
        if (blocks) t.Blocks(), t.diagnostics.Clear();
        dfx::CreateUnit(t.program, label, name, values);
    };
}

// A universe renamed after the universe and its scene are made.
std::function<void(HostTest &)> Renamed(const std::string &name)
{
    return [=](HostTest &t) {
        t.Blocks();
        t.diagnostics.Clear();
        TheAdmin().Rename(t.Object<kelmar::DfxUniverse>("universe"), name.c_str());
    };
}

std::vector<Row> Rows()
{
    return {
        {"a host that is no program unit",
         [](HostTest &t) {
             DfxUnit *unit = dfx::CreateUnit(t.program, "local_to_world", "convert", {});
             t.diagnostics.Clear();
             kelmar::universe(0, 0, 0, 0, unit, "x");
         },
         DFX_WARNING, "test/convert: illegal host unit!"},
        {"a scene without a universe name", Made(false, "scene", "scene", {"", "", ""}), DFX_WARNING,
         "test: empty reference to universe unit!"},
        {"a second scene of the name", Made(true, "scene", "scene", {"universe"}), DFX_WARNING,
         "test: failed to create scene!"},
        {"the same, from the administrator", Made(true, "scene", "scene", {"universe"}), DFX_ERROR,
         "scene with name 'scene' already exists\n"},
        {"a scene object with no universe name",
         [](HostTest &) { kelmar::DfxScene scene("lonely", "", "", nullptr, 1.0, nullptr, nullptr); }, DFX_WARNING,
         "scene refers to empty universe name, not registered\n"},
        {"renaming a scene that is not registered",
         [](HostTest &) {
             kelmar::DfxScene scene("lonely", "", "", nullptr, 1.0, nullptr, nullptr);
             dfx::CaptureDiagnostics quiet;
             TheAdmin().Rename(&scene, "other");
             EXPECT_EQ(std::vector<std::string>{"DfxKelmarAdmin: attempt to rename unregistered scene!\n"},
                       quiet.Texts(DFX_ERROR));
         },
         -1, ""},
        {"an empty universe name where one is needed", Renamed(""), DFX_WARNING,
         "DfxKelmarAdmin: empty name for universe not allowed\n"},
        {"a universe name with a colon", Renamed("a:b"), DFX_WARNING,
         "DfxKelmarAdmin: name for universe must not contain ':'\n"},
        {"registering nothing as a universe",
         [](HostTest &) { TheAdmin().Register(static_cast<kelmar::DfxUniverse *>(nullptr)); }, DFX_ERROR,
         "DfxKelmarAdmin: attempt to register invalid DfxUniverse!\n"},
        {"registering nothing as a scene",
         [](HostTest &) { TheAdmin().Register(static_cast<kelmar::DfxScene *>(nullptr)); }, DFX_ERROR,
         "DfxKelmarAdmin: attempt to register invalid DfxScene!\n"},
        {"registering an object twice",
         [](HostTest &t) {
             dfx::CreateUnit(t.program, "solid|ref", "ball", {"scene", "ball"});
             TheAdmin().Register(t.Object<kelmar::DfxObject>("ball"));
         },
         DFX_ERROR, "DfxKelmarAdmin: attempt to register invalid DfxObject!\n"},
        {"a solid the scene does not have", Made(true, "solid|ref", "nothing", {"scene", "nothing"}), DFX_WARNING,
         "solid 'nothing' not found in scene\n"},
        {"a robot the scene does not have", Made(true, "robot|ref", "nothing", {"scene", "nothing"}), DFX_WARNING,
         "robot 'nothing' not found in scene\n"},
        {"a robot on a joint the scene does not have", Made(true, "robot", "built", {"scene", "knee", "upper"}),
         DFX_ERROR, "BaseJoint 'knee' of robot not defined\n"},
        {"a robot on a solid the scene does not have", Made(true, "robot", "built", {"scene", "shoulder", "thigh"}),
         DFX_ERROR, "BaseSolid 'thigh' of robot not defined\n"},
        {"a solid whose geometry cannot be made", Made(true, "box", "crate", {"scene", "-1", "1", "1"}), DFX_ERROR,
         "The geometry of solid 'crate' was refused. Solid not created.\n"},
    };
}

TEST_F(Messages, EachIsWordForWord)
{
    for (const Row &row : Rows()) {
        SCOPED_TRACE(row.what);
        dfx::DeleteUnit(program);
        program = dfx::NewProgram(nullptr, "test");
        diagnostics.Clear();
        row.cause(*this);
        if (row.level < 0) continue;
        const std::vector<std::string> texts = diagnostics.Texts(row.level);
        EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), row.text)) << diagnostics.Joined();
    }
}

} // namespace
} // namespace hosttest
