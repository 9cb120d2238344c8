// Imports: scale, placement and naming scopes reach what the imported file
// makes, variables reach its values, and the importer's scope, placement,
// scale and variables are back afterwards whatever happened inside.

#include "KelmarTestSupport.h"

namespace {

using namespace kelmartest;

std::string ImportOf(const std::string &part, const std::string &extra)
{
    return "<PX><IMPORT part><NAME>" + kelmartest::ExamplePath("malformed/" + part) + "</NAME>" + extra +
           "</IMPORT></PX>";
}

// Nested imports: names carry every scope ("outer.inner.brick"), the
// placements compound, scales multiply (a 1 x 2 x 3 wooden box scaled by 6
// has 6^3 its mass and 6^5 its inertia), and RELTO places an import on a
// solid of the importing file.
TEST(Import, NestedScopesPlacementsAndScalesCompound)
{
    const std::string inner = kelmartest::WriteTempScene(
        ImportOf("good_part.px", "<POS>0, 10, 0</POS><SCALE>3</SCALE>"));
    Rig probe;
    probe.ReadText(
        "<PX><GEOMETRIES><SPHERE s><RADIUS>1</RADIUS></SPHERE></GEOMETRIES>"
        "<SOLID anchor><GEOMETRY_ID>s</GEOMETRY_ID><POS>0, 0, 100</POS><EULER>0, 0, 1.5707963267948966</EULER>"
        "<FROZEN>1</FROZEN></SOLID>"
        "<IMPORT outer><NAME>" +
        inner + "</NAME><RELTO>anchor</RELTO><POS>5, 0, 0</POS><SCALE>2</SCALE></IMPORT></PX>");
    std::remove(inner.c_str());
    const kelmar::Solid *brick = probe.solid("outer.part.brick");
    ASSERT_NE(brick, nullptr);
    PxVector3 dims;
    CdxBoxGetDimensions(CdxModelGetGeometry(brick->GetModel()), dims);
    EXPECT_DOUBLE_EQ(dims[2], 18); // 3 x 2 x 3
    Rig plain;
    plain.ReadText(ImportOf("good_part.px", ""));
    const kelmar::Solid *small = plain.solid("part.brick");
    EXPECT_NEAR(Mass(small), 0.0008 * 6, 1e-15);
    EXPECT_NEAR(Mass(brick) / Mass(small), 216, 1e-9);
    EXPECT_NEAR(Inertia(brick, 0) / Inertia(small, 0), 7776, 1e-6);
    // In the anchor's frame: the outer import at x = 5, the inner one at
    // y = 10 in outer units (20), the brick at x = 1 in inner units (6).
    const double local[3] = {5 + 6, 20, 0};
    double expected[3], p[3];
    kelmar::ConvertPosition(probe.solid("anchor")->GetTM(), local, expected);
    brick->GetPosition(p);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(p[k], expected[k], 1e-9);
    EXPECT_NEAR(expected[2], 100, 1e-9);
    EXPECT_GT(std::fabs(expected[0] - local[0]), 1); // the anchor's turn shows
}

// After imports that succeed, fail or are refused, the importer's scope,
// placement and scale are its own again.
TEST(Import, ScopePlacementAndScaleAreRestoredOnEveryWayOut)
{
    for (const char *name : {"good_part.px", "broken_part.px", "import.px", "no_such_file.px"}) {
        Rig probe;
        probe.ReadText(ImportOf(name, "<POS>1, 2, 3</POS><SCALE>4</SCALE>") +
                       "<PX><GEOMETRIES><SPHERE s><RADIUS>1</RADIUS></SPHERE></GEOMETRIES>"
                       "<SOLID after><GEOMETRY_ID>s</GEOMETRY_ID><POS>0, 0, 1</POS></SOLID></PX>");
        const kelmar::Solid *after = probe.solid("after");
        ASSERT_NE(after, nullptr) << name;
        EXPECT_EQ(probe.scene.GetIdPrefix(), "") << name;
        EXPECT_EQ(probe.scene.GetScale(), 1.0) << name;
        double p[3];
        after->GetPosition(p);
        EXPECT_EQ(p[2], 1.0) << name;
        EXPECT_EQ(CdxSphereGetRadius(CdxModelGetGeometry(after->GetModel())), 1.0) << name;
    }
}

// VAR children reach the imported file; DEFAULT_VAR there does not override
// them; the NAMEs "x" and "x.px" are one file.
TEST(Import, VariablesReachTheImportedFileAndNamesGetTheirExtension)
{
    const std::string named = kelmartest::WriteTempScene(
        "<PX><DEFAULT_VAR r>1</DEFAULT_VAR><DEFAULT_VAR h>7</DEFAULT_VAR>"
        "<GEOMETRIES><CYLINDER c><RADIUS>r</RADIUS><HEIGHT>h</HEIGHT></CYLINDER></GEOMETRIES>"
        "<SOLID can><GEOMETRY_ID>c</GEOMETRY_ID></SOLID></PX>");
    const std::string part = named.substr(0, named.size() - 3);
    Rig probe;
    probe.ReadText("<PX><IMPORT a><NAME>" + part + "</NAME><VAR r>2.5</VAR></IMPORT>" + "<IMPORT b><NAME>" + named +
                   "</NAME></IMPORT></PX>");
    std::remove(named.c_str());
    const kelmar::Solid *a = probe.solid("a.can"), *b = probe.solid("b.can");
    ASSERT_TRUE(a && b);
    EXPECT_EQ(CdxCylinderGetRadius(CdxModelGetGeometry(a->GetModel())), 2.5);
    EXPECT_EQ(CdxCylinderGetHeight(CdxModelGetGeometry(a->GetModel())), 7);
    EXPECT_EQ(CdxCylinderGetRadius(CdxModelGetGeometry(b->GetModel())), 1);
    EXPECT_TRUE(probe.messages.empty());
}

// REMOVE inside an imported file removes the scoped name, with its body and
// model; the importer's own solid of the same bare name stays. Removing a
// finger's middle link takes the two joints that hold it and the hand's
// robot along; the rest of the hand stays.
TEST(Import, RemoveTakesTheScopedSolidWithItsJointsAndRobot)
{
    const std::string part = WriteTempScene(
        "<PX><GEOMETRIES><SPHERE s><RADIUS>1</RADIUS></SPHERE></GEOMETRIES>"
        "<SOLID base><GEOMETRY_ID>s</GEOMETRY_ID></SOLID><SOLID tip><GEOMETRY_ID>s</GEOMETRY_ID><POS>0, 0, 3</POS>"
        "</SOLID><REMOVE><SOLID>base</SOLID></REMOVE></PX>");
    Rig probe;
    probe.ReadText("<PX><GEOMETRIES><BOX b><SIZE>1, 1, 1</SIZE></BOX></GEOMETRIES>"
                   "<SOLID base><GEOMETRY_ID>b</GEOMETRY_ID><POS>9, 0, 0</POS></SOLID><IMPORT arm><NAME>" +
                   part + "</NAME></IMPORT><IMPORT h><NAME>" + ExamplePath("hand3.px") +
                   "</NAME></IMPORT><REMOVE><SOLID>h.finger1_middle</SOLID></REMOVE></PX>");
    std::remove(part.c_str());
    EXPECT_TRUE(probe.messages.empty());
    EXPECT_EQ(probe.solid("arm.base"), nullptr);
    EXPECT_NE(probe.solid("arm.tip"), nullptr);
    EXPECT_NE(probe.solid("base"), nullptr);
    EXPECT_EQ(probe.scene.JointCount(), 10 - 2);
    EXPECT_EQ(probe.scene.LookupJoint("h.finger1_mid", false), nullptr);
    EXPECT_NE(probe.scene.LookupJoint("h.finger1", false), nullptr);
    EXPECT_EQ(probe.scene.LookupObject("h.robot", false), nullptr);
    EXPECT_EQ(probe.scene.ObjectCount(), 2 + 9); // base, arm.tip and the hand's nine solids left
    EXPECT_EQ(probe.Bodies(), 2 + 9);
    EXPECT_EQ(probe.Models(), 2 + 9);
}

} // namespace
