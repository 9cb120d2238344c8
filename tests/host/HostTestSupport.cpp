#include "HostTestSupport.h"

extern "C" const DfxFolder gsFolder_kelmar;
extern "C" const DfxVersionRecord Pax_V_of_kelmar;

namespace hosttest {

std::string DataFile(const char *name)
{
    return std::string(KELMAR_HOST_TEST_DATA) + "/" + name;
}

void HostTest::SetUp()
{
    static const bool added = [] {
        dfx::AddModulePath(KELMAR_HOST_MODULE_DIR);
        return dfx::AddFolder(&Pax_V_of_kelmar, &gsFolder_kelmar, "kelmar");
    }();
    ASSERT_TRUE(added);
    dfx::ClearLastException();
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

DfxUnit *HostTest::At(const std::string &path)
{
    DfxUnit *unit = dfx::Find(program, path);
    EXPECT_NE(nullptr, unit) << path;
    return unit;
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
