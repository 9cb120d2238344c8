// Script entries beyond the common methods: the generic Joint reference
// over every joint kind, the Spring family and the free drawing functions
// and the forces and contacts a solid hands to a C function (the hooks
// are tried from Python, tests/python/test_universe.py).
#include <algorithm>
#include <string>
#include <vector>

#include "HostTestSupport.h"
#include "script/CallRecord.h"

namespace {

using hosttest::Call;

using hosttest::ScriptEntries;

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
    std::vector<float> three = {1, 2, 3};
    Call hinge(Joint("Ref_Joint", "hinge")), stops(spring);
    EXPECT_EQ(1, hinge.Float(1).Invoke("Spring_SetLength"));
    EXPECT_EQ("badobj:joint joint 'hinge' not yet resolved in scene 'js'\n", hinge.Error());
    EXPECT_EQ(1, stops.Floats(three).Invoke("Limit_SetLimits"));
    EXPECT_EQ("badarg:array:dim Limit:SetLimits: dim of array arg #0 must be 2\n", stops.Error());
    void *e = Made(Call().Text("js").Text("e"), "SolidRef"), *f = Made(Call().Text("js").Text("f"), "SolidRef");
    for (int i = 0; i < 20; ++i) ASSERT_EQ(0, Call(universe).Invoke("Universe_step"));
    const std::vector<float> pe = Position(e), pf = Position(f);
    EXPECT_LT(pf[2] - pe[2], 20.0f); // pulled towards 12 cm
    EXPECT_GT(pf[2] - pe[2], 0.0f);
    EXPECT_NEAR(10.0f, (pe[2] + pf[2]) / 2, 1e-3); // equal masses, no gravity: the centre stays
}

// What the C functions of GetForces and GetContacts are handed: the type,
// the upward force and a contact's height.
struct Reported {
    int type;
    float up, z;
};
std::vector<Reported> reported;

class SolidCallbacks : public ScriptEntries {
public:
    const char *SceneFile() const override { return "resting.px"; }
    int Count(Call call, const char *entry) // what the entry returns; reported cleared first
    {
        reported.clear();
        EXPECT_EQ(0, call.Invoke(entry)) << call.Error();
        return call.Record().result.i;
    }
};

TEST_F(SolidCallbacks, ABoxOnTheFloorReportsItsWeightOncePerContact)
{
    void *box = Made(Call().Text("js").Text("box"), "SolidRef");
    ASSERT_EQ(0, Call(Made(Call().Text("js").Text("floor"), "SolidRef")).Int(3).Invoke("Solid_SetType"));
    for (int i = 0; i < 30; ++i) ASSERT_EQ(0, Call(universe).Invoke("Universe_step"));
    Call list(box);
    ASSERT_EQ(0, list.Int(0).Invoke("Solid_1_GetContacts"));
    made.emplace_back("FREE_ContactList", list.Record().result.object);
    const int contacts = Count(Call(list.Record().result.object), "ContactList_Num");
    ASSERT_GE(contacts, 3); // a face on the floor
    const auto force = reinterpret_cast<KelmarFunction>(+[](int type, float *f, float *) {
        return reported.push_back({type, f[2], 0}), 0;
    });
    const auto contact = reinterpret_cast<KelmarFunction>(
        +[](int type, float *f, float *, float *p, float *, float *, float, float) {
            return reported.push_back({type, f[2], p[2]}), 0;
        });
    const struct {
        const char *entry;
        Call call;
        int type; // the constraint's (contact: 4), or the other solid's
    } cases[] = {{"Solid_OBSOLETE_GetForces", Call(box).Function(force).Int(-1), 4},
                 {"Solid_OBSOLETE_GetContacts", Call(box).Function(contact), 3}};
    const float weight = FloatOf(Call(box), "Solid_GetMass") * 981;
    for (const auto &c : cases) {
        EXPECT_EQ(contacts, Count(c.call, c.entry)) << c.entry;
        EXPECT_EQ(static_cast<size_t>(contacts), reported.size()) << c.entry;
        float up = 0;
        for (const Reported &r : reported) {
            up += r.up;
            EXPECT_EQ(c.type, r.type) << c.entry;
            EXPECT_NEAR(0, r.z, 0.05) << c.entry; // on the floor
        }
        EXPECT_NEAR(weight, up, 1e-3 * weight) << c.entry;
    }
    EXPECT_EQ(0, Count(Call(box).Function(force).Int(1), "Solid_OBSOLETE_GetForces")); // no hinge on the box
    EXPECT_EQ(contacts, Count(Call(box).None(), "Solid_OBSOLETE_GetContacts"));        // counted, none called
    EXPECT_TRUE(reported.empty());
    Call text(box);
    EXPECT_EQ(1, text.Text("f").Int(-1).Invoke("Solid_OBSOLETE_GetForces"));
    EXPECT_EQ("badarg:value Solid:GetForces: argument #0 must be a function\n", text.Error());
}

TEST_F(ScriptEntries, LinesAndArrowsReachTheBackendInWorldCoordinates)
{
    hosttest::RecordingBackend backend;
    // The base frame turned 90 degrees about z and moved by (10, 0, 0):
    // (x, y, z) in it is (10 - y, x, z) in the world.
    std::vector<float> from = {1, 2, 3}, dir = {0, 3, 4}, to = {1, 0, 0}, red = {1, 0, 0, 1}, three = {1, 0, 0};
    std::vector<float> base = {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 10, 0, 0, 1};
    ASSERT_EQ(0, Call().Floats(from).Floats(dir).Floats(red).Floats(base).Float(0.2f).Invoke("vx_DrawArrow"));
    ASSERT_EQ(0, Call().Floats(from).Floats(to).None().Floats(base).Invoke("vx_DrawLine"));
    Call wrong;
    EXPECT_EQ(1, wrong.Floats(from).Floats(dir).Floats(three).None().Float(0.05f).Invoke("vx_DrawArrow"));
    EXPECT_EQ("badarg:array:dim vx:DrawArrow: dim of array arg #2 must be 4\n", wrong.Error());
    ASSERT_EQ(2u, backend.drawn.size());
    const hosttest::RecordingBackend::Drawn &arrow = backend.drawn[0], &line = backend.drawn[1];
    const double start[3] = {8, 1, 3}, axis[3] = {-0.6, 0, 0.8}, end[3] = {10, 1, 0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(start[i], arrow.tm[3][i], 1e-6);
        EXPECT_NEAR(axis[i], arrow.tm[0][i], 1e-6);
        EXPECT_NEAR(start[i], line.from[i], 1e-6);
        EXPECT_NEAR(end[i], line.to[i], 1e-6);
    }
    EXPECT_NEAR(0,
                arrow.tm[0][0] * arrow.tm[1][0] + arrow.tm[0][1] * arrow.tm[1][1] + arrow.tm[0][2] * arrow.tm[1][2],
                1e-9);                                                                           // a proper frame
    EXPECT_EQ((std::vector<double>{5, 0.2f}), (std::vector<double>{arrow.length, arrow.width})); // width: as given
    EXPECT_EQ(red, std::vector<float>(arrow.rgba, arrow.rgba + 4));
    EXPECT_EQ((std::vector<float>{0, 0, 0, 1}), std::vector<float>(line.rgba, line.rgba + 4)); // no colour: black
}

} // namespace
