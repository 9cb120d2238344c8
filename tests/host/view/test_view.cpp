// The 3-D view handlers: installed with the first universe, the key table
// and its help text, picking along the click ray, dragging, and a view
// module that lacks a function.
#include <dfx/view3d.h>

#include "HostTestSupport.h"
#include "view/ViewHandlers.h"

namespace hosttest {
namespace {

using kelmar::DfxScene;
using kelmar::DfxUniverse;
using kelmar::Universe;

class View : public HostTest {
public:
    void SetUp() override
    {
        HostTest::SetUp();
        Blocks();
        ASSERT_TRUE(kelmar::TheViewHandlers().Installed()) << "installed by the first universe";
        void *view = dfx::OpenModule("solid.so");
        key = reinterpret_cast<View3d_TestKey_t>(dfx_dlsym(view, "View3d_TestKey"));
        mouse = reinterpret_cast<View3d_TestMouse_t>(dfx_dlsym(view, "View3d_TestMouse"));
        ray = reinterpret_cast<View3d_TestSetClickRay_t>(dfx_dlsym(view, "View3d_TestSetClickRay"));
        active = reinterpret_cast<View3d_TestActiveHandler_t>(dfx_dlsym(view, "View3d_TestActiveHandler"));
        ASSERT_TRUE(key && mouse && ray && active);
        universe = Object<DfxUniverse>("universe");
        ball = Object<DfxScene>("scene")->LookupSolid("ball");
    }
    // Clicks along a ray straight down from height z above the ball's x, y.
    void ClickDownFrom(double z, int event = VIEW3D_CLICK)
    {
        double p[3];
        ball->GetPosition(p);
        const double eye[3] = {p[0], p[1], z}, down[3] = {0, 0, -7};
        ray(eye, down);
        mouse(event, 0, 0);
    }
    View3d_TestKey_t key = nullptr;
    View3d_TestMouse_t mouse = nullptr;
    View3d_TestSetClickRay_t ray = nullptr;
    View3d_TestActiveHandler_t active = nullptr;
    DfxUniverse *universe = nullptr;
    kelmar::Solid *ball = nullptr;
};

TEST_F(View, KeysToggleOptionsStepAndReload)
{
    const auto loaded = Poses(Object<DfxScene>("scene"));
    const unsigned int options = universe->GetOptions();
    EXPECT_EQ(1, key('g'));
    EXPECT_EQ(options ^ Universe::kShowGraphics, universe->GetOptions());
    EXPECT_EQ(1, key('p'));
    EXPECT_EQ(options ^ Universe::kShowGraphics ^ Universe::kPause, universe->GetOptions());
    const double time = universe->time;
    EXPECT_EQ(1, key('s'));
    EXPECT_EQ(time + universe->timeStep, universe->time) << "one step in pause";
    EXPECT_EQ(options ^ Universe::kShowGraphics ^ Universe::kPause, universe->GetOptions());
    key('p');
    EXPECT_EQ(1, key('s'));
    EXPECT_EQ(time + universe->timeStep, universe->time) << "no step out of pause";
    Run("universe.step", 20);
    EXPECT_EQ(1, key('r'));
    EXPECT_EQ(loaded, Poses(Object<DfxScene>("scene")));
}

// The middle button's mode: d drags, f c m M pick, the space bar (not
// ours) gives it back to the view; keys outside '?' to 's' and those
// without a meaning go on unhandled.
TEST_F(View, KeysChooseWhatTheMiddleButtonDoes)
{
    using Mode = kelmar::ViewHandlers::ClickMode;
    const std::pair<int, Mode> picks[] = {
        {'f', Mode::kForces}, {'c', Mode::kContacts}, {'m', Mode::kCentreOfMass}, {'M', Mode::kMark}};
    for (const auto &pick : picks) {
        EXPECT_EQ(1, key(pick.first));
        EXPECT_STREQ("kelmar:pick", active());
        EXPECT_EQ(pick.second, kelmar::TheViewHandlers().GetClickMode());
    }
    EXPECT_EQ(1, key('d'));
    EXPECT_STREQ("kelmar:drag", active());
    EXPECT_EQ(0, key(' '));
    EXPECT_STREQ("", active());
    const unsigned int options = universe->GetOptions();
    for (int other : {int('!'), int('>'), int('a'), int('q'), int('t'), int('x'), int('~'), 12, 18})
        EXPECT_EQ(0, key(other)) << static_cast<char>(other);
    EXPECT_EQ(options, universe->GetOptions());
}

TEST_F(View, HelpListsTheKeys)
{
    for (int k : {'?', 'h'}) {
        diagnostics.Clear();
        EXPECT_EQ(1, key(k));
        EXPECT_EQ("*** list of keys definitions in Universe::draw ***\n"
                  "g - toggle extra graphics\n"
                  "p - toggle pause\n"
                  "s - do one simulation step (in pause mode)\n"
                  "r - reload all scenes\n"
                  "the following keys toggle the behaviour of the middle mouse button\n"
                  "d - drag solid: apply force to selected solid (default)\n"
                  "' ' - drag frame (default mode of view3d)\n"
                  "f - toggle visualization of forces for selected solid\n"
                  "c - toggle visualization of contacts (with friction cones)\n"
                  "m - toggle visualization of center of mass\n"
                  "M - mark selected solid\n",
                  diagnostics.Joined());
    }
}

// A click looks 500 cm along the viewing direction from the eye: the ball
// (top at z = 6 once it lies on the floor) is hit from 502 cm up, not
// from 510.
TEST_F(View, AClickPicksAlongItsRay)
{
    Run("universe.step", 40);
    const std::pair<int, unsigned int> toggles[] = {
        {'f', kelmar::Solid::kDrawForces}, {'c', kelmar::Solid::kDrawContacts}, {'m', kelmar::Solid::kDrawInertia}};
    for (const auto &toggle : toggles) {
        const unsigned int options = ball->GetOptions();
        key(toggle.first);
        ClickDownFrom(502);
        EXPECT_EQ(options ^ toggle.second, ball->GetOptions()) << static_cast<char>(toggle.first);
        ClickDownFrom(510);
        EXPECT_EQ(options ^ toggle.second, ball->GetOptions()) << "out of reach";
    }
    key('M');
    ClickDownFrom(502);
    EXPECT_EQ(ball, universe->GetMarkedSolid());
    ClickDownFrom(510);
    EXPECT_EQ(nullptr, universe->GetMarkedSolid());
}

TEST_F(View, DraggingPullsTheSolidAlong)
{
    Run("universe.step", 40);
    double start[3], end[3];
    ball->GetPosition(start);
    key('d');
    ClickDownFrom(100, VIEW3D_PRESS);
    ASSERT_TRUE(universe->IsPicking());
    const double eye[3] = {start[0] + 10, start[1], 100}, down[3] = {0, 0, -1};
    ray(eye, down);
    for (int i = 0; i < 60; ++i) {
        mouse(VIEW3D_MOVE, 0, 0);
        Run("universe.step");
    }
    mouse(VIEW3D_RELEASE, 0, 0);
    EXPECT_FALSE(universe->IsPicking());
    ball->GetPosition(end);
    EXPECT_GT(end[0], start[0] + 5) << "pulled toward the pointer, 10 cm away";
}

// A view module without one of the four functions: the missing one is
// named on standard error, the module closed again, nothing installed.
TEST_F(View, AViewModuleWithoutAFunctionGetsNoHandlers)
{
    const char *names[] = {"View3d_AddMouseHandler", "View3d_GetClickPoint", "View3d_AddKeyHandler",
                           "View3d_ActivateMouseHandler"};
    kelmar::TheViewHandlers().Uninstall();
    for (int missing = 1; missing <= 4; ++missing) {
        dfx::ClearModulePath();
        dfx::AddModulePath(std::string(KELMAR_HOST_BUILD_DIR) + "/modules-without-" + std::to_string(missing));
        kelmar::ViewHandlers handlers;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(handlers.Install());
        EXPECT_EQ(std::string("couldn't find ") + names[missing - 1] + "\n", testing::internal::GetCapturedStderr());
        EXPECT_FALSE(handlers.Installed());
        EXPECT_EQ(nullptr, dfx::OpenModule("solid.so"));
    }
    dfx::ClearModulePath();
    dfx::AddModulePath(KELMAR_HOST_MODULE_DIR);
    EXPECT_TRUE(kelmar::TheViewHandlers().Install());
}

} // namespace
} // namespace hosttest
