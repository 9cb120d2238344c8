// The script interface through its one C entry, kelmar_invoke, as a host
// calls it: objects made and freed by their entries, array lengths checked
// with the "Class:Method" label, host exceptions returned in the call
// record with their identifier and exact text, and nothing changed by a
// call that fails.
#include <string>
#include <vector>

#include "HostTestSupport.h"
#include "script/CallRecord.h"

namespace {

using hosttest::Call;

// The blocks scene, its ball and its arm.
class ScriptInvoke : public hosttest::ScriptEntries {
public:
    const char *SceneFile() const override { return "blocks.px"; }
    void SetUp() override
    {
        ScriptEntries::SetUp();
        ball = Made(Call().Text("js").Text("ball"), "SolidRef");
        Made(Call().Text("js").Text("arm"), "Robot_ref_Robot");
    }
    std::vector<float> Gravity()
    {
        std::vector<float> g(3);
        EXPECT_EQ(0, Call(universe).Floats(g).Invoke("Universe_GetGravity"));
        return g;
    }

    void *ball = nullptr;
};

// The failures of entries the Python tests do not reach through this same
// entry (tests/python/test_errors.py has the others, word for word): a
// missing array, an array of the wrong length, and an entry that does not
// exist, which fails with -1 rather than 1.
TEST_F(ScriptInvoke, FailuresReturnTheirIdentifierAndExactText)
{
    std::vector<float> two = {0, 0};
    struct Case {
        const char *entry;
        Call call;
        int status;
        std::string error;
    };
    const Case cases[] = {
        {"Universe_SetGravity", Call(universe).Floats(two), 1,
         "badarg:array:dim Universe:SetGravity: dim of array arg #0 must be 3\n"},
        {"Universe_SetGravity", Call(universe), 1,
         "badarg:value Universe:SetGravity: argument #0 must be an array\n"},
        {"Universe_Fly", Call(universe), -1, "kelmar:noentry no entry function 'Universe_Fly'\n"},
        {"Solid_GetPosition", Call(ball).None(), 1,
         "badarg:array:dim Solid:GetPosition: dim of array arg #0 must be 3\n"},
    };
    const std::vector<float> gravity = Gravity();
    for (const Case &c : cases) {
        Call call = c.call;
        EXPECT_EQ(c.status, call.Invoke(c.entry)) << c.entry;
        EXPECT_EQ(c.error, call.Error()) << c.entry;
    }
    EXPECT_EQ(gravity, Gravity());
}

TEST_F(ScriptInvoke, ResultsComeBackNarrowedIntoTheCallersArraysAndCells)
{
    std::vector<float> down = {0, 0, -500};
    ASSERT_EQ(0, Call(universe).Floats(down).Invoke("Universe_SetGravity"));
    EXPECT_EQ(down, Gravity());
    std::vector<float> tm(16);
    Call pose(ball);
    ASSERT_EQ(0, pose.Floats(tm).Invoke("Solid_GetTM")) << pose.Error();
    EXPECT_EQ(1.0f, tm[15]);
    EXPECT_EQ(4, pose.Record().args[0].shape[0]);
    Call time(universe);
    ASSERT_EQ(0, time.Invoke("Universe_GetTime"));
    EXPECT_EQ(KELMAR_FLOAT, time.Record().result.kind);
    Call list(ball);
    ASSERT_EQ(0, list.Int(0).Invoke("Solid_1_GetContacts")) << list.Error();
    ASSERT_EQ(KELMAR_OBJECT, list.Record().result.kind);
    EXPECT_STREQ("ContactList", list.Record().result.text);
    EXPECT_EQ(0, Call(list.Record().result.object).Invoke("FREE_ContactList"));
}

} // namespace
