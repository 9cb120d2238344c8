// Dialog texts: the fields they declare, the texts refused, and dialog
// values filling the fields when a unit is created.
#include <gtest/gtest.h>

#include <tuple>

#include "TestFolder.h"

namespace standintest {
namespace {

void ExpectFields(const char *text, const std::vector<dfx::DialogField> &expected)
{
    std::vector<dfx::DialogField> fields;
    std::string why;
    ASSERT_TRUE(dfx::ParseDialog(text, fields, &why)) << text << ": " << why;
    ASSERT_EQ(expected.size(), fields.size()) << text;
    for (size_t i = 0; i < fields.size(); ++i) {
        const dfx::DialogField &e = expected[i], &f = fields[i];
        EXPECT_EQ(std::tie(e.type, e.count, e.defaults, e.label), std::tie(f.type, f.count, f.defaults, f.label))
            << text << " field " << i;
    }
}

TEST(Dialog, TextsDeclareTheirFields)
{
    ExpectFields("", {});
    ExpectFields(" %[%0:1:0:10d %l`Cancel%d%l`Ok%]%H ", {});
    ExpectFields(" title %n %0:1:1:22b%lshow~all %n 100%% %0:3:0,0,-1:8f%lgravity",
                 {{'b', 1, {"1"}, "show all"}, {'f', 3, {"0", "0", "-1"}, "gravity"}});
    ExpectFields("%0:2:7:4i%0:1::20s%lname %0:1:a~b:9t",
                 {{'i', 2, {"7", "7"}, ""}, {'s', 1, {""}, "name"}, {'t', 1, {"a b"}, ""}});
    ExpectFields("%0:1:.:30D%ldir %0:1::30F%l*.px %0:1:2:8c%lone|two|three~four",
                 {{'D', 1, {"."}, "dir"}, {'F', 1, {""}, "*.px"}, {'c', 1, {"2"}, "one|two|three four"}});
    ExpectFields("%0:16:1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1:6m",
                 {{'m', 16, {"1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1", "0", "0", "0", "0", "1"}, ""}});
}

TEST(Dialog, MalformedTextsAreRefusedWithTheirReason)
{
    const std::pair<const char *, const char *> rows[] = {
        {"%0:1:0:8q", "unknown field type 'q'"},
        {"%0:1", "field without flags and count"},
        {"%0:1:5", "field without default"},
        {"%0:1:5:x", "field without width and type"},
        {"%0:3:1,2:6f", "defaults do not match the value count"},
        {"%0:2:a:6s", "bad value count"},
        {"%0:0:0:6i", "bad value count"},
        {"%0:4:0:6m", "a matrix holds 16 values"},
        {"%0:1:3:6c%la|b|c", "choice default out of range"},
    };
    for (const auto &row : rows) {
        std::vector<dfx::DialogField> fields(1);
        std::string why;
        EXPECT_FALSE(dfx::ParseDialog(row.first, fields, &why)) << row.first;
        EXPECT_EQ(row.second, why) << row.first;
        EXPECT_TRUE(fields.empty());
    }
}

class DialogValues : public testing::Test {
protected:
    void SetUp() override
    {
        AddTestFolder();
        program = dfx::NewProgram(nullptr, "main");
    }
    void TearDown() override { dfx::DeleteUnit(program); }
    DfxUnit *program = nullptr;
};

TEST_F(DialogValues, FillTheFieldsInOrder)
{
    using Made = std::tuple<int, double, double, int, std::string>; // step, scale, colour, note
    const std::pair<std::vector<std::string>, Made> rows[] = {
        {{}, Made{1, 0.5, 2, 0, ""}},
        {{"3"}, Made{3, 0.5, 2, 0, ""}},
        {{"-", "1e-3", "-4"}, Made{1, 1e-3, -4, 0, ""}},
        {{"-", "-", "blue"}, Made{1, 0.5, 2, 2, ""}},
        {{"-", "-", "1", "a note"}, Made{1, 0.5, 2, 1, "a note"}},
    };
    for (const auto &row : rows) {
        DfxUnit *unit = dfx::CreateUnit(program, "counter", "", row.first);
        ASSERT_NE(nullptr, unit);
        const auto *c = static_cast<const Counter *>(dfx_unit_data(unit));
        EXPECT_EQ(row.second, Made(c->step, c->scale[0], c->scale[1], c->colour, c->note));
    }
}

TEST_F(DialogValues, ValuesThatDoNotFitAreRefused)
{
    const std::pair<std::vector<std::string>, std::string> rows[] = {
        {{"x"}, "'x' is not an integer"},
        {{"1.5"}, "'1.5' is not an integer"},
        {{"1", "2"}, "field 2 takes 2 values"},
        {{"1", "2", "nan"}, "'nan' is not a number"},
        {{"1", "2", "3", "purple"}, "'purple' is none of red|green|blue"},
        {{"1", "2", "3", "3"}, "'3' is none of red|green|blue"},
        {{"1", "2", "3", "0", "note", "more"}, "more values than the dialog has fields"},
    };
    for (const auto &row : rows) {
        dfx::CaptureDiagnostics captured;
        EXPECT_EQ(nullptr, dfx::CreateUnit(program, "counter", "", row.first));
        EXPECT_EQ(std::vector<std::string>{"main: counter: " + row.second + "\n"}, captured.Texts(DFX_WARNING));
    }
    EXPECT_EQ(0, dfx_unit_child_count(program));
    EXPECT_EQ(0, Counter::alive);
}

} // namespace
} // namespace standintest
