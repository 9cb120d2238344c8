// A host program run through kelmar.so loaded as the host loads it: the
// blocks scene, references bound late, a robot driven, contacts walked.
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include <dfx/standin.h>

namespace {

const char kProgram[] = "program lab\n"
                        "unit solid|ref ball scene ball\n"
                        "unit robot|ref arm scene arm\n"
                        "unit universe universe\n"
                        "unit scene scene universe " KELMAR_HOST_TEST_DATA " blocks.px\n"
                        "unit value targets \"0.4 0.2\"\n"
                        "unit ContactIt it\n"
                        "connect targets.value arm.SetJoints.values\n"
                        "connect ball.GetContacts.contacts it.contacts\n"
                        "successor it arm.GetJoints\n"
                        "do arm.SetJoints\n"
                        "do universe.step\n"
                        "do ball.GetPosition\n"
                        "do ball.GetContacts\n"
                        "do it\n"
                        "run 100\n"
                        "print ball.GetPosition.position\n"
                        "print arm.GetJoints.values\n"
                        "print it.solid1\n"
                        "print it.solid2\n"
                        "end\n";

TEST(Program, RunsThroughTheLoadedModule)
{
    dfx::AddModulePath(KELMAR_HOST_MODULE_DIR);
    ASSERT_TRUE(dfx::LoadModule("kelmar.so"));
    std::istringstream in(kProgram);
    std::ostringstream out;
    dfx::ScriptContext context;
    context.out = &out;
    dfx::CaptureDiagnostics captured;
    ASSERT_TRUE(dfx::RunScript(in, context)) << captured.Joined();
    EXPECT_TRUE(captured.Texts(DFX_WARNING).empty()) << captured.Joined();
    // The lines printed, as "name = value".
    std::map<std::string, std::string> printed;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find(" = ");
        if (equals != std::string::npos) printed[line.substr(0, equals)] = line.substr(equals + 3);
    }
    float x, y, z, joint0, joint1;
    ASSERT_EQ(3, std::sscanf(printed["ball.GetPosition.position"].c_str(), "%f %f %f", &x, &y, &z));
    EXPECT_NEAR(3.0, z, 0.05) << "the ball (radius 3) lies on the floor";
    ASSERT_EQ(2, std::sscanf(printed["arm.GetJoints.values"].c_str(), "%f %f", &joint0, &joint1));
    EXPECT_NEAR(0.4, joint0, 1e-3);
    EXPECT_NEAR(0.2, joint1, 1e-3);
    const std::set<std::string> touching = {printed["it.solid1"], printed["it.solid2"]};
    EXPECT_EQ((std::set<std::string>{"ball", "floor"}), touching);
    dfx::DeleteUnit(dfx::Find(nullptr, "lab"));
    EXPECT_EQ(0, dfx::UnitCount());
    dfx::UnloadModules();
}

} // namespace
