// Script entries beyond the common methods: the generic Joint reference
// over every joint kind, the Spring family, the unit and type hooks, and
// the free drawing functions, each family checked against a table.
#include <cmath>
#include <string>
#include <vector>

#include <kelmar/Graphics.h>

#include "HostTestSupport.h"
#include "progaux/HostTypes.h"
#include "script/CallRecord.h"

namespace {

using hosttest::Call;

class ScriptEntries : public hosttest::HostTest {
public:
    void SetUp() override
    {
        HostTest::SetUp();
        const std::string file = hosttest::DataFile("joints.px");
        universe = Made(Call().Text("ju").Int(100).Int(100).Int(100).Int(1200), "Universe");
        scene = Made(Call().Text("js").Text("ju").Text(file.c_str()).None().Float(1).None(), "Scene");
    }
    void TearDown() override
    {
        for (auto it = made.rbegin(); it != made.rend(); ++it) Call(it->second).Invoke(it->first.c_str());
        HostTest::TearDown();
    }
    // An object from its constructor, freed by its destructor at the end.
    void *Made(Call call, const std::string &constructor)
    {
        EXPECT_EQ(0, call.Invoke(constructor.c_str())) << constructor << ": " << call.Error();
        const size_t cut = constructor.rfind('_') == std::string::npos ? 0 : constructor.rfind('_') + 1;
        const std::string prefix = constructor.substr(0, cut) == "Robot_ref_" ? "Robot_" : constructor.substr(0, cut);
        made.emplace_back(prefix + "FREE_" + constructor.substr(cut), call.Record().self);
        return call.Record().self;
    }
    void *Joint(const char *constructor, const char *name) { return Made(Call().Text("js").Text(name), constructor); }
    // A float result, failing the test on an error.
    float FloatOf(Call call, const char *entry)
    {
        EXPECT_EQ(0, call.Invoke(entry)) << entry << ": " << call.Error();
        return call.Record().result.f;
    }
    std::vector<float> Position(void *solid)
    {
        std::vector<float> p(3);
        EXPECT_EQ(0, Call(solid).Floats(p).Invoke("Solid_GetPosition"));
        return p;
    }

