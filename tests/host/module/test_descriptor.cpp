// kelmar.so as the host loads it: its version record, its folder of icons
// with their dialogs word for word (each one a dialog the host can read:
// what its fields and defaults are follows from the text, see the
// stand-in's dialog tests), and nothing exported beyond the descriptor.
#include <dlfcn.h>

#include <iterator>
#include <utility>

#include <gtest/gtest.h>

#include <dfx/standin.h>

namespace {

class Module : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dfx::AddModulePath(KELMAR_HOST_MODULE_DIR);
        loaded = dfx::LoadModule("kelmar.so");
    }
    static bool loaded;
};

bool Module::loaded = false;

const char kButtons[] = " %[%0:1:0:10d %l`Cancel%d%l`Ok%]%H ";

// Each icon's label and dialog, in the folder's order.
const std::pair<const char *, const char *> kEntries[] = {
    {"universe", " create universe %n %0:1:100:8i%lmax.~dynamic~objects %n %0:1:100:8i%lmax.~dynamic~constraints %n "
                 "%0:1:100:8i%lmax.~collision~objects %n %0:1:200:8i%lmax.~collision~pairs %n"},
    {"scene", " load scene %n %0:1:universe:20s%luniverse~name %n %0:1:.:30D%ldirectory %n %0:1::30F%l*.px %n "
              "%0:16:1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1:6m%lbase~transform %n %0:1:1.0:8f%lscale~factor %n "
              "%0:1::30t%lvariables~(varname~=~value) %n"},
    {"solid|ref", " reference solid %n %0:1:scene:20s%lscene~name %n %0:1::20s%lsolid~name %n"},
    {"world_to_local", ""},
    {"local_to_world", ""},
    {"joint|ref", " reference joint %n %0:1:scene:20s%lscene~name %n %0:1::20s%ljoint~name %n "
                  "joint type: %0:1:0:16c%lhinge|prismatic|ball-and-socket|spring|rpro~joint %n"},
    {"box", " create box %n %0:1:scene:20s%lscene~name %n %0:3:1:8f%lsize %n "
            "material: %0:1:0:10c%lmetal|glass|plastic|wood|rubber|user|none %n %0:1:0:22b%lfrozen %n"},
    {"sphere", " create sphere %n %0:1:scene:20s%lscene~name %n %0:1:1:8f%lradius %n "
               "material: %0:1:0:10c%lmetal|glass|plastic|wood|rubber|user|none %n %0:1:0:22b%lfrozen %n"},
    {"cylinder", " create cylinder %n %0:1:scene:20s%lscene~name %n %0:1:1:8f%lradius %n %0:1:2:8f%lheight %n "
                 "%0:1::20s%lcylinder~name~in~scene %n "
                 "material: %0:1:0:10c%lmetal|glass|plastic|wood|rubber|user|none %n %0:1:0:22b%lfrozen %n"},
    {"robot", " create robot %n %0:1:scene:20s%lscene~name %n %0:1::20s%lbasis~joint %n %0:1::20s%lbasis~solid %n "
              "%0:1:1000:8i%lmaximum~depth %n"},
    {"robot|ref", " reference robot %n %0:1:scene:20s%lscene~name %n %0:1::20s%lrobot~name %n"},
    {"ContactIt", ""},
    {"camera",
     " create camera %n %0:1:scene:20s%lscene~name %n %0:1::20s%lsolid~name %n %0:2:400,300:8i%limage~size %n"},
    {"camera|ref", " reference camera %n %0:1:scene:20s%lscene~name %n %0:1::20s%lcamera~name %n"},
    {"CamHead", " create camera head %n %0:1:scene:20s%lscene~name %n "},
    {"CamHead|ref", " reference camera head %n %0:1:scene:20s%lscene~name %n %0:1::20s%lcamera~head~name %n"},
    {"vtkViewer", " create VTK viewer %n %0:1:universe:20s%luniverse~name %n %0:1::20s%lrenderer~unit~name %n"},
    {"grasp", ""},
    {"nullspace", ""},
};

TEST_F(Module, ItsFolderHoldsItsIconsInOrderWithTheirDialogs)
{
    ASSERT_TRUE(loaded);
    std::vector<dfx::Icon> palette;
    for (const dfx::Icon &icon : dfx::Palette())
        if (icon.folder == "kelmar") palette.push_back(icon);
    ASSERT_EQ(std::size(kEntries), palette.size());
    for (size_t i = 0; i < palette.size(); ++i) {
        const char *label = kEntries[i].first, *dialog = kEntries[i].second;
        const dfx::Icon &icon = palette[i];
        SCOPED_TRACE(label);
        EXPECT_EQ(label, icon.label);
        EXPECT_STREQ(label, icon.def->label);
        EXPECT_STREQ("kelmar.so", icon.def->module);
        EXPECT_STREQ(kButtons, icon.def->buttons);
        EXPECT_STREQ(dialog, icon.def->dialog);
        std::vector<dfx::DialogField> fields;
        EXPECT_TRUE(dfx::ParseDialog(icon.def->dialog, fields));
        EXPECT_FALSE(dfx::DrawIcon(icon).empty());
    }
}

TEST_F(Module, ItExportsTheDescriptorAndTheScriptInterfaceAndNothingElse)
{
    ASSERT_TRUE(loaded);
    void *module = dfx::OpenModule("kelmar.so");
    ASSERT_NE(nullptr, module);
    for (const char *symbol : {"Pax_V_of_kelmar", "gsFolder_kelmar", "gasIconsOfFolder_kelmar", "ICONDEF_universe",
                               "_fun1_universe", "_fun2_ContactIt", "FUNCTIONS_kelmar", "CLASSES_kelmar",
                               "Universe_c", "KelmarCamHead_c", "const_tUSER", "kelmar_invoke"})
        EXPECT_NE(nullptr, dfx_dlsym(module, symbol)) << symbol;
    for (const char *symbol : {"_ZN6kelmar8TheAdminEv", "RbdWorldCreate", "PxStreamOpen", "_ZN6kelmar8UniverseD2Ev"})
        EXPECT_EQ(nullptr, dfx_dlsym(module, symbol)) << symbol;
    const auto *version = static_cast<const DfxVersionRecord *>(dfx_dlsym(module, "Pax_V_of_kelmar"));
    EXPECT_STREQ(dfx_version_text, version->built);
    EXPECT_STREQ(dfx_version_text, version->expected);
    EXPECT_EQ(16, *static_cast<const int *>(dfx_dlsym(module, "const_tUSER")));
}

TEST(ModuleVersion, AModuleBuiltForAnotherHostIsRefused)
{
    const DfxIconEntry none[] = {{"", "", nullptr}};
    const DfxFolder folder = {"old", none};
    const DfxVersionRecord version = {"dfx host 0.9", "dfx host 0.9"};
    dfx::CaptureDiagnostics captured;
    EXPECT_FALSE(dfx::AddFolder(&version, &folder, "old"));
    EXPECT_EQ(std::vector<std::string>{"module old was built for host 'dfx host 0.9', this is '" +
                                       std::string(dfx_version_text) + "'\n"},
              captured.Texts(DFX_ERROR));
}

} // namespace
