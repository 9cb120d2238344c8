// What the tags of a SOLID element do to the solid: freezing and enabling,
// option bits, the default material, invisible solids, initial velocities
// turned with the placement, and the variables that fill the values.

#include "KelmarTestSupport.h"

namespace {

std::string OneSolid(const std::string &tags)
{
    return "<PX><GEOMETRIES><BOX g><SIZE>1, 2, 4</SIZE></BOX></GEOMETRIES><SOLID s><GEOMETRY_ID>g</GEOMETRY_ID>" +
           tags + "</SOLID></PX>";
}

const unsigned int kPick = kelmar::Solid::kInteractable;

struct TagCase {
    const char *tags;
    unsigned int sceneOptions;
    bool frozen, enabled;
    unsigned int options = kPick; // the solid's option bits
    bool visible = true;
    int type = 0;
};

class SolidTags : public ::testing::TestWithParam<TagCase> {};

// Whatever the tags say, a 1 x 2 x 4 box without a material is metal.
TEST_P(SolidTags, FreezeEnableAndMarkTheSolidAsTheElementSays)
{
    const TagCase &c = GetParam();
    kelmartest::Rig probe;
    probe.scene.options |= c.sceneOptions;
    probe.ReadText(OneSolid(c.tags));
    const kelmar::Solid *solid = probe.solid("s");
    ASSERT_NE(solid, nullptr);
    EXPECT_TRUE(probe.messages.empty()) << c.tags;
    // frozen, enabled, option bits, visible, type, material
    EXPECT_EQ(std::vector<long>({RbdBodyIsFrozen(solid->GetBody()) != 0, RbdBodyIsEnabled(solid->GetBody()) != 0,
                                 solid->GetOptions(), solid->IsVisible(), solid->type, solid->GetMaterial()}),
              std::vector<long>({c.frozen, c.enabled, c.options, c.visible, c.type, 0}))
        << c.tags;
    EXPECT_NEAR(RbdBodyGetMass(solid->GetBody()), 0.0078 * 8, 1e-15);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SolidTags,
    ::testing::Values(TagCase{"", 0, false, true}, TagCase{"<FROZEN>1</FROZEN>", 0, true, false},
                      TagCase{"<FROZEN>1</FROZEN><DYNAMIC>1</DYNAMIC>", 0, true, false},
                      TagCase{"<DYNAMIC>0</DYNAMIC>", 0, true, false},
                      TagCase{"", kelmar::Scene::kCreateDisabled, false, false},
                      TagCase{"<BODY><ENABLED>1</ENABLED></BODY>", kelmar::Scene::kCreateDisabled, false, true},
                      TagCase{"<BODY><ENABLED>0</ENABLED></BODY>", 0, false, false},
                      TagCase{"<FROZEN>1</FROZEN><BODY><ENABLED>1</ENABLED></BODY>", 0, true, false},
                      TagCase{"<GRAPHICSPRIM>NOGRAPHICS</GRAPHICSPRIM><INTERACTABLE>0</INTERACTABLE>"
                              "<COLLISION_TYPE>3</COLLISION_TYPE>",
                              0, false, true, 0, false, 3},
                      TagCase{"<DRAWCONTACTS>1</DRAWCONTACTS>", 0, false, true,
                              kelmar::Solid::kDrawContacts /* only */}));

// A density too large for the toolkit's mass range: the toolkit keeps the
// body's mass and inertia, and the solid's element says so as a load
// warning, so that the load does not pass for a clean one.
TEST(SolidElement, ValuesTheToolkitRefusesAreALoadWarningAtTheSolid)
{
    const std::string text = OneSolid("<DENSITY>1e12</DENSITY>");
    kelmartest::Rig probe;
    probe.ReadText(text);
    EXPECT_EQ(probe.messages, std::vector<std::string>{"W:<SOLID s>: the toolkit refused or adjusted 2 of its "
                                                       "values (its warnings say which).\n"});
    EXPECT_LE(RbdBodyGetMass(probe.solid("s")->GetBody()), 1e6);
    kelmartest::Hosted loaded(kelmartest::WriteTempScene(text), 10);
    EXPECT_EQ(loaded.scene.GetLoadWarningCount(), 1);
    EXPECT_EQ(loaded.scene.GetLoadErrorCount(), 0);
}

// VEL and ANGVEL are given in the solid's frame and scaled with lengths;
// the scene option 0x08 ignores them.
TEST(SolidElement, InitialVelocitiesTurnWithThePlacement)
{
    const std::string tags = "<EULER>0, 0, 1.5707963267948966</EULER><BODY><VEL>2, 0, 0</VEL>"
                             "<ANGVEL>0, 0, 3</ANGVEL></BODY>";
    kelmartest::Rig moving, still;
    moving.ReadText("<PX><IMPORT i><NAME>" + kelmartest::WriteTempScene(OneSolid(tags)) +
                    "</NAME><SCALE>5</SCALE></IMPORT></PX>");
    still.scene.options |= kelmar::Scene::kIgnoreVelocities;
    still.ReadText(OneSolid(tags));
    const kelmar::Solid *s = moving.solid("i.s");
    ASSERT_NE(s, nullptr);
    PxVector3 v, w, expected;
    RbdBodyGetLinearVelocity(s->GetBody(), v);
    RbdBodyGetAngularVelocity(s->GetBody(), w);
    const double local[3] = {10, 0, 0};
    kelmar::ConvertVector(s->GetTM(), local, expected);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(v[k], expected[k], 1e-12);
    EXPECT_NEAR(std::fabs(v[1]), 10, 1e-12); // turned off x
    EXPECT_NEAR(w[2], 3, 1e-12);
    RbdBodyGetLinearVelocity(still.solid("s")->GetBody(), v);
    EXPECT_EQ(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 0);
}

// A VAR wins over a later DEFAULT_VAR; a second VAR rewrites it; "!name"
// negates a 0/1 value.
TEST(SolidElement, VariablesFillTheValuesThatFollow)
{
    kelmartest::Rig probe;
    probe.ReadText("<PX><VAR edge>2</VAR><DEFAULT_VAR edge>5</DEFAULT_VAR><VAR fixed>0</VAR>"
                   "<GEOMETRIES><BOX a><SIZE>edge, edge, edge</SIZE></BOX></GEOMETRIES><VAR edge>3</VAR>"
                   "<GEOMETRIES><BOX b><SIZE>edge, edge, edge</SIZE></BOX></GEOMETRIES>"
                   "<SOLID s><GEOMETRY_ID>a</GEOMETRY_ID><FROZEN>!fixed</FROZEN></SOLID></PX>");
    PxVector3 a, b;
    CdxBoxGetDimensions(probe.scene.LookupGeometry("a", false), a);
    CdxBoxGetDimensions(probe.scene.LookupGeometry("b", false), b);
    EXPECT_EQ(a[0], 2);
    EXPECT_EQ(b[0], 3);
    EXPECT_TRUE(RbdBodyIsFrozen(probe.solid("s")->GetBody()));
    EXPECT_EQ(probe.messages, std::vector<std::string>{"W:variable edge already defined, now rewritten\n"});
}

} // namespace