    void *universe = nullptr, *scene = nullptr;
    std::vector<std::pair<std::string, void *>> made;
};

TEST_F(ScriptEntries, TheGenericJointBindsEveryKindAndTypedOnesOnlyTheirOwn)
{
    const struct {
        const char *constructor, *joint;
        int valid;
    } cases[] = {
        {"Ref_Joint", "hinge", 1},   {"Ref_Joint", "slide", 1},     {"Ref_Joint", "ball", 1},
        {"Ref_Joint", "rpro", 1},    {"Ref_Joint", "spring", 1},    {"Ref_Hinge", "spring", 0},
        {"Ref_Spring", "hinge", 0},  {"Ref_Prismatic", "slide", 1}, {"Ref_RPROJoint", "ball", 0},
        {"Ref_Spring", "spring", 1}, {"Ref_Joint", "nothing", 0},
    };
    for (const auto &c : cases) {
        Call valid(Joint(c.constructor, c.joint));
        ASSERT_EQ(0, valid.Invoke("Joint_Valid")) << valid.Error();
        EXPECT_EQ(c.valid, valid.Record().result.i) << c.constructor << " " << c.joint;
    }
    std::vector<float> anchor(3);
    ASSERT_EQ(0, Call(Joint("Ref_Joint", "ball")).Floats(anchor).Invoke("Joint_GetPosition"));
    EXPECT_EQ((std::vector<float>{20, 0, 1}), anchor); // as the file places it
}

TEST_F(ScriptEntries, SpringSettersReturnWhatTheyReplaceAndTheSpringPullsSymmetrically)
{
    void *spring = Joint("Ref_Spring", "spring");
    const struct {
        const char *entry;
        float set, before;
    } settings[] = {{"Spring_SetLength", 12, 20}, {"Spring_SetStiffness", 80, 50}, {"Spring_SetDamping", 3, 2}};
    for (const auto &s : settings) {
        EXPECT_FLOAT_EQ(s.before, FloatOf(Call(spring).Float(s.set), s.entry)) << s.entry;
        EXPECT_FLOAT_EQ(s.set, FloatOf(Call(spring).Float(s.set), s.entry)) << s.entry;
    }
    void *e = Made(Call().Text("js").Text("e"), "SolidRef"), *f = Made(Call().Text("js").Text("f"), "SolidRef");
    for (int i = 0; i < 20; ++i) ASSERT_EQ(0, Call(universe).Invoke("Universe_step"));
    const std::vector<float> pe = Position(e), pf = Position(f);
    EXPECT_LT(pf[2] - pe[2], 20.0f); // pulled towards 12 cm
    EXPECT_GT(pf[2] - pe[2], 0.0f);
    EXPECT_NEAR(10.0f, (pe[2] + pf[2]) / 2, 1e-3); // equal masses, no gravity: the centre stays
}

TEST_F(ScriptEntries, SpringFailuresNameTheJointOrTheArray)
{
    void *spring = Joint("Ref_Spring", "spring"), *hinge = Joint("Ref_Joint", "hinge");
    void *missing = Joint("Ref_Spring", "nothing");
    std::vector<float> three = {1, 2, 3};
    const struct {
        const char *entry;
        Call call;
        std::string error;
    } cases[] = {
        {"Spring_SetLength", Call(hinge).Float(1), "badobj:joint joint 'hinge' not yet resolved in scene 'js'\n"},
        {"Spring_SetStiffness", Call(missing).Float(1),
         "badobj:joint joint 'nothing' not yet resolved in scene 'js'\n"},
        {"Limit_SetLimits", Call(spring).Floats(three),
         "badarg:array:dim Limit:SetLimits: dim of array arg #0 must be 2\n"},
        {"Spring_SetDamping", Call(spring), "badarg:value Spring:SetDamping: argument #0 must be a float\n"},
    };
    for (const auto &c : cases) {
        Call call = c.call;
        EXPECT_EQ(1, call.Invoke(c.entry)) << c.entry;
        EXPECT_EQ(c.error, call.Error()) << c.entry;
    }
    EXPECT_FLOAT_EQ(2, FloatOf(Call(spring).Float(2), "Spring_SetDamping")); // unchanged by the failures
}

TEST_F(ScriptEntries, TypeHooksAnswerAsTheHostTypesDo)
{
    void *a = Made(Call().Text("js").Text("a"), "SolidRef");
    std::vector<float> size = {1, 2, 3};
    void *box = Made(Call().Text("js").Floats(size).Int(0).Int(1), "Box");
    void *contact = Made(Call(), "Contact");
    char described[256];
    kelmar::DescribeHostValue(kelmar::SolidRefType(), a, described, sizeof described);
    const struct {
        const char *entry;
        void *self;
        std::string text;
    } texts[] = {{"DESCRIBE_SolidRef", a, described}, {"DESCRIBE_Contact", contact, "invalid contact\n"}};
    for (const auto &t : texts) {
        Call call(t.self);
        ASSERT_EQ(0, call.Invoke(t.entry)) << call.Error();
        EXPECT_EQ(t.text, call.Record().result.text) << t.entry;
    }
    const struct {
        const char *entry;
        void *self;
        int compatible;
    } tests[] = {{"COMPATIBLE_Box", box, 1}, {"COMPATIBLE_Box", a, 0}, {"COMPATIBLE_Sphere", box, 0}};
    for (const auto &t : tests) {
        Call call(t.self);
        ASSERT_EQ(0, call.Invoke(t.entry)) << call.Error();
        EXPECT_EQ(t.compatible, call.Record().result.i) << t.entry;
    }
    for (void *solid : {a, box}) {
        Call copy(solid);
        ASSERT_EQ(0, copy.Invoke("COPY_SolidRef")) << copy.Error();
        EXPECT_STREQ("SolidRef", copy.Record().result.text);
        EXPECT_EQ(Position(solid), Position(copy.Record().result.object));
        EXPECT_EQ(0, Call(copy.Record().result.object).Invoke("FREE_SolidRef"));
    }
}

TEST_F(ScriptEntries, UnitHooksResetAndRestoreStatus)
{
    void *a = Made(Call().Text("js").Text("a"), "SolidRef");
    for (int i = 0; i < 3; ++i) ASSERT_EQ(0, Call(universe).Invoke("Universe_step"));
    EXPECT_FLOAT_EQ(0.03f, FloatOf(Call(universe), "Universe_GetTime"));
    ASSERT_EQ(0, Call(universe).Int(DFX_CTRL_CHANGED).Invoke("CTRL_Universe"));
    EXPECT_FLOAT_EQ(0.03f, FloatOf(Call(universe), "Universe_GetTime"));
    ASSERT_EQ(0, Call(universe).Int(DFX_CTRL_RESET).Invoke("CTRL_Universe"));
    EXPECT_FLOAT_EQ(0.0f, FloatOf(Call(universe), "Universe_GetTime"));

    const std::string file = testing::TempDir() + "kelmar_scene_status.xml";
    const std::vector<float> saved = Position(a);
    ASSERT_EQ(0, Call(scene).Text(file.c_str()).Invoke("SAVE_Scene"));
    std::vector<float> moved = {5, 5, 5};
    ASSERT_EQ(0, Call(a).Floats(moved).Invoke("Solid_SetPosition"));
    Call load(scene);
    ASSERT_EQ(0, load.Text(file.c_str()).Invoke("LOAD_Scene")) << load.Error();
    EXPECT_EQ(0, load.Record().result.i); // taken
    EXPECT_EQ(saved, Position(a));
    Call missing(scene);
    EXPECT_EQ(1, missing.Text("/nonexistent/status").Invoke("LOAD_Scene"));
    EXPECT_EQ("badarg:value Scene:LOAD: cannot open '/nonexistent/status'\n", missing.Error());
}

// What the drawing functions hand the graphics backend.
class RecordingBackend : public kelmar::DrawBackend {
public:
    struct Drawn {
        double tm[4][4];
        double from[3], to[3], length, width;
        float rgba[4];
    };
    void PrepareDrawing(unsigned int) override {}
    void FinishDrawing(unsigned int) override {}
    void DrawObject(const kelmar::GraphicsPrimitive &, const double (*)[4], const double (*)[4],
                    const kelmar::DrawMaterial &, const char *, unsigned int) override
    {
    }
    void DrawLine(const double *from, const double *to, const float rgba[4]) override
    {
        Drawn d{};
        for (int i = 0; i < 3; ++i) d.from[i] = from[i], d.to[i] = to[i];
        for (int i = 0; i < 4; ++i) d.rgba[i] = rgba[i];
        drawn.push_back(d);
    }
    void DrawArrow(const double (*base)[4], double length, double width, const float rgba[4]) override
    {
        Drawn d{};
        for (int i = 0; i < 16; ++i) d.tm[i / 4][i % 4] = base[i / 4][i % 4];
        d.length = length, d.width = width;
        for (int i = 0; i < 4; ++i) d.rgba[i] = rgba[i];
        drawn.push_back(d);
    }
    void DrawCone(const double (*)[4], double, double, const float[4]) override {}
    void DrawSphere(const double (*)[4], double, const float[4]) override {}
    std::vector<Drawn> drawn;
};

TEST_F(ScriptEntries, LinesAndArrowsReachTheBackendInWorldCoordinates)
{
    RecordingBackend backend;
    kelmar::DrawBackend *previous = kelmar::SetDrawBackend(&backend);
    // The base frame turned 90 degrees about z and moved by (10, 0, 0).
    std::vector<float> from = {1, 2, 3}, dir = {0, 3, 4}, to = {1, 0, 0}, red = {1, 0, 0, 1}, three = {1, 0, 0};
    std::vector<float> base = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    ASSERT_EQ(0, Call().Floats(from).Floats(dir).Floats(red).Floats(base).Float(0.2f).Invoke("vx_DrawArrow"));
    ASSERT_EQ(0, Call().Floats(from).Floats(to).None().Floats(base).Invoke("vx_DrawLine"));
    Call wrong;
    EXPECT_EQ(1, wrong.Floats(from).Floats(dir).Floats(three).None().Float(0.05f).Invoke("vx_DrawArrow"));
    EXPECT_EQ("badarg:array:dim vx:DrawArrow: dim of array arg #2 must be 4\n", wrong.Error());
    kelmar::SetDrawBackend(previous);
    ASSERT_EQ(2u, backend.drawn.size());
    const RecordingBackend::Drawn &arrow = backend.drawn[0], &line = backend.drawn[1];
    // (x, y, z) in the base frame is (10 - y, x, z) in the world.
    const double start[3] = {8, 1, 3}, axis[3] = {-0.6, 0, 0.8};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(start[i], arrow.tm[3][i], 1e-6);
        EXPECT_NEAR(axis[i], arrow.tm[0][i], 1e-6);
        EXPECT_NEAR(start[i], line.from[i], 1e-6);
    }
    EXPECT_NEAR(5, arrow.length, 1e-6);
    EXPECT_NEAR(0.2, arrow.width, 1e-6);
    EXPECT_NEAR(0,
                arrow.tm[0][0] * arrow.tm[1][0] + arrow.tm[0][1] * arrow.tm[1][1] + arrow.tm[0][2] * arrow.tm[1][2],
                1e-9); // a proper frame
    EXPECT_EQ((std::vector<double>{10, 1, 0}), std::vector<double>(line.to, line.to + 3));
    EXPECT_EQ((std::vector<float>{1, 0, 0, 1}), std::vector<float>(arrow.rgba, arrow.rgba + 4));
    EXPECT_EQ((std::vector<float>{0, 0, 0, 1}), std::vector<float>(line.rgba, line.rgba + 4)); // no colour: black
}

} // namespace
