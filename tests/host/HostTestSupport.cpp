#include "HostTestSupport.h"

#include <cstdio>

#include "progaux/HostTypes.h"

extern "C" const DfxFolder gsFolder_kelmar;
extern "C" const DfxVersionRecord Pax_V_of_kelmar;

namespace hosttest {

std::vector<Recorded> recorded;

namespace {

void Record(DfxUnit *unit)
{
    const auto *contact = static_cast<const kelmar::HostContact *>(dfx_in_object(unit, 0, kelmar::ContactType()));
    Recorded r = {"", dfx_in_text(unit, 1), dfx_in_text(unit, 2), {0, 0, 0}};
    if (contact) {
        r.description = dfx::Describe(kelmar::ContactType(), contact);
        for (int i = 0; i < 3; ++i) r.position[i] = contact->position[i];
    }
    recorded.push_back(r);
}

DfxUnit *MakeRecorder(DfxUnit *host, const DfxDialog *dialog)
{
    const DfxUnitHooks hooks = {Record, nullptr, nullptr, nullptr, nullptr};
    DfxUnit *unit = dfx_unit_new(host, "recorder", dfx_dialog_unit_name(dialog), &hooks, nullptr);
    dfx_unit_add_input(unit, "contact", kelmar::ContactType());
    dfx_unit_add_input(unit, "solid1", dfx_type("text"));
    dfx_unit_add_input(unit, "solid2", dfx_type("text"));
    return unit;
}

const DfxIconDef kRecorder = {MakeRecorder, nullptr, "", "", "recorder", "test"};
const DfxIconEntry kIcons[] = {{"test", "recorder", &kRecorder}, {"", "", nullptr}};
const DfxFolder kFolder = {"test", kIcons};

} // namespace

std::string DataFile(const char *name)
{
    return std::string(KELMAR_HOST_TEST_DATA) + "/" + name;
}

void HostTest::SetUp()
{
    static const bool added = [] {
        dfx::AddModulePath(KELMAR_HOST_MODULE_DIR);
        return dfx::AddFolder(&Pax_V_of_kelmar, &gsFolder_kelmar, "kelmar") &&
               dfx::AddFolder(&Pax_V_of_kelmar, &kFolder, "test");
    }();
    ASSERT_TRUE(added);
    dfx::ClearLastException();
    recorded.clear();
    program = dfx::NewProgram(nullptr, "test");
}

void HostTest::TearDown()
{
    dfx::DeleteUnit(program);
    const kelmar::DfxKelmarAdmin &admin = kelmar::TheAdmin();
    EXPECT_EQ(0, dfx::UnitCount()) << dfx::TreeText();
    EXPECT_EQ(0, admin.NumUniverses());
    EXPECT_EQ(0, admin.NumScenes());
    EXPECT_EQ(0, admin.NumObjects());
    EXPECT_EQ(0, admin.NumConsumers());
}

DfxUnit *HostTest::Make(const std::string &label, const std::string &name, const std::vector<std::string> &values)
{
    DfxUnit *unit = dfx::CreateUnit(program, label, name, values);
    EXPECT_NE(nullptr, unit) << label << " " << name << "\n" << diagnostics.Joined();
    return unit;
}

DfxUnit *HostTest::MakeUniverse(const std::string &name, DfxUnit *in)
{
    return dfx::CreateUnit(in ? in : program, "universe", name, {});
}

DfxUnit *HostTest::MakeScene(const std::string &name, const std::string &universe, DfxUnit *in)
{
    return dfx::CreateUnit(in ? in : program, "scene", name, {universe, KELMAR_HOST_TEST_DATA, "blocks.px"});
}

void HostTest::Blocks()
{
    MakeUniverse();
    MakeScene("scene");
}

DfxUnit *HostTest::At(const std::string &path)
{
    DfxUnit *unit = dfx::Find(program, path);
    EXPECT_NE(nullptr, unit) << path;
    return unit;
}

void HostTest::Feed(const std::string &path, const std::string &input, const std::vector<double> &numbers)
{
    std::string text;
    char number[32];
    for (double n : numbers) {
        std::snprintf(number, sizeof number, "%.9g ", n);
        text += number;
    }
    DfxUnit *value = Make("value", "", {text});
    DfxUnit *to = At(path);
    ASSERT_TRUE(dfx::Connect(value, 0, to, dfx::InputPort(to, input))) << path << "." << input;
}

void HostTest::Run(const std::string &path, int times)
{
    DfxUnit *unit = At(path);
    for (int i = 0; i < times; ++i) ASSERT_TRUE(dfx::Execute(unit)) << path << ": " << dfx::LastException().text;
}

std::map<std::string, std::vector<double>> Poses(kelmar::Scene *scene)
{
    std::map<std::string, std::vector<double>> poses;
    scene->ForEachObject([&](const char *name, kelmar::Object *object) {
        const auto *solid = dynamic_cast<const kelmar::Solid *>(object);
        if (!solid) return;
        const double(*tm)[4] = solid->GetTM();
        poses[name].assign(&tm[0][0], &tm[0][0] + 16);
    });
    return poses;
}

} // namespace hosttest
