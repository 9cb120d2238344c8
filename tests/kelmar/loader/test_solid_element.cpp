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

struct FlagCase {
    const char *tags;
    unsigned int sceneOptions;
    bool frozen, enabled;
};

class SolidFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(SolidFlags, FreezeAndEnableTheBodyAsTheElementSays)
{
    const FlagCase &c = GetParam();
    kelmartest::Rig probe;
    probe.scene.options |= c.sceneOptions;
    probe.ReadText(OneSolid(c.tags));
    const kelmar::Solid *solid = probe.solid("s");
    ASSERT_NE(solid, nullptr);
    EXPECT_EQ(RbdBodyIsFrozen(solid->GetBody()) != 0, c.frozen) << c.tags;
    EXPECT_EQ(RbdBodyIsEnabled(solid->GetBody()) != 0, c.enabled) << c.tags;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SolidFlags,
    ::testing::Values(FlagCase{"", 0, false, true}, FlagCase{"<FROZEN>1</FROZEN>", 0, true, false},
                      FlagCase{"<FROZEN>1</FROZEN><DYNAMIC>1</DYNAMIC>", 0, true, false},
                      FlagCase{"<DYNAMIC>0</DYNAMIC>", 0, true, false},
                      FlagCase{"", kelmar::Scene::kCreateDisabled, false, false},
                      FlagCase{"<BODY><ENABLED>1</ENABLED></BODY>", kelmar::Scene::kCreateDisabled, false, true},
                      FlagCase{"<BODY><ENABLED>0</ENABLED></BODY>", 0, false, false},
                      FlagCase{"<FROZEN>1</FROZEN><BODY><ENABLED>1</ENABLED></BODY>", 0, true, false}));

TEST(SolidElement, DefaultsOptionsAndInvisibleSolids)
{
    kelmartest::Rig probe;
    probe.ReadText("<PX><GEOMETRIES><BOX g><SIZE>1, 2, 4</SIZE></BOX></GEOMETRIES>"
                   "<SOLID plain><GEOMETRY_ID>g</GEOMETRY_ID></SOLID>"
                   "<SOLID hidden><GEOMETRY_ID>g</GEOMETRY_ID><GRAPHICSPRIM>NOGRAPHICS</GRAPHICSPRIM>"
                   "<INTERACTABLE>0</INTERACTABLE><COLLISION_TYPE>3</COLLISION_TYPE></SOLID>"
                   "<SOLID shown><GEOMETRY_ID>g</GEOMETRY_ID><DRAWCONTACTS>1</DRAWCONTACTS></SOLID></PX>");
    const kelmar::Solid *plain = probe.solid("plain"), *hidden = probe.solid("hidden"), *shown = probe.solid("shown");
    ASSERT_TRUE(plain && hidden && shown);
    EXPECT_EQ(plain->GetMaterial(), 0); // metal
    EXPECT_NEAR(RbdBodyGetMass(plain->GetBody()), 0.0078 * 8, 1e-15);
    EXPECT_TRUE(plain->IsVisible());
    EXPECT_EQ(plain->GetOptions(), kelmar::Solid::kInteractable);
    EXPECT_FALSE(hidden->IsVisible());
    EXPECT_EQ(hidden->GetOptions(), 0u);
    EXPECT_EQ(hidden->type, 3);
    EXPECT_EQ(shown->GetOptions(), kelmar::Solid::kDrawContacts); // exactly 0x01
    EXPECT_TRUE(probe.messages.empty());
}

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
